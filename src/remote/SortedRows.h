#pragma once

#include "remote/ListOrder.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <span>
#include <thread>
#include <vector>

struct ftpObject;

// What a view of SortedRows learns of each change, in the owner's thread,
// while the change happens: each "about to" notice comes before the rows
// change, its partner after. An observer may read the rows during a notice,
// never change them.
class SortedRowsObserver
{
public:
    virtual void rowsAboutToBeReset() = 0;
    virtual void rowsReset() = 0;
    virtual void rowsAboutToBeReordered() = 0;
    // The same rows in a new order, or with others merged among them:
    // `newRowOf[r]` is where the row that was at `r` is now.
    virtual void rowsReordered(std::span<const int> newRowOf) = 0;
    // Rows `first` to `last` (inclusive) go.
    virtual void rowsAboutToBeRemoved(int first, int last) = 0;
    virtual void rowsRemoved() = 0;
    virtual void rowChanged(int row) = 0;

protected:
    ~SortedRowsObserver() = default;
};

// The rows of an entry list kept in the order of a sort key of listOrder,
// for lists of many entries that arrive in blocks. The entries belong to
// the caller and outlive their rows (remove() or clear() first).
//
// Arrived entries are gathered and merged into the rows at most every
// `mergeInterval` (longer when merges grow costly), so that a folder of
// 100,000 entries costs a few merges instead of one per block. The costly
// steps run on threads of their own, so that the owner's thread goes on
// serving events: the preparation of arrived entries for sorting (on copies
// of what it reads of them), each sort (on a copy of the rows, whose text
// ranks are kept for later sorts), and the freeing of a cleared list's rows.
// Their results take effect when the job reports it is done, or at once
// when a change of the rows or flush() needs them.
//
// Threads: the owner's thread (the one that creates the rows; it runs an
// event loop) makes every call and receives every notice. A job's thread
// owns what the job was given (copies: the rows themselves never change
// while it runs) until the owner's thread joins it; it then reports by a
// queued call to the owner's thread. A report whose job was taken over,
// abandoned (clear()) or destroyed with the rows does nothing.
class SortedRows
{
public:
    using row = listOrder::sortable;
    static constexpr int mergeInterval = 100; // ms

    SortedRows(SortedRowsObserver& observer, int sortKey);
    ~SortedRows();
    SortedRows(const SortedRows&) = delete;
    SortedRows& operator=(const SortedRows&) = delete;

    void clear();
    void add(std::span<const ftpObject* const> entries);
    // The entry's fields changed: its row is prepared again and sorted.
    void update(const ftpObject& entry);
    // Entries not among the rows are ignored.
    void remove(std::span<const ftpObject* const> entries);
    // Merges what has arrived so far into the rows, after the sort in
    // progress (if any) has put them in order.
    void flush();
    // Starts merging what has arrived without waiting for the next merge.
    void mergeSoon();

    int sortKey() const { return sortKey_; }
    // The rows keep their order until the sort is done.
    void sortBy(int key);

    int size() const { return static_cast<int>(rows_.size()); }
    const row& at(int index) const { return rows_[static_cast<std::size_t>(index)]; }
    const ftpObject* entryAt(int index) const;
    int indexOf(const ftpObject* entry) const;
    // A sort or a preparation runs.
    bool working() const { return sorting_ || preparing_; }

private:
    struct sortJob;
    struct prepareJob;
    template <typename Job> struct running;
    struct completion;

    bool before(const row& a, const row& b) const { return listOrder::compare(a, b, sortKey_) < 0; }
    template <typename Job>
    void launch(std::unique_ptr<running<Job>>& slot, Job job, void (SortedRows::*done)(std::uint64_t));
    void sorted(std::uint64_t serial);
    // Waits for the sort in progress and puts the rows in its order.
    void finishSort();
    // Hands what has arrived to a thread that prepares and sorts it.
    void prepareArrived();
    void prepared(std::uint64_t serial);
    // Waits for the entries being prepared and merges them into the rows.
    void finishPreparing();
    // Waits for the jobs and forgets them: the rows are about to go.
    void abandonWork();
    // `arrived` is sorted by the sort key.
    void mergeArrived(std::vector<row> arrived);
    void takeOrder(std::vector<row>& from, const std::vector<std::uint32_t>& order);

    SortedRowsObserver& observer_;
    // Receives the jobs' reports in the owner's thread; its end drops the
    // reports not yet received.
    QObject reports_;
    std::vector<row> rows_;
    // The rows of the last merge, moved from, kept for their memory.
    std::vector<row> mergeSpace_;
    // Where each row went in the last reorder, kept for its memory.
    std::vector<int> newRowOf_;
    std::vector<const ftpObject*> pending_;
    std::unique_ptr<running<sortJob>> sorting_;
    std::unique_ptr<running<prepareJob>> preparing_;
    // Tells a job's report from that of a job before it.
    std::uint64_t lastSerial_ = 0;
    bool mergeSoon_ = false;
    QTimer mergeTimer_;
    // Frees the rows of a cleared list.
    std::thread disposal_;
    int sortKey_;
    // The texts whose ranks are up to date (listOrder::rankedText flags): a
    // sort on them compares integers only.
    int ranked_ = 0;
};
