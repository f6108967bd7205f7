#include "listing_ftp_fetch.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTcpSocket>

#include <cctype>

namespace
{

constexpr int replyWaitMs = 10000;

class controlConnection
{
public:
    bool open(quint16 port)
    {
        socket_.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (!socket_.waitForConnected(replyWaitMs))
            return fail(QStringLiteral("cannot connect: ") + socket_.errorString());
        return true;
    }

    // Sends a command (unless empty) and reads the whole reply, which must
    // start with one of the expected digits.
    bool exchange(const QByteArray& command, const char* expectedFirstDigits)
    {
        if (!command.isEmpty()) {
            socket_.write(command + "\r\n");
            if (!socket_.waitForBytesWritten(replyWaitMs))
                return fail(QStringLiteral("cannot send ") + QString::fromLatin1(command));
        }
        if (!readReply())
            return false;
        if (!QByteArray(expectedFirstDigits).contains(reply_.at(0)))
            return fail(QStringLiteral("unexpected reply to \"%1\": %2")
                            .arg(QString::fromLatin1(command), QString::fromUtf8(reply_)));
        return true;
    }

    const QByteArray& reply() const { return reply_; }
    const QString& error() const { return error_; }

private:
    // A reply ends with a line of three digits and a space.
    bool readReply()
    {
        reply_.clear();
        QDeadlineTimer deadline(replyWaitMs);
        for (;;) {
            while (!socket_.canReadLine()) {
                if (deadline.hasExpired()
                    || !socket_.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                    return fail(QStringLiteral("no complete reply, got: ") + QString::fromUtf8(reply_));
            }
            const QByteArray line = socket_.readLine();
            reply_ += line;
            if (line.size() >= 4 && line.at(3) == ' ' && std::isdigit(static_cast<unsigned char>(line.at(0))))
                return true;
        }
    }

    bool fail(const QString& text)
    {
        error_ = text;
        return false;
    }

    QTcpSocket socket_;
    QByteArray reply_;
    QString error_;
};

// The data port of a "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)" reply.
quint16 passivePort(const QByteArray& reply)
{
    static const QRegularExpression numbers(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const auto match = numbers.match(QString::fromLatin1(reply));
    if (!match.hasMatch())
        return 0;
    const int high = match.captured(5).toInt(), low = match.captured(6).toInt();
    if (high > 255 || low > 255)
        return 0;
    return static_cast<quint16>(high * 256 + low);
}

QByteArray readToEnd(QTcpSocket& data)
{
    QByteArray received;
    QDeadlineTimer deadline(replyWaitMs);
    while (data.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        data.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        received += data.readAll();
    }
    received += data.readAll();
    return received;
}

} // namespace

fetchedListing fetchListing(quint16 port, const QByteArray& user, const QByteArray& password,
    const QByteArray& listCommand, const QList<QByteArray>& preparation)
{
    fetchedListing result;
    controlConnection control;
    bool ready = control.open(port) && control.exchange({}, "2") && control.exchange("USER " + user, "23")
        && (control.reply().startsWith("230") || control.exchange("PASS " + password, "2"))
        && control.exchange("TYPE A", "2");
    for (const QByteArray& command : preparation)
        ready = ready && control.exchange(command, "2");
    if (!ready || !control.exchange("PASV", "2")) {
        result.error = control.error();
        return result;
    }
    const quint16 dataPort = passivePort(control.reply());
    if (dataPort == 0) {
        result.error = QStringLiteral("unreadable passive reply: ") + QString::fromUtf8(control.reply());
        return result;
    }
    QTcpSocket data;
    data.connectToHost(QStringLiteral("127.0.0.1"), dataPort);
    if (!data.waitForConnected(replyWaitMs)) {
        result.error = QStringLiteral("cannot open the data connection: ") + data.errorString();
        return result;
    }
    if (!control.exchange(listCommand, "1")) {
        result.error = control.error();
        return result;
    }
    result.data = readToEnd(data);
    if (!control.exchange({}, "2"))
        result.error = control.error();
    control.exchange("QUIT", "2");
    return result;
}
