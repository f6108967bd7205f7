#include "transfer/PartRecord.h"

#include "common/AtomicFile.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <fcntl.h>
#include <unistd.h>

namespace
{

constexpr const char* header = "RanquilParts 1";
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

std::optional<std::uint64_t> field(const QByteArray& line, const QByteArray& name)
{
    const QList<QByteArray> words = line.split(' ');
    if (words.size() != 2 || words[0] != name)
        return std::nullopt;
    return number(words[1]);
}

QByteArray readSmallFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
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

std::optional<PartRecord> readPartRecord(const QString& path)
{
    const QList<QByteArray> lines = readSmallFile(path).split('\n');
    if (lines.size() != 5 || lines[0] != header || !lines[4].isEmpty())
        return std::nullopt;
    const auto size = field(lines[1], "size");
    const auto length = field(lines[2], "length");
    const QList<QByteArray> done = lines[3].split(' ');
    if (!size || !length || done.size() < 2 || done[0] != "done"
        || static_cast<std::size_t>(done.size() - 1) > maxParts)
        return std::nullopt;
    PartRecord record { *size, *length, {} };
    for (qsizetype i = 1; i < done.size(); ++i) {
        const auto value = number(done[i]);
        if (!value)
            return std::nullopt;
        record.done.push_back(*value);
    }
    return record;
}

bool writePartRecord(const QString& path, const PartRecord& record, QString* error)
{
    QByteArray text = QByteArray(header) + "\nsize " + QByteArray::number(record.size) + "\nlength "
        + QByteArray::number(record.partLength) + "\ndone";
    for (const std::uint64_t done : record.done)
        text += ' ' + QByteArray::number(done);
    text += '\n';
    return writeFileAtomically(
        path, std::string_view(text.constData(), static_cast<std::size_t>(text.size())), 0600, error);
}
