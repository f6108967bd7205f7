// The FTP component against real servers: vsftpd, proftpd and the family
// server, directly and through SOCKS and FTP proxies.

#include "FtpTestServer.h"
#include "ProxyServers.h"
#include "SocksServers.h"
#include "ftp_socks_relay.h"
#include "ftp_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace
{

constexpr qint64 fileSize = 3 * 1024 * 1024 + 17;

SocksRoute socksAt(quint16 port)
{
    SocksRoute route;
    route.server = QStringLiteral("127.0.0.1");
    route.port = QString::number(port);
    return route;
}

// A served folder with one file and its contents, a local folder, and a
// component logged in to the server.
class FtpServerFixture
{
protected:
    bool prepare(FtpServerKind kind, const QStringList& switches = {})
    {
        contents = patternBytes(fileSize, static_cast<int>(kind));
        if (!writeLocalFile(remote.filePath(QStringLiteral("file.bin")), contents))
            return false;
        server = std::make_unique<FtpTestServer>(kind, remote.path(), switches);
        if (!server->running())
            return false;
        log.attach(client);
        client.SetTimeout(30);
        aimAt(client, server->port(), server->user(), server->password());
        return true;
    }

    QString local(const QString& name) const { return localFolder.filePath(name); }
    QString served(const QString& name) const { return remote.filePath(name); }
    // Upload names are relative where the account may write to its home
    // folder, so they never depend on whether the server shows it as "/".
    QByteArray uploadPath(const QByteArray& name) const
    {
        return server->uploadFolder().isEmpty() ? name : server->uploadFolder() + '/' + name;
    }
    QString servedUpload(const QString& name) const
    {
        return remote.path() + QString::fromUtf8(server->uploadFolder()) + QLatin1Char('/') + name;
    }

    QTemporaryDir remote;
    QTemporaryDir localFolder;
    QByteArray contents;
    std::unique_ptr<FtpTestServer> server;
    TFtpClient client;
    FtpLog log;
};

struct ModeCase {
    FtpServerKind kind;
    bool passive;
};

std::string modeName(const testing::TestParamInfo<ModeCase>& info)
{
    return FtpTestServer::kindName(info.param.kind).toStdString()
        + (info.param.passive ? "Passive" : "Active");
}

const auto everyServerAndMode
    = testing::Values(ModeCase { FtpServerKind::Family, true }, ModeCase { FtpServerKind::Family, false },
        ModeCase { FtpServerKind::Vsftpd, true }, ModeCase { FtpServerKind::Vsftpd, false },
        ModeCase { FtpServerKind::Proftpd, true }, ModeCase { FtpServerKind::Proftpd, false });

class FtpTransfers : public FtpServerFixture, public testing::TestWithParam<ModeCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(prepare(GetParam().kind)) << (server ? server->error().toStdString() : "no served file");
        client.SetPassive(GetParam().passive);
        ASSERT_TRUE(logIn(client)) << client.ErrorMessage().toStdString();
        ASSERT_TRUE(client.TypeSet());
    }
};

TEST_P(FtpTransfers, DownloadsTheWholeFile)
{
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));
    qint64 lastProgress = -1;
    client.OnProgress = [&](qint64 count, bool&) { lastProgress = count; };

    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString() << "\n" << log.text().toStdString();
    EXPECT_EQ(readLocalFile(local(QStringLiteral("file.bin"))), contents);
    EXPECT_EQ(client.ByteCount(), fileSize);
    EXPECT_GT(lastProgress, 0);
    EXPECT_TRUE(log.contains(QStringLiteral("! %1 bytes received/sent in ").arg(fileSize)));
}

