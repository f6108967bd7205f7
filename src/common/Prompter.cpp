#include "common/Prompter.h"

#include "common/MainThreadCall.h"

#include <QCoreApplication>
#include <QThread>

bool Prompter::promptOnMainThread(
    const QString& title, const QString& text, const QString& first, const QString& second)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return prompt(title, text, first, second);
    bool answer = true;
    callOnThreadOf(app, [&] { answer = prompt(title, text, first, second); });
    return answer;
}

void Prompter::showErrorBox(const QString& text)
{
    promptOnMainThread(MessageTexts::errorTitle(), text, MessageTexts::okButton(), {});
}

void Prompter::showHint(const QString& text)
{
    promptOnMainThread(MessageTexts::hintTitle(), text, MessageTexts::okButton(), {});
}

bool Prompter::askYesNo(const QString& text)
{
    return promptOnMainThread(
        MessageTexts::questionTitle(), text, MessageTexts::yesButton(), MessageTexts::noButton());
}

void Prompter::showServerError(const QString& text, const QString& lastServerReply)
{
    showErrorBox(text + QStringLiteral("\n\nDetails from server:\n") + lastServerReply);
}
