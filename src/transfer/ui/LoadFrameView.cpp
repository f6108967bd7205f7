#include "transfer/ui/LoadFrameView.h"

#include "common/Notices.h"
#include "transfer/ui/TQuestionForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

TLoadFrameView::TLoadFrameView(std::unique_ptr<TLoadFrame> core, QObject* noticeReceiver, QWidget* parent)
    : QWidget(parent)
    , core_(std::move(core))
    , noticeReceiver_(noticeReceiver)
{
    build();
    core_->attachView(this);
}

TLoadFrameView::~TLoadFrameView()
{
    // The worker may still call the window while it stops: the widgets must
    // still be there.
    core_->destroy();
}

void TLoadFrameView::build()
{
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    progressPage_ = new QWidget(tabs_);
    auto* form = new QFormLayout;
    host_ = new QLabel(progressPage_);
    form->addRow(QStringLiteral("Host:"), host_);
    localPath_ = new QLabel(progressPage_);
    form->addRow(QStringLiteral("Local Path:"), localPath_);
    totals_ = new QLabel(progressPage_);
    form->addRow(QStringLiteral("Status:"), totals_);
    throughput_ = new QLabel(progressPage_);
    form->addRow(QStringLiteral("Throughput (total):"), throughput_);
    elapsed_ = new QLabel(progressPage_);
    form->addRow(QStringLiteral("Elapsed Time:"), elapsed_);
    estimated_ = new QLabel(progressPage_);
    form->addRow(QStringLiteral("Estimated Time Left:"), estimated_);
    priority_ = new QComboBox(progressPage_);
    priority_->addItems({ QStringLiteral("High"), QStringLiteral("Normal"), QStringLiteral("Low") });
    form->addRow(QStringLiteral("Priority:"), priority_);

    auto* indicators = new QHBoxLayout;
    resume_ = new QLabel(progressPage_);
    digest_ = new QLabel(progressPage_);
    percent_ = new QLabel(progressPage_);
    bar_ = new QProgressBar(progressPage_);
    bar_->setRange(0, 100);
    bar_->setTextVisible(false);
    indicators->addWidget(resume_);
    indicators->addWidget(digest_);
    indicators->addWidget(bar_, 1);
    indicators->addWidget(percent_);

    closeWhenDone_ = new QCheckBox(QStringLiteral("Close this window when done"), progressPage_);
    auto* buttons = new QHBoxLayout;
    openFolder_ = new QPushButton(QStringLiteral("&Open Download Folder"), progressPage_);
    cancel_ = new QPushButton(QStringLiteral("&Cancel"), progressPage_);
    details_ = new QPushButton(QStringLiteral("Details >>"), progressPage_);
    pause_ = new QPushButton(QStringLiteral("&Pause"), progressPage_);
    buttons->addWidget(closeWhenDone_);
    buttons->addStretch();
    for (QPushButton* button : { openFolder_, cancel_, details_, pause_ })
        buttons->addWidget(button);

    connections_ = new QTreeWidget(progressPage_);
    connections_->setRootIsDecorated(false);
    connections_->setHeaderLabels({ QStringLiteral("Address"), QStringLiteral("Speed"),
        QStringLiteral("Throughput"), QStringLiteral("Status") });

    auto* page = new QVBoxLayout(progressPage_);
    page->addLayout(form);
    page->addLayout(indicators);
    page->addLayout(buttons);
    page->addWidget(connections_, 1);
    tabs_->addTab(progressPage_, QStringLiteral("Progress"));
    if (core_->display().showsWebLinkTab)
        tabs_->addTab(new QWidget(tabs_), QStringLiteral("Download WEB Link"));
    tabs_->tabBar()->setVisible(tabs_->count() > 1);
    layout->addWidget(tabs_, 1);
    statusBar_ = new QLabel(this);
    statusBar_->setVisible(core_->embedded());
    layout->addWidget(statusBar_);

    // The rows a kind does not have are hidden with their captions.
    const LoadFrameDisplay& display = core_->display();
    form->setRowVisible(localPath_, display.showsLocalPath);
    form->setRowVisible(throughput_, display.showsThroughput);
    form->setRowVisible(estimated_, display.showsEstimatedTime);
    bar_->setVisible(display.showsProgress);
    percent_->setVisible(display.showsProgress);
    openFolder_->setVisible(display.showsOpenFolder);

    connect(pause_, &QPushButton::clicked, this, [this] { core_->pauseResumeClicked(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { core_->cancelClicked(); });
    connect(details_, &QPushButton::clicked, this, [this] { core_->detailsClicked(); });
    connect(openFolder_, &QPushButton::clicked, this, [this] { core_->openDownloadFolderClicked(); });
    connect(closeWhenDone_, &QCheckBox::toggled, this, [this](bool on) { core_->setCloseWhenDone(on); });
    connect(priority_, &QComboBox::activated, this,
        [this](int index) { core_->setPriority(static_cast<OperationPriority>(index)); });
}

void TLoadFrameView::render(const LoadFrameDisplay& display)
{
    host_->setText(display.host);
    localPath_->setText(display.localPath);
    totals_->setText(display.totals);
    throughput_->setText(display.throughput);
    elapsed_->setText(display.elapsed);
    estimated_->setText(display.estimated);
    resume_->setText(display.resume);
    digest_->setText(display.digest);
    bar_->setValue(display.percent);
    percent_->setText(display.percentText);
    pause_->setVisible(display.pauseShown);
    pause_->setEnabled(display.pauseEnabled);
    pause_->setText(display.pauseCaption);
    cancel_->setText(display.cancelCaption);
    cancel_->setEnabled(display.cancelEnabled);
    if (display.completedPicture)
        cancel_->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    {
        const QSignalBlocker quiet(closeWhenDone_);
        closeWhenDone_->setChecked(display.closeWhenDone);
    }
    closeWhenDone_->setEnabled(display.closeWhenDoneEnabled);
    details_->setText(display.detailsCaption);
    priority_->setCurrentIndex(static_cast<int>(display.priority));
    connections_->setVisible(display.detailsShown);
    renderConnections(display);
    statusBar_->setText(display.statusLine);
    Q_EMIT statusLineChanged(display.statusLine);
    if (!rendered_ || display.detailsShown != lastDetailsShown_) {
        rendered_ = true;
        lastDetailsShown_ = display.detailsShown;
        Q_EMIT detailsToggled(display.detailsShown);
    }
}

void TLoadFrameView::renderConnections(const LoadFrameDisplay& display)
{
    for (size_t i = 0; i < display.connections.size(); ++i) {
        const LoadFrameDisplay::Connection& connection = display.connections[i];
        QTreeWidgetItem*& item = connectionItems_[i];
        if (!connection.shown) {
            delete item;
            item = nullptr;
            continue;
        }
        if (!item)
            item = new QTreeWidgetItem(connections_);
        item->setText(0, connection.address);
        item->setText(1, connection.speed);
        item->setText(2, connection.throughput);
        item->setText(3, connection.status);
    }
}

void TLoadFrameView::closeFrame()
{
    if (!noticeReceiver_) {
        if (closeWindow)
            closeWindow();
        return;
    }
    hide();
    // The frame goes only once nothing on the stack can still use it.
    QApplication::processEvents();
    postNotice(noticeReceiver_, Notice::ObjectDone, this);
}

void TLoadFrameView::hideFrame()
{
    // Inside a session's tab the top-level window is the main window.
    if (core_->embedded())
        hide();
    else
        window()->hide();
}

bool TLoadFrameView::openFolder(const QString& folder)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

OverwriteAnswer TLoadFrameView::askOverwrite(const QString& path, ExistenceKind kind)
{
    TQuestionForm question(path, kind, window());
    return question.ask();
}
