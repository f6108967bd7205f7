#pragma once

#include "remote/ListOrder.h"
#include "remote/SortedRows.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>

#include <span>

struct ftpObject;

// The remote list of a session frame: a table over the session's entries
// (the session owns them) in the order of SortedRows, whose notices it
// passes on to its views. Main thread only.
class RemoteListModel : public QAbstractTableModel, private SortedRowsObserver
{
    Q_OBJECT

public:
    enum Column { NameColumn, SizeColumn, TypeColumn, DateColumn, RightsColumn, ColumnCount };
    // Marks a drag that started in a remote view of this program.
    static constexpr const char* internalDragFormat = "application/x-ranquil-remote-entries";

    explicit RemoteListModel(QObject* parent = nullptr);

    void clear();
    void add(std::span<const ftpObject* const> entries) { rows_.add(entries); }
    void update(const ftpObject& entry) { rows_.update(entry); }
    void remove(std::span<const ftpObject* const> entries);
    // Merges what has arrived so far into the rows, after the sort in
    // progress (if any) has put them in order.
    void flush() { rows_.flush(); }
    // Starts merging what has arrived without waiting for the next merge.
    void mergeSoon() { rows_.mergeSoon(); }

    int sortKey() const { return rows_.sortKey(); }
    void sortBy(int key) { rows_.sortBy(key); }
    // The sort key of a header click on `column`.
    static int keyOfColumn(int column);

    // The entry shown as the target of a drag over the list (null: none).
    void setDropTarget(const ftpObject* entry);
    const ftpObject* dropTarget() const { return dropTarget_; }

    const ftpObject* entryAt(int row) const { return rows_.entryAt(row); }
    int rowOf(const ftpObject* entry) const { return rows_.indexOf(entry); }

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
    void rowsAboutToBeReset() override { beginResetModel(); }
    void rowsReset() override { endResetModel(); }
    void rowsAboutToBeReordered() override;
    void rowsReordered(std::span<const int> newRowOf) override;
    void rowsAboutToBeRemoved(int first, int last) override { beginRemoveRows({}, first, last); }
    void rowsRemoved() override { endRemoveRows(); }
    void rowChanged(int row) override;
    QIcon iconOf(const ftpObject& entry) const;

    SortedRows rows_;
    const ftpObject* dropTarget_ = nullptr;
    mutable QHash<QString, QIcon> iconsByExtension_;
};
