#pragma once

// A headless transfer window and prompter for the worker's tests, and a way
// to run a worker to its end while this thread serves its calls.

#include "common/Prompter.h"
#include "net/EventWait.h"
#include "transfer/LoaderThread.h"
#include "transfer/LoaderWindow.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <mutex>

// Records every message; answers questions with `answer`.
class RecordingPrompter : public Prompter
{
public:
    bool answer = true;
    QStringList messages;

    bool prompt(const QString&, const QString& text, const QString&, const QString&) override
    {
        messages << text;
        return answer;
    }
};

// Records what the worker shows; answers the overwrite question with
// `overwriteAnswer`.
class RecordingWindow : public LoaderWindow
{
public:
    QStringList statuses; // of connection 0
    QList<ExistenceKind> questions;
    OverwriteAnswer overwriteAnswer = OverwriteAnswer::Overwrite;
    std::function<OverwriteAnswer(ExistenceKind)> answerFor; // when set, in place of overwriteAnswer
    std::function<void(const QString&)> onStatus;
    int calls = 0; // of every kind

    void setConnectionStatus(int connection, const QString& text) override
    {
        ++calls;
        if (connection != 0)
            return;
        statuses << text;
        if (onStatus)
            onStatus(text);
    }
    void addConnectionRow(int, const QString&, int) override { ++calls; }
    void removeConnectionRow(int) override { ++calls; }
    void showPauseButton(bool) override { ++calls; }
    void showFolders(const QString&, const QString&) override { ++calls; }
    OverwriteAnswer askOverwrite(const QString&, ExistenceKind kind) override
    {
        ++calls;
        questions << kind;
        return answerFor ? answerFor(kind) : overwriteAnswer;
    }
};

// Runs the worker to its end; false when it did not end in time.
inline bool runToEnd(LoaderThread& worker, std::chrono::seconds limit = std::chrono::seconds(60))
{
    worker.start(OperationPriority::Normal);
    const bool ended = processEventsUntil([&] { return worker.isFinished(); }, QDeadlineTimer(limit))
        == WaitOutcome::Ready;
    worker.wait();
    return ended;
}
