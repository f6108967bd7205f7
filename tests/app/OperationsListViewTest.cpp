// The "Actions" tab's widgets offscreen: a stored row restarted through the
// real view and its stand-alone window against the family FTP server.

#include "app/ui/OperationsListView.h"
#include "TransferEntries.h"
#include "app/OperationsList.h"
#include "app/ui/TransferWindows.h"
#include "common/ProgramFolders.h"
#include "common/Prompter.h"
#include "net/EventWait.h"
#include "transfer/ActionsList.h"
#include "transfer/LoaderManager.h"
#include "transfer/ui/LoadForm.h"

#include "FtpTestServer.h"
#include "TempHome.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace
{

class SilentPrompter : public Prompter
{
public:
    QStringList texts;
    bool prompt(const QString&, const QString& text, const QString&, const QString&) override
    {
        texts << text;
        return true;
    }
};

TEST(OperationsListView, ARestartedRowRunsInItsOwnWindowToCompleted)
{
    TempHome home;
    QTemporaryDir remote, local;
    FtpTestServer server(FtpServerKind::Family, remote.path());
    ASSERT_TRUE(server.running()) << server.error().toStdString();
    const QString file = local.filePath(QStringLiteral("report.pdf"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(50000, 'v'));
    }
    ActionsList actions(registryFilePath());
    loaderManager manager;
    connectionOptions options;
    SilentPrompter prompter;
    OperationsList core(actions, manager, options, prompter, QStringList());
    ftpOperationObject operation;
    operation.request.kind = OperationKind::Upload;
    operation.request.items.files = { entryAt(file.toStdString(), 50000) };
    operation.request.site.hostAddress = "127.0.0.1";
    operation.request.site.displayAddress = "someone";
    operation.request.site.persistent = true;
    operation.request.site.port = server.port();
    operation.request.site.anonymous = false;
    operation.request.site.userId = "tester";
    operation.request.site.password = "secret";
    operation.request.site.initialDirectory = "/";
    ftpOperationObject* row = actions.addOperation(std::move(operation));
    actions.setStatus(row, OperationStatus::Stopped, 0);

    TransferWindows windows;
    OperationsListView view(actions, core, windows);
    QTreeWidgetItem* item = view.list()->topLevelItem(0);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(OperationsListView::TypeColumn), QStringLiteral("Upload"));
    EXPECT_EQ(item->text(OperationsListView::AddressColumn), QStringLiteral("someone:%1").arg(server.port()));
    EXPECT_EQ(item->text(OperationsListView::ItemsColumn), QStringLiteral("report.pdf"));
    EXPECT_EQ(item->text(OperationsListView::ProgressColumn), QStringLiteral("Incomplete (Stopped)"));
    EXPECT_FALSE(view.restartButton()->isEnabled()) << "nothing selected";
    EXPECT_FALSE(view.clearSelectedButton()->isEnabled());

    view.list()->setCurrentItem(item);
    EXPECT_TRUE(view.restartButton()->isEnabled());
    view.restartButton()->click();
    QPointer<TLoadForm> form = windows.formOf(row->window);
    ASSERT_FALSE(form.isNull());
    EXPECT_EQ(view.restartButton()->text(), QStringLiteral("&Stop"));
    ASSERT_EQ(processEventsUntil(
                  [&] {
                      if (form && form->core().timerRunning())
                          form->core().tick();
                      return row->status == OperationStatus::Finished;
                  },
                  QDeadlineTimer(std::chrono::seconds(30))),
        WaitOutcome::Ready);
    EXPECT_EQ(item->text(OperationsListView::ProgressColumn), QStringLiteral("Completed!"));
    EXPECT_EQ(view.restartButton()->text(), QStringLiteral("&Close"));
    EXPECT_EQ(QFileInfo(remote.filePath(QStringLiteral("report.pdf"))).size(), 50000);

    const bool shown = form->isVisible();
    Q_EMIT view.list()->itemDoubleClicked(item, 0);
    EXPECT_NE(form->isVisible(), shown) << "a double click shows or hides the window";

    view.restartButton()->click(); // "&Close"
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(row->status, OperationStatus::Completed);
    EXPECT_EQ(view.restartButton()->text(), QStringLiteral("&Restart / Resume"));

    item->setCheckState(OperationsListView::TypeColumn, Qt::Checked);
    EXPECT_TRUE(row->autoTry);
    EXPECT_TRUE(prompter.texts.isEmpty()) << prompter.texts.join(QLatin1Char('|')).toStdString();
}

} // namespace
