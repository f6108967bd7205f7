#pragma once

#include <QByteArray>
#include <QList>
#include <QSemaphore>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <map>
#include <mutex>
#include <set>

// A small FTP server with canned replies, for the cases real servers will
// not produce on demand: odd line ends, long lines, hostile passive
// addresses, silence, replies out of order. It runs in a thread of its own
// on 127.0.0.1 (a free port), serves one control connection at a time and
// records every command line it receives.
//
// Configure the public fields before start(); they are read by the server
// thread afterwards and must not change.
class ScriptedFtpServer : public QThread
{
public:
    ScriptedFtpServer() = default;
    ~ScriptedFtpServer() override;

    // Sent as they are when a client connects (line ends included).
    QByteArray greeting = "220 scripted server ready\r\n";
    bool closeAfterGreeting = false;
    // Replies by command verb (upper case), sent as they are. An empty
    // reply means silence. Verbs listed here lose their built-in behaviour.
    std::map<QByteArray, QByteArray> replies;
    // Replies to whole command lines ("DELE /pub/a.bin"), before those by
    // verb.
    std::map<QByteArray, QByteArray> lineReplies;
    // Verbs after whose reply the control connection is closed.
    std::set<QByteArray> closeAfter;
    // The four address numbers the 227 reply names.
    QByteArray passiveAddress = "127,0,0,1";
    // What RETR and LIST send over the data connection; RETR sends it from
    // the offset of the built-in REST (unless ignoreRest).
    QByteArray download = "scripted file contents\n";
    // Answer REST with 350 and still send the whole file.
    bool ignoreRest = false;
    // RETR sends `download` only up to this offset and then ends as usual
    // (with finalReply), while SIZE still tells the whole size: a server
    // that says "226" after fewer bytes than the file holds. -1: no cut.
    qint64 cutAt = -1;
    // Send `download` over and over until the client closes the connection.
    bool endlessDownload = false;
    // The reply that ends RETR and LIST, and whether it comes before the
    // data instead of after it.
    QByteArray finalReply = "226 Transfer complete\r\n";
    bool finalReplyBeforeData = false;
    // Reply to RETR with "150" and then say nothing more.
    bool stallTransfers = false;
    // Close the first this many passive data connections as they arrive:
    // what pyftpdlib does to a connection that comes before its command.
    // The transfer then answers "150" and waits for a connection that
    // never comes, and ABOR finds "225 No transfer to abort".
    int dropPassiveConnections = 0;
    // STOR: close the data connection after this many bytes (-1: never).
    qint64 uploadCutAfter = -1;
    // Active mode: connect from these addresses first (strangers), then
    // from 127.0.0.1.
    QStringList strangerSources;

    bool start();
    quint16 port() const { return port_; }
    QList<QByteArray> commands() const;
    bool received(const QByteArray& prefix) const;
    QByteArray uploaded() const;

protected:
    void run() override;

private:
    friend class ScriptedControlSession;
    void record(const QByteArray& line);
    void storeUpload(const QByteArray& data);

    std::atomic<quint16> port_ { 0 };
    QSemaphore listening_;
    mutable std::mutex mutex_;
    QList<QByteArray> commands_;
    QByteArray uploaded_;
};
