#include "app/ui/MainFormView.h"

#include "app/AboutFacts.h"
#include "app/BuildInfo.h"
#include "app/MainForm.h"
#include "app/OperationOutcomes.h"
#include "app/ui/OperationsListView.h"
#include "app/ui/StartTabView.h"
#include "app/ui/TAboutForm.h"
#include "app/ui/TransferWindows.h"
#include "common/Prompter.h"
#include "settings/ui/TFirewallProxyForm.h"
#include "settings/ui/TOptionsForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

MainFormView::MainFormView(TMainForm& shell, QWidget* parent)
    : QMainWindow(parent)
    , shell_(shell)
    , transferWindows_(new TransferWindows(this))
{
    QApplication::setApplicationDisplayName(QString());
    // The installed icon; a program run from its build folder has none in the theme.
    setWindowIcon(
        QIcon::fromTheme(QStringLiteral("ranquil"), style()->standardIcon(QStyle::SP_DriveNetIcon)));
    optionsForm_ = new TOptionsForm(shell_.connection(), this);
    firewallProxyForm_ = new TFirewallProxyForm(shell_.connection(), this);
    buildTabs();
    buildMenus();
    buildTray();
    connect(&shell_, &TMainForm::newerVersionAvailable, this, &MainFormView::showUpgradeHint);
}

// A line in the status bar rather than a box: a message box would close by
// itself with "yes" after ten seconds, and nothing is to be opened unasked.
void MainFormView::showUpgradeHint(const QString& version, const QUrl& page)
{
    auto* hint = findChild<QLabel*>(QStringLiteral("upgradeHint"));
    if (!hint) {
        hint = new QLabel;
        hint->setObjectName(QStringLiteral("upgradeHint"));
        hint->setTextFormat(Qt::RichText);
        hint->setOpenExternalLinks(true);
        statusBar()->addPermanentWidget(hint);
    }
    const QString address = page.toString(QUrl::FullyEncoded);
    hint->setText(
        QStringLiteral("Quorvane Ranquil %1 is available: <a href=\"%2\">%3</a>")
            .arg(version.toHtmlEscaped(), address.toHtmlEscaped(), page.toDisplayString().toHtmlEscaped()));
    hint->setToolTip(address);
}

void MainFormView::buildTabs()
{
    tabs_ = new QTabWidget(this);
    auto* start = new StartTabView(
        shell_.bookmarks(), shell_.prompter(), [this] { return shell_.connection().AnonymousPassword; },
        [this](const ftpSite& site) {
            if (shell_.openSiteInNewSession)
                shell_.openSiteInNewSession(site);
        });
    start->setProperty(tabTagProperty, 0);
    tabs_->addTab(start, QStringLiteral("Start"));
    // The search box of the Start tab comes with the subsystem that owns it.
    auto* actions = new OperationsListView(shell_.actions(), shell_.operationsList(), *transferWindows_);
    actions->setProperty(tabTagProperty, 0);
    tabs_->addTab(actions, QStringLiteral("Actions"));
    setCentralWidget(tabs_);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        Q_EMIT currentPageChanged(tabs_->currentWidget());
        shell_.activeTabChanged();
    });
}

QAction* MainFormView::addCommand(QMenu* menu, const QString& text, const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(text);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    return action;
}

