#include "remote/SortedRows.h"

#include "common/MainThreadCall.h"
#include "remote/FtpObject.h"

#include <QElapsedTimer>
#include <QMetaObject>

#include <algorithm>
#include <numeric>
#include <unordered_set>
#include <utility>

namespace
{

// Runs of rows removed one notice each before the rows are reset instead.
constexpr std::size_t mostRemovedRuns = 64;

} // namespace

// A copy of the rows (sharing their texts) sorted by row number.
struct SortedRows::sortJob {
    std::vector<row> rows;
    std::vector<std::uint32_t> order;
    int key = 0;
    int ranked = 0;

    void run()
    {
        // The texts are ranked once for every later sort of the same rows;
        // the rows themselves are large, so their row numbers are sorted.
        if (const int missing = listOrder::textsOf(key) & ~ranked) {
            listOrder::rank(rows, missing);
            ranked |= missing;
        }
        order.resize(rows.size());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return listOrder::compareRanked(rows[a], rows[b], key) < 0;
        });
    }
};

// Copies of what arrived, made into rows in the order of the sort key.
struct SortedRows::prepareJob {
    std::vector<listOrder::entryFields> fields;
    std::vector<row> rows;
    int key = 0;

    void run()
    {
        rows.reserve(fields.size());
        for (const listOrder::entryFields& entry : fields)
            rows.push_back(listOrder::prepare(entry));
        // A stable merge sort: the comparisons are not a strict weak order
        // for every mix of type texts, and must never take the sort out of
        // bounds.
        std::stable_sort(rows.begin(), rows.end(),
            [this](const row& a, const row& b) { return listOrder::compare(a, b, key) < 0; });
    }
};

// The job's thread owns `job` until the owner's thread joins it.
template <typename Job> struct SortedRows::running {
    Job job;
    std::uint64_t serial = 0;
    std::thread thread;

    Job take()
    {
        thread.join();
        return std::move(job);
    }
};

// A job's report, posted from its thread. Qt's event queue hands it over to
// the owner's thread out of ThreadSanitizer's sight (Qt is not built with
// it), and Qt copies the call into memory of its own: every copy announces
// itself, and the owner's thread names the copy it runs before reading it.
struct SortedRows::completion {
    SortedRows* rows;
    void (SortedRows::*done)(std::uint64_t);
    std::uint64_t serial;

    completion(SortedRows* owner, void (SortedRows::*report)(std::uint64_t), std::uint64_t jobSerial)
        : rows(owner)
        , done(report)
        , serial(jobSerial)
    {
        handOverRelease(this);
    }
    completion(const completion& other)
        : rows(other.rows)
        , done(other.done)
        , serial(other.serial)
    {
        handOverRelease(this);
    }
    completion& operator=(const completion&) = delete;

    void operator()() const
    {
        handOverAcquire(this);
        (rows->*done)(serial);
    }
};

SortedRows::SortedRows(SortedRowsObserver& observer, int sortKey)
    : observer_(observer)
    , sortKey_(sortKey)
{
    mergeTimer_.setSingleShot(true);
    mergeTimer_.setInterval(mergeInterval);
    mergeTimer_.callOnTimeout(&reports_, [this] { prepareArrived(); });
}

SortedRows::~SortedRows()
{
    abandonWork();
    if (disposal_.joinable())
        disposal_.join();
}

template <typename Job>
void SortedRows::launch(std::unique_ptr<running<Job>>& slot, Job job, void (SortedRows::*done)(std::uint64_t))
{
    slot = std::make_unique<running<Job>>();
    slot->job = std::move(job);
    slot->serial = ++lastSerial_;
    // The report goes to `reports_`, which lives as long as the rows and
    // drops what is still queued for it when they go; the rows join the
    // thread before that.
    slot->thread = std::thread([this, work = &slot->job, serial = slot->serial, done] {
        work->run();
        QMetaObject::invokeMethod(&reports_, completion(this, done, serial), Qt::QueuedConnection);
    });
}