TEST_P(FtpTransfers, ListsTheFolder)
{
    client.SetHostFileName({});
    client.SetLocalFileName(local(QStringLiteral("listing.txt")));

    ASSERT_TRUE(client.Dir()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(readLocalFile(local(QStringLiteral("listing.txt"))).contains("file.bin"));
}

TEST_P(FtpTransfers, ResumesADownloadWhereTheLocalFileEnds)
{
    const qint64 have = 1000003;
    ASSERT_TRUE(writeLocalFile(local(QStringLiteral("part.bin")), contents.left(have)));
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("part.bin")));
    client.SetResumeAt(have);

    ASSERT_TRUE(client.RestGet()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(client.ByteCount(), fileSize - have);
    EXPECT_EQ(readLocalFile(local(QStringLiteral("part.bin"))), contents);
}

TEST_P(FtpTransfers, UploadsAndResumesAnUpload)
{
    const QString source = local(QStringLiteral("up.bin"));
    const qint64 firstPart = 777777;
    ASSERT_TRUE(writeLocalFile(source, contents.left(firstPart)));
    client.SetHostFileName(uploadPath("up.bin"));
    client.SetLocalFileName(source);
    ASSERT_TRUE(client.Put()) << client.ErrorMessage().toStdString();
    ASSERT_EQ(readLocalFile(servedUpload(QStringLiteral("up.bin"))), contents.left(firstPart));

    ASSERT_TRUE(writeLocalFile(source, contents));
    client.SetResumeAt(firstPart);
    ASSERT_TRUE(client.RestPut()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(client.ByteCount(), fileSize - firstPart);
    EXPECT_EQ(readLocalFile(servedUpload(QStringLiteral("up.bin"))), contents);
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpTransfers, everyServerAndMode, modeName);

class FtpFileCommands : public FtpServerFixture, public testing::TestWithParam<FtpServerKind>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(prepare(GetParam())) << (server ? server->error().toStdString() : "no served file");
        client.SetPassive(true);
        ASSERT_TRUE(logIn(client)) << client.ErrorMessage().toStdString();
    }
};

