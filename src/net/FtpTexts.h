#pragma once

#include "net/SocketErrors.h"

#include <QString>

// Every text the FTP component shows: usage errors, reply lines it makes up
// for local and network failures, and the "! " lines of its log.
namespace ftptext
{

// Usage errors.
inline QString notReady()
{
    return QStringLiteral("FTP component not ready");
}
inline QString alreadyConnected()
{
    return QStringLiteral("FTP component already connected");
}
inline QString notConnected()
{
    return QStringLiteral("FTP component not connected");
}
inline QString connectedNoTypeChange()
{
    return QStringLiteral("FTP component connected");
}
inline QString userNameEmpty()
{
    return QStringLiteral("UserName emtpy");
}
inline QString quoteCommandsEmpty()
{
    return QStringLiteral("QuoteEach: no command to send");
}
inline QString hostDirNameEmpty()
{
    return QStringLiteral("HostDirName emtpy");
}
inline QString localFileNameEmpty()
{
    return QStringLiteral("LocalFileName empty");
}
inline QString transferNotConnected(const QString& command)
{
    return command + QStringLiteral(": not connected");
}
inline QString uploadNotConnected()
{
    return QStringLiteral("STOR/APPE: not connected");
}
inline QString unsafeCommand()
{
    return QStringLiteral("FTP command refused: it contains CR, LF or NUL");
}
inline QString commandTooLong(qsizetype length, qsizetype limit)
{
    return QStringLiteral("FTP command refused: %1 bytes long, more than the %2 servers accept")
        .arg(length)
        .arg(limit);
}

// Reply lines for failures found on this side.
inline QString winsockSuffix(int code)
{
    return QStringLiteral(" (Winsock error #%1)").arg(code);
}
inline QString networkError(const QString& description, int code)
{
    return QStringLiteral("500 ") + description + winsockSuffix(code);
}
inline QString controlClosed()
{
    return QStringLiteral("500 Control connection closed.");
}
inline QString controlClosedWithError(int code)
{
    return controlClosed() + QLatin1Char(' ') + WSocketErrorDesc(code) + winsockSuffix(code);
}
inline QString raised(int code, const QString& exceptionClass, const QString& message)
{
    return QStringLiteral("%1 %2: %3").arg(code).arg(exceptionClass, message);
}
inline QString timeout()
{
    return QStringLiteral("426 Timeout");
}
inline QString operationAborted()
{
    return QStringLiteral("426 Operation aborted.");
}
inline QString replyLineTooLong()
{
    return QStringLiteral("500 Reply line longer than 4095 bytes: connection closed");
}
inline QString invalidPassiveReply(const QString& line)
{
    return QStringLiteral("500 Invalid passive mode reply: ") + line;
}
inline QString invalidSizeReply(const QString& line)
{
    return QStringLiteral("500 Invalid size in reply: ") + line;
}
inline QString malformedReply(const QString& line)
{
    return QStringLiteral("500 Malformed reply line, connection closed: ") + line;
}

// Transfers.
inline QString cannotOpenForDownload(const QString& name, const QString& reason)
{
    const QString text = QStringLiteral("Unable to open local file ") + name;
    return reason.isEmpty() ? text : text + QStringLiteral(": ") + reason;
}
inline QString cannotOpenForUpload(const QString& name)
{
    return QStringLiteral("426 Unable to open local file ") + name;
}
inline QString transmitCancelled()
{
    return QStringLiteral("426 Transmit cancelled by application");
}
inline QString transferAborted()
{
    return QStringLiteral("426 Transfer aborted by application");
}
inline QString noDataConnection(int code)
{
    return QStringLiteral("Unable to establish data connection, error #%1").arg(code);
}
inline QString dataClosedWithError(int code)
{
    return QStringLiteral("426 Data connection closed. ") + WSocketErrorDesc(code) + winsockSuffix(code);
}
inline QString writeFailed(const QString& name)
{
    return QStringLiteral("550 Error writing local file ") + name;
}
inline QString readFailed(const QString& name)
{
    return QStringLiteral("426 Error reading local file ") + name;
}
inline QString uploadCutShort()
{
    return QStringLiteral("426 Data connection closed before the whole file was sent");
}
inline QString resumeBeyondEnd(const QString& name)
{
    return QStringLiteral("426 Resume position lies beyond the end of local file ") + name;
}
inline QString endedShort(qint64 position, qint64 expectedEnd)
{
    return QStringLiteral("426 Transfer ended at byte %1 of %2: what arrived is kept for a resume")
        .arg(position)
        .arg(expectedEnd);
}
inline QString moreThanExpected(qint64 expectedEnd, qint64 reached)
{
    return QStringLiteral("426 The server sent more than the %1 bytes expected (at least %2): the "
                          "transfer's data was discarded")
        .arg(expectedEnd)
        .arg(reached);
}
inline QString listingTooLong(qint64 maxBytes, qint64 maxLines)
{
    return QStringLiteral("426 Listing longer than %1 bytes or %2 lines: transfer stopped")
        .arg(maxBytes)
        .arg(maxLines);
}
inline QString dataDropped()
{
    return QStringLiteral("426 The server closed the data connection twice before a byte moved");
}

// Log lines.
inline QString downloadFailed()
{
    return QStringLiteral("! RETR/LIST/NLST Failed");
}
inline QString uploadFailed()
{
    return QStringLiteral("! STOR Failed");
}
inline QString abortRequested()
{
    return QStringLiteral("! Abort requested");
}
inline QString errorWritingLocalFile()
{
    return QStringLiteral("! Error writing local file");
}
inline QString errorReadingFile()
{
    return QStringLiteral("! Error reading file");
}
inline QString receiveError(int code)
{
    return QStringLiteral("! Data: Receive error %1").arg(code);
}
inline QString sendError(int code)
{
    return QStringLiteral("! Error #%1 sending data").arg(code);
}
inline QString partComplete(qint64 position)
{
    return QStringLiteral("! Part complete at byte %1").arg(position);
}
inline QString beyondExpectedEnd(qint64 expectedEnd)
{
    return QStringLiteral("! More data than the %1 bytes expected: transfer stopped").arg(expectedEnd);
}
inline QString listingLimitReached()
{
    return QStringLiteral("! Listing too long: transfer stopped");
}
inline QString retryingTransfer()
{
    return QStringLiteral("! The server closed the data connection before a byte moved: trying once more");
}
inline QString strangerRefused(const QString& address)
{
    return QStringLiteral("! Data connection from %1 refused: the server is elsewhere").arg(address);
}
// "! 1234 bytes received/sent in 2 seconds (617 Bytes/sec)"
inline QString statistics(qint64 byteCount, qint64 elapsedMs)
{
    QString text
        = QStringLiteral("! %1 bytes received/sent in %2 seconds").arg(byteCount).arg(elapsedMs / 1000);
    if (elapsedMs > 0)
        text += QStringLiteral(" (%1 Bytes/sec)").arg(byteCount * 1000 / elapsedMs);
    return text;
}

} // namespace ftptext
