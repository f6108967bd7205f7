#include "app/UpgradeCheck.h"

#include "common/IniFile.h"
#include "net/THttpCli.h"
#include "net/VisibleText.h"
#include "settings/ApplyOptions.h"

#include <QLoggingCategory>

#include <algorithm>

namespace
{
Q_LOGGING_CATEGORY(upgradeLog, "ranquil.upgrade", QtInfoMsg)

constexpr std::string_view section = "Ranquil";
constexpr qsizetype maxPageLength = 2048;

bool holdsControlByte(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

// Only an address a browser may open without surprise: http or https, a
// host, and no user part that could make one host look like another.
std::optional<QUrl> pageAddress(const std::string& text)
{
    if (text.empty() || static_cast<qsizetype>(text.size()) > maxPageLength || holdsControlByte(text))
        return std::nullopt;
    const QUrl page = QUrl::fromEncoded(QByteArray::fromStdString(text), QUrl::StrictMode);
    const bool web = page.scheme() == QStringLiteral("http") || page.scheme() == QStringLiteral("https");
    if (!page.isValid() || !web || page.host().isEmpty() || !page.userInfo().isEmpty())
        return std::nullopt;
    return page;
}
} // namespace

std::optional<std::vector<int>> parseVersion(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() > 4)
        return std::nullopt;
    std::vector<int> numbers;
    for (const QString& part : parts) {
        const bool digits = std::all_of(part.begin(), part.end(), [](QChar c) { return c.isDigit(); });
        // Nine digits always fit an int; a longer number is no version of ours.
        if (part.isEmpty() || part.size() > 9 || !digits || !part.isSimpleText())
            return std::nullopt;
        bool ok = false;
        numbers.push_back(part.toInt(&ok));
        if (!ok)
            return std::nullopt;
    }
    return numbers;
}

int compareVersions(const std::vector<int>& a, const std::vector<int>& b)
{
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const int left = i < a.size() ? a[i] : 0;
        const int right = i < b.size() ? b[i] : 0;
        if (left != right)
            return left < right ? -1 : 1;
    }
    return 0;
}

std::optional<UpgradeInformation> parseUpgradeInformation(const QByteArray& text, QString* problem)
{
    const IniFile file
        = IniFile::fromText({}, std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    const auto version = file.value(section, "Version");
    const auto page = file.value(section, "Page");
    if (!version || !page) {
        *problem = QStringLiteral("no [Ranquil] section with Version and Page");
        return std::nullopt;
    }
    const QString versionText = QString::fromStdString(*version);
    if (holdsControlByte(*version) || !parseVersion(versionText)) {
        *problem = QStringLiteral("no version: ") + visibleText(versionText);
        return std::nullopt;
    }
    const auto address = pageAddress(*page);
    if (!address) {
        *problem
            = QStringLiteral("no http or https page: ") + visibleRemoteText(QByteArray::fromStdString(*page));
        return std::nullopt;
    }
    return UpgradeInformation { versionText, *address };
}

UpgradeCheck::UpgradeCheck(
    QString informationUrl, QString runningVersion, const connectionOptions& options, QObject* parent)
    : QObject(parent)
    , informationUrl_(std::move(informationUrl))
    , runningVersion_(std::move(runningVersion))
    , http_(std::make_unique<THttpCli>())
{
    applyHttpProxy(*http_, options);
    http_->SetMaxDocumentSize(maxFileSize);
    http_->SetAccept(QStringLiteral("text/plain, */*"));
    http_->SetAgent(QStringLiteral("Ranquil/") + runningVersion_);
    http_->OnRequestDone = [this](THttpRequest, int error) { onRequestDone(error); };
    // The asynchronous request has no deadline of its own.
    deadline_.setSingleShot(true);
    deadline_.setInterval(http_->Timeout());
    connect(&deadline_, &QTimer::timeout, this, [this] { http_->Abort(); });
}

UpgradeCheck::~UpgradeCheck()
{
    http_->OnRequestDone = nullptr;
}

void UpgradeCheck::start()
{
    received_.setData({});
    received_.open(QIODevice::WriteOnly);
    http_->SetURL(informationUrl_);
    http_->SetRcvdStream(&received_);
    try {
        http_->GetASync();
    } catch (const EHttpException& e) {
        qCWarning(upgradeLog).noquote() << QStringLiteral("The upgrade check cannot ask %1: %2")
                                               .arg(visibleText(informationUrl_), e.message());
        // Told from the event loop, as every other outcome is.
        QMetaObject::invokeMethod(
            this, [this] { conclude(Outcome::Unreachable); }, Qt::QueuedConnection);
        return;
    }
    deadline_.start();
}

void UpgradeCheck::onRequestDone(int error)
{
    deadline_.stop();
    http_->SetRcvdStream(nullptr);
    const int status = http_->StatusCode();
    if (error != 0 || status < 200 || status > 299) {
        qCWarning(upgradeLog).noquote() << QStringLiteral("The upgrade check could not read %1: %2 %3")
                                               .arg(visibleText(informationUrl_))
                                               .arg(status)
                                               .arg(http_->ReasonPhrase());
        conclude(Outcome::Unreachable);
        return;
    }
    conclude(judge(received_.data()));
}

UpgradeCheck::Outcome UpgradeCheck::judge(const QByteArray& text)
{
    QString problem;
    const auto information = parseUpgradeInformation(text, &problem);
    if (!information) {
        qCWarning(upgradeLog).noquote()
            << QStringLiteral("The upgrade check ignores %1: %2").arg(visibleText(informationUrl_), problem);
        return Outcome::Malformed;
    }
    const auto running = parseVersion(runningVersion_);
    if (!running || compareVersions(*parseVersion(information->version), *running) <= 0) {
        qCInfo(upgradeLog).noquote() << QStringLiteral("No version newer than %1 (the newest is %2)")
                                            .arg(runningVersion_, information->version);
        return Outcome::NotNewer;
    }
    qCInfo(upgradeLog).noquote() << QStringLiteral("Version %1 is available at %2")
                                        .arg(information->version, information->page.toString());
    Q_EMIT newerVersionAvailable(information->version, information->page);
    return Outcome::Newer;
}

void UpgradeCheck::conclude(Outcome outcome)
{
    if (std::exchange(concluded_, true))
        return;
    Q_EMIT finished(outcome);
}
