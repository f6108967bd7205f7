#pragma once

#include "app/ShellView.h"
#include "session/SessionState.h"

#include <QHash>
#include <QMainWindow>

class QAction;
class QDialog;
class TFirewallProxyForm;
class TOptionsForm;
class QMenu;
class QSystemTrayIcon;
class QTabWidget;
class QUrl;
class TMainForm;
class TransferWindows;

// The main window: tabs, menus and tray. It holds no rule; every command goes
// to the TMainForm core.
class MainFormView : public QMainWindow, public ShellView
{
    Q_OBJECT

public:
    explicit MainFormView(TMainForm& shell, QWidget* parent = nullptr);

    void applyGeometry(int left, int top, int clientWidth, int clientHeight, bool maximize) override;
    void setTitle(const QString& title) override;
    void hideWindow() override;
    void sendToTray() override;
    void restoreWindow(bool maximized) override;
    void removeTrayIcon() override;
    void setTrayShutDownEnabled(bool enabled) override;
    void setSessionCommandsEnabled(bool enabled) override;
    int activeTabTag() const override;
    void deleteTabPage(QObject* page) override;

    // A session's page: a tab of its own, in front, captioned with the
    // page's window title as it changes.
    void addSessionPage(QWidget* page);
    QWidget* currentPage() const;
    // What the session of the tab in front allows: the session commands
    // follow it while a session tab is in front.
    void setActiveSessionCommands(const sessionCommands& commands);
    // The File menu's session command of that text (null: none).
    QAction* sessionCommand(const QString& text) const;
    // Only commands that something carries out are enabled with a session.
    void markSessionCommandWired(QAction* action);
    // Edit > View: the menus "&FTP View" and "&My Computer View".
    QMenu* viewMenu() const { return viewMenu_; }

    // Every stand-alone transfer window, whoever starts it.
    TransferWindows& transferWindows() const { return *transferWindows_; }

    // The status bar's link to the page of a newer version.
    void showUpgradeHint(const QString& version, const QUrl& page);

    // The tab pages carry their kind tag in this property.
    static constexpr const char* tabTagProperty = "ranquilTabTag";

Q_SIGNALS:
    void currentPageChanged(QWidget* page);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildTabs();
    void buildMenus();
    void buildTray();
    void reportGeometry();
    void openHelp();
    void runModal(QDialog& dialog);
    QAction* addCommand(QMenu* menu, const QString& text, const QKeySequence& shortcut = {});
    void applySessionCommands();

    TMainForm& shell_;
    TransferWindows* transferWindows_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QAction* trayShutDown_ = nullptr;
    QList<QAction*> sessionCommands_;
    QHash<QAction*, commandGroup> groupOf_;
    bool sessionTabInFront_ = false;
    sessionCommands activeSessionCommands_;
    QList<QAction*> wiredSessionCommands_;
    QMenu* viewMenu_ = nullptr;
    TOptionsForm* optionsForm_ = nullptr;
    TFirewallProxyForm* firewallProxyForm_ = nullptr;
    bool firstShowDone_ = false;
    bool firstPaintDone_ = false;
};
