#include "common/IniFile.h"

#include "TempHome.h"

#include <QDir>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

TEST(IniFile, ValuesThatCannotStandOnALineComeBackExactly)
{
    TempHome home;
    const std::string tricky[] = {
        std::string("a\r\nb"),
        std::string("\0x\0", 3),
        std::string("  padded  "),
        std::string("\"quoted\""),
        std::string("c:\\new\\table"),
        std::string("back\\slash\"mix"),
        std::string("\xF2\xF5\xFF"),
        std::string("=starts=with=equals"),
        std::string(""),
    };
    IniFile out(home.file(QStringLiteral("t.ini")));
    for (size_t i = 0; i < std::size(tricky); ++i)
        out.writeString("S", "k" + std::to_string(i), tricky[i]);
    ASSERT_TRUE(out.update());

    const IniFile in(home.file(QStringLiteral("t.ini")));
    for (size_t i = 0; i < std::size(tricky); ++i)
        EXPECT_EQ(in.readString("S", "k" + std::to_string(i), "missing"), tricky[i]) << "value " << i;
}

// Texts whose entries must survive being written and read again: the
// written text reads back to the same entries and is written the same way.
struct RereadCase {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    const char* value;
};

const RereadCase rereadTexts[] = {
    // Found by fuzzing: written as "[ab=x]", the entry read back as a section.
    { "key_opening_a_bracket_value_closing_one", "[s]\n[ab=\"x]\"\n", "s", "[ab", "x]" },
    { "key_opening_a_bracket_plain_value", "[s]\n[ab=x\n", "s", "[ab", "x" },
    { "section_name_holding_brackets", "[[a]b]]\nk=v\n", "[a]b]", "k", "v" },
    { "quoted_value_with_an_escaped_quote", "[s]\nk=\"say \\\"hi\\\"\"\n", "s", "k", "say \"hi\"" },
};

class IniReread : public testing::TestWithParam<RereadCase>
{
};

TEST_P(IniReread, WrittenTextReadsBackToTheSameEntries)
{
    const RereadCase& c = GetParam();
    const IniFile first = IniFile::fromText(QStringLiteral("/nonexistent/t.ini"), c.text);
    EXPECT_EQ(first.readString(c.section, c.key, "missing"), c.value);
    const std::string written = first.text();
    const IniFile second = IniFile::fromText(QStringLiteral("/nonexistent/t.ini"), written);
    EXPECT_EQ(second.readString(c.section, c.key, "missing"), c.value) << written;
    EXPECT_EQ(second.text(), written);
}

INSTANTIATE_TEST_SUITE_P(IniFile, IniReread, testing::ValuesIn(rereadTexts),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, PlainValuesAreWrittenVerbatimSoPeopleCanReadThem)
{
    TempHome home;
    IniFile ini(home.file(QStringLiteral("t.ini")));
    ini.writeString("Preferences", "Tips Enabled", "1");
    ini.writeString("My Computer", "InitialPath", "c:\\downloads\\new");
    EXPECT_EQ(ini.text(), "[Preferences]\nTips Enabled=1\n\n[My Computer]\nInitialPath=c:\\downloads\\new\n");
}

TEST(IniFile, RewriteKeepsSectionsItDidNotTouch)
{
    TempHome home;
    home.write(QStringLiteral("t.ini"), "; a comment\n[Other]\nkeep=me\n\n[MainWindow]\nWidth=800\n");
    IniFile ini(home.file(QStringLiteral("t.ini")));
    ini.writeInteger("mainwindow", "width", -800);
    ini.writeString("New", "x", "y");
    ASSERT_TRUE(ini.update());
    EXPECT_EQ(home.read(QStringLiteral("t.ini")),
        QByteArray("[Other]\nkeep=me\n\n[MainWindow]\nWidth=-800\n\n[New]\nx=y\n"));
}

TEST(IniFile, LookupIgnoresCaseAndSurroundingBlanks)
{
    TempHome home;
    home.write(QStringLiteral("t.ini"), "[Connection]\r\n  TimeoutPeriod =  42 \r\nMode=1\r\nmode=2\r\n");
    const IniFile ini(home.file(QStringLiteral("t.ini")));
    EXPECT_EQ(ini.readInteger("CONNECTION", "timeoutperiod", 0), 42);
    EXPECT_EQ(ini.readInteger("Connection", "Mode", 0), 1) << "the first of two equal keys counts";
}

