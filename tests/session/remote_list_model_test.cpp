// The remote list's model prepares arrived entries and sorts on threads of
// its own: the rows take the result when it is done, and every change of
// the rows meanwhile finds them whole and in order.

#include "../net/ftp_test_support.h"

#include "remote/FtpObject.h"
#include "remote/ListOrder.h"
#include "session/ui/RemoteListModel.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <deque>
#include <random>

namespace
{

class RemoteListModelTest : public testing::Test
{
protected:
    // Files with names in a shuffled order, and a folder every tenth.
    void makeEntries(int count, const std::string& prefix = "entry")
    {
        std::vector<int> numbers(static_cast<size_t>(count));
        std::iota(numbers.begin(), numbers.end(), 0);
        std::shuffle(numbers.begin(), numbers.end(), std::mt19937(7));
        for (const int number : numbers) {
            ftpObject& made = held.emplace_back();
            made.name = prefix + std::to_string(number) + (number % 3 ? ".txt" : ".png");
            made.kind = number % 10 == 0 ? ftpObject::Folder : ftpObject::RegularFile;
            made.typeText = number % 3 ? "Plain text document" : "PNG image";
            made.size = number * 37 % 1000;
            made.rights = made.kind == ftpObject::Folder ? "drwxr-xr-x" : "-rw-r--r--";
            made.dateText = "Mar " + std::to_string(number % 28 + 1) + " 2003";
        }
    }

    std::vector<const ftpObject*> entries(size_t from = 0) const
    {
        std::vector<const ftpObject*> all;
        for (size_t at = from; at < held.size(); ++at)
            all.push_back(&held[at]);
        return all;
    }

    std::vector<std::string> shown() const
    {
        std::vector<std::string> names;
        for (int row = 0; row < model.rowCount(); ++row)
            names.push_back(model.entryAt(row)->name);
        return names;
    }

    // The entries still held, shown in the order of `key` (entries that
    // compare equal in either order).
    testing::AssertionResult showsInOrder(int key, const ftpObject* without = nullptr) const
    {
        std::vector<std::string> names, wanted;
        for (const ftpObject& made : held) {
            if (&made != without)
                wanted.push_back(made.name);
        }
        for (int row = 0; row < model.rowCount(); ++row) {
            names.push_back(model.entryAt(row)->name);
            if (row > 0
                && listOrder::compare(listOrder::prepare(*model.entryAt(row - 1)),
                       listOrder::prepare(*model.entryAt(row)), key)
                    > 0)
                return testing::AssertionFailure() << "rows " << row - 1 << " and " << row << " out of order";
        }
        std::sort(names.begin(), names.end());
        std::sort(wanted.begin(), wanted.end());
        if (names != wanted)
            return testing::AssertionFailure() << names.size() << " rows shown, " << wanted.size() << " held";
        return testing::AssertionSuccess();
    }

