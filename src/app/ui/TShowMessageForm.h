#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The program's one message window: caption, read-only text, up to two
// buttons and a countdown. Unanswered, it closes itself with "yes" after ten
// ticks of a second, so that unattended runs never block on a question.
class TShowMessageForm : public QDialog
{
    Q_OBJECT

public:
    static constexpr int ticksBeforeClosing = 10;

    TShowMessageForm(const QString& title, const QString& text, const QString& firstButton,
        const QString& secondButton, QWidget* parent = nullptr);

    // The time between two ticks (one second unless a test shortens it).
    void setTickInterval(int milliseconds) { timer_.setInterval(milliseconds); }
    QString countdownText() const;

private:
    void tick();
    void answer(int result);

    QTimer timer_;
    int ticks_ = 0;
    QLabel* countdown_ = nullptr;
};
