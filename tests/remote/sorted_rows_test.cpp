// Sorted rows prepare arrived entries and sort on threads of their own: the
// rows take a job's result when it reports, and every change of the rows
// meanwhile finds them whole and in order. A view that follows the notices
// always knows which entry each row shows.

#include "../net/ftp_test_support.h"
#include "sorted_rows_entries.h"

#include "remote/SortedRows.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <random>

namespace
{

// A view of the rows: it knows them only by the notices, and checks each
// notice against the rows it describes.
class followingView : public SortedRowsObserver
{
public:
    void watch(const SortedRows& watched)
    {
        rows_ = &watched;
        shown_ = entries();
    }

    const std::vector<const ftpObject*>& shown() const { return shown_; }
    int notices() const { return notices_; }
    int resets() const { return resets_; }
    int reorders() const { return reorders_; }
    const std::vector<std::pair<int, int>>& removals() const { return removals_; }
    const std::vector<int>& changedRows() const { return changedRows_; }

    void rowsAboutToBeReset() override { begin(); }
    void rowsReset() override
    {
        ++resets_;
        end();
        shown_ = entries();
    }
    void rowsAboutToBeReordered() override { begin(); }
    void rowsReordered(std::span<const int> newRowOf) override
    {
        ++reorders_;
        end();
        ASSERT_EQ(newRowOf.size(), shown_.size());
        std::vector<const ftpObject*> moved(static_cast<size_t>(rows_->size()), nullptr);
        for (size_t at = 0; at < newRowOf.size(); ++at) {
            ASSERT_TRUE(newRowOf[at] >= 0 && newRowOf[at] < rows_->size()) << "row " << at << " moved away";
            ASSERT_EQ(moved[static_cast<size_t>(newRowOf[at])], nullptr)
                << "two rows moved to " << newRowOf[at];
            moved[static_cast<size_t>(newRowOf[at])] = shown_[at];
        }
        for (int at = 0; at < rows_->size(); ++at) {
            if (const ftpObject* was = moved[static_cast<size_t>(at)]) {
                ASSERT_EQ(rows_->entryAt(at), was) << "row " << at << " is not the entry moved there";
            }
        }
        shown_ = entries();
    }
    void rowsAboutToBeRemoved(int first, int last) override
    {
        begin();
        ASSERT_TRUE(first >= 0 && first <= last && last < static_cast<int>(shown_.size()));
        removals_.emplace_back(first, last);
    }
    void rowsRemoved() override
    {
        end();
        const auto [first, last] = removals_.back();
        shown_.erase(shown_.begin() + first, shown_.begin() + last + 1);
        EXPECT_EQ(shown_, entries()) << "other rows went or moved with " << first << ".." << last;
    }
    void rowChanged(int row) override
    {
        ++notices_;
        EXPECT_FALSE(changing_);
        EXPECT_TRUE(row >= 0 && row < rows_->size());
        changedRows_.push_back(row);
    }

private:
    std::vector<const ftpObject*> entries() const
    {
        std::vector<const ftpObject*> all;
        for (int at = 0; at < rows_->size(); ++at)
            all.push_back(rows_->entryAt(at));
        return all;
    }
    void begin()
    {
        ++notices_;
        EXPECT_FALSE(changing_) << "a change began inside another";
        changing_ = true;
        EXPECT_EQ(shown_, entries()) << "the rows changed without a notice";
    }
    void end()
    {
        EXPECT_TRUE(changing_) << "a change ended that had not begun";
        changing_ = false;
    }

    const SortedRows* rows_ = nullptr;
    std::vector<const ftpObject*> shown_;
    bool changing_ = false;
    int notices_ = 0;
    int resets_ = 0;
    int reorders_ = 0;
    std::vector<std::pair<int, int>> removals_;
    std::vector<int> changedRows_;
};

class SortedRowsTest : public testing::Test
{
protected:
    SortedRowsTest() { view.watch(rows); }

    testing::AssertionResult inOrder(int key, std::span<const ftpObject* const> gone = {}) const
    {
        return held.shownInOrder(view.shown(), key, gone);
    }

    bool settle()
    {
        return runEventsUntil([&] { return !rows.working(); });
    }
    // Serves events for a while, for reports that must not come.
    static void serveEvents()
    {
        runEventsUntil([] { return false; }, std::chrono::milliseconds(100));
    }