    std::deque<ftpObject> held;
    RemoteListModel model;
};

TEST_F(RemoteListModelTest, ASortTakesEffectWhenItsThreadIsDoneAndSelectionsFollowTheirRows)
{
    makeEntries(3000);
    const std::vector<const ftpObject*> all = entries();
    model.add(all);
    model.flush();
    ASSERT_TRUE(showsInOrder(listOrder::initialKey));
    const std::vector<std::string> before = shown();
    const QPersistentModelIndex selected = model.index(5, 0);
    const ftpObject* selectedEntry = model.entryAt(5);
    QSignalSpy reordered(&model, &QAbstractItemModel::layoutChanged);

    model.sortBy(listOrder::nameKey);
    EXPECT_EQ(model.sortKey(), listOrder::nameKey);
    EXPECT_EQ(shown(), before) << "the rows keep their order until the sort is done";
    ASSERT_TRUE(runEventsUntil([&] { return reordered.count() == 1; }));
    EXPECT_TRUE(showsInOrder(listOrder::nameKey));
    EXPECT_EQ(model.entryAt(selected.row()), selectedEntry);

    model.sortBy(-listOrder::rightsKey);
    model.flush();
    EXPECT_TRUE(showsInOrder(-listOrder::rightsKey)) << "flush() waits for the sort";
}

TEST_F(RemoteListModelTest, ChangesDuringASortFindTheRowsWholeAndInItsOrder)
{
    makeEntries(3000);
    model.add(entries());
    model.flush();

    const ftpObject* removed = &held[17];
    model.sortBy(-listOrder::sizeKey);
    model.remove({ &removed, 1 });
    EXPECT_TRUE(showsInOrder(-listOrder::sizeKey, removed));

    model.sortBy(listOrder::dateKey);
    const size_t first = held.size();
    makeEntries(500, "late");
    model.add(entries(first));
    model.flush();
    EXPECT_TRUE(showsInOrder(listOrder::dateKey, removed));

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.sortBy(listOrder::typeKey);
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    runEventsUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(model.rowCount(), 0) << "the abandoned sort brings no rows back";
    EXPECT_EQ(reset.count(), 1);
}

TEST_F(RemoteListModelTest, EntriesPreparedOnTheirThreadMergeInOrderOrGoWithTheirRemoval)
{
    makeEntries(4000);
    const std::vector<const ftpObject*> all = entries();
    // As a listing delivers them: in blocks, merged as they are ready.
    for (size_t at = 0; at < all.size(); at += 250)
        model.add(std::span(all).subspan(at, 250));
    ASSERT_TRUE(runEventsUntil([&] { return model.rowCount() == 4000; }));
    EXPECT_TRUE(showsInOrder(listOrder::initialKey));

    model.clear();
    model.add(all);
    model.mergeSoon();
    const ftpObject* removed = all[123];
    model.remove({ &removed, 1 });
    EXPECT_TRUE(showsInOrder(listOrder::initialKey, removed));

    model.clear();
    model.add(all);
    model.mergeSoon();
    model.clear();
    runEventsUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(model.rowCount(), 0) << "entries prepared for a list since cleared stay away";
}

TEST_F(RemoteListModelTest, RemovedEntriesGoWhereverTheyAreAndTheOthersKeepTheirOrder)
{
    // The tester checks every notice against the rows it announces.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    makeEntries(20000);
    model.add(entries());
    model.flush();
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy removedRows(&model, &QAbstractItemModel::rowsRemoved);
    const std::vector<std::string> before = shown();
    const auto remaining = [&](const std::vector<const ftpObject*>& gone) {
        std::vector<std::string> names;
        for (const std::string& name : before) {
            if (std::none_of(
                    gone.begin(), gone.end(), [&](const ftpObject* entry) { return entry->name == name; }))
                names.push_back(name);
        }
        return names;
    };

    // A few runs: one notice each, the last run first.
    std::vector<const ftpObject*> gone;
    for (const int row : { 0, 1, 2, 500, 9000, 9001, 19999 })
        gone.push_back(model.entryAt(row));
    const ftpObject* unknown = &held.emplace_back();
    std::vector<const ftpObject*> asked = gone;
    asked.push_back(unknown);
    model.remove(asked);
    EXPECT_EQ(shown(), remaining(gone));
    ASSERT_EQ(removedRows.count(), 4);
    EXPECT_EQ(removedRows[0].value(1).toInt(), 19999);
    EXPECT_EQ(removedRows[3].value(1).toInt(), 0);
    EXPECT_EQ(removedRows[3].value(2).toInt(), 2);
    EXPECT_EQ(reset.count(), 0);

    // Every other row: too many runs for a notice each.
    std::vector<const ftpObject*> scattered;
    for (int row = 0; row < model.rowCount(); row += 2)
        scattered.push_back(model.entryAt(row));
    const std::vector<std::string> kept = [&] {
        std::vector<std::string> names;
        for (int row = 1; row < model.rowCount(); row += 2)
            names.push_back(model.entryAt(row)->name);
        return names;
    }();
    model.remove(scattered);
    EXPECT_EQ(shown(), kept);
    EXPECT_EQ(reset.count(), 1);

    // Everything that is left, as one run.
    const std::vector<const ftpObject*> rest = [&] {
        std::vector<const ftpObject*> all;
        for (int row = 0; row < model.rowCount(); ++row)
            all.push_back(model.entryAt(row));
        return all;
    }();
    model.remove(rest);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(removedRows.count(), 5);
}

} // namespace
