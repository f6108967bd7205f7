#pragma once

#include <QString>

// How the core asks the user. The Qt view implements it with the
// auto-closing TShowMessageForm; tests install a scripted answerer.
class Prompter
{
public:
    virtual ~Prompter() = default;
    // Shows a modal message with one or two buttons (an empty caption hides a
    // button). True for the first button, or when nobody answers in time.
    virtual bool prompt(
        const QString& title, const QString& text, const QString& firstButton, const QString& secondButton)
        = 0;
};

// Installs the prompter the helpers use (not owned; null: nothing is shown
// and questions answer yes, as an unattended box would).
void setPrompter(Prompter* prompter);

// The program-wide message boxes. Callable from any thread: a worker's call
// runs on the main thread and waits for the answer.
void showErrorBox(const QString& text);
void showHint(const QString& text);
bool askYesNo(const QString& text);
// `text`, then the server's last reply under "Details from server:".
void showServerError(const QString& text, const QString& lastServerReply);

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
