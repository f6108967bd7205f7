// How a download is held to the end it must reach and to a listing's limits.

#include "net/FtpReceiveLimit.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using Verdict = FtpReceiveLimit::Verdict;

struct LimitCase {
    const char* name;
    FtpReceiveBounds bounds;
    qint64 start;
    std::vector<QByteArray> blocks;
    // Expected: the bytes kept of each block and the last verdict.
    std::vector<qint64> kept;
    Verdict last;
    bool endedShort;
};

class FtpReceiveLimitTest : public testing::TestWithParam<LimitCase>
{
};

TEST_P(FtpReceiveLimitTest, KeepsOnlyWhatLiesWithinTheBounds)
{
    const LimitCase& c = GetParam();
    FtpReceiveLimit limit(c.bounds, c.start);
    std::vector<qint64> kept;
    Verdict last = Verdict::Take;
    for (const QByteArray& block : c.blocks) {
        const FtpReceiveLimit::Decision decision = limit.judge(block.constData(), block.size());
        kept.push_back(decision.keep);
        last = decision.verdict;
        if (last != Verdict::Take)
            break;
    }
    EXPECT_EQ(kept, c.kept);
    EXPECT_EQ(last, c.last);
    EXPECT_EQ(limit.endedShort(), c.endedShort);
    qint64 total = c.start;
    for (const qint64 k : kept)
        total += k;
    EXPECT_EQ(limit.position(), total);
}

FtpReceiveBounds expecting(qint64 end)
{
    FtpReceiveBounds bounds;
    bounds.expectedEnd = end;
    return bounds;
}

FtpReceiveBounds part(qint64 stopAt)
{
    FtpReceiveBounds bounds;
    bounds.stopAt = stopAt;
    return bounds;
}

FtpReceiveBounds listing(qint64 bytes, qint64 lines)
{
    FtpReceiveBounds bounds;
    bounds.maxBytes = bytes;
    bounds.maxLines = lines;
    return bounds;
}

INSTANTIATE_TEST_SUITE_P(Bounds, FtpReceiveLimitTest,
    testing::Values(LimitCase { "unbounded", {}, 0, { "abc", "defg" }, { 3, 4 }, Verdict::Take, false },
        LimitCase { "exact_end", expecting(7), 0, { "abc", "defg" }, { 3, 4 }, Verdict::Take, false },
        LimitCase { "short_of_the_end", expecting(8), 0, { "abc", "defg" }, { 3, 4 }, Verdict::Take, true },
        LimitCase { "one_byte_beyond", expecting(6), 0, { "abc", "defg" }, { 3, 0 },
            Verdict::BeyondExpectedEnd, true },
        LimitCase { "resumed_end", expecting(10), 3, { "abc", "defg" }, { 3, 4 }, Verdict::Take, false },
        LimitCase {
            "resumed_beyond", expecting(10), 3, { "abcdefgh" }, { 0 }, Verdict::BeyondExpectedEnd, true },
        LimitCase { "part_cut_inside_a_block", part(5), 0, { "abc", "defg" }, { 3, 2 }, Verdict::PartComplete,
            false },
        LimitCase {
            "part_ending_with_a_block", part(7), 2, { "abc", "de" }, { 3, 2 }, Verdict::PartComplete, false },
        LimitCase { "part_ended_early", part(9), 0, { "abc" }, { 3 }, Verdict::Take, true },
        LimitCase {
            "listing_bytes", listing(5, 100), 0, { "abc", "def" }, { 3, 0 }, Verdict::TooLong, false },
        LimitCase {
            "listing_lines", listing(100, 2), 0, { "a\nb\n", "c\n" }, { 4, 0 }, Verdict::TooLong, false },
        LimitCase { "listing_within", listing(100, 2), 0, { "a\n", "b\n" }, { 2, 2 }, Verdict::Take, false }),
    [](const testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

} // namespace