TEST_P(FtpFileCommands, CreateEnterMeasureRenameAndRemove)
{
    client.SetHostFileName("made");
    ASSERT_TRUE(client.Mkd()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(QFileInfo(served(QStringLiteral("made"))).isDir());

    client.SetHostDirName("made");
    ASSERT_TRUE(client.Cwd());
    ASSERT_TRUE(client.Pwd());
    EXPECT_TRUE(client.DirResult().endsWith("/made")) << client.DirResult().toStdString();
    client.SetHostDirName("..");
    ASSERT_TRUE(client.Cwd());

    ASSERT_TRUE(client.TypeSet());
    client.SetHostFileName("file.bin");
    ASSERT_TRUE(client.Size());
    EXPECT_EQ(client.SizeResult(), fileSize);

    client.SetHostFileName("file.bin");
    client.SetRenameTarget("made/moved.bin");
    ASSERT_TRUE(client.Ren()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(readLocalFile(served(QStringLiteral("made/moved.bin"))), contents);

    client.SetHostFileName("made/moved.bin");
    ASSERT_TRUE(client.Dele());
    client.SetHostFileName("made");
    ASSERT_TRUE(client.Rmd());
    EXPECT_FALSE(QFileInfo::exists(served(QStringLiteral("made"))));
}

TEST_P(FtpFileCommands, RenOfAMissingFileStopsAtRnfr)
{
    client.SetHostFileName("missing.bin");
    client.SetRenameTarget("other.bin");

    EXPECT_FALSE(client.Ren());
    EXPECT_EQ(client.RequestResult(), 550);
    EXPECT_TRUE(client.ErrorMessage().startsWith(QStringLiteral("550")));
    EXPECT_FALSE(log.contains(QStringLiteral("> RNTO")));
    EXPECT_TRUE(client.Pwd()) << "the connection stays usable";
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpFileCommands,
    testing::Values(FtpServerKind::Family, FtpServerKind::Proftpd),
    [](const testing::TestParamInfo<FtpServerKind>& info) {
        return FtpTestServer::kindName(info.param).toStdString();
    });

// ---------------------------------------------------------------- faults of the family server

class FtpFaults : public FtpServerFixture, public testing::Test
{
protected:
    bool start(const QStringList& switches)
    {
        if (!prepare(FtpServerKind::Family, switches))
            return false;
        client.SetPassive(true);
        client.SetHostFileName("file.bin");
        client.SetLocalFileName(local(QStringLiteral("file.bin")));
        return true;
    }

    // Binary transfers: the files are compared byte for byte.
    bool logInBinary() { return logIn(client) && client.TypeSet(); }
};

TEST_F(FtpFaults, AServerWithoutRestFailsRestGetAndStillServesGet)
{
    ASSERT_TRUE(start({ QStringLiteral("--refuse"), QStringLiteral("REST") }))
        << server->error().toStdString();
    ASSERT_TRUE(logInBinary());
    client.SetResumeAt(1000);

    EXPECT_FALSE(client.RestGet());
    EXPECT_EQ(client.RequestResult(), 500);
    EXPECT_FALSE(log.contains(QStringLiteral("> RETR")));

    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(readLocalFile(local(QStringLiteral("file.bin"))), contents);
}

TEST_F(FtpFaults, ABusyServerRefusesWith421)
{
    ASSERT_TRUE(start({ QStringLiteral("--max-connections"), QStringLiteral("1") }))
        << server->error().toStdString();
    ASSERT_TRUE(logInBinary());
    TFtpClient second;
    aimAt(second, server->port(), server->user(), server->password());

    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.StatusCode(), 421);
    EXPECT_FALSE(second.GetConnected());
    EXPECT_TRUE(client.Pwd()) << "the first connection is unaffected";
}

TEST_F(FtpFaults, ADroppedDataConnectionFailsTheDownload)
{
    ASSERT_TRUE(start({ QStringLiteral("--drop-after"), QStringLiteral("100000") }))
        << server->error().toStdString();
    ASSERT_TRUE(logInBinary());

    EXPECT_FALSE(client.Get());
    EXPECT_EQ(client.RequestResult(), 426);
    EXPECT_LT(QFileInfo(local(QStringLiteral("file.bin"))).size(), fileSize);

    ASSERT_TRUE(client.Get()) << "only the first transfer is dropped";
    EXPECT_EQ(readLocalFile(local(QStringLiteral("file.bin"))), contents);
}

// What SIZE announced is the size the download must reach, from the start
// or from a resume position.
struct AnnouncedSizeCase {
    const char* name;
    qint64 announced;
    qint64 resumeAt;
    const char* error;
};

class FtpAnnouncedSize : public FtpFaults, public testing::WithParamInterface<AnnouncedSizeCase>
{
};

TEST_P(FtpAnnouncedSize, ADownloadThatDoesNotEndThereFailsAndSaysWhy)
{
    const AnnouncedSizeCase& c = GetParam();
    ASSERT_TRUE(start({ QStringLiteral("--size-reply"), QString::number(c.announced) }))
        << server->error().toStdString();
    ASSERT_TRUE(logInBinary());
    ASSERT_TRUE(client.Size());
    ASSERT_EQ(client.SizeResult(), c.announced);
    client.SetExpectedSize(client.SizeResult());
    client.SetResumeAt(c.resumeAt);
    ASSERT_TRUE(writeLocalFile(local(QStringLiteral("file.bin")), contents.left(c.resumeAt)));

    EXPECT_FALSE(c.resumeAt > 0 ? client.RestGet() : client.Get()) << log.text().toStdString();
    EXPECT_EQ(client.RequestResult(), 426);
    const QString error = client.ErrorMessage();
    EXPECT_TRUE(error.startsWith(QString::fromLatin1(c.error))) << error.toStdString();
    if (const qsizetype at = error.indexOf(QStringLiteral("(at least ")); at >= 0) {
        EXPECT_GT(error.mid(at + 10).section(QLatin1Char(')'), 0, 0).toLongLong(), c.announced)
            << "what arrived is said: " << error.toStdString();
    }
    ASSERT_TRUE(client.Pwd()) << "the transfer's final reply was read: " << log.text().toStdString();
    EXPECT_EQ(client.StatusCode(), 257);
    const QByteArray kept = readLocalFile(local(QStringLiteral("file.bin")));
    EXPECT_TRUE(contents.startsWith(kept)) << "only the file's own bytes are kept";
    EXPECT_LE(kept.size(), std::min(c.announced, fileSize));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FtpAnnouncedSize,
    testing::Values(AnnouncedSizeCase { "more_than_announced", 2 * 1024 * 1024, 0,
                        "426 The server sent more than the 2097152 bytes expected (at least " },
        AnnouncedSizeCase { "more_than_announced_after_a_resume", 2 * 1024 * 1024, 1000000,
            "426 The server sent more than the 2097152 bytes expected (at least " },
        AnnouncedSizeCase { "half_of_what_was_announced", 2 * fileSize, 0,
            "426 Transfer ended at byte 3145745 of 6291490: what arrived is kept for a resume" },
        AnnouncedSizeCase { "a_huge_announced_size", 1'000'000'000'000'000'000, 1000000,
            "426 Transfer ended at byte 3145745 of 1000000000000000000: what arrived is kept for a resume" }),
    [](const testing::TestParamInfo<AnnouncedSizeCase>& info) { return std::string(info.param.name); });

TEST_F(FtpFaults, ACommandLineLongerThanServersAcceptIsRefusedBeforeItLeaves)
{
    ASSERT_TRUE(start({}));
    ASSERT_TRUE(logInBinary());
    const QByteArray head = "SITE MD5 /";
    const QByteArray longest = head + QByteArray(TCustomFtpCli::commandLineMaxBytes - head.size(), 'n');

    client.SetQuoteCommand(longest + 'n');
    EXPECT_FALSE(client.Quote());
    EXPECT_EQ(client.ErrorMessage(),
        QStringLiteral("FTP command refused: 2049 bytes long, more than the 2048 servers accept"));
    EXPECT_FALSE(log.contains(QStringLiteral("> SITE MD5"))) << "nothing of it was sent";
    client.SetQuoteCommands({ "SITE MD5 /file.bin", longest + 'n' });
    EXPECT_FALSE(client.QuoteEach());
    EXPECT_TRUE(client.QuoteReplies().empty()) << "a batch is refused whole";
    EXPECT_FALSE(log.contains(QStringLiteral("> SITE MD5")));

    // As long as the server takes: it answers that one command, once.
    client.SetQuoteCommand(longest);
    EXPECT_FALSE(client.Quote());
    EXPECT_FALSE(client.LastResponse().contains(QStringLiteral("too long"))) << log.text().toStdString();
    ASSERT_TRUE(client.Pwd()) << "the replies stay in step: " << log.text().toStdString();
    EXPECT_EQ(client.StatusCode(), 257);
}

TEST_F(FtpFaults, AMultiLineBannerIsReadToItsEnd)
{
    ASSERT_TRUE(start(
        { QStringLiteral("--banner"), QStringLiteral("Welcome to the family"), QStringLiteral("--banner"),
            QStringLiteral("230 is no reply here"), QStringLiteral("--banner"), QStringLiteral("Ready") }))
        << server->error().toStdString();

    ASSERT_TRUE(client.Open());
    EXPECT_EQ(client.StatusCode(), 220);
    EXPECT_TRUE(log.contains(QStringLiteral("Welcome to the family")));
    ASSERT_TRUE(client.User());
    EXPECT_EQ(client.StatusCode(), 331);
}

TEST_F(FtpFaults, ASlowServerTimesOutAndLeavesTheComponentDisconnected)
{
    ASSERT_TRUE(start({ QStringLiteral("--reply-delay"), QStringLiteral("3000") }))
        << server->error().toStdString();
    client.SetTimeout(1);

    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.StatusCode(), 426);
    EXPECT_EQ(client.ErrorMessage(), QStringLiteral("426 Timeout"));
    EXPECT_FALSE(client.GetConnected());
    EXPECT_EQ(client.State(), ftpReady);
}

