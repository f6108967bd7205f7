#include "app/OperationsList.h"

#include "common/Prompter.h"
#include "common/TransferWindow.h"
#include "transfer/ActionsList.h"
#include "transfer/LoaderThread.h"

OperationsList::OperationsList(ActionsList& actions, loaderManager& manager, connectionOptions& options,
    Prompter& prompter, QStringList speedLabels, QObject* parent)
    : QObject(parent)
    , actions_(actions)
    , manager_(manager)
    , options_(options)
    , prompter_(prompter)
    , speedLabels_(std::move(speedLabels))
{
    loadTimer_.setInterval(loadTimerMs);
    connect(&loadTimer_, &QTimer::timeout, this, &OperationsList::loadTimerTick);
    // A row that goes (or changes) may change what the buttons offer.
    connect(&actions_, &ActionsList::rowRemoved, this, [this] {
        if (actions_.indexOf(selected_) < 0)
            selected_ = nullptr;
        refreshButtons();
    });
    connect(&actions_, &ActionsList::rowChanged, this, [this](int index) {
        if (selected_ && actions_.indexOf(selected_) == index)
            refreshButtons();
    });
}

void OperationsList::attachWindows(OperationsListWindows* windows)
{
    windows_ = windows;
    refreshButtons();
}

int OperationsList::selectedIndex() const
{
    return actions_.indexOf(selected_);
}

void OperationsList::select(int index)
{
    selected_ = index >= 0 && index < actions_.rowCount() ? actions_.row(index).operation.get() : nullptr;
    refreshButtons();
}

void OperationsList::setChecked(int index, bool checked)
{
    if (index < 0 || index >= actions_.rowCount())
        return;
    actions_.row(index).operation->autoTry = checked;
    refreshButtons();
}

void OperationsList::refreshButtons()
{
    if (!selected_) {
        if (windows_)
            windows_->showButtons(caption_, false, false);
        return;
    }
    switch (selected_->status) {
    case OperationStatus::Finished:
        mode_ = Mode::Cancel;
        caption_ = QStringLiteral("&Close");
        break;
    case OperationStatus::Running:
    case OperationStatus::Connecting:
        mode_ = Mode::Stop;
        caption_ = QStringLiteral("&Stop");
        break;
    case OperationStatus::Completed:
    case OperationStatus::ConnectionError:
    case OperationStatus::Stopped:
        mode_ = Mode::Resume;
        caption_ = QStringLiteral("&Restart / Resume");
        break;
    }
    // "stop" and "cancel" need a window; a row without one can only restart.
    const bool restartEnabled
        = mode_ == Mode::Resume ? selected_->window == nullptr : selected_->window != nullptr;
    if (windows_)
        windows_->showButtons(caption_, restartEnabled, mode_ != Mode::Stop);
}

void OperationsList::restartResumeClicked()
{
    if (!selected_)
        return;
    switch (mode_) {
    case Mode::Cancel:
        if (selected_->window)
            selected_->window->closeAndStop();
        break;
    case Mode::Stop:
        if (auto* frame = dynamic_cast<TLoadFrame*>(selected_->window); frame && frame->worker())
            frame->worker()->requestStop();
        break;
    case Mode::Resume:
        resume(*selected_, false);
        break;
    }
    refreshButtons();
}

void OperationsList::resume(ftpOperationObject& operation, bool hidden)
{
    // One worker per operation: a window that still exists keeps its run.
    if (operation.window || !windows_)
        return;
    LoadFrameSetup setup;
    setup.actions = &actions_;
    setup.operation = &operation;
    setup.manager = &manager_;
    setup.options = &options_;
    setup.prompter = &prompter_;
    setup.speedLabels = speedLabels_;
    setup.request = operation.request;
    windows_->openWindow(std::move(setup), hidden);
}

void OperationsList::removeRow(ftpOperationObject* operation)
{
    actions_.clearOperation(operation, true);
}

void OperationsList::clearSelectedClicked()
{
    if (selected_)
        removeRow(selected_);
}

void OperationsList::clearAllFinishedClicked()
{
    for (int i = actions_.rowCount() - 1; i >= 0; --i) {
        ftpOperationObject* operation = actions_.row(i).operation.get();
        const OperationStatus status = operation->status;
        if (status != OperationStatus::Running && status != OperationStatus::Connecting
            && status != OperationStatus::Stopped)
            removeRow(operation);
    }
    select(-1);
}

void OperationsList::clearAllClicked()
{
    if (!prompter_.askYesNo(QStringLiteral("Do you really want to delete ALL operations?")))
        return;
    for (int i = actions_.rowCount() - 1; i >= 0; --i)
        removeRow(actions_.row(i).operation.get());
    select(-1);
}

void OperationsList::rowDoubleClicked()
{
    if (selected_ && selected_->window && windows_)
        windows_->toggleWindow(selected_->window);
}

void OperationsList::loadTimerTick()
{
    for (int i = actions_.rowCount() - 1; i >= 0; --i) {
        ftpOperationObject& operation = *actions_.row(i).operation;
        const bool incomplete = operation.status == OperationStatus::Stopped
            || operation.status == OperationStatus::ConnectionError;
        if (incomplete && operation.autoTry)
            resume(operation, true);
    }
    refreshButtons();
}
