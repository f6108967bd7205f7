#include "net/TFtpClient.h"

#include "net/EventWait.h"

#include <chrono>

TFtpClient::TFtpClient(QObject* parent)
    : TCustomFtpCli(parent)
{
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
    // Waiting for ftpReady alone would miss a request whose connection
    // closed in the same breath as its last reply (a server that answers and
    // hangs up): the close moves the state on to ftpInternalReady before
    // this loop looks, and the call would sit out its whole time-out.
    const WaitOutcome outcome = processEventsUntil([this] { return Idle(); }, deadline_);
    if (outcome != WaitOutcome::Ready) {
        AbortWithTimeout();
        return false;
    }
    // An ABOR or QUIT may have taken the place of this request meanwhile.
    return RequestSerial() == serial && RequestResult() == 0;
}

void TFtpClient::TriggerReplyProgress()
{
    deadline_ = freshDeadline();
}

void TFtpClient::TriggerProgress(qint64 count, bool& abort)
{
    deadline_ = freshDeadline();
    TCustomFtpCli::TriggerProgress(count, abort);
}
