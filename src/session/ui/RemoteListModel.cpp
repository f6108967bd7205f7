#include "session/ui/RemoteListModel.h"

#include "common/SizeText.h"
#include "net/VisibleText.h"
#include "remote/FileTypeText.h"
#include "remote/FtpObject.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileIconProvider>
#include <QMimeData>
#include <QMimeDatabase>
#include <QStyle>

#include <algorithm>
#include <array>
#include <atomic>
#include <numeric>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace
{

// Runs of rows removed one notice each before the rows are reset instead.
constexpr std::size_t mostRemovedRuns = 64;

} // namespace

// The sort's thread owns `rows` (copies sharing their texts with the model's
// rows) and `order` until `done`; the model joins the thread before it reads
// them. The model's rows do not change meanwhile.
struct RemoteListModel::backgroundSort {
    std::vector<row> rows;
    std::vector<std::uint32_t> order;
    int key = 0;
    int ranked = 0;
    std::atomic<bool> done { false };
    std::thread thread;

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
        done.store(true, std::memory_order_release);
    }
};

// The same for entries that arrived: the thread owns `fields` and `rows`
// until `done`.
struct RemoteListModel::backgroundPrepare {
    std::vector<listOrder::entryFields> fields;
    std::vector<row> rows;
    int key = 0;
    std::atomic<bool> done { false };
    std::thread thread;

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
        done.store(true, std::memory_order_release);
    }
};

RemoteListModel::RemoteListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
    mergeTimer_.setSingleShot(true);
    mergeTimer_.setInterval(mergeInterval);
    mergeTimer_.callOnTimeout(this, [this] { prepareArrived(); });
    workPoll_.setInterval(5);
    workPoll_.callOnTimeout(this, [this] { pollWork(); });
}

RemoteListModel::~RemoteListModel()
{
    abandonSort();
    abandonPreparing();
    if (disposal_.joinable())
        disposal_.join();
}

void RemoteListModel::clear()
{
    abandonSort();
    abandonPreparing();
    mergeSoon_ = false;
    mergeTimer_.stop();
    mergeTimer_.setInterval(mergeInterval);
    pending_.clear();
    dropTarget_ = nullptr;
    beginResetModel();
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
    endResetModel();
}

void RemoteListModel::add(std::span<const ftpObject* const> entries)
{
    pending_.insert(pending_.end(), entries.begin(), entries.end());
    if (!mergeTimer_.isActive() && !preparing_)
        mergeTimer_.start();
}

void RemoteListModel::mergeSoon()
{
    if (preparing_)
        mergeSoon_ = true;
    else
        prepareArrived();
}

void RemoteListModel::prepareArrived()
{
    mergeTimer_.stop();
    if (preparing_ || pending_.empty())
        return;
    preparing_ = std::make_unique<backgroundPrepare>();
    preparing_->fields.reserve(pending_.size());
    for (const ftpObject* entry : pending_)
        preparing_->fields.push_back(listOrder::fieldsOf(*entry));
    pending_.clear();
    preparing_->key = sortKey_;
    preparing_->thread = std::thread([job = preparing_.get()] { job->run(); });
    workPoll_.start();
}

void RemoteListModel::pollWork()
{
    if (sorting_ && sorting_->done.load(std::memory_order_acquire))
        finishSort();
    if (preparing_ && preparing_->done.load(std::memory_order_acquire)) {
        QElapsedTimer took;
        took.start();
        finishPreparing();
        // A merge costs time in proportion to the rows already shown: the
        // next one waits at least four times as long as this one took, so
        // that a large folder is merged a few times while it arrives, not
        // quadratically often.
        mergeTimer_.setInterval(std::max<int>(mergeInterval, static_cast<int>(took.elapsed() * 4)));
        if (std::exchange(mergeSoon_, false))
            prepareArrived();
        else if (!pending_.empty())
            mergeTimer_.start();
    }
    if (!sorting_ && !preparing_)
        workPoll_.stop();
}

void RemoteListModel::finishPreparing()
{
    if (!preparing_)
        return;
    // The arrived rows are in the order of the sort key, which the rows take
    // with the sort in progress.
    finishSort();
    preparing_->thread.join();
    const std::unique_ptr<backgroundPrepare> done = std::move(preparing_);
    mergeArrived(std::move(done->rows));
}

void RemoteListModel::abandonPreparing()
{
    if (!preparing_)
        return;
    preparing_->thread.join();
    preparing_.reset();
}

