// One timed run of the transfer worker without a window, for
// worker_vs_lftp.sh:
//
//   worker_bench walk   PORT USER PASSWORD REMOTE-FOLDER
//   worker_bench upload PORT USER PASSWORD LOCAL-FILE REMOTE-FOLDER
//   worker_bench delete PORT USER PASSWORD REMOTE-FOLDER
//
// against 127.0.0.1. A walk is a download whose run is stopped once its
// directory cache has been written, so only the walk is timed. Prints the
// seconds taken and the number of files; exits 1 when the run failed.

#include "common/Prompter.h"
#include "transfer/FtpOperation.h"
#include "transfer/LoaderThread.h"
#include "transfer/LoaderWindow.h"
#include "transfer/TransferRequest.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace
{

class StderrPrompter : public Prompter
{
public:
    int messages = 0;

    bool prompt(const QString&, const QString& text, const QString&, const QString&) override
    {
        ++messages;
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return true;
    }
};

class HeadlessWindow : public LoaderWindow
{
public:
    void setConnectionStatus(int, const QString&) override { }
    void addConnectionRow(int, const QString&, int) override { }
    void removeConnectionRow(int) override { }
    void showPauseButton(bool) override { }
    void showFolders(const QString&, const QString&) override { }
    OverwriteAnswer askOverwrite(const QString&, ExistenceKind) override
    {
        return OverwriteAnswer::OverwriteAll;
    }
};

int usage()
{
    std::fprintf(stderr,
        "usage: worker_bench walk|delete PORT USER PASSWORD REMOTE-FOLDER\n"
        "       worker_bench upload PORT USER PASSWORD LOCAL-FILE REMOTE-FOLDER\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 6)
        return usage();
    const QString mode = args[1];
    const bool walk = mode == QStringLiteral("walk");
    const bool upload = mode == QStringLiteral("upload");
    if (!walk && !upload && mode != QStringLiteral("delete"))
        return usage();
    if (upload && args.size() < 7)
        return usage();

    StderrPrompter prompter;
    HeadlessWindow window;
    ftpOperationObject operation;
    QTemporaryDir downloads;
    LoaderInputs in;
    in.request.site.hostAddress = "127.0.0.1";
    in.request.site.displayAddress = "127.0.0.1";
    in.request.site.port = args[2].toInt();
    in.request.site.anonymous = false;
    in.request.site.userId = args[3].toStdString();
    in.request.site.password = args[4].toStdString();
    in.request.site.initialDirectory = "/";
    in.options.Attempts = 1;
    in.options.AlwaysUsePassiveMode = true;
    in.options.Mode = connectionOptions::Binary;
    in.operation = &operation;
    in.prompter = &prompter;
    in.window = &window;
    if (upload) {
        const QString file = QFileInfo(args[5]).absoluteFilePath();
        in.request.kind = OperationKind::Upload;
        in.request.items.files
            = { entryAt(file.toStdString(), static_cast<std::uint64_t>(QFileInfo(file).size())) };
    } else {
        in.request.kind = walk ? OperationKind::Download : OperationKind::Delete;
        in.request.items.folders = { entryAt(args[5].toStdString()) };
        in.request.destination = downloads.path();
    }
    bool walked = false;
    LoaderThread* running = nullptr;
    if (walk) {
        // The cache is written once the walk has ended: stop there.
        in.onOperationChanged = [&](const ftpOperationObject& changed) {
            if (!walked && !changed.cacheFile.empty()) {
                walked = true;
                running->requestStop();
            }
        };
    }

    QElapsedTimer clock;
    clock.start();
    LoaderThread worker(std::move(in));
    running = &worker;
    QObject::connect(&worker, &QThread::finished, &app, &QCoreApplication::quit);
    worker.start(OperationPriority::Normal);
    app.exec();
    worker.wait();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const auto& progress = *worker.progress();
    const bool succeeded = walk ? walked : progress.finished.load();
    std::printf("%s %.3f s, %lld bytes in the operation\n", qPrintable(mode), seconds,
        static_cast<long long>(progress.totalBytes.load()));
    return succeeded && prompter.messages == 0 ? 0 : 1;
}
