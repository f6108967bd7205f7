#include "app/ui/TShowMessageForm.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TShowMessageForm::TShowMessageForm(const QString& title, const QString& text, const QString& firstButton,
    const QString& secondButton, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(true);

    auto* message = new QPlainTextEdit(text, this);
    message->setReadOnly(true);
    countdown_ = new QLabel(this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const std::pair<const QString*, int> choices[]
        = { { &firstButton, Accepted }, { &secondButton, Rejected } };
    for (const auto& [caption, result] : choices) {
        if (caption->isEmpty())
            continue;
        auto* button = new QPushButton(*caption, this);
        connect(button, &QPushButton::clicked, this, [this, result = result] { answer(result); });
        buttons->addWidget(button);
        if (result == Accepted)
            button->setDefault(true);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message);
    layout->addWidget(countdown_);
    layout->addLayout(buttons);
    resize(420, 220);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &TShowMessageForm::tick);
    timer_.start();
}

QString TShowMessageForm::countdownText() const
{
    return countdown_->text();
}

void TShowMessageForm::tick()
{
    ++ticks_;
    countdown_->setText(QStringLiteral("This form will close in %1 secs to ensure automation.")
                            .arg(ticksBeforeClosing - ticks_));
    if (ticks_ >= ticksBeforeClosing)
        answer(Accepted);
}

void TShowMessageForm::answer(int result)
{
    timer_.stop();
    done(result);
}
