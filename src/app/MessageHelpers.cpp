#include "app/MessageHelpers.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <atomic>

namespace
{
std::atomic<Prompter*> installed { nullptr };

bool promptOnMainThread(
    const QString& title, const QString& text, const QString& first, const QString& second)
{
    auto ask = [&] {
        Prompter* p = installed.load();
        return p ? p->prompt(title, text, first, second) : true;
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return ask();
    bool answer = true;
    QMetaObject::invokeMethod(
        app, [&] { answer = ask(); }, Qt::BlockingQueuedConnection);
    return answer;
}
} // namespace

void setPrompter(Prompter* prompter)
{
    installed.store(prompter);
}

void showErrorBox(const QString& text)
{
    promptOnMainThread(MessageTexts::errorTitle(), text, MessageTexts::okButton(), {});
}

void showHint(const QString& text)
{
    promptOnMainThread(MessageTexts::hintTitle(), text, MessageTexts::okButton(), {});
}

bool askYesNo(const QString& text)
{
    return promptOnMainThread(
        MessageTexts::questionTitle(), text, MessageTexts::yesButton(), MessageTexts::noButton());
}

void showServerError(const QString& text, const QString& lastServerReply)
{
    showErrorBox(text + QStringLiteral("\n\nDetails from server:\n") + lastServerReply);
}
