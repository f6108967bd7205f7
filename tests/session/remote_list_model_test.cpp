// The remote list's model prepares arrived entries and sorts on threads of
// its own: the rows take the result when it is done, and every change of
// the rows meanwhile finds them whole and in order.

#include "../net/ftp_test_support.h"
#include "../remote/sorted_rows_entries.h"

#include "remote/FtpObject.h"
#include "remote/ListOrder.h"
#include "session/ui/RemoteListModel.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace
{

class RemoteListModelTest : public testing::Test
{
protected:
    void makeEntries(int count, const std::string& prefix = "entry") { held.make(count, prefix); }
    std::vector<const ftpObject*> entries(size_t from = 0) const { return held.from(from); }

    std::vector<std::string> shown() const
    {
        std::vector<std::string> names;
        for (int row = 0; row < model.rowCount(); ++row)
            names.push_back(model.entryAt(row)->name);
        return names;
    }

    testing::AssertionResult showsInOrder(int key, const ftpObject* without = nullptr) const
    {
        std::vector<const ftpObject*> rows;
        for (int row = 0; row < model.rowCount(); ++row)
            rows.push_back(model.entryAt(row));
        return held.shownInOrder(rows, key, std::span<const ftpObject* const>(&without, without ? 1 : 0));
    }

    heldEntries held;
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

    const ftpObject* removed = &held.all[17];
    model.sortBy(-listOrder::sizeKey);
    model.remove({ &removed, 1 });
    EXPECT_TRUE(showsInOrder(-listOrder::sizeKey, removed));

    model.sortBy(listOrder::dateKey);
    const size_t first = held.all.size();
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
    const ftpObject* unknown = &held.all.emplace_back();
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