void MainFormView::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    // Global search arrives with the P2P subsystem.
    addCommand(file, QStringLiteral("Search on all anon FTP servers"), QKeySequence(Qt::CTRL | Qt::Key_S))
        ->setEnabled(false);
    struct sessionEntry {
        QString text;
        QKeySequence shortcut;
        commandGroup group;
    };
    const sessionEntry sessionEntries[] = {
        { QStringLiteral("Search on the connected FTP server"), QKeySequence(Qt::CTRL | Qt::Key_S),
            commandGroup::RemoteCommands },
        { QStringLiteral("Bookmark"), {}, commandGroup::RemoteCommands },
        { QStringLiteral("Disconnect"), QKeySequence(Qt::CTRL | Qt::Key_D), commandGroup::Disconnect },
        { QStringLiteral("Download"), QKeySequence(Qt::Key_F5), commandGroup::RemoteCommands },
        { QStringLiteral("Download To..."), QKeySequence(Qt::Key_F6), commandGroup::RemoteCommands },
        { QStringLiteral("Upload"), QKeySequence(Qt::Key_F7), commandGroup::Upload },
        // These three act on the local panes as well, by the frame's active
        // pane: no state of the session turns them off.
        { QStringLiteral("Delete"), QKeySequence(Qt::SHIFT | Qt::Key_Delete), commandGroup::Client },
        { QStringLiteral("Rename"), QKeySequence(Qt::Key_F2), commandGroup::Client },
        { QStringLiteral("New Object"), QKeySequence(Qt::CTRL | Qt::Key_N), commandGroup::Client },
        { QStringLiteral("Change Password"), QKeySequence(Qt::CTRL | Qt::Key_P),
            commandGroup::RemoteCommands },
        { QStringLiteral("Abort"), QKeySequence(Qt::CTRL | Qt::Key_Delete), commandGroup::Abort },
    };
    for (const sessionEntry& entry : sessionEntries) {
        QAction* action = addCommand(file, entry.text, entry.shortcut);
        sessionCommands_ << action;
        groupOf_.insert(action, entry.group);
    }
    file->addSeparator();
    connect(addCommand(file, QStringLiteral("Send to &Tray")), &QAction::triggered, this,
        [this] { shell_.sendToTray(); });
    connect(addCommand(file, QStringLiteral("S&hut Down")), &QAction::triggered, this,
        [this] { shell_.shutDown(); });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    viewMenu_ = edit->addMenu(QStringLiteral("&View"));
    for (const QString& view : { QStringLiteral("&FTP View"), QStringLiteral("&My Computer View") }) {
        QMenu* styles = viewMenu_->addMenu(view);
        for (const QString& style : { QStringLiteral("&Large Icons"), QStringLiteral("&Small Icons"),
                 QStringLiteral("&List"), QStringLiteral("&Details") })
            styles->addAction(style);
    }
    edit->addSeparator();
    connect(edit->addAction(QStringLiteral("FTP &Connection Options")), &QAction::triggered, this,
        [this] { runModal(*optionsForm_); });
    connect(
        edit->addAction(QStringLiteral("&FTP Proxy/Firewall Options")), &QAction::triggered, this, [this] {
            firewallProxyForm_->setView(firewallProxyFields::Ftp);
            runModal(*firewallProxyForm_);
        });
    connect(
        edit->addAction(QStringLiteral("&HTTP Proxy/Firewall Options")), &QAction::triggered, this, [this] {
            firewallProxyForm_->setView(firewallProxyFields::Http);
            runModal(*firewallProxyForm_);
        });
    edit->addSeparator();
    connect(edit->addAction(QStringLiteral("&Upgrade Check")), &QAction::triggered, this,
        [this] { shell_.upgradeCheckCommand(); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    connect(addCommand(help, QStringLiteral("&Help Contents"), QKeySequence(Qt::Key_F1)), &QAction::triggered,
        this, &MainFormView::openHelp);
    const std::pair<QString, QString> links[] = {
        { QStringLiteral("&Visit Quorvane's Web Site"), QStringLiteral("https://www.quorvane.example/") },
        { QStringLiteral("Send &Bug Report"),
            QStringLiteral("mailto:bugs@quorvane.example?subject=Ranquil%20") + programMajorMinor()
                + QStringLiteral("%20bug") },
        { QStringLiteral("Send &Feedback"),
            QStringLiteral("mailto:feedback@quorvane.example?subject=Ranquil%20") + programMajorMinor() },
    };
    for (const auto& [text, url] : links)
        connect(help->addAction(text), &QAction::triggered, this,
            [url = url] { QDesktopServices::openUrl(QUrl(url)); });
    help->addSeparator();
    help->addAction(QStringLiteral("Show Tips"))->setEnabled(false);
    connect(addCommand(help, QStringLiteral("&About"), QKeySequence(Qt::Key_F12)), &QAction::triggered, this,
        [this] {
            TAboutForm about(aboutFacts(), this);
            runModal(about);
        });
}

// The tray's "Shut Down" would end the program under the open dialog.
void MainFormView::runModal(QDialog& dialog)
{
    shell_.setModalState(true);
    dialog.exec();
    shell_.setModalState(false);
}

void MainFormView::buildTray()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(TMainForm::windowTitle());
    auto* menu = new QMenu(this);
    connect(menu->addAction(QStringLiteral("Restore")), &QAction::triggered, this,
        [this] { shell_.restoreFromTray(); });
    trayShutDown_ = menu->addAction(QStringLiteral("Shut Down"));
    connect(trayShutDown_, &QAction::triggered, this, [this] { shell_.shutDown(); });
    tray_->setContextMenu(menu);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            shell_.restoreFromTray();
    });
    tray_->show();
    // While the window sits in the tray, an ending operation is told there.
    auto* outcomes = new OperationOutcomes(shell_.actions(), this);
    connect(outcomes, &OperationOutcomes::operationEnded, this,
        [this](const QString& title, const QString& outcome) {
            if (!isVisible())
                tray_->showMessage(title, outcome);
        });
}

