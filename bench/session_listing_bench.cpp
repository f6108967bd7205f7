// One timed listing of a large remote folder into a browsing session, for
// bench/session_listing_vs_curl.sh to set beside curl fetching the raw
// listing of the same folder:
//
//   session_listing_bench <port> <folder>
//
// Anonymous login on 127.0.0.1. Prints two times in seconds: connecting,
// logging in and listing the folder into the session (LIST into the cache
// file, parsing, tree and list data), the same span curl's time_total
// covers; then showing the folder again from its cache. Then the number of
// entries, and the seconds from the first entries shown to the end of the
// listing: the part the server's wait before its first byte does not blur;
// last, the processor seconds the whole process spent on the first.
// RANQUIL_HOME and XDG_RUNTIME_DIR should point at a scratch folder.

#include "common/Prompter.h"
#include "remote/PlatformTypeText.h"
#include "session/FtpClient.h"
#include "session/SessionView.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>

#include <sys/resource.h>

namespace
{

// User and system seconds of every thread of the process so far.
double processorSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Counts what the views would be given.
struct countingView : sessionView {
    std::size_t entries = 0;
    std::size_t nodes = 0;
    QElapsedTimer firstEntries;
    void setCaption(const QString&) override { }
    void bringToFront() override { }
    void setState(sessionState, const sessionCommands&) override { }
    void setModal(bool) override { }
    void showStatus(const QString&) override { }
    void clearLog() override { }
    void appendLog(const QString&, logColour) override { }
    void setPathText(const QString&) override { }
    void clearTree() override { nodes = 0; }
    void addTreeNode(const ftpTreeViewObject&) override { ++nodes; }
    void selectTreeNode(const ftpTreeViewObject&) override { }
    void sortTree() override { }
    void expandTree() override { }
    void clearList() override { entries = 0; }
    void addListEntries(std::span<const ftpObject* const> shown) override
    {
        if (entries == 0 && !firstEntries.isValid())
            firstEntries.start();
        entries += shown.size();
    }
    void updateListEntry(const ftpObject&) override { }
    std::optional<searchRequest> askSearchKeyword() override { return std::nullopt; }
    void removeListEntries(std::span<const ftpObject* const> gone) override { entries -= gone.size(); }
    void removeTreeNodes(std::span<const ftpTreeViewObject* const> gone) override { nodes -= gone.size(); }
    QString askName(const nameQuestion&) override { return {}; }
    permissionsAnswer askPermissions(const permissionsQuestion&) override { return {}; }
    std::optional<newObjectAnswer> askNewObject() override { return std::nullopt; }
};

struct silentPrompter : Prompter {
    bool prompt(const QString&, const QString& text, const QString&, const QString&) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <port> <folder>\n", argv[0]);
        return 2;
    }
    // The program builds the file-type table at start, off any listing.
    platformTypeText("warm-up.txt");

    ftpSite site;
    site.name = "bench";
    site.hostAddress = site.displayAddress = "127.0.0.1";
    site.port = static_cast<std::uint32_t>(std::atoi(argv[1]));
    site.anonymous = true;
    site.initialDirectory = argv[2];
    connectionOptions options;
    options.TimeoutPeriod = 60;
    silentPrompter prompter;
    const auto view = std::make_shared<countingView>();
    ftpClient session(site, view, ftpClient::environment { prompter, nullptr, options });

    QElapsedTimer fetch;
    const double processorBefore = processorSeconds();
    fetch.start();
    session.start();
    const double fetchSeconds = static_cast<double>(fetch.nsecsElapsed()) / 1e9;
    const double fetchProcessor = processorSeconds() - processorBefore;
    const double afterFirst = static_cast<double>(view->firstEntries.nsecsElapsed()) / 1e9;
    const std::size_t fetched = view->entries;

    session.changeDirectoryAndList("/");
    QElapsedTimer cached;
    cached.start();
    session.changeDirectoryAndList(argv[2]);
    const double cachedSeconds = static_cast<double>(cached.nsecsElapsed()) / 1e9;

    if (fetched == 0 || view->entries != fetched) {
        std::fprintf(stderr, "listed %zu entries, then %zu from the cache\n", fetched, view->entries);
        return 1;
    }
    std::printf(
        "%.4f %.4f %zu %.4f %.4f\n", fetchSeconds, cachedSeconds, fetched, afterFirst, fetchProcessor);
    return 0;
}
