#pragma once

#include <QString>

// How the core asks the user. The Qt view implements `prompt` with the
// auto-closing TShowMessageForm; tests implement it with a scripted answerer.
// Each subsystem is handed the prompter it must use.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // Main thread only. Shows a modal message with one or two buttons (an
    // empty caption hides a button). True for the first button, or when
    // nobody answers in time.
    virtual bool prompt(
        const QString& title, const QString& text, const QString& firstButton, const QString& secondButton)
        = 0;

    // The program-wide message boxes. Callable from any thread: a worker's
    // call runs on the main thread and waits for the answer.
    void showErrorBox(const QString& text);
    void showHint(const QString& text);
    bool askYesNo(const QString& text);
    // `text`, then the server's last reply under "Details from server:".
    virtual void showServerError(const QString& text, const QString& lastServerReply);

private:
    bool promptOnMainThread(
        const QString& title, const QString& text, const QString& firstButton, const QString& secondButton);
};

namespace MessageTexts
{
inline QString errorTitle()
{
    return QStringLiteral("Quorvane Ranquil Server Error");
}
inline QString hintTitle()
{
    return QStringLiteral("Quorvane Ranquil Server Hint");
}
inline QString questionTitle()
{
    return QStringLiteral("Please choose");
}
inline QString okButton()
{
    return QStringLiteral("&OK");
}
inline QString yesButton()
{
    return QStringLiteral("&Yes");
}
inline QString noButton()
{
    return QStringLiteral("&No");
}
} // namespace MessageTexts
