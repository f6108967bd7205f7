#include "settings/OptionDialogFields.h"
#include "settings/ui/TFirewallProxyForm.h"
#include "settings/ui/TOptionsForm.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace
{
struct NumberCase {
    const char* name;
    std::string timeout, keepAlive, attempts;
    std::int32_t storedTimeout, storedKeepAlive, storedAttempts;
};

class NumberFields : public testing::TestWithParam<NumberCase>
{
};

void PrintTo(const NumberCase& c, std::ostream* os)
{
    *os << c.name;
}

TEST_P(NumberFields, AreReadBackWithTheirFallbacks)
{
    const NumberCase& c = GetParam();
    connectionOptions options;
    optionsFormFields fields = optionsFormFields::from(options);
    fields.timeout = c.timeout;
    fields.keepAlive = c.keepAlive;
    fields.attempts = c.attempts;
    fields.applyTo(options);
    EXPECT_EQ(options.TimeoutPeriod, c.storedTimeout);
    EXPECT_EQ(options.KeepAlivePeriod, c.storedKeepAlive);
    EXPECT_EQ(options.Attempts, c.storedAttempts);
}

INSTANTIATE_TEST_SUITE_P(Table, NumberFields,
    testing::Values(NumberCase { "Empty", "", "", "", 100, 0, 3 },
        NumberCase { "Zero", "0", "0", "0", 0, 0, 1 },
        NumberCase { "Typed", "30", "25000", "7", 30, 25000, 7 },
        NumberCase { "BeyondTheFields", "10001", "99999", "99999", 10000, 25000, 25000 }),
    [](const testing::TestParamInfo<NumberCase>& info) { return std::string(info.param.name); });

TEST(OptionFields, ChoicesMapToTheRecordBothWays)
{
    connectionOptions options;
    options.Mode = 7;
    options.UseSingleConnectionForDownloads = connectionOptions::Ask;
    options.UseSingleConnectionForUploads = connectionOptions::NewConnection;
    options.UseSingleConnectionForDeletes = connectionOptions::OwnConnection;
    optionsFormFields fields = optionsFormFields::from(options);
    EXPECT_EQ(fields.modeChoice, 2);
    EXPECT_EQ(fields.downloadsChoice, 0);
    EXPECT_EQ(fields.uploadsChoice, 1);
    EXPECT_EQ(fields.deletesChoice, 2);
    fields.modeChoice = 1;
    fields.applyTo(options);
    EXPECT_EQ(options.Mode, connectionOptions::Ascii);
    EXPECT_EQ(options.UseSingleConnectionForDeletes, connectionOptions::OwnConnection);
    EXPECT_EQ(options.UseSingleConnectionForUploads, connectionOptions::NewConnection);
}

TEST(OptionFields, PortFieldsHoldNothingForZeroAndStoreZeroForNoPort)
{
    connectionOptions options;
    options.ProxyPort = 8080;
    options.HTTPProxyPort = 0;
    EXPECT_EQ(firewallProxyFields::from(options, firewallProxyFields::Ftp).proxyPort, "8080");
    firewallProxyFields http = firewallProxyFields::from(options, firewallProxyFields::Http);
    EXPECT_EQ(http.proxyPort, "");
    http.socksPort = "70000";
    http.applyTo(options, firewallProxyFields::Http);
    EXPECT_EQ(options.HTTPProxyPort, 0);
    EXPECT_EQ(options.HTTPSOCKSPort, 0);
    EXPECT_EQ(options.ProxyPort, 8080);
}

// Runs `dialog` modally while `user` works in it.
void whileOpen(QDialog& dialog, const std::function<void()>& user)
{
    QTimer::singleShot(0, &dialog, user);
    dialog.exec();
}

void press(QDialog& dialog, const QString& text)
{
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text() == text)
            return button->click();
    ADD_FAILURE() << "no button " << text.toStdString();
}

template <typename Widget> Widget* nth(QDialog& dialog, int index)
{
    return dialog.findChildren<Widget*>().at(index);
}

std::vector<std::string> listed(QDialog& dialog)
{
    std::vector<std::string> out;
    auto* list = dialog.findChild<QListWidget*>();
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->item(i)->text().toStdString());
    return out;
}

