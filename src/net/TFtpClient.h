#pragma once

#include "net/TCustomFtpCli.h"

#include <QDeadlineTimer>

// The blocking FTP client the program uses. Each call starts the request of
// the same name on the asynchronous core and runs the calling thread's
// events until it ends (on the main thread that keeps the user interface
// alive, so the caller may be re-entered: check your own flags afterwards).
// It returns true when the request ended with result 0; the reply code,
// the last reply and ErrorMessage() tell the rest.
//
// A request that does not end within Timeout() seconds is torn down (the
// component is then disconnected) and reports status 426 "426 Timeout".
// Every progress report of a transfer, and every reply of a QuoteEach,
// starts the Timeout() afresh, so a request that keeps moving never times
// out; a silent server does.
//
// Call it on the component's own thread, the main thread or a worker: the
// wait runs that thread's events either way.
class TFtpClient : public TCustomFtpCli
{
    Q_OBJECT

public:
    explicit TFtpClient(QObject* parent = nullptr);

    // Seconds; 0 or less: no limit. 15 by default.
    int Timeout() const { return timeout_; }
    void SetTimeout(int seconds) { timeout_ = seconds; }
    // Set by transfer workers; the wait runs the calling thread's own events
    // whether it is set or not.
    bool MultiThreaded() const { return multiThreaded_; }
    void SetMultiThreaded(bool on) { multiThreaded_ = on; }

    bool Open() { return run(&TCustomFtpCli::OpenAsync); }
    bool User() { return run(&TCustomFtpCli::UserAsync); }
    bool Pass() { return run(&TCustomFtpCli::PassAsync); }
    bool Cwd() { return run(&TCustomFtpCli::CwdAsync); }
    bool Pwd() { return run(&TCustomFtpCli::PwdAsync); }
    bool TypeSet() { return run(&TCustomFtpCli::TypeSetAsync); }
    bool Size() { return run(&TCustomFtpCli::SizeAsync); }
    bool Mkd() { return run(&TCustomFtpCli::MkdAsync); }
    bool Rmd() { return run(&TCustomFtpCli::RmdAsync); }
    bool Dele() { return run(&TCustomFtpCli::DeleAsync); }
    bool Ren() { return run(&TCustomFtpCli::RenAsync); }
    bool Quote() { return run(&TCustomFtpCli::QuoteAsync); }
    bool QuoteEach() { return run(&TCustomFtpCli::QuoteEachAsync); }
    bool Dir() { return run(&TCustomFtpCli::DirAsync); }
    bool Get() { return run(&TCustomFtpCli::GetAsync); }
    bool RestGet() { return run(&TCustomFtpCli::RestGetAsync); }
    bool Put() { return run(&TCustomFtpCli::PutAsync); }
    bool RestPut() { return run(&TCustomFtpCli::RestPutAsync); }
    bool AbortXfer() { return run(&TCustomFtpCli::AbortXferAsync); }
    bool Quit() { return run(&TCustomFtpCli::QuitAsync); }
    // Local tear-down; always true.
    bool Abort();

protected:
    void TriggerProgress(qint64 count, bool& abort) override;
    void TriggerReplyProgress() override;

private:
    bool run(bool (TCustomFtpCli::*start)());
    bool waitUntilReady(quint64 serial);
    QDeadlineTimer freshDeadline() const;

    int timeout_ = 15;
    bool multiThreaded_ = false;
    QDeadlineTimer deadline_;
};
