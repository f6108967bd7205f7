// What people see of the bytes servers send.

#include "net/VisibleText.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

struct TextCase {
    const char* name;
    QByteArray bytes;
    QString shown;
};

class VisibleRemoteText : public testing::TestWithParam<TextCase>
{
};

TEST_P(VisibleRemoteText, DecodesAndEscapesControls)
{
    EXPECT_EQ(visibleRemoteText(GetParam().bytes), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, VisibleRemoteText,
    testing::Values(TextCase { "plain", "readme.txt", QStringLiteral("readme.txt") },
        TextCase { "utf8", "d\xc3\xa9j\xc3\xa0", QStringLiteral("d\u00e9j\u00e0") },
        TextCase { "latin1", "caf\xe9", QStringLiteral("caf\u00e9") },
        TextCase { "broken_utf8_is_latin1", "\xc3(", QStringLiteral("\u00c3(") },
        TextCase { "escape_sequence", "a\x1b[2Jb", QStringLiteral("a\\x1B[2Jb") },
        TextCase { "bell_tab_newline_del", "\a\t\n\x7f", QStringLiteral("\\x07\\x09\\x0A\\x7F") },
        TextCase { "nul", QByteArray("a\0b", 3), QStringLiteral("a\\x00b") },
        TextCase { "c1_csi_in_latin1", "x\x9b;m", QStringLiteral("x\\x9B;m") },
        TextCase { "c1_csi_in_utf8", "x\xc2\x9b;m", QStringLiteral("x\\x9B;m") },
        TextCase { "backslash_stays", "a\\b", QStringLiteral("a\\b") }),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST(VisibleText, LeavesTextWithoutControlsAlone)
{
    const QString text = QStringLiteral("\u00e9t\u00e9 \u2603 ok");
    EXPECT_EQ(visibleText(text), text);
    EXPECT_EQ(visibleText(visibleText(QStringLiteral("\x1b"))), QStringLiteral("\\x1B"))
        << "escaping twice changes nothing";
}

} // namespace
