#include "app/ui/TAboutForm.h"

#include "app/AboutFacts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace
{
QLabel* factLabel(const QString& name, const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

TAboutForm::TAboutForm(const AboutFacts& facts, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About"));
    auto* title = factLabel(QStringLiteral("program"), facts.programName + QLatin1Char(' ') + facts.version);
    QFont bigger = title->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.4);
    bigger.setBold(true);
    title->setFont(bigger);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Version:"), factLabel(QStringLiteral("version"), facts.version));
    form->addRow(QStringLiteral("Qt:"), factLabel(QStringLiteral("qtVersion"), facts.qtVersion));
    form->addRow(QStringLiteral("TLS library:"), factLabel(QStringLiteral("tlsLibrary"), facts.tlsLibrary));
    form->addRow(
        QStringLiteral("Program folder:"), factLabel(QStringLiteral("programFolder"), facts.programFolder));
    form->addRow(QStringLiteral("Temporary folder:"),
        factLabel(QStringLiteral("temporaryFolder"), facts.temporaryFolder));
    form->addRow(QStringLiteral("Licences:"),
        factLabel(QStringLiteral("licences"), facts.licences.join(QLatin1Char('\n'))));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(
        factLabel(QStringLiteral("summary"), QStringLiteral("FTP client with peer-to-peer search.")));
    layout->addLayout(form);
    layout->addWidget(buttons);
}
