#include "app/ui/BookmarkTreeWidget.h"

#include "app/BookmarkTree.h"

#include <QSignalBlocker>
#include <QStyle>

#include <functional>

namespace
{
constexpr int nodeRole = Qt::UserRole;

BookmarkNode* nodeOf(const QTreeWidgetItem* item)
{
    return item ? reinterpret_cast<BookmarkNode*>(item->data(0, nodeRole).value<quintptr>()) : nullptr;
}
} // namespace

BookmarkTreeWidget::BookmarkTreeWidget(BookmarkTree& tree, QWidget* parent)
    : QTreeWidget(parent)
    , bookmarks_(tree)
{
    setHeaderHidden(true);
    connect(
        this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { selectItem(item); });
    showTree();
}

BookmarkNode* BookmarkTreeWidget::selectedNode() const
{
    BookmarkNode* node = nodeOf(currentItem());
    return node ? node : bookmarks_.root();
}

void BookmarkTreeWidget::selectItem(QTreeWidgetItem* item)
{
    BookmarkNode* node = nodeOf(item);
    if (!node)
        return;
    if (node->isFolder()) {
        bookmarks_.scan(node);
        showTree();
        item->setExpanded(true);
    }
    Q_EMIT nodeSelected(node);
}

// Moving and dropping items would change the current item on the way; the
// selection stays where the user put it and selects nothing anew.
void BookmarkTreeWidget::showTree()
{
    const QSignalBlocker blocker(this);
    const BookmarkNode* current = nodeOf(currentItem());
    if (topLevelItemCount() == 0)
        addTopLevelItem(new QTreeWidgetItem);
    showNode(topLevelItem(0), bookmarks_.root());
    if (QTreeWidgetItem* item = itemFor(current))
        setCurrentItem(item);
}

void BookmarkTreeWidget::showNode(QTreeWidgetItem* item, BookmarkNode* node)
{
    item->setData(0, nodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    item->setText(0, QString::fromStdString(node->text()));
    item->setIcon(0, style()->standardIcon(node->isFolder() ? QStyle::SP_DirIcon : QStyle::SP_DriveNetIcon));
    const bool cut
        = bookmarks_.clipboardNode() == node && bookmarks_.clipboardMode() == BookmarkTree::ClipMode::Cut;
    item->setForeground(0, cut ? palette().brush(QPalette::Disabled, QPalette::Text) : palette().text());
    showChildren(item, node);
}

// Items are matched to nodes by identity; an item whose node went away is
// dropped, a node without an item gets one, and the order follows the tree.
void BookmarkTreeWidget::showChildren(QTreeWidgetItem* item, BookmarkNode* node)
{
    const auto& children = node->children();
    for (int i = 0; i < static_cast<int>(children.size()); ++i) {
        BookmarkNode* child = children[static_cast<size_t>(i)].get();
        QTreeWidgetItem* childItem = nullptr;
        for (int j = i; j < item->childCount() && !childItem; ++j)
            if (nodeOf(item->child(j)) == child)
                childItem = item->child(j);
        if (!childItem) {
            childItem = new QTreeWidgetItem;
            item->insertChild(i, childItem);
        } else if (item->indexOfChild(childItem) != i) {
            const bool expanded = childItem->isExpanded();
            item->insertChild(i, item->takeChild(item->indexOfChild(childItem)));
            childItem->setExpanded(expanded);
        }
        showNode(childItem, child);
    }
    while (item->childCount() > static_cast<int>(children.size()))
        delete item->takeChild(item->childCount() - 1);
}

QTreeWidgetItem* BookmarkTreeWidget::itemFor(const BookmarkNode* node) const
{
    std::function<QTreeWidgetItem*(QTreeWidgetItem*)> find = [&](QTreeWidgetItem* item) -> QTreeWidgetItem* {
        if (nodeOf(item) == node)
            return item;
        for (int i = 0; i < item->childCount(); ++i)
            if (QTreeWidgetItem* found = find(item->child(i)))
                return found;
        return nullptr;
    };
    return find(topLevelItem(0));
}

void BookmarkTreeWidget::select(const BookmarkNode* node)
{
    if (QTreeWidgetItem* item = itemFor(node))
        setCurrentItem(item);
}