TEST_F(FtpFaults, AnIdlePassiveConnectionClosedByTheServerIsSurvived)
{
    // The server drops a passive connection that arrives before its
    // command; the component sends the command first and retries once on
    // a fresh connection, so the transfer goes through either way.
    ASSERT_TRUE(start({ QStringLiteral("--drop-idle-passive"), QStringLiteral("1") }))
        << server->error().toStdString();
    ASSERT_TRUE(logInBinary());
    client.SetTimeout(10);
    client.SetExpectedSize(fileSize);

    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString() << "\n" << log.text().toStdString();
    EXPECT_EQ(readLocalFile(local(QStringLiteral("file.bin"))), contents);
    ASSERT_TRUE(client.Pwd()) << "the connection stays in step";
    EXPECT_TRUE(client.DirResult().startsWith('/'));
}

// ---------------------------------------------------------------- names in another encoding

TEST(FtpRemoteNames, ALatin1NameIsListedFetchedRenamedAndDeletedAsItsBytes)
{
    QTemporaryDir remote;
    QTemporaryDir localFolder;
    FtpTestServer server(FtpServerKind::Vsftpd, remote.path());
    ASSERT_TRUE(server.running()) << server.error().toStdString();
    const QByteArray name = "caf\xe9 cr\xe8me.txt";
    const QByteArray renamed = "d\xe9j\xe0 vu.txt";
    const QByteArray incoming = remote.path().toUtf8() + server.uploadFolder();
    const QByteArray contents = patternBytes(70000, 21);
    // Made with the bytes as they are: no encoding of a file-name API in between.
    std::FILE* file = std::fopen((incoming + '/' + name).constData(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(contents.constData(), 1, contents.size(), file), size_t(contents.size()));
    std::fclose(file);
    const auto existsOnDisk = [&](const QByteArray& fileName) {
        return ::access((incoming + '/' + fileName).constData(), F_OK) == 0;
    };
    TFtpClient client;
    FtpLog log;
    log.attach(client);
    client.SetTimeout(30);
    client.SetPassive(true);
    aimAt(client, server.port(), server.user(), server.password());
    ASSERT_TRUE(logIn(client)) << client.ErrorMessage().toStdString();
    ASSERT_TRUE(client.TypeSet());

    client.SetHostFileName(server.uploadFolder());
    client.SetLocalFileName(localFolder.filePath(QStringLiteral("listing.txt")));
    ASSERT_TRUE(client.Dir()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(readLocalFile(localFolder.filePath(QStringLiteral("listing.txt"))).contains(name));

    client.SetHostFileName(server.uploadFolder() + '/' + name);
    ASSERT_TRUE(client.Size());
    client.SetExpectedSize(client.SizeResult());
    client.SetLocalFileName(localFolder.filePath(QStringLiteral("fetched.txt")));
    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(readLocalFile(localFolder.filePath(QStringLiteral("fetched.txt"))), contents);
    EXPECT_TRUE(log.contains(QStringLiteral("> RETR /incoming/caf\u00e9 cr\u00e8me.txt")))
        << log.text().toStdString();

    client.SetRenameTarget(server.uploadFolder() + '/' + renamed);
    ASSERT_TRUE(client.Ren()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(existsOnDisk(renamed));
    EXPECT_FALSE(existsOnDisk(name));

    client.SetHostFileName(server.uploadFolder() + '/' + renamed);
    ASSERT_TRUE(client.Dele()) << client.ErrorMessage().toStdString();
    EXPECT_FALSE(existsOnDisk(renamed));
}

// ---------------------------------------------------------------- files of 4 GiB and more

class FtpLargeFiles : public FtpServerFixture, public testing::Test
{
protected:
    static constexpr qint64 bigSize = 5000000000LL;
    static constexpr qint64 tailSize = 4096;

    // A sparse file of `size` bytes whose last tailSize bytes are `tail`.
    static bool makeSparse(const QString& path, qint64 size, const QByteArray& tail)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.resize(size - tail.size())
            && file.seek(size - tail.size()) && file.write(tail) == tail.size();
    }
    static QByteArray tailOf(const QString& path, qint64 length)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !file.seek(file.size() - length))
            return {};
        return file.read(length);
    }
};

