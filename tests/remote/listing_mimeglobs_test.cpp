#include "remote/MimeGlobs.h"

#include <gtest/gtest.h>

#include <optional>

namespace
{

const QStringList patterns = {
    QStringLiteral("*.txt"),
    QStringLiteral("*.C"),
    QStringLiteral("*.tar.gz"),
    QStringLiteral("*.gz"),
    QStringLiteral("*~"),
    QStringLiteral("*.[1-9]"),
    QStringLiteral("*.so.[0-9]*"),
    QStringLiteral("README*"),
    QStringLiteral("Makefile"),
    QStringLiteral("[!a]x.q"),
    QStringLiteral("?.one"),
    QStringLiteral("*.anim[1-9j]"),
};

TEST(MimeGlobTable, TellsHowMuchOfANameItsPatternsSee)
{
    const mimeGlobTable table(patterns);
    ASSERT_TRUE(table.usable());
    const struct {
        const char* name;
        std::optional<std::size_t> seen;
    } cases[] = {
        { "a.txt", 0 },
        { "a.gz", 0 },
        { "a.tar.gz", 7 },
        { "A.TAR.GZ", 7 },
        { "notes~", 1 },
        { "page.1", std::nullopt },
        { "page.10", 0 },
        { "page.a", 0 },
        { "libx.so.1", std::nullopt },
        { "libx.SO.2.0", std::nullopt },
        { "libx.so", 0 },
        { "README.md", std::nullopt },
        { "readme", std::nullopt },
        { "MyREADME", 0 },
        { "Makefile", std::nullopt },
        { "makefile", std::nullopt },
        { "Makefile.am", 0 },
        { "bx.q", std::nullopt },
        // A negated set is taken to admit anything.
        { "ax.q", std::nullopt },
        { "\xC3\xA9.one", std::nullopt },
        { "ab.one", 0 },
        { "x.anim5", std::nullopt },
        { "x.animj", std::nullopt },
        { "x.animk", 0 },
        // KELVIN SIGN folds to "k": such names always go to the database.
        { "MA\xE2\x84\xAA"
          "EFILE",
            std::nullopt },
        { "", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(table.endSeenBy(c.name), c.seen) << "\"" << c.name << "\"";
}

TEST(MimeGlobTable, KnowsExtensionsInAnyCase)
{
    const mimeGlobTable table(patterns);
    EXPECT_TRUE(table.hasExtensionPattern(".txt"));
    EXPECT_TRUE(table.hasExtensionPattern(".TXT"));
    EXPECT_TRUE(table.hasExtensionPattern(".c"));
    EXPECT_TRUE(table.hasExtensionPattern(".gz"));
    EXPECT_FALSE(table.hasExtensionPattern(".tar.gz"));
    EXPECT_FALSE(table.hasExtensionPattern(".zzq"));
    EXPECT_FALSE(table.hasExtensionPattern(""));
}

TEST(MimeGlobTable, PatternsItCannotJudgeSendEveryNameToTheDatabase)
{
    const mimeGlobTable accented({ QStringLiteral("*.\u00E4") });
    EXPECT_TRUE(accented.usable());
    EXPECT_TRUE(accented.hasExtensionPattern(".\xC3\x84"));

    const mimeGlobTable table({ QStringLiteral("*.txt"), QStringLiteral("*.\u00E4.gz") });
    EXPECT_FALSE(table.usable());
    EXPECT_EQ(table.endSeenBy("a.txt"), std::nullopt);
}

} // namespace
