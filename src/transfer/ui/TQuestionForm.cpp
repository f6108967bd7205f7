#include "transfer/ui/TQuestionForm.h"

#include "transfer/LoadFrame.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{

QString existenceText(ExistenceKind kind)
{
    switch (kind) {
    case ExistenceKind::Completely:
        return QStringLiteral(" already exists completely in destination.");
    case ExistenceKind::Partially:
        break;
    case ExistenceKind::Unrelated:
        return QStringLiteral(" already exists in destination as another file.");
    }
    return QStringLiteral(" exists partially in destination.");
}

} // namespace

TQuestionForm::TQuestionForm(const QString& name, ExistenceKind kind, QWidget* parent)
    : QDialog(parent)
    // Closing the window without an answer keeps the file as it is.
    , answer_(OverwriteAnswer::Skip)
    , automatic_(automaticAnswer(kind))
{
    setWindowTitle(QStringLiteral("Please choose (auto closing in ten seconds)"));
    setModal(true);
    text_ = QLatin1Char('"') + LoadFrameTexts::shortened(name, shownNameLength) + QLatin1Char('"')
        + existenceText(kind);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(text_, this));
    auto* buttons = new QGridLayout;
    const std::tuple<QString, OverwriteAnswer, bool> choices[] = {
        { QStringLiteral("&Overwrite"), OverwriteAnswer::Overwrite, true },
        { QStringLiteral("Overwrite &All"), OverwriteAnswer::OverwriteAll, true },
        { QStringLiteral("&Skip"), OverwriteAnswer::Skip, true },
        { QStringLiteral("S&kip All"), OverwriteAnswer::SkipAll, true },
        { QStringLiteral("&Resume"), OverwriteAnswer::Resume, kind == ExistenceKind::Partially },
        { QStringLiteral("Res&ume All"), OverwriteAnswer::ResumeAll, kind == ExistenceKind::Partially },
        { QStringLiteral("Keep &Both"), OverwriteAnswer::KeepBoth, kind == ExistenceKind::Unrelated },
        { QStringLiteral("Keep Both A&ll"), OverwriteAnswer::KeepBothAll, kind == ExistenceKind::Unrelated },
    };
    int index = 0;
    for (const auto& [caption, result, shown] : choices) {
        if (!shown)
            continue;
        auto* button = new QPushButton(caption, this);
        connect(button, &QPushButton::clicked, this, [this, result = result] { choose(result); });
        buttons->addWidget(button, index / 2, index % 2);
        ++index;
    }
    layout->addLayout(buttons);
    timer_.setSingleShot(true);
    timer_.setInterval(autoAnswerMs);
    connect(&timer_, &QTimer::timeout, this, [this] { choose(automatic_); });
}

OverwriteAnswer TQuestionForm::ask()
{
    timer_.start();
    exec();
    timer_.stop();
    return answer_;
}

QString TQuestionForm::questionText() const
{
    return text_;
}

void TQuestionForm::choose(OverwriteAnswer answer)
{
    timer_.stop();
    answer_ = answer;
    accept();
}
