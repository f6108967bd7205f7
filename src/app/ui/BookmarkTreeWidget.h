#pragma once

#include <QTreeWidget>

class BookmarkNode;
class BookmarkTree;

// Shows a BookmarkTree. Selecting a folder scans it and expands it; every
// selection is then announced by nodeSelected. After a command changed the
// tree, showTree() brings the items in line with the nodes.
class BookmarkTreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    explicit BookmarkTreeWidget(BookmarkTree& tree, QWidget* parent = nullptr);

    // The node of the current item; the root when there is none.
    BookmarkNode* selectedNode() const;
    QTreeWidgetItem* itemFor(const BookmarkNode* node) const;
    void select(const BookmarkNode* node);
    void showTree();

Q_SIGNALS:
    void nodeSelected(BookmarkNode* node);

private:
    void selectItem(QTreeWidgetItem* item);
    void showNode(QTreeWidgetItem* item, BookmarkNode* node);
    void showChildren(QTreeWidgetItem* item, BookmarkNode* node);

    BookmarkTree& bookmarks_;
};