void MainFormView::openHelp()
{
    const QString helpFile = helpFilePath(QApplication::applicationDirPath());
    if (helpFile.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(helpFile)))
        shell_.prompter().showErrorBox(QStringLiteral("Could not open help file. Please re-install."));
}

void MainFormView::applyGeometry(int left, int top, int clientWidth, int clientHeight, bool maximize)
{
    move(left, top);
    resize(clientWidth, clientHeight);
    if (maximize)
        QTimer::singleShot(0, this, [this] { showMaximized(); });
}

void MainFormView::setTitle(const QString& title)
{
    setWindowTitle(title);
}

void MainFormView::hideWindow()
{
    hide();
}

void MainFormView::sendToTray()
{
    if (tray_ && tray_->isVisible())
        hide();
    else
        showMinimized();
}

void MainFormView::restoreWindow(bool maximized)
{
    if (maximized)
        showMaximized();
    else
        showNormal();
    QApplication::processEvents();
    raise();
    activateWindow();
}

void MainFormView::removeTrayIcon()
{
    if (tray_)
        tray_->hide();
}

void MainFormView::setTrayShutDownEnabled(bool enabled)
{
    if (trayShutDown_)
        trayShutDown_->setEnabled(enabled);
}

void MainFormView::setSessionCommandsEnabled(bool enabled)
{
    sessionTabInFront_ = enabled;
    applySessionCommands();
}

void MainFormView::setActiveSessionCommands(const sessionCommands& commands)
{
    activeSessionCommands_ = commands;
    applySessionCommands();
}

void MainFormView::applySessionCommands()
{
    for (QAction* action : std::as_const(sessionCommands_))
        action->setEnabled(sessionTabInFront_ && wiredSessionCommands_.contains(action)
            && groupEnabled(groupOf_.value(action), activeSessionCommands_));
    viewMenu_->setEnabled(sessionTabInFront_ && groupEnabled(commandGroup::Client, activeSessionCommands_));
}

void MainFormView::addSessionPage(QWidget* page)
{
    page->setProperty(tabTagProperty, TMainForm::sessionTabTag);
    const int index = tabs_->addTab(page, page->windowTitle());
    connect(page, &QWidget::windowTitleChanged, tabs_,
        [this, page](const QString& title) { tabs_->setTabText(tabs_->indexOf(page), title); });
    tabs_->setCurrentIndex(index);
}

QWidget* MainFormView::currentPage() const
{
    return tabs_->currentWidget();
}

QAction* MainFormView::sessionCommand(const QString& text) const
{
    for (QAction* action : sessionCommands_)
        if (action->text() == text)
            return action;
    return nullptr;
}

void MainFormView::markSessionCommandWired(QAction* action)
{
    wiredSessionCommands_ << action;
    applySessionCommands();
}

int MainFormView::activeTabTag() const
{
    const QWidget* page = tabs_->currentWidget();
    return page ? page->property(tabTagProperty).toInt() : 0;
}

void MainFormView::deleteTabPage(QObject* page)
{
    if (auto* widget = qobject_cast<QWidget*>(page)) {
        tabs_->removeTab(tabs_->indexOf(widget));
        delete widget;
    }
}

void MainFormView::closeEvent(QCloseEvent* event)
{
    // Closing is the core's decision: it may ask, hide to the tray or quit.
    event->ignore();
    shell_.requestClose();
}

void MainFormView::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!std::exchange(firstShowDone_, true))
        shell_.firstShow();
}

void MainFormView::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    if (!std::exchange(firstPaintDone_, true))
        QTimer::singleShot(0, this, [this] { shell_.firstPaint(); });
}

void MainFormView::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    reportGeometry();
}

void MainFormView::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    reportGeometry();
}

void MainFormView::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        reportGeometry();
}

void MainFormView::reportGeometry()
{
    if (!firstShowDone_)
        return;
    const auto state = isMaximized() ? TMainForm::WindowState::Maximized
        : isMinimized()              ? TMainForm::WindowState::Minimized
                                     : TMainForm::WindowState::Normal;
    shell_.windowGeometryChanged(state, x(), y(), width(), height());
}
