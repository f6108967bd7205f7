#include "p2p/IndexProtocol.h"

#include "RowNames.h"

#include <gtest/gtest.h>

namespace
{

std::string caseName(const char* name)
{
    return name;
}

// ------------------------------------------------------------ urlJoin

struct JoinCase {
    const char* name;
    const char* base;
    const char* path;
    const char* joined;
};

class UrlJoin : public testing::TestWithParam<JoinCase>
{
};

TEST_P(UrlJoin, PutsExactlyOneSlashBetween)
{
    EXPECT_EQ(urlJoin(GetParam().base, GetParam().path), GetParam().joined);
}

INSTANTIATE_TEST_SUITE_P(Joins, UrlJoin,
    testing::Values(JoinCase { "baseWithoutSlash", "http://index.example/p2p/v6", "getsindex.php",
                        "http://index.example/p2p/v6/getsindex.php" },
        JoinCase { "baseWithSlashPathWithSlash", "http://index.example/p2p/", "/v6/search.php",
            "http://index.example/p2p/v6/search.php" },
        JoinCase { "baseWithoutSlashPathWithSlash", "http://index.example/p2p", "/v6/resume.php",
            "http://index.example/p2p/v6/resume.php" },
        JoinCase { "emptyBase", "", "p2p/v6", "/p2p/v6" },
        JoinCase { "emptyBaseSlashedPath", "", "/v6/search.php", "/v6/search.php" },
        JoinCase { "onlyOneLeadingSlashGoes", "http://a.example/", "//x", "http://a.example//x" },
        JoinCase { "emptyPath", "http://a.example", "", "http://a.example/" }),
    [](const auto& info) { return caseName(info.param.name); });

// ------------------------------------------------------------ formEncode

struct EncodeCase {
    const char* name;
    std::string text;
    const char* encoded;
};

class FormEncode : public testing::TestWithParam<EncodeCase>
{
};

TEST_P(FormEncode, KeepsOnlyLettersAndDigits)
{
    EXPECT_EQ(formEncode(GetParam().text), GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(Texts, FormEncode,
    testing::Values(EncodeCase { "lettersAndDigits", "AZaz09", "AZaz09" },
        EncodeCase { "blankIsPlus", "free music", "free+music" },
        EncodeCase { "slashAndDot", "/pub/a.mp3", "%2Fpub%2Fa%2Emp3" },
        EncodeCase { "unreservedAreEncodedToo", "-_*.~", "%2D%5F%2A%2E%7E" },
        EncodeCase { "formCharacters", "a=1&b=%", "a%3D1%26b%3D%25" },
        EncodeCase { "bytesAbove127", "caf\xc3\xa9", "caf%C3%A9" },
        EncodeCase { "controlAndNul", std::string("\r\n\0", 3), "%0D%0A%00" },
        EncodeCase { "empty", "", "" }),
    [](const auto& info) { return caseName(info.param.name); });

// ------------------------------------------------------------ reply text and lines

TEST(IndexReply, NulEndsTheText)
{
    EXPECT_EQ(replyText(std::string_view("http://a\0junk", 13)), "http://a");
    EXPECT_EQ(replyText("whole"), "whole");
}

TEST(IndexReply, LinesEndAtTheFirstEmptyLine)
{
    const auto lines = replyLines("one\r\ntwo\n\nafter the end\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "one");
    EXPECT_EQ(lines[1], "two");
    EXPECT_EQ(replyLines("last without end").size(), 1u);
    EXPECT_TRUE(replyLines("").empty());
    EXPECT_TRUE(replyLines("\nafter").empty());
}

// ------------------------------------------------------------ addresses from the index server

struct UrlCase {
    const char* name;
    std::string url;
    bool usable;
};

class UsableIndexUrl : public testing::TestWithParam<UrlCase>
{
};

TEST_P(UsableIndexUrl, IsAnHttpUrlWithAHost)
{
    EXPECT_EQ(isUsableIndexUrl(GetParam().url), GetParam().usable) << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(Replies, UsableIndexUrl,
    testing::Values(UrlCase { "plain", "http://index.example/p2p", true },
        UrlCase { "addressAndPort", "http://127.0.0.1:8080/p2p", true },
        UrlCase { "schemeInCapitals", "HTTP://index.example/p2p", true },
        UrlCase { "noPath", "http://index.example", true },
        UrlCase { "query", "http://index.example/p2p?x=1&y=%2F", true }, UrlCase { "empty", "", false },
        UrlCase { "htmlPage", "<html><body>Index busy</body></html>", false },
        UrlCase { "noScheme", "index.example/p2p", false },
        UrlCase { "otherScheme", "https://index.example/p2p", false },
        UrlCase { "noHost", "http:///p2p", false }, UrlCase { "portZero", "http://index.example:0/", false },
        UrlCase { "portTooHigh", "http://index.example:65536/", false },
        UrlCase { "emptyPort", "http://index.example:/", false },
        UrlCase { "credentials", "http://me:pw@index.example/", false },
        UrlCase { "hostWithBrackets", "http://<index>.example/", false },
        UrlCase { "numbersThatAreNoAddress", "http://1.2.3/", false },
        UrlCase { "trailingLineFeed", "http://index.example/p2p\n", false },
        UrlCase { "injectedHeader", "http://index.example/p2p\r\nX-Injected: 1", false },
        UrlCase { "nul", std::string("http://a\0", 9), false }, UrlCase { "tab", "http://a\t/", false },
        UrlCase { "blankInPath", "http://a.example/p 2", false },
        UrlCase { "byteAbove127", "http://a.example/caf\xc3\xa9", false },
        UrlCase { "longestHost", "http://" + std::string(63, 'a') + "." + std::string(63, 'b') + "/", true },
        UrlCase { "labelTooLong", "http://" + std::string(64, 'a') + ".example/", false },
        UrlCase { "tooLong", "http://index.example/" + std::string(2100, 'p'), false }),
    [](const auto& info) { return caseName(info.param.name); });

struct HostCase {
    const char* name;
    std::string host;
    bool usable;
};

class UsableHost : public testing::TestWithParam<HostCase>
{
};

TEST_P(UsableHost, IsANameOrAnAddressOfSaneLength)
{
    EXPECT_EQ(isUsableHost(GetParam().host), GetParam().usable) << GetParam().host;
}

INSTANTIATE_TEST_SUITE_P(Hosts, UsableHost,
    testing::Values(HostCase { "ipv4", "192.0.2.1", true }, HostCase { "ipv6", "2001:db8::1", true },
        HostCase { "name", "ftp.example-site.org", true }, HostCase { "singleLabel", "localhost", true },
        HostCase { "underscore", "my_host.example", true }, HostCase { "empty", "", false },
        HostCase { "octetTooHigh", "192.0.2.256", false }, HostCase { "threeNumbers", "1.2.3", false },
        HostCase { "emptyLabel", "a..example", false }, HostCase { "trailingDot", "example.", false },
        HostCase { "blank", "a b", false }, HostCase { "lineBreak", "192.0.2.1\r\nX", false },
        HostCase { "slash", "a/b", false }, HostCase { "portInside", "a.example:21", false },
        HostCase { "nameOf253",
            std::string(61, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "."
                + std::string(63, 'd'),
            true },
        HostCase { "nameOf254",
            std::string(62, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "."
                + std::string(63, 'd'),
            false },
        HostCase { "hundredKilobytes", std::string(100 * 1024, 'a'), false }),
    [](const auto& info) { return caseName(info.param.name); });

// ------------------------------------------------------------ bodies

TEST(IndexBodies, SearchEncodesEveryText)
{
    SearchQuery query;
    query.keyword = "free music/2024";
    query.category = 1;
    query.country = "DE";
    query.results = 2;
    query.logic = 1;
    EXPECT_EQ(searchBody(query, "me", "pw"),
        "query=free+music%2F2024&category=1&country=DE&record=2&logic=1&username=me&password=pw");
    EXPECT_EQ(searchBody(query, "me&you", "p=w"),
        "query=free+music%2F2024&category=1&country=DE&record=2&logic=1&username=me%26you&password=p%3Dw");
}

TEST(IndexBodies, ResumeRequestsKeepPlainValuesAndEncodeTheRest)
{
    EXPECT_EQ(resolveUserBody("alice", "me", "pw"),
        "username=alice&action=getIPFromUsername&loginusername=me&loginpassword=pw");
    EXPECT_EQ(resolveUserBody("bob&loginusername=mallory", "me", "p&w"),
        "username=bob%26loginusername%3Dmallory&action=getIPFromUsername&loginusername=me&loginpassword=p%"
        "26w");
    EXPECT_EQ(otherSourcesBody("0123456789ABCDEF0123456789ABCDEF", "", ""),
        "md5=0123456789ABCDEF0123456789ABCDEF&action=others&loginusername=&loginpassword=");
    EXPECT_EQ(otherSourcesBody("&loginusername=mallory", "me", "pw"),
        "md5=%26loginusername%3Dmallory&action=others&loginusername=me&loginpassword=pw");
}

struct PublishCase {
    const char* name;
    const char* remotePath;
    const char* dateText;
    const char* fileAndFolder; // the filename= and pathname= part of the body
    const char* date;
};

class PublishBody : public testing::TestWithParam<PublishCase>
{
};

TEST_P(PublishBody, SplitsThePathAtItsLastSlash)
{
    Md5Report report;
    report.remotePath = GetParam().remotePath;
    report.port = 2121;
    report.size = 5000000000;
    report.md5 = "0123456789ABCDEF0123456789ABCDEF";
    report.dateText = GetParam().dateText;
    EXPECT_EQ(publishBody(report, "203.0.113.7"),
        std::string("protocol=0&") + GetParam().fileAndFolder + "&ip=203%2E0%2E113%2E7&port=2121"
            + "&filesize=5000000000&md5=0123456789ABCDEF0123456789ABCDEF&date=" + GetParam().date
            + "&action=update");
}

INSTANTIATE_TEST_SUITE_P(Paths, PublishBody,
    testing::Values(PublishCase { "nested", "/pub/music/a b.mp3", "Mar 15 2024",
                        "filename=a+b%2Emp3&pathname=%2Fpub%2Fmusic%2F", "Mar+15+2024" },
        PublishCase { "trailingSlashDropped", "/pub/dir/", "Mar 15 12:30", "filename=dir&pathname=%2Fpub%2F",
            "Mar+15+12%3A30" },
        PublishCase { "atRoot", "/a.txt", "", "filename=a%2Etxt&pathname=%2F", "Jan+1+00%3A00" },
        PublishCase { "noSlash", "a.txt", "", "filename=a%2Etxt&pathname=", "Jan+1+00%3A00" },
        PublishCase { "fieldsInNames", "/x&md5=1/a&ip=6.6.6.6", "Mar 1&action=delete",
            "filename=a%26ip%3D6%2E6%2E6%2E6&pathname=%2Fx%26md5%3D1%2F", "Mar+1%26action%3Ddelete" }),
    [](const auto& info) { return caseName(info.param.name); });

// ------------------------------------------------------------ success rules

struct RuleCase {
    const char* name;
    std::string reply;
    bool accepted;
};

class ResumeRule : public testing::TestWithParam<RuleCase>
{
};

TEST_P(ResumeRule, RefusesShortRepliesAndErrorLines)
{
    EXPECT_EQ(resumeReplySucceeded(GetParam().reply), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(Replies, ResumeRule,
    testing::Values(RuleCase { "address", "192.0.2.1*2121", true },
        RuleCase { "errorLine", "550 User alice is offline.", false },
        RuleCase { "fiveAnyTwoAndBlank", "5ab rest", false }, RuleCase { "fiveWithoutBlank", "5500", true },
        RuleCase { "blankAtFourthOtherDigit", "450 try later", true },
        RuleCase { "threeBytes", "a*b", false }, RuleCase { "fourBytes", "a*21", true },
        RuleCase { "empty", "", false }),
    [](const auto& info) { return caseName(info.param.name); });

class UpdateIndexRule : public testing::TestWithParam<RuleCase>
{
};

TEST_P(UpdateIndexRule, AcceptsShortRepliesAndLowPrefixes)
{
    EXPECT_EQ(updateIndexReplyAccepted(GetParam().reply), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(Replies, UpdateIndexRule,
    testing::Values(RuleCase { "twoCharacters", "ab", true }, RuleCase { "threeDigitsHigh", "404", true },
        RuleCase { "errorLine", "404 Not Found", false }, RuleCase { "exactly300", "300 x", false },
        RuleCase { "below300", "299 x", true }, RuleCase { "fourLetters", "abcd", true },
        RuleCase { "url", "http://update.example/", true }, RuleCase { "empty", "", true }),
    [](const auto& info) { return caseName(info.param.name); });

class PublishRule : public testing::TestWithParam<RuleCase>
{
};

TEST_P(PublishRule, RefusesHighPrefixesAndTexts)
{
    EXPECT_EQ(publishReplySucceeded(GetParam().reply), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(Replies, PublishRule,
    testing::Values(RuleCase { "threeCharacters", "abc", true }, RuleCase { "empty", "", true },
        RuleCase { "stored", "200 MD5 record stored.", true },
        RuleCase { "refused", "500 Missing or wrong fields", false },
        RuleCase { "exactly300", "300 x", false }, RuleCase { "fourLetters", "abcd", false }),
    [](const auto& info) { return caseName(info.param.name); });

// ------------------------------------------------------------ user address

struct AddressCase {
    const char* name;
    std::string reply;
    bool found;
    const char* address;
    std::uint16_t port;
};

class UserAddressReply : public testing::TestWithParam<AddressCase>
{
};

TEST_P(UserAddressReply, GivesAUsableAddressAndPortOrNothing)
{
    const auto parsed = parseUserAddress(GetParam().reply);
    ASSERT_EQ(parsed.has_value(), GetParam().found);
    if (parsed) {
        EXPECT_EQ(parsed->address, GetParam().address);
        EXPECT_EQ(parsed->port, GetParam().port);
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, UserAddressReply,
    testing::Values(AddressCase { "addressAndPort", "192.0.2.1*2121", true, "192.0.2.1", 2121 },
        AddressCase { "nothingAfterStar", "192.0.2.1*", true, "192.0.2.1", 21 },
        AddressCase { "noStar", "host.example", true, "host.example", 21 },
        AddressCase { "moreFields", "host.example*2121*extra", true, "host.example", 2121 },
        AddressCase { "lineEndAfterPort", "host.example*2121\r\n", true, "host.example", 2121 },
        AddressCase { "ipv6", "2001:db8::7*990", true, "2001:db8::7", 990 },
        AddressCase { "portNotANumber", "host.example*abc", false, "", 0 },
        AddressCase { "portOutOfRange", "host.example*70000", false, "", 0 },
        AddressCase { "portZero", "host.example*0", false, "", 0 },
        AddressCase { "lineBreakInAddress", "192.0.2.1\r\nX-Injected: 1*21", false, "", 0 },
        AddressCase { "blankInAddress", "host example*21", false, "", 0 },
        AddressCase { "noAddress", "*21", false, "", 0 },
        AddressCase { "hundredKilobyteAddress", std::string(100 * 1024, 'a') + "*21", false, "", 0 }),
    [](const auto& info) { return caseName(info.param.name); });

// ------------------------------------------------------------ public addresses

struct PublicCase {
    const char* address;
    bool isPublic;
};

class PublicAddress : public testing::TestWithParam<PublicCase>
{
};

TEST_P(PublicAddress, FollowsTheIndexServersRule)
{
    EXPECT_EQ(isPublicAddress(GetParam().address), GetParam().isPublic) << GetParam().address;
}

INSTANTIATE_TEST_SUITE_P(Addresses, PublicAddress,
    testing::Values(PublicCase { "172.20.1.1", false }, PublicCase { "172.16.0.1", false },
        PublicCase { "172.31.255.255", false }, PublicCase { "172.32.0.1", true },
        PublicCase { "172.15.0.1", true }, PublicCase { "172.1.2.3", true },
        PublicCase { "172.016.0.1", true }, PublicCase { "10.1.2.3", false },
        PublicCase { "192.168.0.10", false }, PublicCase { "169.254.3.4", false },
        PublicCase { "127.0.0.1", false }, PublicCase { "0.0.0.0", false }, PublicCase { "1.2.3.4", true },
        PublicCase { "1.2.3.", false }, PublicCase { "203.0.113.7", true }, PublicCase { "100.1.2.3", true }),
    [](const auto& info) { return rowName(info.param.address); });

TEST(PublicAddress, FirstPublicInTheGivenOrder)
{
    EXPECT_EQ(
        firstPublicAddress({ "127.0.0.1", "192.168.1.2", "198.51.100.1", "203.0.113.7" }), "198.51.100.1");
    EXPECT_EQ(firstPublicAddress({ "127.0.0.1", "10.0.0.2" }), "");
    EXPECT_EQ(firstPublicAddress({}), "");
}

} // namespace
