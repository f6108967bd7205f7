#include "app/ui/OperationsListView.h"

#include "app/ui/TransferWindows.h"
#include "transfer/ActionsList.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{
QStyle::StandardPixmap kindIcon(OperationKind kind)
{
    switch (kind) {
    case OperationKind::Download:
        return QStyle::SP_ArrowDown;
    case OperationKind::Upload:
        return QStyle::SP_ArrowUp;
    case OperationKind::Delete:
        break;
    }
    return QStyle::SP_TrashIcon;
}
} // namespace

OperationsListView::OperationsListView(
    ActionsList& actions, OperationsList& core, TransferWindows& windows, QWidget* parent)
    : QWidget(parent)
    , actions_(actions)
    , core_(core)
    , windows_(windows)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("To view/hide a transfer window, simply double click on its item "
                                  "row. (not valid for embedded actions)"),
            this));
    layout->addWidget(new QLabel(
        QStringLiteral("The checked actions, if incomplete, are restarted automatically every minute."),
        this));
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({ QStringLiteral("Type"), QStringLiteral("Address:Port"),
        QStringLiteral("Files / Folders / Links"), QStringLiteral("Progress") });
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(list_, 1);

    auto* buttons = new QHBoxLayout;
    restart_ = new QPushButton(QStringLiteral("&Restart / Resume"), this);
    clearSelected_ = new QPushButton(QStringLiteral("&Clear selected"), this);
    auto* clearFinished = new QPushButton(QStringLiteral("Clear All &Finished"), this);
    auto* clearAll = new QPushButton(QStringLiteral("Clear &All"), this);
    for (QPushButton* button : { restart_, clearSelected_, clearFinished, clearAll })
        buttons->addWidget(button);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(restart_, &QPushButton::clicked, &core_, &OperationsList::restartResumeClicked);
    connect(clearSelected_, &QPushButton::clicked, &core_, &OperationsList::clearSelectedClicked);
    connect(clearFinished, &QPushButton::clicked, &core_, &OperationsList::clearAllFinishedClicked);
    connect(clearAll, &QPushButton::clicked, &core_, &OperationsList::clearAllClicked);
    connect(list_, &QTreeWidget::currentItemChanged, this,
        [this](QTreeWidgetItem* item) { core_.select(item ? list_->indexOfTopLevelItem(item) : -1); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { core_.rowDoubleClicked(); });
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (!filling_ && column == TypeColumn)
            core_.setChecked(list_->indexOfTopLevelItem(item), item->checkState(TypeColumn) == Qt::Checked);
    });

    connect(&actions_, &ActionsList::rowAdded, this, &OperationsListView::addRow);
    connect(&actions_, &ActionsList::rowChanged, this, &OperationsListView::fillRow);
    connect(&actions_, &ActionsList::rowRemoved, this, [this](int index) {
        filling_ = true;
        delete list_->takeTopLevelItem(index);
        filling_ = false;
        core_.select(list_->currentItem() ? list_->indexOfTopLevelItem(list_->currentItem()) : -1);
    });
    for (int i = 0; i < actions_.rowCount(); ++i)
        addRow(i);
    core_.attachWindows(this);
}

OperationsListView::~OperationsListView()
{
    core_.attachWindows(nullptr);
}

void OperationsListView::addRow(int index)
{
    filling_ = true;
    list_->insertTopLevelItem(index, new QTreeWidgetItem);
    filling_ = false;
    fillRow(index);
}

void OperationsListView::fillRow(int index)
{
    QTreeWidgetItem* item = list_->topLevelItem(index);
    if (!item)
        return;
    const ActionsList::Row& row = actions_.row(index);
    const ftpOperationObject& operation = *row.operation;
    filling_ = true;
    item->setText(TypeColumn, kindText(operation.request.kind));
    item->setIcon(TypeColumn, style()->standardIcon(kindIcon(operation.request.kind)));
    item->setCheckState(TypeColumn, operation.autoTry ? Qt::Checked : Qt::Unchecked);
    item->setText(AddressColumn, siteColumnText(operation.request.site));
    item->setText(ItemsColumn, itemsColumnText(displayNamesOf(operation.request.items)));
    item->setText(ProgressColumn, row.statusText);
    filling_ = false;
}

void OperationsListView::showButtons(
    const QString& restartCaption, bool restartEnabled, bool clearSelectedEnabled)
{
    restart_->setText(restartCaption);
    restart_->setEnabled(restartEnabled);
    clearSelected_->setEnabled(clearSelectedEnabled);
}

void OperationsListView::openWindow(LoadFrameSetup setup, bool hidden)
{
    windows_.open(std::move(setup), hidden ? TLoadForm::Start::Hidden : TLoadForm::Start::Minimized);
}

void OperationsListView::toggleWindow(TransferWindow* window)
{
    windows_.toggle(window);
}
