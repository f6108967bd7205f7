// The remote list's model prepares arrived entries and sorts on threads of
// its own: the rows take the result when it is done, and every change of
// the rows meanwhile finds them whole and in order.

#include "../net/ftp_test_support.h"

#include "session/FtpObject.h"
#include "session/ListOrder.h"
#include "session/ui/RemoteListModel.h"

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

} // namespace
