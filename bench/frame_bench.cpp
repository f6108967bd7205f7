// A folder of 100,000 entries in the browser frame, listed by a real
// session from the family FTP server: how long after the listing has
// arrived the remote list shows it all, how long a sort by each column
// takes, and how long the main thread went without serving a 10 ms timer
// meanwhile. Prints one line per figure; run it a few times.

#include "FtpTestServer.h"

#include "common/Prompter.h"
#include "remote/PlatformTypeText.h"
#include "session/FtpClient.h"
#include "session/ui/RemoteListModel.h"
#include "session/ui/TClientFrame.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

const int entryCount = qEnvironmentVariableIntValue("FRAME_BENCH_ENTRIES") > 0
    ? qEnvironmentVariableIntValue("FRAME_BENCH_ENTRIES")
    : 100000;

struct silentPrompter : Prompter {
    bool prompt(const QString&, const QString&, const QString&, const QString&) override { return true; }
};

// The frame, noting when the server's reply that ends the listing arrives.
class timedFrame : public TClientFrame
{
public:
    using TClientFrame::TClientFrame;
    qint64 listingArrived = -1;
    QElapsedTimer* clock = nullptr;

    void appendLog(const QString& line, logColour colour) override
    {
        if (line.startsWith(QStringLiteral("< 226")))
            listingArrived = clock->nsecsElapsed();
        TClientFrame::appendLog(line, colour);
    }
};

// The gaps between the ticks of a 10 ms timer.
class gapRecorder
{
public:
    gapRecorder()
    {
        timer_.setInterval(10);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            const qint64 now = clock_.nsecsElapsed();
            gaps_.push_back((now - last_) / 1e6);
            last_ = now;
        });
    }
    void start()
    {
        gaps_.clear();
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    void stop() { timer_.stop(); }
    void report(const char* what)
    {
        std::sort(gaps_.begin(), gaps_.end());
        if (gaps_.empty())
            return;
        const double p99 = gaps_[std::min(gaps_.size() - 1, gaps_.size() * 99 / 100)];
        std::printf(
            "%-40s timer gap p99 %.1f ms, max %.1f ms (%zu ticks)\n", what, p99, gaps_.back(), gaps_.size());
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    std::vector<double> gaps_;
};

void fillFolder(const QString& folder)
{
    QDir().mkpath(folder);
    static const char* extensions[] = { ".txt", ".png", ".zip", ".mp3", ".pdf", ".c", ".html", "" };
    for (int at = 0; at < entryCount; ++at) {
        const QString name = QStringLiteral("%1/entry%2%3")
                                 .arg(folder)
                                 .arg(at * 7919 % entryCount)
                                 .arg(QLatin1String(extensions[at % 8]));
        if (at % 50 == 0) {
            QDir().mkdir(name + QStringLiteral("d"));
            continue;
        }
        QFile file(name);
        file.open(QIODevice::WriteOnly);
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("RANQUIL_HOME", home.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    QTemporaryDir root;
    fillFolder(root.filePath(QStringLiteral("big")));
    FtpTestServer server(FtpServerKind::Family, root.path());
    if (!server.running()) {
        std::fprintf(stderr, "family server: %s\n", qPrintable(server.error()));
        return 1;
    }
    // As the main window does at start-up: the file-type table of the MIME
    // database is built before the first listing needs it.
    platformTypeText("warm-up.txt");
    silentPrompter prompter;
    GUIOptions layout;
    layout.FTPListViewMode = "Detail";
    QElapsedTimer clock;
    auto frame = std::make_shared<timedFrame>(prompter, layout);
    frame->clock = &clock;
    frame->resize(1000, 700);
    frame->show();
    ftpSite site;
    site.name = "bench";
    site.hostAddress = site.displayAddress = "127.0.0.1";
    site.port = server.port();
    site.userId = server.user().toStdString();
    site.password = server.password().toStdString();
    site.initialDirectory = "/";
    connectionOptions options;
    options.TimeoutPeriod = 30;
    ftpClient session(site, frame, ftpClient::environment { prompter, nullptr, options });
    frame->setSession(&session);
    session.start();

    gapRecorder gaps;
    for (int round = 0; round < 3; ++round) {
        clock.start();
        frame->listingArrived = -1;
        gaps.start();
        session.goToPath("/big");
        // Shown: every row in the model and the view laid out and painted.
        while (frame->remoteModel()->rowCount() < entryCount)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        frame->repaint();
        const qint64 shown = clock.nsecsElapsed();
        gaps.stop();
        std::printf("round %d: listing %.0f ms after the command, shown %.0f ms after it arrived\n", round,
            frame->listingArrived / 1e6, (shown - frame->listingArrived) / 1e6);
        gaps.report("  listing and showing");
        session.goToPath("/");
    }
    session.goToPath("/big");
    while (frame->remoteModel()->rowCount() < entryCount)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    static const char* columns[] = { "Name", "Size", "Type", "Date", "Rights" };
    gaps.start();
    // A sort runs beside the main thread: it is done when the rows take
    // their new order.
    bool sorted = false;
    QObject::connect(
        frame->remoteModel(), &QAbstractItemModel::layoutChanged, frame.get(), [&] { sorted = true; });
    for (int click = 0; click < 10; ++click) {
        const int column = click % RemoteListModel::ColumnCount;
        clock.start();
        sorted = false;
        frame->headerClicked(column);
        while (!sorted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        frame->repaint();
        const double ms = clock.nsecsElapsed() / 1e6;
        std::printf("sort by %-6s key %+d: %.0f ms\n", columns[column], frame->remoteModel()->sortKey(), ms);
        QCoreApplication::processEvents();
    }
    gaps.stop();
    gaps.report("  sorting");
    return 0;
}