TEST(IniFile, ErasingASectionLeavesEveryOtherOneWhereItWas)
{
    IniFile ini = IniFile::fromText(QString(), "[A]\nk=a\n[B]\nk=b\n[C]\nk=c\n[b]\nk=late\nj=b2\n[D]\nk=d\n");
    ini.eraseSection("b");
    ini.eraseSection("missing");
    EXPECT_FALSE(ini.hasSection("B"));
    EXPECT_EQ(ini.readString("a", "K", ""), "a");
    EXPECT_EQ(ini.readString("c", "K", ""), "c");
    EXPECT_EQ(ini.readString("d", "K", ""), "d");
    ini.writeString("B", "k", "again");
    ini.writeString("c", "new", "1");
    EXPECT_EQ(ini.text(), "[A]\nk=a\n\n[C]\nk=c\nnew=1\n\n[D]\nk=d\n\n[B]\nk=again\n");
}

TEST(IniFile, IntegersFallBackOnlyWhenPresentButInvalid)
{
    TempHome home;
    home.write(QStringLiteral("t.ini"),
        "[S]\nplus=+5\nneg=-700\nword=abc\nempty=\nhuge=99999999999\nhalf=12abc\nhex=0x10\n");
    const IniFile ini(home.file(QStringLiteral("t.ini")));
    struct Case {
        const char* key;
        std::int32_t expected;
    } cases[] = { { "plus", 5 }, { "neg", -700 }, { "word", 510 }, { "empty", 510 }, { "huge", 510 },
        { "half", 510 }, { "hex", 510 }, { "missing", 520 } };
    for (const Case& c : cases)
        EXPECT_EQ(ini.readInteger("S", c.key, 520, 510), c.expected) << c.key;
}

