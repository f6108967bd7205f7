#include "remote/FileTypeText.h"
#include "remote/PlatformTypeText.h"

#include <QMimeDatabase>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{

// The text the MIME database gives for the name when asked directly.
std::string databaseText(const std::string& name)
{
    const QMimeDatabase database;
    const QMimeType type
        = database.mimeTypeForFile(QString::fromStdString(name), QMimeDatabase::MatchExtension);
    return type.isDefault() ? std::string("Unknown Type") : type.comment().toStdString();
}

// Names whose types depend on more than their last extension, in an order
// that would leave a wrong text behind if the extension alone decided.
const std::vector<std::string> trickyNames = {
    "b.gz",
    "a.tar.gz",
    "c.GZ",
    "backup.tar.gz",
    "x.TAR.GZ",
    "notes",
    "Makefile",
    "makefile",
    "GNUmakefile",
    "Makefile.am",
    "README",
    "README.md",
    "readme.txt",
    "notes.txt",
    "notes.txt~",
    "x~",
    "file,v",
    "x.c",
    "x.C",
    "x.cpp",
    "libfoo.so",
    "libfoo.so.1",
    "libfoo.so.1.2",
    "page.1",
    "page.10",
    "page.a",
    "123.vdr",
    "12.vdr",
    "abc.vdr",
    "a.anim1",
    "a.animj",
    "a.animk",
    "MA\xE2\x84\xAA"
    "EFILE",
    "core",
    "x.core",
    "data.7z.001",
    "x.001",
    "CMakeLists.txt",
    "cmakelists.txt",
    "CMakeLists.TXT",
    ".bashrc",
    "",
    "ends.",
    "file.zzq",
    "other.zzq",
    "\xC3\xBC\xC3\xB1\xC3\xAF.txt",
    "\xE6\x97\xA5\xE6\x9C\xAC.pdf",
    "photo.JPG",
    "photo.jpg",
    "a b.tar.gz",
    "photo.J\xE2\x80\x8BPG",
    "x.\xC3\x84",
    "folder/notes.txt",
    "folder/",
    "archive.7Z",
};

TEST(PlatformTypeText, GivesWhatTheDatabaseGivesForAwkwardNames)
{
    for (int round = 0; round < 2; ++round) {
        for (const auto& name : trickyNames)
            EXPECT_EQ(platformTypeText(name), databaseText(name)) << "\"" << name << "\" round " << round;
    }
}

// A name that the pattern matches: "*" becomes a word, a bracket its first
// choice, "?" a letter.
std::string nameFor(const std::string& pattern, const std::string& word)
{
    std::string name;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '*') {
            name += word;
        } else if (pattern[i] == '?') {
            name += 'q';
        } else if (pattern[i] == '[' && pattern.find(']', i + 2) != std::string::npos) {
            name += pattern[i + 1];
            i = pattern.find(']', i + 2);
        } else {
            name += pattern[i];
        }
    }
    return name;
}

TEST(PlatformTypeText, AgreesWithTheDatabaseOnEveryPatternItHolds)
{
    const QMimeDatabase database;
    std::vector<std::string> names;
    for (const QMimeType& type : database.allMimeTypes()) {
        for (const QString& glob : type.globPatterns()) {
            const std::string pattern = glob.toStdString();
            for (const char* word : { "x", "Some File", "a.b" }) {
                names.push_back(nameFor(pattern, word));
                names.push_back(nameFor(QString::fromStdString(pattern).toUpper().toStdString(), word));
            }
        }
    }
    ASSERT_GT(names.size(), 1000u) << "the MIME database seems empty";
    // Seen twice: once to fill what is remembered, once to read it back.
    for (int round = 0; round < 2; ++round) {
        for (const auto& name : names)
            ASSERT_EQ(platformTypeText(name), databaseText(name)) << "\"" << name << "\" round " << round;
    }
}

TEST(PlatformTypeText, ManyExtensionsOfOneUseEachStillMatchTheDatabase)
{
    // Numbered parts: more distinct extensions than are remembered at once.
    for (int round = 0; round < 2; ++round) {
        for (int part = 0; part < 5000; part += round + 1) {
            char name[32];
            std::snprintf(name, sizeof name, "backup.%05d", part);
            ASSERT_EQ(platformTypeText(name), databaseText(name)) << name;
        }
    }
    EXPECT_EQ(platformTypeText("backup.00042"), "Unknown Type");
}

TEST(PlatformTypeText, UnknownTypesHaveTheirOwnText)
{
    EXPECT_EQ(platformTypeText("archive.zzqq-unknown"), "Unknown Type");
    EXPECT_EQ(platformTypeText("no extension at all"), "Unknown Type");
}

TEST(PlatformTypeText, ThreadsAskingAtOnceGetTheSameTexts)
{
    std::vector<std::string> names;
    for (int i = 0; i < 400; ++i)
        names.push_back(
            "file" + std::to_string(i) + trickyNames[static_cast<std::size_t>(i) % trickyNames.size()]);
    std::vector<std::string> expected;
    for (const auto& name : names)
        expected.push_back(databaseText(name));

    std::vector<std::vector<std::string>> answers(4);
    std::vector<std::thread> threads;
    for (auto& answer : answers) {
        threads.emplace_back([&names, &answer] {
            for (const auto& name : names)
                answer.push_back(platformTypeText(name));
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (const auto& answer : answers)
        EXPECT_EQ(answer, expected);
}

// The reuse rule written as a walk over the list in display order.
std::optional<std::string> walkedText(const std::vector<ftpObject>& list, const std::string& name)
{
    for (const auto& entry : list) {
        if (entry.typeText == "UNIX Link" || entry.typeText == "Zelta Link"
            || entry.typeText == "File Folder")
            continue;
        if (entry.name != name && extensionOf(entry.name) == extensionOf(name))
            return entry.typeText;
    }
    return std::nullopt;
}

TEST(TypeTextIndex, AnswersWhatWalkingTheListWouldAnswer)
{
    const std::vector<std::string> names
        = { "a.txt", "b.txt", "a.TXT", "c.gz", "a.tar.gz", "Makefile", "README", ".txt", "d.", "e" };
    const std::vector<std::string> texts
        = { "Text one", "Text two", "File Folder", "UNIX Link", "Zelta Link", "Unknown Type", "" };
    std::mt19937 random(20240611);
    for (int list = 0; list < 200; ++list) {
        std::vector<ftpObject> entries;
        typeTextIndex index;
        for (int i = 0; i < 12; ++i) {
            ftpObject entry;
            entry.name = names[random() % names.size()];
            entry.typeText = texts[random() % texts.size()];
            entries.push_back(entry);
            index.add(entry);
            for (const auto& query : names) {
                const auto indexed = index.find(query);
                const auto walked = walkedText(entries, query);
                ASSERT_EQ(indexed.has_value(), walked.has_value()) << "list " << list << " query " << query;
                if (walked) {
                    ASSERT_EQ(std::string(*indexed), *walked) << "list " << list << " query " << query;
                }
            }
        }
        index.clear();
        EXPECT_FALSE(index.find("a.txt").has_value());
    }
}

TEST(FileTypeText, UsesTheListFirstThenTheDatabase)
{
    typeTextIndex listed;
    ftpObject shown;
    shown.name = "one.pdf";
    shown.typeText = "Shown Before";
    listed.add(shown);
    EXPECT_EQ(fileTypeText("two.pdf", &listed), "Shown Before");
    EXPECT_EQ(fileTypeText("two.pdf", nullptr), databaseText("two.pdf"));
    EXPECT_EQ(fileTypeText("two.txt", &listed), databaseText("two.txt"));
}

} // namespace