TEST_F(FtpLargeFiles, SizesAndResumePositionsBeyond4GiBWork)
{
    ASSERT_TRUE(prepare(FtpServerKind::Family)) << server->error().toStdString();
    const QByteArray tail = patternBytes(tailSize, 7);
    ASSERT_TRUE(makeSparse(served(QStringLiteral("big.bin")), bigSize, tail));
    client.SetPassive(true);
    ASSERT_TRUE(logIn(client));
    ASSERT_TRUE(client.TypeSet());

    client.SetHostFileName("big.bin");
    ASSERT_TRUE(client.Size());
    EXPECT_EQ(client.SizeResult(), bigSize);

    client.SetLocalFileName(local(QStringLiteral("big.tail")));
    client.SetResumeAt(bigSize - tailSize);
    qint64 firstCount = -1;
    client.OnProgress = [&](qint64 count, bool&) {
        if (firstCount < 0)
            firstCount = count;
    };
    ASSERT_TRUE(client.RestGet()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("> REST 4999995904")));
    EXPECT_EQ(readLocalFile(local(QStringLiteral("big.tail"))), tail);

    // The upload resumes a remote file that already holds all but the tail.
    const QByteArray newTail = patternBytes(tailSize, 8);
    ASSERT_TRUE(makeSparse(local(QStringLiteral("big.up")), bigSize, newTail));
    QFile(served(QStringLiteral("big.bin"))).resize(bigSize - tailSize);
    client.SetLocalFileName(local(QStringLiteral("big.up")));
    client.SetResumeAt(bigSize - tailSize);
    ASSERT_TRUE(client.RestPut()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(QFileInfo(served(QStringLiteral("big.bin"))).size(), bigSize);
    EXPECT_EQ(tailOf(served(QStringLiteral("big.bin")), tailSize), newTail);
}

