#include "transfer/PartRecord.h"

#include "common/AtomicFile.h"
#include "transfer/LocalName.h"

#include <QByteArray>
#include <QList>

#include <fcntl.h>
#include <unistd.h>

namespace
{

constexpr const char* headerV1 = "RanquilParts 1";
constexpr const char* headerV2 = "RanquilParts 2";
constexpr qsizetype maxRecordBytes = 4096;
constexpr std::size_t maxParts = 64;

std::optional<std::uint64_t> number(const QByteArray& text)
{
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || text.isEmpty() || text.front() == '+' || text.front() == '-')
        return std::nullopt;
    return static_cast<std::uint64_t>(value);
}

std::optional<QByteArray> word(const QByteArray& line, const QByteArray& name)
{
    const QList<QByteArray> words = line.split(' ');
    if (words.size() != 2 || words[0] != name)
        return std::nullopt;
    return words[1];
}

std::optional<std::uint64_t> field(const QByteArray& line, const QByteArray& name)
{
    const auto text = word(line, name);
    return text ? number(*text) : std::nullopt;
}

// Remote paths and dates are bytes with blanks and anything else in them.
std::optional<std::string> textField(const QByteArray& line, const QByteArray& name)
{
    const auto text = word(line, name);
    if (!text)
        return std::nullopt;
    return QByteArray::fromPercentEncoding(*text).toStdString();
}

QByteArray encoded(const std::string& text)
{
    return QByteArray::fromStdString(text).toPercentEncoding();
}

QByteArray readSmallFile(const QString& path)
{
    const int fd = ::open(nativeLocalPath(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray text(maxRecordBytes + 1, Qt::Uninitialized);
    qsizetype length = 0;
    while (length < text.size()) {
        const ssize_t got = ::read(fd, text.data() + length, static_cast<std::size_t>(text.size() - length));
        if (got <= 0)
            break;
        length += got;
    }
    ::close(fd);
    text.truncate(length);
    return text.size() > maxRecordBytes ? QByteArray() : text;
}

} // namespace

QString partRecordName(const QString& target)
{
    return target + QStringLiteral(".parts");
}

bool PartRecord::describes(
    std::string_view remotePath, std::uint64_t remoteSize, std::string_view remoteDate) const
{
    return namesPath(remotePath) && size == remoteSize
        && (date.empty() || remoteDate.empty() || date == remoteDate);
}

std::optional<PartRecord> readPartRecord(const QString& path)
{
    const QList<QByteArray> lines = readSmallFile(path).split('\n');
    const bool identified = !lines.isEmpty() && lines[0] == headerV2;
    if (lines.size() != (identified ? 7 : 5) || (!identified && lines[0] != headerV1)
        || !lines.back().isEmpty())
        return std::nullopt;
    const auto size = field(lines[1], "size");
    const auto length = field(lines[2], "length");
    const QList<QByteArray> done = lines[3].split(' ');
    if (!size || !length || done.size() < 2 || done[0] != "done"
        || static_cast<std::size_t>(done.size() - 1) > maxParts)
        return std::nullopt;
    PartRecord record { *size, *length, {}, std::nullopt, {} };
    for (qsizetype i = 1; i < done.size(); ++i) {
        const auto value = number(done[i]);
        if (!value)
            return std::nullopt;
        record.done.push_back(*value);
    }
    if (identified) {
        record.source = textField(lines[4], "source");
        const auto date = textField(lines[5], "date");
        if (!record.source || !date)
            return std::nullopt;
        record.date = *date;
    }
    return record;
}

bool writePartRecord(const QString& path, const PartRecord& record, QString* error, bool durable)
{
    QByteArray text = QByteArray(record.source ? headerV2 : headerV1) + "\nsize "
        + QByteArray::number(record.size) + "\nlength " + QByteArray::number(record.partLength) + "\ndone";
    for (const std::uint64_t done : record.done)
        text += ' ' + QByteArray::number(done);
    text += '\n';
    if (record.source)
        text += "source " + encoded(*record.source) + "\ndate " + encoded(record.date) + '\n';
    return writeFileAtomically(nativeLocalPath(path),
        std::string_view(text.constData(), static_cast<std::size_t>(text.size())), 0600, durable, error);
}
