#pragma once

#include "transfer/LoadFrame.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class ActionsList;
class Prompter;
class TransferWindow;
class loaderManager;
struct ftpOperationObject;

// What the actions list's core asks of its widgets. Main thread only.
class OperationsListWindows
{
public:
    virtual ~OperationsListWindows() = default;
    virtual void showButtons(const QString& restartCaption, bool restartEnabled, bool clearSelectedEnabled)
        = 0;
    // Creates a stand-alone transfer window for the setup and starts it:
    // minimized, or hidden when `hidden`.
    virtual void openWindow(LoadFrameSetup setup, bool hidden) = 0;
    // Shows a hidden stand-alone window, hides a shown one; an embedded
    // frame has no window of its own and is left alone.
    virtual void toggleWindow(TransferWindow* window) = 0;
};

// The commands of the "Actions" tab over the rows of the actions list: the
// mode of "&Restart / Resume", restarting, stopping and closing, clearing
// rows, and `LoadTimer`, which restarts the checked rows that stopped
// incomplete or could not connect. Main thread only.
class OperationsList : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Cancel, Stop, Resume };
    static constexpr int loadTimerMs = 60000;

    OperationsList(ActionsList& actions, loaderManager& manager, connectionOptions& options,
        Prompter& prompter, QStringList speedLabels, QObject* parent = nullptr);

    void attachWindows(OperationsListWindows* windows);

    // The row at `index` is selected (-1: none).
    void select(int index);
    // The user ticked or cleared a row's check box.
    void setChecked(int index, bool checked);

    void restartResumeClicked();
    void clearSelectedClicked();
    void clearAllFinishedClicked();
    void clearAllClicked();
    void rowDoubleClicked();

    // One pass of the automatic restart; public so that tests drive it.
    void loadTimerTick();
    void startLoadTimer() { loadTimer_.start(); }
    void stopLoadTimer() { loadTimer_.stop(); }
    bool loadTimerRunning() const { return loadTimer_.isActive(); }

    Mode mode() const { return mode_; }
    int selectedIndex() const;

private:
    void refreshButtons();
    void resume(ftpOperationObject& operation, bool hidden);
    void removeRow(ftpOperationObject* operation);

    ActionsList& actions_;
    loaderManager& manager_;
    connectionOptions& options_;
    Prompter& prompter_;
    QStringList speedLabels_;
    OperationsListWindows* windows_ = nullptr;
    ftpOperationObject* selected_ = nullptr;
    Mode mode_ = Mode::Resume;
    QString caption_ = QStringLiteral("&Restart / Resume");
    QTimer loadTimer_;
};
