// The main thread's responsiveness while a transfer runs: one download of a
// large file in eight parts at full loopback speed, its transfer window open
// and the actions list showing 200 rows, while a 10 ms timer on the main
// thread records the gaps between its ticks. Prints the 99th percentile and
// the longest gap, and the download's rate.
//
//   window_responsiveness_bench HOST PORT USER PASSWORD REMOTE_PATH SIZE
//
// bench/window_responsiveness.sh starts the family server and runs it.

#include "app/OperationsList.h"
#include "app/ui/OperationsListView.h"
#include "app/ui/TransferWindows.h"
#include "common/Prompter.h"
#include "transfer/ActionsList.h"
#include "transfer/FtpOperation.h"
#include "transfer/LoaderManager.h"
#include "transfer/ui/LoadForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

class NoPrompter : public Prompter
{
public:
    bool prompt(const QString&, const QString& text, const QString&, const QString&) override
    {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        return true;
    }
};

ftpOperationObject downloadOf(const char* host, int port, const char* user, const char* password,
    const char* path, std::uint64_t size, const QString& folder)
{
    ftpOperationObject operation;
    operation.request.kind = OperationKind::Download;
    operation.request.items.files = { entryAt(path, size) };
    operation.request.site.hostAddress = host;
    operation.request.site.displayAddress = host;
    operation.request.site.port = static_cast<std::uint32_t>(port);
    operation.request.site.anonymous = false;
    operation.request.site.userId = user;
    operation.request.site.password = password;
    operation.request.site.initialDirectory = "/";
    operation.request.destination = folder;
    operation.status = OperationStatus::Stopped;
    return operation;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD REMOTE_PATH SIZE\n", argv[0]);
        return 2;
    }
    QTemporaryDir home;
    qputenv("RANQUIL_HOME", home.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    ActionsList actions(home.filePath(QStringLiteral("Registry.ini")));
    loaderManager manager;
    connectionOptions options;
    options.Attempts = 1;
    NoPrompter prompter;
    OperationsList core(actions, manager, options, prompter, QStringList());
    const std::uint64_t size = std::strtoull(argv[6], nullptr, 10);
    for (int i = 0; i < 199; ++i) {
        ftpOperationObject filler = downloadOf(argv[1], 1, "x", "x", "/nothing.bin", 1, home.path());
        ftpOperationObject* row = actions.addOperation(std::move(filler));
        actions.setStatus(row, OperationStatus::Completed, 0);
    }
    ftpOperationObject* row = actions.addOperation(downloadOf(
        argv[1], std::atoi(argv[2]), argv[3], argv[4], argv[5], size, home.filePath(QStringLiteral("in"))));
    TransferWindows windows;
    OperationsListView view(actions, core, windows);
    view.resize(900, 600);
    view.show();

    QElapsedTimer run;
    std::vector<qint64> gaps;
    QElapsedTimer sinceLastTick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    qint64 longest = 0;
    qint64 longestAt = 0;
    QString longestDuring;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 gap = sinceLastTick.restart();
        if (gap > longest) {
            longest = gap;
            longestAt = run.elapsed();
            const TLoadForm* form = windows.formOf(row->window);
            longestDuring = form ? form->windowTitle() : QString();
        }
        gaps.push_back(gap);
    });

    view.list()->setCurrentItem(view.list()->topLevelItem(actions.indexOf(row)));
    run.start();
    sinceLastTick.start();
    probe.start(10);
    view.restartButton()->click();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (row->status != OperationStatus::Running && row->status != OperationStatus::Connecting)
            app.quit();
    });
    poll.start(50);
    app.exec();
    probe.stop();
    const double seconds = static_cast<double>(run.elapsed()) / 1000.0;
    // Finished, or Completed when its window closed itself when done.
    if (row->status != OperationStatus::Finished && row->status != OperationStatus::Completed) {
        std::fprintf(stderr, "the download did not finish: %s\n",
            actions.row(actions.indexOf(row)).statusText.toUtf8().constData());
        return 1;
    }
    std::sort(gaps.begin(), gaps.end());
    const qint64 p99 = gaps[gaps.size() * 99 / 100];
    std::printf("download: %.1f MiB in %.2f s (%.0f MiB/s), 8 parts, window open, 200 rows\n",
        static_cast<double>(size) / 1048576.0, seconds, static_cast<double>(size) / 1048576.0 / seconds);
    std::printf(
        "10 ms timer on the main thread: %zu ticks, gap p99 %lld ms, max %lld ms (at %.2f s, \"%s\")\n",
        gaps.size(), static_cast<long long>(p99), static_cast<long long>(gaps.back()),
        static_cast<double>(longestAt) / 1000.0, longestDuring.toUtf8().constData());
    return 0;
}