void SortedRows::abandonWork()
{
    if (sorting_)
        sorting_->take();
    if (preparing_)
        preparing_->take();
    sorting_.reset();
    preparing_.reset();
}

void SortedRows::clear()
{
    abandonWork();
    mergeSoon_ = false;
    mergeTimer_.stop();
    mergeTimer_.setInterval(mergeInterval);
    pending_.clear();
    observer_.rowsAboutToBeReset();
    // A folder of 100,000 rows takes tens of milliseconds to free: a thread
    // of its own does it.
    if (!rows_.empty()) {
        if (disposal_.joinable())
            disposal_.join();
        disposal_ = std::thread([doomed = std::move(rows_), spare = std::move(mergeSpace_)]() mutable {
            doomed.clear();
            spare.clear();
        });
    }
    rows_.clear();
    mergeSpace_.clear();
    ranked_ = 0;
    observer_.rowsReset();
}

void SortedRows::add(std::span<const ftpObject* const> entries)
{
    pending_.insert(pending_.end(), entries.begin(), entries.end());
    if (!mergeTimer_.isActive() && !preparing_)
        mergeTimer_.start();
}

void SortedRows::mergeSoon()
{
    if (preparing_)
        mergeSoon_ = true;
    else
        prepareArrived();
}

void SortedRows::prepareArrived()
{
    mergeTimer_.stop();
    if (preparing_ || pending_.empty())
        return;
    prepareJob job;
    job.fields.reserve(pending_.size());
    for (const ftpObject* entry : pending_)
        job.fields.push_back(listOrder::fieldsOf(*entry));
    pending_.clear();
    job.key = sortKey_;
    launch(preparing_, std::move(job), &SortedRows::prepared);
}

void SortedRows::prepared(std::uint64_t serial)
{
    if (!preparing_ || preparing_->serial != serial)
        return;
    finishPreparing();
    if (std::exchange(mergeSoon_, false))
        prepareArrived();
}

void SortedRows::finishPreparing()
{
    if (!preparing_)
        return;
    // The arrived rows are in the order of the sort key, which the rows take
    // with the sort in progress.
    finishSort();
    QElapsedTimer took;
    took.start();
    const std::unique_ptr<running<prepareJob>> done = std::move(preparing_);
    mergeArrived(done->take().rows);
    // A merge costs time in proportion to the rows already shown: the next
    // one waits at least four times as long as this one took, so that a
    // large folder is merged a few times while it arrives, not quadratically
    // often.
    mergeTimer_.setInterval(std::max<int>(mergeInterval, static_cast<int>(took.elapsed() * 4)));
    // What arrived meanwhile waited for this merge, whoever asked for it.
    if (!pending_.empty())
        mergeTimer_.start();
}

void SortedRows::flush()
{
    finishSort();
    finishPreparing();
    mergeTimer_.stop();
    mergeSoon_ = false;
    if (pending_.empty())
        return;
    std::vector<row> arrived;
    arrived.reserve(pending_.size());
    for (const ftpObject* entry : pending_)
        arrived.push_back(listOrder::prepare(*entry));
    pending_.clear();
    std::stable_sort(
        arrived.begin(), arrived.end(), [this](const row& a, const row& b) { return before(a, b); });
    mergeArrived(std::move(arrived));
}

