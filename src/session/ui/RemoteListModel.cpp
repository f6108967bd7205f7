#include "session/ui/RemoteListModel.h"

#include "common/SizeText.h"
#include "net/VisibleText.h"
#include "remote/FileTypeText.h"
#include "remote/FtpObject.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QMimeData>
#include <QMimeDatabase>
#include <QStyle>

#include <algorithm>
#include <array>
#include <utility>

RemoteListModel::RemoteListModel(QObject* parent)
    : QAbstractTableModel(parent)
    , rows_(*this, listOrder::initialKey)
{
}

void RemoteListModel::clear()
{
    dropTarget_ = nullptr;
    rows_.clear();
}

void RemoteListModel::remove(std::span<const ftpObject* const> entries)
{
    if (std::find(entries.begin(), entries.end(), dropTarget_) != entries.end())
        dropTarget_ = nullptr;
    rows_.remove(entries);
}

void RemoteListModel::rowsAboutToBeReordered()
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
}

void RemoteListModel::rowsReordered(std::span<const int> newRowOf)
{
    // Selections and the current row follow their entries.
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

void RemoteListModel::rowChanged(int row)
{
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void RemoteListModel::setDropTarget(const ftpObject* entry)
{
    if (entry == dropTarget_)
        return;
    const ftpObject* previous = std::exchange(dropTarget_, entry);
    for (const ftpObject* changed : { previous, entry }) {
        if (const int at = changed ? rowOf(changed) : -1; at >= 0)
            rowChanged(at);
    }
}

int RemoteListModel::keyOfColumn(int column)
{
    static constexpr std::array<int, ColumnCount> keys = { listOrder::nameKey, listOrder::sizeKey,
        listOrder::typeKey, listOrder::dateKey, listOrder::rightsKey };
    return column >= 0 && column < ColumnCount ? keys[static_cast<size_t>(column)] : listOrder::nameKey;
}

int RemoteListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_.size();
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
            return rows_.at(index.row()).caption;
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
    if (index.row() < 0 || index.row() >= rows_.size())
        return Qt::NoItemFlags;
    // Never having children spares the view asking each row for them.
    Qt::ItemFlags flags
        = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
    if (rows_.at(index.row()).kind == ftpObject::Folder)
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