void RemoteListModel::flush()
{
    finishSort();
    finishPreparing();
    mergeTimer_.stop();
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

void RemoteListModel::mergeArrived(std::vector<row> arrived)
{
    ranked_ = 0;
    if (rows_.empty()) {
        beginResetModel();
        rows_ = std::move(arrived);
        endResetModel();
        return;
    }
    relayout([&] {
        // Into the memory of the last merge: memory the system has taken
        // back costs a page fault per page at its first write again.
        mergeSpace_.clear();
        mergeSpace_.reserve(rows_.size() + arrived.size());
        std::merge(std::make_move_iterator(rows_.begin()), std::make_move_iterator(rows_.end()),
            std::make_move_iterator(arrived.begin()), std::make_move_iterator(arrived.end()),
            std::back_inserter(mergeSpace_), [this](const row& a, const row& b) { return before(a, b); });
        rows_.swap(mergeSpace_);
    });
}

template <typename Reorder> void RemoteListModel::relayout(Reorder reorder)
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<const ftpObject*> held;
    held.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& index : before)
        held.push_back(entryAt(index.row()));
    reorder();
    if (!before.isEmpty()) {
        std::unordered_map<const ftpObject*, int> rowByEntry;
        rowByEntry.reserve(rows_.size());
        for (size_t at = 0; at < rows_.size(); ++at)
            rowByEntry.emplace(rows_[at].entry, static_cast<int>(at));
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype at = 0; at < before.size(); ++at) {
            const auto found = rowByEntry.find(held[static_cast<size_t>(at)]);
            after << (found == rowByEntry.end() ? QModelIndex() : index(found->second, before[at].column()));
        }
        changePersistentIndexList(before, after);
    }
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void RemoteListModel::update(const ftpObject& entry)
{
    flush();
    const int at = rowOf(&entry);
    if (at < 0)
        return;
    rows_[static_cast<size_t>(at)] = listOrder::prepare(entry);
    ranked_ = 0;
    Q_EMIT dataChanged(index(at, 0), index(at, ColumnCount - 1));
    sortBy(sortKey_);
}

void RemoteListModel::remove(std::span<const ftpObject* const> entries)
{
    finishSort();
    finishPreparing();
    // A set, and rows taken out a run at a time: a whole folder of 100,000
    // entries selected and deleted goes at once.
    const std::unordered_set<const ftpObject*> going(entries.begin(), entries.end());
    std::erase_if(pending_, [&](const ftpObject* held) { return going.contains(held); });
    if (going.contains(dropTarget_))
        dropTarget_ = nullptr;
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
        // all together, though the view forgets its selection.
        beginResetModel();
        std::erase_if(rows_, goes);
        endResetModel();
        return;
    }
    for (const auto& [first, last] : runs) {
        beginRemoveRows({}, static_cast<int>(first), static_cast<int>(last));
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(first),
            rows_.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        endRemoveRows();
    }
}

void RemoteListModel::sortBy(int key)
{
    flush();
    sortKey_ = key;
    sorting_ = std::make_unique<backgroundSort>();
    sorting_->rows = rows_;
    sorting_->key = key;
    sorting_->ranked = ranked_;
    sorting_->thread = std::thread([job = sorting_.get()] { job->run(); });
    workPoll_.start();
}

void RemoteListModel::finishSort()
{
    if (!sorting_)
        return;
    sorting_->thread.join();
    const std::unique_ptr<backgroundSort> done = std::move(sorting_);
    ranked_ = done->ranked;
    applyOrder(done->rows, done->order);
}

void RemoteListModel::abandonSort()
{
    if (!sorting_)
        return;
    sorting_->thread.join();
    sorting_.reset();
}

