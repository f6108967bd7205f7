#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// Everything that goes into the header of one request. Empty texts (and
// unset numbers) leave their line out.
struct HttpRequestFields {
    QString method; // "GET", "POST" or "HEAD"
    QString target; // the path, or the absolute URL for a proxy
    QString version; // "1.0" or "1.1"
    QString sender;
    QString accept;
    QString reference;
    QString connection;
    QString acceptLanguage;
    QString contentType; // POST only
    QString agent;
    QString host;
    bool noCache = false;
    qint64 contentLength = -1; // POST only
    QDateTime modifiedSince; // invalid: no If-Modified-Since
    QString user; // server credentials
    QString password;
    QString proxyUser; // only when the request goes to a proxy
    QString proxyPassword;
    QString cookie;
    qint64 rangeBegin = 0; // a Range line when either is non-zero
    qint64 rangeEnd = 0;
};

// The header lines of a request, in the order servers of the family expect,
// without line ends (the caller ends each with CR LF and adds the empty line).
QList<QByteArray> requestHeadLines(const HttpRequestFields& fields);

// Whether a header line may go on the wire: no CR, LF, NUL or other control
// byte that could end the line early or smuggle a second request.
bool isSafeHeaderLine(const QByteArray& line);

// Whether a request target may go into the request line: a safe header text
// without blanks, which would split the line.
bool isSafeRequestTarget(const QString& target);
