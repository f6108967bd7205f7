#pragma once

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// How a file that is to be written already exists. Unrelated: a file of
// that name that this program did not write for this remote file (another
// size, or another digest than the server's).
enum class ExistenceKind { Completely, Partially, Unrelated };

// The answers of the overwrite question, by their historic numbers. An
// answer "All" holds for every later file of the run. Keep both: the file
// there stays, the download goes beside it under a numbered name.
enum class OverwriteAnswer : int {
    SkipAll = -2,
    Skip = -1,
    Overwrite = 1,
    OverwriteAll = 2,
    Resume = 3,
    ResumeAll = 4,
    KeepBoth = 5,
    KeepBothAll = 6
};

// The answer when nobody gives one: Resume when offered; for a file that is
// not this download's own nothing is lost (keep both); otherwise Overwrite.
inline OverwriteAnswer automaticAnswer(ExistenceKind kind)
{
    switch (kind) {
    case ExistenceKind::Partially:
        return OverwriteAnswer::Resume;
    case ExistenceKind::Unrelated:
        return OverwriteAnswer::KeepBoth;
    case ExistenceKind::Completely:
        break;
    }
    return OverwriteAnswer::Overwrite;
}

// How one file of a download ended.
enum class FileOutcome { Arrived, Skipped, Failed, DigestMismatch, LocalWriteFailed };

// What a transfer worker tells its window. The worker calls it only through
// LoaderThread's synchronous calls, so every method runs on the main thread;
// the transfer window implements it, tests and command-line front ends too.
class LoaderWindow
{
public:
    virtual ~LoaderWindow() = default;

    // Connection 0's status is also the window's main status line.
    virtual void setConnectionStatus(int connection, const QString& text) = 0;
    virtual void addConnectionRow(int connection, const QString& address, int speedIndex) = 0;
    virtual void removeConnectionRow(int connection) = 0;
    // Pausing is offered while a resumable transfer runs.
    virtual void showPauseButton(bool shown) = 0;
    virtual void showFolders(const QString& localFolder, const QString& remoteFolder) = 0;
    // "Resume" is offered only for Partially, "Keep both" for Unrelated. The
    // window answers by itself when nobody does (automaticAnswer).
    virtual OverwriteAnswer askOverwrite(const QString& path, ExistenceKind kind) = 0;
    // A line for the run's log: something the worker did on its own (a
    // file saved under another name, a digest it could not check).
    virtual void note(const QString& text) { setConnectionStatus(0, text); }
    // A name of a walked download folder that is left out (a folder not
    // opened, a name that would leave the local folder): the folder arrives
    // without it. `serverReply`: the reply that refused it, if one did.
    virtual void leftOut(const std::string& remotePath, const QString& text, const QString& serverReply)
    {
        Q_UNUSED(remotePath);
        Q_UNUSED(serverReply);
        note(text);
    }
    // A download is done with one file (arrived whole, skipped, or not).
    virtual void fileFinished(const QString& remotePath, FileOutcome outcome)
    {
        Q_UNUSED(remotePath);
        Q_UNUSED(outcome);
    }
};

// The progress block: single values the worker writes and the window's
// timer reads, each safe on its own from any thread.
struct LoaderProgress {
    static constexpr int connectionCount = 8;

    std::atomic<std::int64_t> totalBytes { 0 }; // of the whole operation
    std::atomic<std::int64_t> finishedBytes { 0 }; // of the files done
    std::atomic<std::int64_t> currentFileBytes { 0 };
    std::atomic<std::int64_t> currentFileSize { 0 }; // or the part length
    std::array<std::atomic<std::int64_t>, connectionCount> connectionBytes {};
    // 1 supported, -1 not, 0 not yet known.
    std::atomic<int> resumeIndicator { 0 };
    std::atomic<int> digestIndicator { 0 };
    std::atomic<int> remoteSizeIndicator { 0 };
    // Files of a download that did not arrive whole, by cause; any of them
    // makes the run end stopped rather than finished.
    std::atomic<int> failedFiles { 0 };
    std::atomic<int> digestMismatches { 0 };
    std::atomic<int> localWriteFailures { 0 };
    // Folders a download walk could not open (or that lay too deep): their
    // files are missing, so the run ends stopped too.
    std::atomic<int> foldersNotOpened { 0 };
    std::atomic<bool> walkingStarted { false };
    std::atomic<bool> finished { false };
    std::atomic<bool> stopped { false };

    void setCurrentFile(const QString& name)
    {
        std::lock_guard lock(textMutex_);
        currentFile_ = name;
    }
    QString currentFile() const
    {
        std::lock_guard lock(textMutex_);
        return currentFile_;
    }
    void setHostText(const QString& host)
    {
        std::lock_guard lock(textMutex_);
        hostText_ = host;
    }
    QString hostText() const
    {
        std::lock_guard lock(textMutex_);
        return hostText_;
    }
    void clearConnectionBytes()
    {
        for (auto& bytes : connectionBytes)
            bytes = 0;
    }

private:
    mutable std::mutex textMutex_;
    QString currentFile_;
    QString hostText_;
};
