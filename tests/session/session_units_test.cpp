#include "remote/EntryList.h"
#include "remote/RemotePath.h"
#include "session/FtpClient.h"
#include "session/RemoteTree.h"
#include "session/SessionLog.h"
#include "session/SessionState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace
{

TEST(CacheFileName, NamesOfTheOrdinaryFolders)
{
    EXPECT_EQ(remotePath::cacheFileName("127.0.0.1", 21, "/pub/"), "%127.0.0.1%21%-pub.tmp");
    EXPECT_EQ(remotePath::cacheFileName("127.0.0.1", 21, "/pub"), "%127.0.0.1%21%-pub.tmp");
    EXPECT_EQ(remotePath::cacheFileName("127.0.0.1", 2121, "/"), "%127.0.0.1%2121%.tmp");
    EXPECT_EQ(remotePath::cacheFileName("host", 21, "C:/<x>/"), "%host%21%C@-!x=.tmp");
}

// Every folder gets a file of its own, and every name stays one plain file.
TEST(CacheFileName, DifferentFoldersNeverShareAFileAndNamesStayInTheFolder)
{
    const std::vector<std::pair<std::string, std::string>> places {
        { "host", "/a-b" },
        { "host", "/a/b" },
        { "host", "/a!b" },
        { "host", "/a<b" },
        { "host", "/a@b" },
        { "host", "/a:b" },
        { "host", "/a~2Fb" },
        { "ho%21%", "/x" },
        { "ho", "21%/x" },
        { "host", "/.." },
        { "host", ".." },
        { "host", std::string("/a\0b", 4) },
        { "host", std::string("/a\0c", 4) },
        { "host", "/\xC3\xA9" },
        { "host", "/\xE9" },
        { "host", "/\xEA" },
        { "host", "/" + std::string(300, 'x') },
        { "host", "/" + std::string(300, 'x') + "y" },
        { "host", "/" + std::string(90, '/') },
        { "host", "/" + std::string(90, '-') },
    };
    std::set<std::string> names;
    for (const auto& [address, folder] : places) {
        const std::string name = remotePath::cacheFileName(address, 21, folder);
        SCOPED_TRACE(name);
        EXPECT_LE(name.size(), 255u);
        EXPECT_EQ(name.find('/'), std::string::npos);
        EXPECT_EQ(name.find('\0'), std::string::npos);
        EXPECT_NE(name, "..");
        for (const char c : name)
            EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), places.size());
}

TEST(RemotePathForms, SlashPlainAndJoin)
{
    EXPECT_EQ(remotePath::slashForm("/pub"), "/pub/");
    EXPECT_EQ(remotePath::slashForm(""), "/");
    EXPECT_EQ(remotePath::plainForm("/pub/"), "/pub");
    EXPECT_EQ(remotePath::plainForm("/"), "/");
    EXPECT_EQ(remotePath::slashForm("C:"), "C:/");
    EXPECT_EQ(remotePath::plainForm("C:"), "C:");
    EXPECT_EQ(remotePath::join("", "a"), "/a");
    EXPECT_EQ(remotePath::join("/pub", "/a"), "/pub/a");
    EXPECT_EQ(remotePath::join("/pub/", "a"), "/pub/a");
}

struct logCase {
    const char* name;
    QString line;
    QString shown;
    logColour colour;
};

class LogLines : public testing::TestWithParam<logCase>
{
};

