#include "common/UnreadableStore.h"

#include "TempHome.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{

const QByteArray damaged("[Connection]\nAttempts=5\n\0\x01\x02\x03", 28);

unsigned modeOf(const QString& path)
{
    struct stat info {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

TEST(UnreadableStore, ADamagedFileIsKeptAsideWithItsBytesAndAPrivateMode)
{
    TempHome home;
    home.write(QStringLiteral("Ranquil.ini"), damaged);
    const QString path = home.file(QStringLiteral("Ranquil.ini"));
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    const std::optional<UnreadableStore> store = setAsideUnreadableStore(path);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->problem, QStringLiteral("it holds binary data (a NUL byte)"));
    EXPECT_EQ(store->keptAs, path + QStringLiteral(".bad"));
    EXPECT_FALSE(QFileInfo::exists(path)) << "the next save would replace it";
    EXPECT_EQ(home.read(QStringLiteral("Ranquil.ini.bad")), damaged);
    EXPECT_EQ(modeOf(store->keptAs), 0600u);
    EXPECT_EQ(unreadableStoreText(*store),
        path + QStringLiteral(" could not be read: it holds binary data (a NUL byte). It was kept as ") + path
            + QStringLiteral(".bad, and the program starts as if it were missing."));
}

TEST(UnreadableStore, OneGenerationIsKept)
{
    TempHome home;
    const QString path = home.file(QStringLiteral("Registry.ini"));
    home.write(QStringLiteral("Registry.ini.bad"), "older damage");
    home.write(QStringLiteral("Registry.ini"), damaged);

    ASSERT_TRUE(setAsideUnreadableStore(path));
    EXPECT_EQ(home.read(QStringLiteral("Registry.ini.bad")), damaged);
    EXPECT_EQ(QDir(home.path()).entryList({ QStringLiteral("Registry.ini*") }, QDir::Files),
        QStringList { QStringLiteral("Registry.ini.bad") });
}

TEST(UnreadableStore, ReadableAndMissingFilesStayWhereTheyAre)
{
    TempHome home;
    home.write(QStringLiteral("Ranquil.ini"), "[Connection]\nAttempts=5\n");
    EXPECT_FALSE(setAsideUnreadableStore(home.file(QStringLiteral("Ranquil.ini"))));
    EXPECT_FALSE(setAsideUnreadableStore(home.file(QStringLiteral("Registry.ini"))));
    EXPECT_EQ(home.read(QStringLiteral("Ranquil.ini")), QByteArray("[Connection]\nAttempts=5\n"));
    EXPECT_EQ(QDir(home.path()).entryList({ QStringLiteral("*.bad") }, QDir::AllEntries), QStringList());
}

TEST(UnreadableStore, AFileThatCannotBeMovedIsLeftAndSaidSo)
{
    TempHome home;
    home.write(QStringLiteral("Ranquil.ini"), damaged);
    home.write(QStringLiteral("Ranquil.ini.bad/keep"), "a folder is in the way");
    const QString path = home.file(QStringLiteral("Ranquil.ini"));

    const std::optional<UnreadableStore> store = setAsideUnreadableStore(path);
    ASSERT_TRUE(store);
    EXPECT_TRUE(store->keptAs.isEmpty());
    EXPECT_FALSE(store->moveError.isEmpty());
    EXPECT_EQ(home.read(QStringLiteral("Ranquil.ini")), damaged);
    EXPECT_TRUE(
        unreadableStoreText(*store).contains(QStringLiteral("it is left as it is and not overwritten")));
}

} // namespace