TEST(IniFile, UpdateWritesAtomicallyWithPrivateMode)
{
    TempHome home;
    const QString path = home.file(QStringLiteral("Registry.ini"));
    IniFile ini(path);
    ini.writeString("v5", "AutoUpdateCheckAtStartup", "1");
    ASSERT_TRUE(ini.update());
    ASSERT_TRUE(ini.update());
    struct stat info {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const QStringList leftovers
        = QDir(home.path()).entryList({ QStringLiteral("Registry.ini.*") }, QDir::Files);
    EXPECT_TRUE(leftovers.isEmpty()) << leftovers.join(QLatin1Char(',')).toStdString();
}

TEST(IniFile, FailedUpdateReportsAndKeepsTheOldFile)
{
    TempHome home;
    IniFile ini(home.file(QStringLiteral("missing-folder/t.ini")));
    ini.writeString("S", "k", "v");
    QString error;
    EXPECT_FALSE(ini.update(&error));
    EXPECT_FALSE(error.isEmpty());
}

// ---------------------------------------------------------------- files it does not take

QByteArray repeated(const QByteArray& line, std::size_t times)
{
    QByteArray out;
    out.reserve(static_cast<qsizetype>(line.size() * times));
    for (std::size_t i = 0; i < times; ++i)
        out += line;
    return out;
}

QByteArray numberedLines(const char* head, const char* format, std::size_t count)
{
    QByteArray out(head);
    for (std::size_t i = 0; i < count; ++i)
        out += QByteArray(format).replace("%", QByteArray::number(static_cast<qulonglong>(i)));
    return out;
}

struct DamagedCase {
    const char* name;
    std::function<QByteArray()> contents;
    QString problem;
};

class IniDamaged : public testing::TestWithParam<DamagedCase>
{
};

TEST_P(IniDamaged, IsReportedReadAsEmptyAndNeverReplaced)
{
    const DamagedCase& c = GetParam();
    TempHome home;
    const QByteArray contents = c.contents();
    home.write(QStringLiteral("Registry.ini"), contents);

    IniFile ini(home.file(QStringLiteral("Registry.ini")));
    EXPECT_EQ(ini.readProblem(), c.problem);
    EXPECT_EQ(ini.sectionCount(), 0u) << "nothing of a damaged file is taken";
    ini.writeString("v5", "AutoUpdateCheckAtStartup", "1");
    QString error;
    EXPECT_FALSE(ini.update(&error));
    EXPECT_TRUE(error.contains(c.problem)) << error.toStdString();
    EXPECT_TRUE(home.read(QStringLiteral("Registry.ini")) == contents) << "the damaged file was replaced";
}

INSTANTIATE_TEST_SUITE_P(IniFile, IniDamaged,
    testing::Values(
        DamagedCase { "binary_data", [] { return QByteArray("[S]\nk=v\n\x7F\x00\x01\x02garbage", 19); },
            QStringLiteral("it holds binary data (a NUL byte)") },
        DamagedCase { "utf16_text", [] { return QByteArray("\xFF\xFE[\0S\0]\0\n\0k\0=\0v\0\n\0", 18); },
            QStringLiteral("it holds binary data (a NUL byte)") },
        DamagedCase { "a_line_beyond_the_limit",
            [] { return "[S]\nshort=1\nk=" + QByteArray(IniFile::maxLineLength, 'x') + "\nafter=1\n"; },
            QStringLiteral("a line is longer than 65536 bytes") },
        DamagedCase { "an_endless_last_line",
            [] { return "[S]\nk=" + QByteArray(8 * IniFile::maxLineLength, 'x'); },
            QStringLiteral("a line is longer than 65536 bytes") },
        DamagedCase { "more_sections_than_allowed",
            [] { return numberedLines("", "[Operation%]\nStatus=4\n", IniFile::maxSections + 1); },
            QStringLiteral("it holds more than 50000 sections") },
        DamagedCase { "more_keys_than_allowed",
            [] { return numberedLines("[Operation0]\n", "File%=a\n", IniFile::maxKeys + 1); },
            QStringLiteral("it holds more than 400000 keys") },
        DamagedCase { "larger_than_allowed",
            [] {
                return "[v5]\nAutoUpdateCheckAtStartup=1\n"
                    + repeated(QByteArray(1023, ';') + '\n', IniFile::maxFileSize / 1024);
            },
            QStringLiteral("it is larger than 16777216 bytes") }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, AFolderInItsPlaceIsReportedAndNotReplaced)
{
    TempHome home;
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Ranquil.ini")));
    IniFile ini(home.file(QStringLiteral("Ranquil.ini")));
    EXPECT_EQ(ini.readProblem(), QStringLiteral("it is not a regular file"));
    EXPECT_FALSE(ini.update());
    EXPECT_TRUE(QFileInfo(home.file(QStringLiteral("Ranquil.ini"))).isDir());
}

TEST(IniFile, AFileItMayNotReadIsReportedAndNotReplaced)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    TempHome home;
    home.write(QStringLiteral("Ranquil.ini"), "[Connection]\nAttempts=5\n");
    const QString path = home.file(QStringLiteral("Ranquil.ini"));
    ASSERT_TRUE(QFile::setPermissions(path, {}));
    IniFile ini(path);
    EXPECT_TRUE(ini.readProblem().startsWith(QStringLiteral("it cannot be opened: ")))
        << ini.readProblem().toStdString();
    EXPECT_FALSE(ini.update());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(home.read(QStringLiteral("Ranquil.ini")), QByteArray("[Connection]\nAttempts=5\n"));
}

TEST(IniFile, FilesOfEarlierVersionsStillLoad)
{
    TempHome home;
    // Remote names are bytes: not UTF-8, with control bytes and DEL, as they
    // were written verbatim; a value as long as the limit, with CR LF.
    const QByteArray longest(IniFile::maxLineLength - 2, 'p');
    home.write(QStringLiteral("Registry.ini"),
        "[Operation0]\r\nFile0=d?/pub/\xF2\xF5\xFF\x01\x1B\x7F\r\nk=" + longest
            + "\r\n[Operations]\r\nCount=1");
    const IniFile ini(home.file(QStringLiteral("Registry.ini")));
    EXPECT_TRUE(ini.readProblem().isEmpty()) << ini.readProblem().toStdString();
    EXPECT_EQ(ini.readString("Operation0", "File0", ""), "d?/pub/\xF2\xF5\xFF\x01\x1B\x7F");
    EXPECT_EQ(ini.readString("Operation0", "k", "").size(), longest.size());
    EXPECT_EQ(ini.readInteger("Operations", "Count", 0), 1);
}

TEST(IniFile, NothingIsWrittenThatCouldNotBeReadBack)
{
    TempHome home;
    home.write(QStringLiteral("t.ini"), "[S]\nkept=1\n");
    IniFile ini(home.file(QStringLiteral("t.ini")));
    // Within the limit as a value; the CR has it quoted, and its escapes
    // make it four times longer.
    ini.writeString("S", "controls", std::string(IniFile::maxLineLength / 2, '\x01') + '\r');
    QString error;
    EXPECT_FALSE(ini.update(&error));
    EXPECT_TRUE(
        error.endsWith(QStringLiteral("could not be read back, as a line is longer than 65536 bytes.")))
        << error.toStdString();
    EXPECT_EQ(home.read(QStringLiteral("t.ini")), QByteArray("[S]\nkept=1\n"));

    ini.writeString("S", "controls", std::string(IniFile::maxLineLength / 5, '\x01') + '\r');
    ASSERT_TRUE(ini.update(&error)) << error.toStdString();
    EXPECT_EQ(IniFile(home.file(QStringLiteral("t.ini"))).readString("S", "controls", "").size(),
        IniFile::maxLineLength / 5 + 1);
}

TEST(IniFile, TextGivenWholeHasTheSameLimits)
{
    const std::string tooLong = "[S]\nk=" + std::string(IniFile::maxLineLength, 'x') + "\n";
    const IniFile ini = IniFile::fromText(QString(), tooLong);
    EXPECT_EQ(ini.readProblem(), QStringLiteral("a line is longer than 65536 bytes"));
    EXPECT_FALSE(ini.hasSection("S"));
}

} // namespace