// ---------------------------------------------------------------- SOCKS and FTP proxies

struct SocksCase {
    const char* name;
    TFtpConnectionType type;
    bool withAccount;
};

class FtpThroughSocks : public FtpServerFixture, public testing::TestWithParam<SocksCase>
{
};

TEST_P(FtpThroughSocks, LogsInListsAndDownloads)
{
    DanteServer socks;
    ASSERT_TRUE(socks.start(GetParam().withAccount)) << socks.error().toStdString();
    ASSERT_TRUE(prepare(FtpServerKind::Family)) << server->error().toStdString();
    client.SetConnectionType(GetParam().type);
    SocksRoute route = socksAt(socks.port());
    if (GetParam().withAccount) {
        route.user = DanteServer::systemSocksUser();
        route.password = DanteServer::systemSocksPassword();
    }
    client.SetSocksRoute(route);
    client.SetPassive(false);

    ASSERT_TRUE(logIn(client)) << client.ErrorMessage().toStdString() << " "
                               << client.LastResponse().toStdString();
    ASSERT_TRUE(client.TypeSet());
    EXPECT_TRUE(client.Passive());
    client.SetLocalFileName(local(QStringLiteral("listing.txt")));
    ASSERT_TRUE(client.Dir()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(readLocalFile(local(QStringLiteral("listing.txt"))).contains("file.bin"));
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local(QStringLiteral("file.bin")));
    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(readLocalFile(local(QStringLiteral("file.bin"))), contents);
}

