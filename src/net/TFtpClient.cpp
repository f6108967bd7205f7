#include "net/TFtpClient.h"

#include "net/EventWait.h"

#include <chrono>

TFtpClient::TFtpClient(QObject* parent)
    : TCustomFtpCli(parent)
{
}

bool TFtpClient::Open()
{
    return run(&TCustomFtpCli::OpenAsync);
}
bool TFtpClient::User()
{
    return run(&TCustomFtpCli::UserAsync);
}
bool TFtpClient::Pass()
{
    return run(&TCustomFtpCli::PassAsync);
}
bool TFtpClient::Cwd()
{
    return run(&TCustomFtpCli::CwdAsync);
}
bool TFtpClient::Pwd()
{
    return run(&TCustomFtpCli::PwdAsync);
}
bool TFtpClient::TypeSet()
{
    return run(&TCustomFtpCli::TypeSetAsync);
}
bool TFtpClient::Size()
{
    return run(&TCustomFtpCli::SizeAsync);
}
bool TFtpClient::Mkd()
{
    return run(&TCustomFtpCli::MkdAsync);
}
bool TFtpClient::Rmd()
{
    return run(&TCustomFtpCli::RmdAsync);
}
bool TFtpClient::Dele()
{
    return run(&TCustomFtpCli::DeleAsync);
}
bool TFtpClient::Ren()
{
    return run(&TCustomFtpCli::RenAsync);
}
bool TFtpClient::Quote()
{
    return run(&TCustomFtpCli::QuoteAsync);
}
bool TFtpClient::Dir()
{
    return run(&TCustomFtpCli::DirAsync);
}
bool TFtpClient::Get()
{
    return run(&TCustomFtpCli::GetAsync);
}
bool TFtpClient::RestGet()
{
    return run(&TCustomFtpCli::RestGetAsync);
}
bool TFtpClient::Put()
{
    return run(&TCustomFtpCli::PutAsync);
}
bool TFtpClient::RestPut()
{
    return run(&TCustomFtpCli::RestPutAsync);
}
bool TFtpClient::AbortXfer()
{
    return run(&TCustomFtpCli::AbortXferAsync);
}
bool TFtpClient::Quit()
{
    return run(&TCustomFtpCli::QuitAsync);
}

bool TFtpClient::Abort()
{
    AbortAsync();
    return true;
}

bool TFtpClient::run(bool (TCustomFtpCli::*start)())
{
    try {
        if (!(this->*start)())
            return false;
    } catch (const FtpException&) {
        return false;
    }
    return waitUntilReady(RequestSerial());
}

QDeadlineTimer TFtpClient::freshDeadline() const
{
    if (timeout_ <= 0)
        return QDeadlineTimer(QDeadlineTimer::Forever);
    return QDeadlineTimer(std::chrono::seconds(timeout_));
}

bool TFtpClient::waitUntilReady(quint64 serial)
{
    deadline_ = freshDeadline();
    const WaitOutcome outcome = processEventsUntil([this] { return State() == ftpReady; }, deadline_);
    if (outcome != WaitOutcome::Ready) {
        AbortWithTimeout();
        return false;
    }
    // An ABOR or QUIT may have taken the place of this request meanwhile.
    return RequestSerial() == serial && RequestResult() == 0;
}

void TFtpClient::TriggerProgress(qint64 count, bool& abort)
{
    deadline_ = freshDeadline();
    TCustomFtpCli::TriggerProgress(count, abort);
}
