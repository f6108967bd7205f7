#include "session/ui/ModeListView.h"

#include <QHeaderView>
#include <QListView>
#include <QTreeView>

#include <algorithm>

ModeListView::ModeListView(QWidget* parent)
    : QStackedWidget(parent)
    , details_(new QTreeView(this))
    , icons_(new QListView(this))
{
    details_->setRootIsDecorated(false);
    details_->setUniformRowHeights(true);
    details_->setItemsExpandable(false);
    details_->setAllColumnsShowFocus(true);
    details_->header()->setSectionsClickable(true);
    details_->header()->setSortIndicatorShown(false);
    icons_->setUniformItemSizes(true);
    icons_->setResizeMode(QListView::Adjust);
    for (QAbstractItemView* view :
        { static_cast<QAbstractItemView*>(details_), static_cast<QAbstractItemView*>(icons_) }) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        addWidget(view);
        connect(view, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { Q_EMIT activated(index.row()); });
    }
    setMode(QStringLiteral("Detail"));
}

void ModeListView::setModel(QAbstractItemModel* model)
{
    details_->setModel(model);
    icons_->setModel(model);
    icons_->setSelectionModel(details_->selectionModel());
}

QAbstractItemModel* ModeListView::model() const
{
    return details_->model();
}

QItemSelectionModel* ModeListView::selectionModel() const
{
    return details_->selectionModel();
}

QAbstractItemView* ModeListView::currentView() const
{
    return mode_ == QStringLiteral("Detail") ? static_cast<QAbstractItemView*>(details_) : icons_;
}

int ModeListView::rowAt(const QPoint& point) const
{
    const QModelIndex index = currentView()->indexAt(point);
    return index.isValid() ? index.row() : -1;
}

QList<int> ModeListView::selectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ModeListView::setMode(const QString& mode)
{
    if (mode == QStringLiteral("Detail")) {
        mode_ = mode;
        setCurrentWidget(details_);
        return;
    }
    const bool list = mode == QStringLiteral("List");
    const bool small = mode == QStringLiteral("Small");
    mode_ = list || small ? mode : QStringLiteral("Large");
    icons_->setViewMode(list || small ? QListView::ListMode : QListView::IconMode);
    icons_->setFlow(list ? QListView::TopToBottom : QListView::LeftToRight);
    icons_->setWrapping(true);
    icons_->setIconSize(list || small ? QSize(16, 16) : QSize(32, 32));
    icons_->setGridSize(list || small ? QSize() : QSize(96, 64));
    setCurrentWidget(icons_);
}
