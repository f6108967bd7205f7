#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// The text side of the FTP control connection: cutting the received bytes
// into reply lines, telling the final line of a reply from the others,
// reading the values servers put into replies, and building the command
// lines that carry a value of ours. Everything that comes from the server is
// checked here, so the component only ever sees values in range.

// Collects the bytes of the control connection and hands out whole lines.
// A line, with its end, must fit into `capacity` bytes: more without a line
// end means the server is broken or hostile, and `isOverfull()` says so.
class FtpLineReader
{
public:
    static constexpr int capacity = 4095;

    // How many more bytes the reader takes now.
    int freeSpace() const { return capacity - static_cast<int>(buffer_.size()); }
    // Appends at most freeSpace() bytes.
    void append(const char* data, int length);
    // The next whole line without its end and with any CR and LF at its end
    // removed. `acceptLf`: a bare LF ends a line; otherwise only CR LF does.
    std::optional<QByteArray> takeLine(bool acceptLf);
    // The buffer is full and holds no line end.
    bool isOverfull(bool acceptLf) const;
    void clear() { buffer_.clear(); }

private:
    qsizetype lineEnd(bool acceptLf) const;

    QByteArray buffer_;
};

// Tells intermediate reply lines from final ones. A reply whose first line
// is "ddd-..." goes on until a line starting with the same "ddd" followed by
// a blank (or nothing): lines in between may start with digits and still
// belong to it, so a chatty banner cannot end a reply early and shift every
// later reply by one. Outside such a reply, a line that starts with a digit
// must be a reply line (replyCodeOf); one that does not is text to show.
class FtpReplyClassifier
{
public:
    enum class Kind {
        Text, // a line inside a multi-line reply, or text outside any reply
        Final, // the reply is complete with this line
        Malformed, // starts with a digit but is no reply line: a protocol error
    };
    struct Line {
        Kind kind = Kind::Text;
        int code = 0; // valid when final
    };

    Line classify(const QByteArray& line);
    // Forgets a reply in progress (new connection).
    void reset() { openCode_.clear(); }

private:
    QByteArray openCode_; // digits of the multi-line reply in progress
};

// The status code of a reply line: three digits, the first 1 to 5, followed
// by a blank, a hyphen or the end of the line. Nothing for any other line:
// "2 short", "2300 x" and "099 x" are no replies, and taking them for one
// would leave the command still owed its real reply.
std::optional<int> replyCodeOf(const QByteArray& line);

// The size in a "213 <size>" reply: a decimal number of 0 to 2^63 - 1,
// after the code and blanks; nothing when it is missing, malformed or out of
// range.
std::optional<qint64> sizeFromReply(const QByteArray& line);

// The folder in a "257 "<folder>" ..." reply: the first double-quoted text
// after the code, a doubled quote inside standing for one; empty when the
// text after the code does not start, after blanks, with a quote. Text
// after the closing quote is ignored; an unclosed quote runs to the end.
QByteArray quotedDirectoryFromReply(const QByteArray& line);

// The port of a "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)" reply.
// Every number must be decimal 0-255 and the port p1 * 256 + p2 must lie in
// 1-65535. The address the server named is checked but not used: the data
// connection goes to the host the control connection reached.
struct PassiveReply {
    QString address;
    quint16 port = 0;
};
std::optional<PassiveReply> parsePassiveReply(const QByteArray& line);

// "PORT h1,h2,h3,h4,p1,p2" for a dotted IPv4 address and a port.
QByteArray portCommand(const QString& address, quint16 port);

// A command line may not carry CR, LF or NUL: the server would read the rest
// as further commands of ours.
bool isSafeCommandLine(const QByteArray& line);