TEST(OptionsForm, AddsTypesOncePerSpellingDeletesTheSelectedOneAndStoresOnOk)
{
    connectionOptions options;
    options.ASCIITypes = { "txt", "c" };
    TOptionsForm form(options);
    whileOpen(form, [&] {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Connection Options"));
        EXPECT_EQ(listed(form), std::vector<std::string>({ "c", "txt" }));
        auto* extension = nth<QLineEdit>(form, 0);
        extension->setText(QStringLiteral("TXT"));
        press(form, QStringLiteral("Add"));
        extension->setText(QStringLiteral("log"));
        press(form, QStringLiteral("Add"));
        EXPECT_EQ(listed(form), std::vector<std::string>({ "c", "log", "txt" }));
        press(form, QStringLiteral("Delete file type"));
        EXPECT_EQ(listed(form).size(), 3u);
        auto* list = form.findChild<QListWidget*>();
        list->setCurrentRow(0);
        press(form, QStringLiteral("Delete file type"));
        nth<QRadioButton>(form, 1)->click();
        auto* attempts = nth<QSpinBox>(form, 2);
        attempts->clear();
        QTest::keyClicks(attempts, QStringLiteral("x0"));
        press(form, QStringLiteral("OK"));
    });
    EXPECT_EQ(options.ASCIITypes, std::vector<std::string>({ "log", "txt" }));
    EXPECT_EQ(options.Mode, connectionOptions::Ascii);
    EXPECT_EQ(options.Attempts, 1);
}

TEST(OptionsForm, CancelKeepsTheRecordAndTheNextShowForgetsTheEdits)
{
    connectionOptions options;
    const connectionOptions before = options;
    TOptionsForm form(options);
    whileOpen(form, [&] {
        nth<QLineEdit>(form, 0)->setText(QStringLiteral("new"));
        press(form, QStringLiteral("Add"));
        nth<QSpinBox>(form, 0)->setValue(5);
        press(form, QStringLiteral("Cancel"));
    });
    EXPECT_EQ(options, before);
    whileOpen(form, [&] {
        EXPECT_EQ(nth<QSpinBox>(form, 0)->value(), before.TimeoutPeriod);
        EXPECT_EQ(listed(form).size(), before.ASCIITypes.size());
        press(form, QStringLiteral("OK"));
    });
    // Confirming unchanged fields only puts the types in the list's order.
    connectionOptions sorted = before;
    std::sort(sorted.ASCIITypes.begin(), sorted.ASCIITypes.end());
    EXPECT_EQ(options, sorted);
}

TEST(FirewallProxyForm, EachViewEditsOnlyItsOwnSettings)
{
    connectionOptions options;
    options.ProxyPort = 8080;
    options.HTTPProxyPort = 0;
    TFirewallProxyForm form(options);
    form.setView(firewallProxyFields::Ftp);
    whileOpen(form, [&] {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Firewall & Proxy Options (FTP)"));
        EXPECT_EQ(nth<QLineEdit>(form, 1)->text(), QStringLiteral("8080"));
        EXPECT_FALSE(nth<QLineEdit>(form, 2)->isVisibleTo(&form));
        auto* type = form.findChild<QComboBox*>();
        EXPECT_EQ(type->count(), 5);
        type->setCurrentIndex(type->findText(QStringLiteral("Socks4A")));
        press(form, QStringLiteral("OK"));
    });
    EXPECT_EQ(options.Type, connectionOptions::Socks4A);

    form.setView(firewallProxyFields::Http);
    whileOpen(form, [&] {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Firewall & Proxy Options (HTTP)"));
        EXPECT_EQ(nth<QLineEdit>(form, 1)->text(), QString());
        EXPECT_TRUE(nth<QLineEdit>(form, 2)->isVisibleTo(&form));
        auto* type = form.findChild<QComboBox*>();
        EXPECT_EQ(type->findText(QStringLiteral("Socks4A")), -1);
        type->setCurrentIndex(type->findText(QStringLiteral("Socks5")));
        QTest::keyClicks(nth<QLineEdit>(form, 5), QStringLiteral("10a80"));
        nth<QLineEdit>(form, 2)->setText(QStringLiteral("proxyuser"));
        press(form, QStringLiteral("OK"));
    });
    EXPECT_EQ(options.HTTPConnectionType, connectionOptions::HttpSocks5);
    EXPECT_EQ(options.HTTPProxyPort, 0);
    EXPECT_EQ(options.HTTPSOCKSPort, 1080);
    EXPECT_EQ(options.HTTPProxyUser, "proxyuser");
    EXPECT_EQ(options.Type, connectionOptions::Socks4A);
    EXPECT_EQ(options.ProxyPort, 8080);

    const connectionOptions before = options;
    whileOpen(form, [&] {
        nth<QLineEdit>(form, 0)->setText(QStringLiteral("changed"));
        press(form, QStringLiteral("Cancel"));
    });
    EXPECT_EQ(options, before);
}
} // namespace