void RemoteListModel::applyOrder(std::vector<row>& from, const std::vector<std::uint32_t>& order)
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<row> sorted;
    sorted.reserve(from.size());
    std::vector<int> newRowOf(from.size());
    for (size_t at = 0; at < order.size(); ++at) {
        sorted.push_back(std::move(from[order[at]]));
        newRowOf[order[at]] = static_cast<int>(at);
    }
    rows_ = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& held : before) {
        const bool known = held.row() >= 0 && held.row() < static_cast<int>(newRowOf.size());
        after << (known ? index(newRowOf[static_cast<size_t>(held.row())], held.column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void RemoteListModel::setDropTarget(const ftpObject* entry)
{
    if (entry == dropTarget_)
        return;
    const ftpObject* previous = std::exchange(dropTarget_, entry);
    for (const ftpObject* changed : { previous, entry }) {
        if (const int at = changed ? rowOf(changed) : -1; at >= 0)
            Q_EMIT dataChanged(index(at, 0), index(at, ColumnCount - 1));
    }
}

int RemoteListModel::keyOfColumn(int column)
{
    static constexpr std::array<int, ColumnCount> keys = { listOrder::nameKey, listOrder::sizeKey,
        listOrder::typeKey, listOrder::dateKey, listOrder::rightsKey };
    return column >= 0 && column < ColumnCount ? keys[static_cast<size_t>(column)] : listOrder::nameKey;
}

const ftpObject* RemoteListModel::entryAt(int at) const
{
    return at >= 0 && at < static_cast<int>(rows_.size()) ? rows_[static_cast<size_t>(at)].entry : nullptr;
}

int RemoteListModel::rowOf(const ftpObject* entry) const
{
    const auto found
        = std::find_if(rows_.begin(), rows_.end(), [&](const row& held) { return held.entry == entry; });
    return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

int RemoteListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RemoteListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RemoteListModel::data(const QModelIndex& index, int role) const
{
    const ftpObject* entry = entryAt(index.row());
    if (!entry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case NameColumn:
            return rows_[static_cast<size_t>(index.row())].caption;
        case SizeColumn:
            return entry->kind == ftpObject::Folder ? QString() : formatSize(entry->size, SizeMode::Short);
        case TypeColumn:
            return decodeRemoteText(entry->typeText);
        case DateColumn:
            return decodeRemoteText(entry->dateText);
        case RightsColumn:
            return decodeRemoteText(entry->rights);
        default:
            return {};
        }
    case Qt::DecorationRole:
        return index.column() == NameColumn ? QVariant(iconOf(*entry)) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == SizeColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    // The drop target looks selected, as in a desktop's file manager.
    case Qt::BackgroundRole:
        return entry == dropTarget_ ? QVariant(QApplication::palette().highlight()) : QVariant();
    case Qt::ForegroundRole:
        return entry == dropTarget_ ? QVariant(QApplication::palette().highlightedText()) : QVariant();
    default:
        return {};
    }
}

QIcon RemoteListModel::iconOf(const ftpObject& entry) const
{
    static const QFileIconProvider provider;
    switch (entry.kind) {
    case ftpObject::Folder:
        return provider.icon(QFileIconProvider::Folder);
    case ftpObject::LinkFile:
        return QApplication::style()->standardIcon(QStyle::SP_DriveNetIcon);
    case ftpObject::UnixLink:
        return QApplication::style()->standardIcon(QStyle::SP_FileLinkIcon);
    default:
        break;
    }
    const QString extension = decodeRemoteText(extensionOf(entry.name));
    const auto cached = iconsByExtension_.constFind(extension);
    if (cached != iconsByExtension_.constEnd())
        return *cached;
    const QMimeType type
        = QMimeDatabase().mimeTypeForFile(decodeRemoteText(entry.name), QMimeDatabase::MatchExtension);
    const QIcon icon = QIcon::fromTheme(
        type.iconName(), QIcon::fromTheme(type.genericIconName(), provider.icon(QFileIconProvider::File)));
    iconsByExtension_.insert(extension, icon);
    return icon;
}

QVariant RemoteListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole && section == SizeColumn)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    static const std::array<QString, ColumnCount> titles = { QStringLiteral("Name"), QStringLiteral("Size"),
        QStringLiteral("Type"), QStringLiteral("Date"), QStringLiteral("Rights") };
    return section >= 0 && section < ColumnCount ? titles[static_cast<size_t>(section)] : QString();
}

Qt::ItemFlags RemoteListModel::flags(const QModelIndex& index) const
{
    if (index.row() < 0 || index.row() >= static_cast<int>(rows_.size()))
        return Qt::NoItemFlags;
    // Never having children spares the view asking each row for them.
    Qt::ItemFlags flags
        = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
    if (rows_[static_cast<size_t>(index.row())].kind == ftpObject::Folder)
        flags |= Qt::ItemIsDropEnabled;
    return flags;
}

QStringList RemoteListModel::mimeTypes() const
{
    return { QString::fromLatin1(internalDragFormat) };
}

QMimeData* RemoteListModel::mimeData(const QModelIndexList&) const
{
    // The dragged entries are the view's selection; the data only says
    // where the drag came from.
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(internalDragFormat), QByteArray());
    return data;
}

Qt::DropActions RemoteListModel::supportedDragActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions RemoteListModel::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}
