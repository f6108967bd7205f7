// Stores written whole, through a file of their own, never through a link.

#include "common/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace
{

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(AtomicFile, ASymbolicLinkAtTheTargetIsReplacedAndItsTargetLeftAlone)
{
    QTemporaryDir folder;
    QTemporaryDir outside;
    const QString victim = outside.filePath(QStringLiteral("victim.txt"));
    QFile victimFile(victim);
    ASSERT_TRUE(victimFile.open(QIODevice::WriteOnly));
    ASSERT_EQ(victimFile.write("precious"), 8);
    victimFile.close();
    const QString target = folder.filePath(QStringLiteral("Registry.ini"));
    ASSERT_TRUE(QFile::link(victim, target));

    QString error;
    ASSERT_TRUE(writeFileAtomically(target, "[v5]\nsecret=1\n", 0600, &error)) << error.toStdString();

    EXPECT_EQ(contentsOf(victim), QByteArray("precious"));
    EXPECT_FALSE(QFileInfo(target).isSymLink());
    EXPECT_EQ(contentsOf(target), QByteArray("[v5]\nsecret=1\n"));
    struct stat status {
    };
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1)
        << "no temporary file is left behind";
}

TEST(AtomicFile, AWriteIntoAMissingFolderFailsWithAMessage)
{
    QTemporaryDir folder;
    const QString target = folder.filePath(QStringLiteral("missing/Ranquil.ini"));
    QString error;
    EXPECT_FALSE(writeFileAtomically(target, "x", 0600, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(target));
}

} // namespace
