#pragma once

#include "remote/ListOrder.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <span>
#include <thread>
#include <vector>

struct ftpObject;

// The remote list of a session frame: a table over the session's entries
// (the session owns them), kept sorted by the list's sort key. Entries
// arrive in small blocks while a listing is read; they are gathered and
// merged into the sorted rows at most every `mergeInterval` (longer when
// merges grow costly), so that a folder of 100,000 entries costs a few
// merges instead of one per block. The costly steps run on threads of their
// own, so that the main thread goes on serving events: the preparation of
// arrived entries for sorting (on copies of what it reads of them) and each
// sort (on a copy of the rows). Their results take effect when they are
// done, or at once when a change of the rows or flush() needs them.
// Main thread only.
class RemoteListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, SizeColumn, TypeColumn, DateColumn, RightsColumn, ColumnCount };
    static constexpr int mergeInterval = 100; // ms
    // Marks a drag that started in a remote view of this program.
    static constexpr const char* internalDragFormat = "application/x-ranquil-remote-entries";

    explicit RemoteListModel(QObject* parent = nullptr);
    ~RemoteListModel() override;

    void clear();
    void add(std::span<const ftpObject* const> entries);
    void update(const ftpObject& entry);
    void remove(std::span<const ftpObject* const> entries);
    // Merges what has arrived so far into the rows, after the sort in
    // progress (if any) has put them in order.
    void flush();
    // Starts merging what has arrived without waiting for the next merge.
    void mergeSoon();

    int sortKey() const { return sortKey_; }
    void sortBy(int key);
    // The sort key of a header click on `column`.
    static int keyOfColumn(int column);

    // The entry shown as the target of a drag over the list (null: none).
    void setDropTarget(const ftpObject* entry);
    const ftpObject* dropTarget() const { return dropTarget_; }

    const ftpObject* entryAt(int row) const;
    int rowOf(const ftpObject* entry) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;

private:
    using row = listOrder::sortable;
    bool before(const row& a, const row& b) const { return listOrder::compare(a, b, sortKey_) < 0; }
    // Reorders the rows in place of a layout change, keeping selections.
    template <typename Reorder> void relayout(Reorder reorder);
    // Takes `sorted` (the rows as they are, their ranks worked out) in
    // `order` (old row numbers, in their new order).
    void applyOrder(std::vector<row>& sorted, const std::vector<std::uint32_t>& order);
    struct backgroundSort;
    // Waits for the sort in progress and puts the rows in its order.
    void finishSort();
    // Waits for it and forgets it: the rows are about to go.
    void abandonSort();
    struct backgroundPrepare;
    // Hands what has arrived to a thread that prepares and sorts it.
    void prepareArrived();
    // Waits for the entries being prepared and merges them into the rows.
    void finishPreparing();
    void abandonPreparing();
    // `arrived` is sorted by the sort key.
    void mergeArrived(std::vector<row> arrived);
    void pollWork();
    QIcon iconOf(const ftpObject& entry) const;

    std::vector<row> rows_;
    // The rows of the last merge, moved from, kept for their memory.
    std::vector<row> mergeSpace_;
    // Frees the rows of a cleared list.
    std::thread disposal_;
    const ftpObject* dropTarget_ = nullptr;
    std::unique_ptr<backgroundSort> sorting_;
    std::unique_ptr<backgroundPrepare> preparing_;
    bool mergeSoon_ = false;
    QTimer workPoll_;
    std::vector<const ftpObject*> pending_;
    QTimer mergeTimer_;
    int sortKey_ = listOrder::initialKey;
    // The texts whose ranks are up to date (listOrder::rankedText flags): a
    // sort on them compares integers only.
    int ranked_ = 0;
    mutable QHash<QString, QIcon> iconsByExtension_;
};
