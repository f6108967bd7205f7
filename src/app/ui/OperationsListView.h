#pragma once

#include "app/OperationsList.h"

#include <QWidget>

class ActionsList;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TransferWindows;

// The "Actions" tab: one row per operation of the actions list, the hint
// lines and the four buttons. It shows the rows and forwards every command
// to the OperationsList core; the shell's transfer windows open and toggle
// the operations' windows.
class OperationsListView : public QWidget, public OperationsListWindows
{
    Q_OBJECT

public:
    enum Column { TypeColumn, AddressColumn, ItemsColumn, ProgressColumn };

    OperationsListView(
        ActionsList& actions, OperationsList& core, TransferWindows& windows, QWidget* parent = nullptr);
    // The core outlives the main window: its rows are discarded after the
    // view has gone.
    ~OperationsListView() override;

    void showButtons(const QString& restartCaption, bool restartEnabled, bool clearSelectedEnabled) override;
    void openWindow(LoadFrameSetup setup, bool hidden) override;
    void toggleWindow(TransferWindow* window) override;

    QTreeWidget* list() const { return list_; }
    QPushButton* restartButton() const { return restart_; }
    QPushButton* clearSelectedButton() const { return clearSelected_; }

private:
    void fillRow(int index);
    void addRow(int index);

    ActionsList& actions_;
    OperationsList& core_;
    TransferWindows& windows_;
    QTreeWidget* list_ = nullptr;
    QPushButton* restart_ = nullptr;
    QPushButton* clearSelected_ = nullptr;
    bool filling_ = false;
};