    heldEntries held;
    followingView view;
    SortedRows rows { view, listOrder::initialKey };
};

TEST_F(SortedRowsTest, BlocksMergedAsTheyArriveEndInOrderThoughSortsRunBetweenThem)
{
    held.make(6000);
    const std::vector<const ftpObject*> all = held.from();
    // As a listing delivers them: in blocks, merged as they are ready, and
    // header clicks while they arrive.
    const std::vector<int> keys = { listOrder::nameKey, -listOrder::sizeKey, listOrder::rightsKey };
    for (size_t at = 0; at < all.size(); at += 250) {
        rows.add(std::span(all).subspan(at, 250));
        if (at % 2000 == 1000)
            rows.sortBy(keys[at / 2000]);
        runEventsUntil([] { return false; }, std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(runEventsUntil([&] { return rows.size() == 6000 && !rows.working(); }));
    EXPECT_EQ(rows.sortKey(), listOrder::rightsKey);
    EXPECT_TRUE(inOrder(listOrder::rightsKey));
    EXPECT_GE(view.reorders(), 3) << "the sorts and the later merges reorder the rows";
}

TEST_F(SortedRowsTest, ASortTakesEffectWhenItReportsAndFlushWaitsForIt)
{
    held.make(3000);
    rows.add(held.from());
    rows.flush();
    ASSERT_TRUE(inOrder(listOrder::initialKey));
    const std::vector<const ftpObject*> before = view.shown();

    rows.sortBy(listOrder::nameKey);
    EXPECT_EQ(rows.sortKey(), listOrder::nameKey);
    EXPECT_EQ(view.shown(), before) << "the rows keep their order until the sort is done";
    ASSERT_TRUE(settle());
    EXPECT_TRUE(inOrder(listOrder::nameKey));

    // Ranked names again, other texts ranked for the first time.
    for (const int key :
        { -listOrder::nameKey, listOrder::typeKey, -listOrder::rightsKey, listOrder::dateKey }) {
        rows.sortBy(key);
        rows.flush();
        EXPECT_TRUE(inOrder(key)) << "key " << key;
    }
    const int notices = view.notices();
    serveEvents();
    EXPECT_EQ(view.notices(), notices) << "the report of a sort that flush() took over does nothing";
}

TEST_F(SortedRowsTest, ChangesDuringJobsFindTheRowsWholeAndInOrder)
{
    held.make(3000);
    rows.add(held.from());
    rows.flush();

    const ftpObject* removed = &held.all[17];
    rows.sortBy(-listOrder::sizeKey);
    rows.remove({ &removed, 1 });
    EXPECT_TRUE(inOrder(-listOrder::sizeKey, { &removed, 1 }));

    rows.sortBy(listOrder::dateKey);
    const size_t first = held.all.size();
    held.make(500, "late");
    rows.add(held.from(first));
    rows.mergeSoon();
    rows.flush();
    EXPECT_TRUE(inOrder(listOrder::dateKey, { &removed, 1 }));

    // A changed entry moves to its new place: the earliest date, at one end.
    ftpObject& changed = held.all[first + 3];
    changed.dateText = "Jan 1 1990";
    rows.update(changed);
    ASSERT_EQ(view.changedRows(), std::vector { rows.indexOf(&changed) });
    ASSERT_TRUE(settle());
    const bool earliestFirst
        = listOrder::compare(listOrder::prepare(changed), listOrder::prepare(held.all[0]), listOrder::dateKey)
        < 0;
    EXPECT_EQ(rows.indexOf(&changed), earliestFirst ? 0 : rows.size() - 1);
    EXPECT_TRUE(inOrder(listOrder::dateKey, { &removed, 1 }));
}

TEST_F(SortedRowsTest, RemovedEntriesGoARunAtATimeOrAllAtOnce)
{
    held.make(20000);
    rows.add(held.from());
    rows.flush();
    const int resets = view.resets();

    // A few runs: one notice each, the last run first; an unknown entry is
    // no row.
    std::vector<const ftpObject*> gone;
    for (const int row : { 0, 1, 2, 500, 9000, 9001, 19999 })
        gone.push_back(rows.entryAt(row));
    std::vector<const ftpObject*> asked = gone;
    asked.push_back(&held.all.emplace_back());
    rows.remove(asked);
    const std::vector<std::pair<int, int>> runs
        = { { 19999, 19999 }, { 9000, 9001 }, { 500, 500 }, { 0, 2 } };
    EXPECT_EQ(view.removals(), runs);
    EXPECT_EQ(view.resets(), resets);
    EXPECT_TRUE(inOrder(listOrder::initialKey, asked));

    // Every other row: too many runs for a notice each.
    for (int row = 0; row < rows.size(); row += 2)
        gone.push_back(rows.entryAt(row));
    rows.remove(gone);
    EXPECT_EQ(view.resets(), resets + 1);
    EXPECT_EQ(rows.size(), 20000 - 7 - 9997);
    gone.push_back(asked.back());
    EXPECT_TRUE(inOrder(listOrder::initialKey, gone));
}

TEST_F(SortedRowsTest, EntriesThatArriveDuringAMergeAreShownWithoutBeingAskedForAgain)
{
    held.make(4000);
    const std::vector<const ftpObject*> all = held.from();
    rows.add(std::span(all).first(3000));
    rows.mergeSoon();
    rows.add(std::span(all).subspan(3000));
    rows.mergeSoon();
    // The removal takes the merge in progress over before its report.
    const ftpObject* removed = all[5];
    rows.remove({ &removed, 1 });
    EXPECT_EQ(rows.size(), 2999);
    ASSERT_TRUE(runEventsUntil([&] { return rows.size() == 3999; }, std::chrono::seconds(2)))
        << "the last entries wait for a merge nobody starts";
    EXPECT_TRUE(inOrder(listOrder::initialKey, { &removed, 1 }));
}

TEST_F(SortedRowsTest, ReportsOfJobsAbandonedByClearBringNothingBack)
{
    held.make(4000);
    const std::vector<const ftpObject*> all = held.from();
    const std::span<const ftpObject* const> firstHalf = std::span(all).first(2000);

    // A preparation, and a sort: clear() waits for their threads, whose
    // reports are then on their way.
    rows.add(firstHalf);
    rows.mergeSoon();
    rows.clear();
    int notices = view.notices();
    serveEvents();
    EXPECT_EQ(view.notices(), notices);
    EXPECT_EQ(rows.size(), 0) << "entries prepared for a list since cleared stay away";

    rows.add(firstHalf);
    rows.flush();
    rows.sortBy(listOrder::nameKey);
    rows.clear();
    notices = view.notices();
    serveEvents();
    EXPECT_EQ(view.notices(), notices);
    EXPECT_EQ(rows.size(), 0) << "the abandoned sort brings no rows back";
    EXPECT_EQ(rows.sortKey(), listOrder::nameKey);

    // A new job's report is not taken for the abandoned one's, nor the
    // other way round.
    rows.add(firstHalf);
    rows.mergeSoon();
    rows.clear();
    rows.add(std::span(all).subspan(2000));
    rows.mergeSoon();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(held.shownInOrder(view.shown(), listOrder::nameKey, firstHalf));
}

TEST(SortedRows, ReportsQueuedForRowsDestroyedMeanwhileAreDropped)
{
    heldEntries held;
    held.make(2000);
    followingView view;
    auto rows = std::make_unique<SortedRows>(view, listOrder::initialKey);
    view.watch(*rows);
    rows->add(held.from());
    rows->flush();
    // The destructor waits for both threads: their reports are queued then.
    rows->sortBy(listOrder::typeKey);
    held.make(500, "late");
    rows->add(held.from(2000));
    rows->mergeSoon();
    rows.reset();
    const int notices = view.notices();
    runEventsUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(view.notices(), notices);
}

// Every operation in a random mix while jobs run, checked at each step by
// the view; the rows end whole and in order.
TEST_F(SortedRowsTest, ARandomMixOfChangesWhileJobsRunKeepsTheRowsWholeAndInOrder)
{
    std::mt19937 random(11);
    std::vector<const ftpObject*> gone;
    int key = listOrder::initialKey;
    for (int step = 0; step < 120; ++step) {
        switch (random() % 6) {
        case 0:
        case 1: {
            const size_t first = held.all.size();
            held.make(static_cast<int>(random() % 400) + 1, "s" + std::to_string(step) + "-");
            rows.add(held.from(first));
            break;
        }
        case 2:
            key = std::array { 1, -1, 2, -2, 3, -3, 4, -4, 6, -6 }[random() % 10];
            rows.sortBy(key);
            break;
        case 3:
            if (rows.size() > 0) {
                std::vector<const ftpObject*> going;
                for (int count = 0; count < 20; ++count)
                    going.push_back(
                        rows.entryAt(static_cast<int>(random() % static_cast<unsigned>(rows.size()))));
                rows.remove(going);
                gone.insert(gone.end(), going.begin(), going.end());
            }
            break;
        case 4:
            rows.mergeSoon();
            break;
        default:
            runEventsUntil([] { return false; }, std::chrono::milliseconds(random() % 20));
            break;
        }
    }
    rows.flush();
    EXPECT_TRUE(inOrder(key, gone));
}

} // namespace
