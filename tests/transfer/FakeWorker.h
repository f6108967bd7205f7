#pragma once

// A worker for driving one branch on the test's own thread: connection 0 is
// a component the test logs in, every window and operation call runs at
// once, and what the branch shows is recorded.

#include "loader_test_support.h"

#include "net/TFtpClient.h"
#include "settings/ConnectionOptions.h"
#include "transfer/FtpOperation.h"
#include "transfer/LocalName.h"
#include "transfer/WorkerContext.h"

class FakeWorker : public WorkerContext
{
public:
    explicit FakeWorker(TransferRequest request)
        : request_(std::move(request))
        , localBase_(localBaseOf(request_))
        , remoteBase_(request_.site.initialDirectory)
    {
    }

    // Connects and logs in connection 0 at the request's site.
    bool logIn()
    {
        client.SetHostName(QString::fromStdString(request_.site.hostAddress));
        client.SetPort(QString::number(request_.site.port));
        client.SetUserName(QByteArray::fromStdString(request_.site.userId));
        client.SetPassWord(QByteArray::fromStdString(request_.site.password));
        client.SetPassive(true);
        return client.Open() && client.User() && (client.LoggedInByUser() || client.Pass());
    }

    TFtpClient client;
    RecordingPrompter recordingPrompter;
    RecordingWindow window;
    ftpOperationObject operation;
    LoaderProgress progress;
    connectionOptions connectionSettings;
    bool stopped = false;
    bool incomplete = false;

    bool stopping() const override { return stopped; }
    void stopSelf() override { stopped = true; }
    bool isPaused() const override { return false; }
    bool pauseAsked() const override { return false; }
    void pauseWait(bool) override { }
    OperationKind kind() const override { return request_.kind; }
    const ftpSite& site() const override { return request_.site; }
    const connectionOptions& options() const override { return connectionSettings; }
    TransferItems& items() override { return request_.items; }
    const QString& localBase() const override { return localBase_; }
    const std::string& remoteBase() const override { return remoteBase_; }
    void setRemoteBase(std::string base) override { remoteBase_ = std::move(base); }
    LocalNameClaims& localNameClaims() override { return claims_; }
    AllAnswers& allAnswers() override { return answers_; }
    bool isBorrowed() const override { return true; }
    TFtpClient& connection(int) override { return client; }
    void resetHandlers(int) override { }
    bool connectAndLogIn(bool) override { return client.GetConnected() || logIn(); }
    void probeResume() override { }
    void probeDigests() override { }
    bool supportsRest() const override { return false; }
    bool supportsMd5() const override { return false; }
    void restoreCapabilities(bool, bool) override { }
    std::vector<std::string> queryDigests(const std::vector<std::string>& paths) override
    {
        return std::vector<std::string>(paths.size(), std::string(zeroDigest));
    }
    void setTransferTypeFor(std::string_view) override { }
    void setTransferType(TransferType) override { }
    TransferType transferType() const override { return TransferType::Binary; }
    void setTransferring(bool) override { }
    LoaderProgress& progressBlock() override { return progress; }
    void setStatus(const QString& text, int connection = 0) override
    {
        window.setConnectionStatus(connection, text);
    }
    void markIncomplete() override { incomplete = true; }
    Prompter& prompter() override { return recordingPrompter; }
    void withWindow(const std::function<void(LoaderWindow&)>& call) override { call(window); }
    void withOperation(const std::function<void(ftpOperationObject&)>& call) override { call(operation); }
    OverwriteAnswer askOverwrite(const QString& path, ExistenceKind kind) override
    {
        return window.askOverwrite(path, kind);
    }
    void showServerError(const QString& text) override
    {
        recordingPrompter.showServerError(text, client.LastResponse());
    }

private:
    TransferRequest request_;
    QString localBase_;
    std::string remoteBase_;
    LocalNameClaims claims_;
    AllAnswers answers_;
};