TEST_P(LogLines, SecretsAreMaskedAndControlsShown)
{
    EXPECT_EQ(loggableLine(GetParam().line), GetParam().shown);
    EXPECT_EQ(logColourOf(loggableLine(GetParam().line)), GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(Session, LogLines,
    testing::Values(logCase { "Pass", QStringLiteral("> PASS secret"), QStringLiteral("> PASS ********"),
                        logColour::Command },
        logCase { "PassLowerCase", QStringLiteral("> pass secret"), QStringLiteral("> PASS ********"),
            logColour::Command },
        logCase { "PassOnly", QStringLiteral("> PASS"), QStringLiteral("> PASS"), logColour::Command },
        logCase { "Pasv", QStringLiteral("> PASV"), QStringLiteral("> PASV"), logColour::Command },
        logCase { "Chpwd", QStringLiteral("> SITE CHPWD n3w"), QStringLiteral("> SITE CHPWD ********"),
            logColour::Command },
        logCase { "ChpwdLowerCase", QStringLiteral("> site chpwd n3w"),
            QStringLiteral("> SITE CHPWD ********"), logColour::Command },
        logCase { "Acct", QStringLiteral("> ACCT proxy-secret"), QStringLiteral("> ACCT ********"),
            logColour::Command },
        logCase { "Reply", QStringLiteral("< 230 ok"), QStringLiteral("< 230 ok"), logColour::Reply },
        logCase { "ForgedLine", QStringLiteral("< 230 a\r\n> PASS x"),
            QStringLiteral("< 230 a\\x0D\\x0A> PASS x"), logColour::Reply },
        logCase {
            "Own", QStringLiteral("! Disconnected"), QStringLiteral("! Disconnected"), logColour::Own }),
    [](const testing::TestParamInfo<logCase>& info) { return info.param.name; });

TEST(TabCaption, TenCharactersStayElevenAreShortened)
{
    EXPECT_EQ(ftpClient::tabCaption("Abcdefghij"), QStringLiteral("Abcdefghij"));
    EXPECT_EQ(ftpClient::tabCaption("Abcdefghijk"), QStringLiteral("Abcdefg..."));
    EXPECT_EQ(ftpClient::tabCaption(""), QString());
}

TEST(SessionStates, IndeterminateResolvesByTheComponent)
{
    EXPECT_EQ(resolvedState(sessionState::IndeterminateStable, { true, true }), sessionState::Connected);
    EXPECT_EQ(resolvedState(sessionState::IndeterminateStable, { false, false }), sessionState::Disconnected);
    EXPECT_EQ(sessionStateName(sessionState::CwdList), QStringLiteral("CWDLIST"));
    EXPECT_EQ(sessionStateName(sessionState::ChmodingChpwding), QStringLiteral("chmoding/chpwding"));
}

TEST(SessionStates, ConnectedOffersCommandsOnlyWhenIdle)
{
    const sessionCommands idle = commandsFor(sessionState::Connected, { true, true, true, true, false }, {});
    EXPECT_TRUE(idle.remoteViews && idle.upload && idle.disconnect && idle.back);
    EXPECT_FALSE(idle.abort || idle.forward);
    const sessionCommands listing = commandsFor(sessionState::Connected, { true, true, false }, {});
    EXPECT_TRUE(listing.abort);
    EXPECT_FALSE(listing.remoteViews || listing.disconnect);
    const sessionCommands busy = commandsFor(sessionState::CwdList, {}, idle);
    EXPECT_TRUE(busy.abort);
    EXPECT_FALSE(busy.upload || busy.disconnect || busy.remoteViews);
    sessionCommands keptFromIdle = idle;
    keptFromIdle.connected = false;
    EXPECT_EQ(commandsFor(sessionState::Disconnected, {}, idle), keptFromIdle);
    EXPECT_FALSE(commandsFor(sessionState::BeginningState, {}, idle).clientCommands);
}

} // namespace

// Readable failures for the table below.
inline void PrintTo(const sessionCommands& c, std::ostream* out)
{
    *out << "{client " << c.clientCommands << ", abort " << c.abort << ", upload " << c.upload
         << ", disconnect " << c.disconnect << ", remote views " << c.remoteViews << ", back " << c.back
         << ", forward " << c.forward << ", busy " << c.busy << ", connected " << c.connected << "}";
}

namespace
{

// What every resolved state offers and shows, from the facts the session
// knows; `previous` is what the state before offered.
struct stateCase {
    const char* name;
    sessionState state;
    sessionActivity activity;
    sessionCommands expected;
};

// Connected, ready, no directory command running, history both ways.
constexpr sessionActivity idleActivity { true, true, true, true, true };
// What an idle connected session offered before the state changed.
constexpr sessionCommands previous { true, false, true, true, true, true, false, false, true };

class StateCommands : public testing::TestWithParam<stateCase>
{
};

TEST_P(StateCommands, OfferAndShow)
{
    const stateCase& row = GetParam();
    EXPECT_EQ(commandsFor(row.state, row.activity, previous), row.expected);
}

// clientCommands, abort, upload, disconnect, remoteViews, back, forward,
// busy, connected.
constexpr sessionCommands busyCommands { true, true, false, false, false, false, false, true, false };
constexpr sessionCommands waitingCommands { true, false, false, false, false, false, false, false, false };

INSTANTIATE_TEST_SUITE_P(Session, StateCommands,
    testing::Values(stateCase { "BeginningState", sessionState::BeginningState, idleActivity,
                        { false, false, false, false, false, false, false, false, false } },
        stateCase { "Connecting", sessionState::Connecting, idleActivity, waitingCommands },
        stateCase { "Disconnecting", sessionState::Disconnecting, idleActivity, waitingCommands },
        stateCase { "Listing", sessionState::CwdList, idleActivity, busyCommands },
        stateCase { "Linking", sessionState::Linking, idleActivity, busyCommands },
        stateCase { "Making", sessionState::Making, idleActivity, busyCommands },
        stateCase { "Renaming", sessionState::Renaming, idleActivity, busyCommands },
        stateCase { "Transferring", sessionState::Transferring, idleActivity, busyCommands },
        stateCase { "Chmoding", sessionState::ChmodingChpwding, idleActivity, busyCommands },
        stateCase { "KeepingAlive", sessionState::KeepingAlive, idleActivity, busyCommands },
        stateCase { "Searching", sessionState::Searching, idleActivity, busyCommands },
        stateCase { "ConnectedIdle", sessionState::Connected, idleActivity,
            { true, false, true, true, true, true, true, false, true } },
        stateCase { "ConnectedWithoutHistory", sessionState::Connected, { true, true, true, false, false },
            { true, false, true, true, true, false, false, false, true } },
        // The component answers the server; its state changes resolve here.
        stateCase { "ConnectedWhileTheComponentWorks", sessionState::Connected,
            { true, false, true, true, false },
            { true, true, false, false, false, true, false, false, true } },
        stateCase { "ConnectedWhileADirectoryCommandRuns", sessionState::Connected,
            { true, true, false, false, true },
            { true, true, false, false, false, false, true, false, true } },
        // The control connection went while the state said connected: the
        // remote views stay usable, nothing to disconnect.
        stateCase { "ConnectedButClosed", sessionState::Connected, { false, false, true, false, false },
            { true, false, true, false, true, false, false, false, true } },
        stateCase { "Disconnected", sessionState::Disconnected, idleActivity,
            { true, false, true, true, true, true, false, false, false } }),
    [](const testing::TestParamInfo<stateCase>& info) { return info.param.name; });

TEST(SessionStates, TeardownTurnsEveryGroupOffTheLocalOnesIncluded)
{
    const sessionCommands busy = commandsFor(sessionState::CwdList, {}, {});
    EXPECT_TRUE(groupEnabled(commandGroup::Client, busy));
    EXPECT_TRUE(groupEnabled(commandGroup::Abort, busy));
    EXPECT_FALSE(groupEnabled(commandGroup::RemoteCommands, busy));
    sessionCommands everything { true, true, true, true, true, true, true };
    everything.clientCommands = false;
    for (commandGroup group : { commandGroup::Client, commandGroup::RemoteCommands, commandGroup::Upload,
             commandGroup::Abort, commandGroup::Disconnect })
        EXPECT_FALSE(groupEnabled(group, everything)) << static_cast<int>(group);
}

TEST(RemoteTreeNodes, FoundCaseInsensitivelyAndCreatedOnDemand)
{
    remoteTree tree;
    const ftpTreeViewObject& root = tree.ensureRoot("host", "/pub");
    EXPECT_EQ(root.path, "/");
    EXPECT_EQ(root.name, "host");
    ftpTreeViewObject& docs = tree.nodeOf("/pub/Docs");
    EXPECT_EQ(docs.path, "/pub/Docs");
    EXPECT_EQ(&tree.nodeOf("/PUB/docs/"), &docs);
    EXPECT_EQ(&tree.nodeOf("/"), &root);
    EXPECT_EQ(root.children.size(), 1u);
    tree.nodeOf("/Alpha");
    tree.sort();
    EXPECT_EQ(root.children.front()->name, "Alpha");
}

TEST(RemoteTreeNodes, ManyRemovedAtOnceTakeTheirSubtreesAndLeaveTheRest)
{
    remoteTree tree;
    tree.ensureRoot("host", "/");
    ftpTreeViewObject& pub = tree.nodeOf("/pub");
    std::vector<const ftpTreeViewObject*> going;
    for (int i = 0; i < 300; ++i) {
        ftpTreeViewObject& folder = tree.childOf(pub, "folder " + std::to_string(i));
        tree.childOf(folder, "inner");
        if (i % 3 != 1)
            going.push_back(&folder);
    }
    tree.nodeOf("/other/deep");
    tree.remove(going);
    ASSERT_EQ(pub.children.size(), 100u);
    for (std::size_t i = 0; i < pub.children.size(); ++i)
        EXPECT_EQ(pub.children[i]->name, "folder " + std::to_string(3 * i + 1));
    // Found again by name, and a removed name made anew.
    EXPECT_EQ(&tree.nodeOf("/PUB/Folder 4"), pub.children[1].get());
    EXPECT_EQ(tree.nodeOf("/pub/folder 0/inner").path, "/pub/folder 0/inner");
    EXPECT_EQ(pub.children.size(), 101u);
    // Root, pub, other, deep, and two nodes for each of the 101 folders.
    EXPECT_EQ(tree.nodes().size(), 4u + 2 * 101);
}

entryBlock namedEntries(const std::string& prefix, int count)
{
    entryBlock block;
    for (int i = 0; i < count; ++i)
        block.emplace_back().name = prefix + std::to_string(i);
    return block;
}

TEST(ListedEntries, StayWhereTheyAreWhileTheListGrowsAndShrinks)
{
    // Views hold entries by address from the moment each is listed.
    entryList list;
    std::vector<const ftpObject*> listed;
    for (int round = 0; round < 40; ++round) {
        for (ftpObject& entry : list.keep(namedEntries("kept " + std::to_string(round) + '.', 50))) {
            list.appendKept(entry);
            listed.push_back(&entry);
        }
        ftpObject own;
        own.name = "own " + std::to_string(round);
        listed.push_back(&list.append(std::move(own)));
    }
    ASSERT_EQ(list.size(), listed.size());
    EXPECT_TRUE(std::equal(list.begin(), list.end(), listed.begin()));
    EXPECT_EQ(listed[0]->name, "kept 0.0");
    EXPECT_EQ(listed[50]->name, "own 0");
    EXPECT_EQ(listed.back()->name, "own 39");

    // Asked twice, and one that is not listed: each listed one once, in list order.
    ftpObject elsewhere;
    const std::vector<const ftpObject*> asked { listed.back(), listed[50], &elsewhere, listed[3],
        listed[50] };
    const std::vector<const ftpObject*> gone = list.listedAmong(asked);
    EXPECT_EQ(gone, (std::vector<const ftpObject*> { listed[3], listed[50], listed.back() }));
    list.remove(gone);
    EXPECT_EQ(list.size(), listed.size() - 3);
    EXPECT_TRUE(list.listedAmong(gone).empty());
    EXPECT_EQ(listed[51]->name, "kept 1.0");
    EXPECT_EQ(*std::next(list.begin(), 3), listed[4]);
    EXPECT_EQ(*std::next(list.begin(), 49), listed[51]);

    list.clear();
    EXPECT_TRUE(list.empty());
}

} // namespace
