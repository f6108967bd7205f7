#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the header of one HTTP response told the client.
struct HttpResponseHead {
    // The server sent a bare "<HTML>" document instead of a header.
    bool headerless = false;
    QString serverVersion; // "1.0" or "1.1"; "" without a status line
    int statusCode = 0;
    QString reasonPhrase;
    qint64 contentLength = -1; // -1 without Content-Length
    QString contentType; // lower case
    bool hasLocation = false;
    QString location; // the value of the last Location header
    QString acceptRanges;
    qint64 rangeBegin = -1; // from Content-Range, -1 when absent
    qint64 rangeEnd = -1;
    QStringList headerLines; // every line of the header, status line included
    QStringList wwwAuthenticate;
};

// Reads the header of an HTTP response from the front of a receive buffer,
// line by line, whatever pieces the bytes arrive in. A server decides how
// much it sends, so the reader refuses lines longer than the receive buffer
// and more header lines than any sane server sends.
class HttpHeadReader
{
public:
    static constexpr int maxLineLength = 8192;
    static constexpr int maxHeaderLines = 128;

    enum class Progress { NeedMore, Complete, Failed };

    // Takes the complete lines from the front of `buffer`. On Complete the
    // buffer holds what followed the header (the start of the body; for a
    // headerless document, the whole of it). On Failed, error() says why.
    Progress feed(QByteArray& buffer);

    const HttpResponseHead& head() const { return head_; }
    QString error() const { return error_; }

private:
    Progress takeLine(const QByteArray& line);
    Progress takeStatusLine(const QByteArray& line);
    Progress takeField(const QByteArray& line);
    Progress fail(const QString& error);

    HttpResponseHead head_;
    int lineCount_ = 0;
    QString error_;
};