void SortedRows::mergeArrived(std::vector<row> arrived)
{
    ranked_ = 0;
    if (rows_.empty()) {
        observer_.rowsAboutToBeReset();
        rows_ = std::move(arrived);
        observer_.rowsReset();
        return;
    }
    observer_.rowsAboutToBeReordered();
    // Into the memory of the last merge: memory the system has taken back
    // costs a page fault per page at its first write again. Equal rows keep
    // the earlier one first, as std::merge does.
    mergeSpace_.clear();
    mergeSpace_.reserve(rows_.size() + arrived.size());
    newRowOf_.resize(rows_.size());
    auto old = rows_.begin();
    auto added = arrived.begin();
    while (old != rows_.end()) {
        if (added != arrived.end() && before(*added, *old)) {
            mergeSpace_.push_back(std::move(*added++));
            continue;
        }
        newRowOf_[static_cast<std::size_t>(old - rows_.begin())] = static_cast<int>(mergeSpace_.size());
        mergeSpace_.push_back(std::move(*old++));
    }
    std::move(added, arrived.end(), std::back_inserter(mergeSpace_));
    rows_.swap(mergeSpace_);
    observer_.rowsReordered(newRowOf_);
}

void SortedRows::update(const ftpObject& entry)
{
    flush();
    const int at = indexOf(&entry);
    if (at < 0)
        return;
    rows_[static_cast<std::size_t>(at)] = listOrder::prepare(entry);
    ranked_ = 0;
    observer_.rowChanged(at);
    sortBy(sortKey_);
}

void SortedRows::remove(std::span<const ftpObject* const> entries)
{
    finishSort();
    finishPreparing();
    // A set, and rows taken out a run at a time: a whole folder of 100,000
    // entries selected and deleted goes at once.
    const std::unordered_set<const ftpObject*> going(entries.begin(), entries.end());
    std::erase_if(pending_, [&](const ftpObject* held) { return going.contains(held); });
    const auto goes = [&](const row& held) { return going.contains(held.entry); };
    std::vector<std::pair<std::size_t, std::size_t>> runs; // [first, last], the last run first
    for (std::size_t end = rows_.size(); end > 0;) {
        if (!goes(rows_[end - 1])) {
            --end;
            continue;
        }
        std::size_t first = end - 1;
        while (first > 0 && goes(rows_[first - 1]))
            --first;
        runs.emplace_back(first, end - 1);
        end = first;
    }
    if (runs.size() > mostRemovedRuns) {
        // Each run moves the rows after it: many scattered rows cost less
        // all together, though a view forgets its selection.
        observer_.rowsAboutToBeReset();
        std::erase_if(rows_, goes);
        observer_.rowsReset();
        return;
    }
    for (const auto& [first, last] : runs) {
        observer_.rowsAboutToBeRemoved(static_cast<int>(first), static_cast<int>(last));
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(first),
            rows_.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        observer_.rowsRemoved();
    }
}

void SortedRows::sortBy(int key)
{
    flush();
    sortKey_ = key;
    sortJob job;
    job.rows = rows_;
    job.key = key;
    job.ranked = ranked_;
    launch(sorting_, std::move(job), &SortedRows::sorted);
}

void SortedRows::sorted(std::uint64_t serial)
{
    if (sorting_ && sorting_->serial == serial)
        finishSort();
}

void SortedRows::finishSort()
{
    if (!sorting_)
        return;
    const std::unique_ptr<running<sortJob>> done = std::move(sorting_);
    sortJob job = done->take();
    ranked_ = job.ranked;
    takeOrder(job.rows, job.order);
}

void SortedRows::takeOrder(std::vector<row>& from, const std::vector<std::uint32_t>& order)
{
    observer_.rowsAboutToBeReordered();
    std::vector<row> sorted;
    sorted.reserve(from.size());
    newRowOf_.resize(from.size());
    for (std::size_t at = 0; at < order.size(); ++at) {
        sorted.push_back(std::move(from[order[at]]));
        newRowOf_[order[at]] = static_cast<int>(at);
    }
    rows_ = std::move(sorted);
    observer_.rowsReordered(newRowOf_);
}

const ftpObject* SortedRows::entryAt(int index) const
{
    return index >= 0 && index < size() ? at(index).entry : nullptr;
}

int SortedRows::indexOf(const ftpObject* entry) const
{
    const auto found
        = std::find_if(rows_.begin(), rows_.end(), [&](const row& held) { return held.entry == entry; });
    return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}
