#pragma once

#include <QStackedWidget>

class QAbstractItemModel;
class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QTreeView;

// A file list in the four view modes of a desktop file manager: "Detail"
// (a report with columns), "List", "Small" and large icons. One model, two
// views sharing one selection; only the view of the current mode shows.
class ModeListView : public QStackedWidget
{
    Q_OBJECT

public:
    explicit ModeListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model);
    QAbstractItemModel* model() const;
    QItemSelectionModel* selectionModel() const;
    QTreeView* detailView() const { return details_; }
    QListView* iconView() const { return icons_; }
    QAbstractItemView* currentView() const;
    // The row under `point` of the current view's viewport, or -1.
    int rowAt(const QPoint& point) const;
    // The selected rows in display order.
    QList<int> selectedRows() const;

    // "Detail", "List", "Small"; anything else is large icons.
    void setMode(const QString& mode);
    // The mode as stored: "Detail", "List", "Small" or "Large".
    QString mode() const { return mode_; }

Q_SIGNALS:
    void activated(int row);

private:
    QTreeView* details_;
    QListView* icons_;
    QString mode_;
};