INSTANTIATE_TEST_SUITE_P(Socks, FtpThroughSocks,
    testing::Values(SocksCase { "Socks4", ftpSocks4, false }, SocksCase { "Socks5", ftpSocks5, false },
        SocksCase { "Socks5WithAccount", ftpSocks5, true }),
    [](const testing::TestParamInfo<SocksCase>& info) { return std::string(info.param.name); });

TEST(FtpThroughSocksServer, Socks4ALetsTheSocksServerResolveTheSiteForBothConnections)
{
    Socks4aRelay relay;
    ASSERT_TRUE(relay.start());
    QTemporaryDir remote;
    QTemporaryDir local;
    const QByteArray contents = patternBytes(200000, 10);
    ASSERT_TRUE(writeLocalFile(remote.filePath(QStringLiteral("file.bin")), contents));
    FtpTestServer site(FtpServerKind::Family, remote.path());
    ASSERT_TRUE(site.running()) << site.error().toStdString();

    TFtpClient client;
    client.SetTimeout(30);
    aimAt(client, site.port(), site.user(), site.password());
    client.SetHostName(QStringLiteral("localhost"));
    client.SetConnectionType(ftpSocks4A);
    client.SetSocksRoute(socksAt(relay.port()));

    ASSERT_TRUE(logIn(client)) << client.LastResponse().toStdString();
    ASSERT_TRUE(client.TypeSet());
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local.filePath(QStringLiteral("file.bin")));
    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(readLocalFile(local.filePath(QStringLiteral("file.bin"))), contents);
    const QList<QByteArray> requests = relay.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0], "localhost:" + QByteArray::number(site.port()));
    EXPECT_TRUE(requests[1].startsWith("localhost:")) << "the data connection goes to the site by name";
}

TEST(FtpThroughSocksServer, AWrongSocksPasswordFailsTheConnectionWithAClearMessage)
{
    DanteServer socks;
    ASSERT_TRUE(socks.start(true)) << socks.error().toStdString();
    TFtpClient client;
    aimAt(client, freeTcpPort());
    client.SetConnectionType(ftpSocks5);
    SocksRoute route = socksAt(socks.port());
    route.user = DanteServer::systemSocksUser();
    route.password = QStringLiteral("wrong");
    client.SetSocksRoute(route);

    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.StatusCode(), 500);
    EXPECT_EQ(
        client.LastResponse(), QStringLiteral("500 socks authentication failed (Winsock error #20015)"));
}

TEST(FtpThroughProxy, TheProxyLoginReachesTheSiteAndItsFiles)
{
    QTemporaryDir remote;
    QTemporaryDir local;
    const QByteArray contents = patternBytes(500000, 9);
    ASSERT_TRUE(writeLocalFile(remote.filePath(QStringLiteral("file.bin")), contents));
    FtpTestServer site(FtpServerKind::Family, remote.path());
    ASSERT_TRUE(site.running()) << site.error().toStdString();
    FtpProxyTestServer proxy;
    ASSERT_TRUE(proxy.start()) << proxy.error().toStdString();

    TFtpClient client;
    FtpLog log;
    log.attach(client);
    client.SetTimeout(30);
    aimAt(client, site.port(), site.user(), site.password());
    client.SetConnectionType(ftpProxy);
    client.SetProxyServer(QStringLiteral("127.0.0.1"));
    client.SetProxyPort(QString::number(proxy.port()));

    ASSERT_TRUE(logIn(client)) << client.ErrorMessage().toStdString() << "\n" << log.text().toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("> USER tester@127.0.0.1:%1").arg(site.port())));
    ASSERT_TRUE(client.TypeSet());
    client.SetHostFileName("file.bin");
    client.SetLocalFileName(local.filePath(QStringLiteral("file.bin")));
    ASSERT_TRUE(client.Get()) << client.ErrorMessage().toStdString() << "\n" << log.text().toStdString();
    EXPECT_EQ(readLocalFile(local.filePath(QStringLiteral("file.bin"))), contents);
    EXPECT_TRUE(site.commandLog().contains("USER tester"));
}

} // namespace
