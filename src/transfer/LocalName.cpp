#include "transfer/LocalName.h"

#include "net/VisibleText.h"

#include <QCryptographicHash>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr char16_t escapeBase = 0xDC00;

bool continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at `at` and its code point, or 0.
int validSequence(std::string_view bytes, std::size_t at, char32_t& point)
{
    const auto lead = static_cast<unsigned char>(bytes[at]);
    int length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        point = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        point = lead & 0x1F;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        point = lead & 0x0F;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        point = lead & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (at + static_cast<std::size_t>(length) > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        if (!continuation(byte))
            return 0;
        point = (point << 6) | (byte & 0x3F);
    }
    if (point < min || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(QByteArray& out, char32_t point)
{
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

} // namespace

QString localNameOf(std::string_view bytes)
{
    QString name;
    name.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t point = 0;
        const int length = validSequence(bytes, at, point);
        if (length == 0) {
            name += QChar(static_cast<char16_t>(escapeBase + static_cast<unsigned char>(bytes[at])));
            ++at;
            continue;
        }
        if (point < 0x10000) {
            name += QChar(static_cast<char16_t>(point));
        } else {
            name += QChar(QChar::highSurrogate(point));
            name += QChar(QChar::lowSurrogate(point));
        }
        at += static_cast<std::size_t>(length);
    }
    return name;
}

QByteArray nativeLocalPath(const QString& path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < path.size() && path[i + 1].isLowSurrogate()) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, path[i + 1].unicode()));
            ++i;
        } else if (unit >= escapeBase + 0x80 && unit <= escapeBase + 0xFF) {
            bytes += static_cast<char>(unit - escapeBase);
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(bytes, QChar::ReplacementCharacter);
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

QString shownLocalPath(const QString& path)
{
    return visibleRemoteText(nativeLocalPath(path));
}

LocalEntry lookAtLocal(const QString& path)
{
    struct stat status {
    };
    LocalEntry entry;
    if (::lstat(nativeLocalPath(path).constData(), &status) != 0)
        return entry;
    entry.exists = true;
    entry.link = S_ISLNK(status.st_mode);
    entry.file = S_ISREG(status.st_mode);
    entry.size = entry.file ? static_cast<std::uint64_t>(status.st_size) : 0;
    return entry;
}

bool removeLocalFile(const QString& path)
{
    return ::unlink(nativeLocalPath(path).constData()) == 0;
}

bool makeLocalFolders(const QString& folder)
{
    const QByteArray native = nativeLocalPath(folder);
    for (qsizetype end = native.indexOf('/', 1);; end = native.indexOf('/', end + 1)) {
        const QByteArray step = end < 0 ? native : native.left(end);
        if (!step.isEmpty() && ::mkdir(step.constData(), 0777) != 0 && errno != EEXIST)
            return false;
        if (end < 0)
            break;
    }
    struct stat status {
    };
    return ::stat(native.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QString localFolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString localFileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString numberedLocalName(const QString& path, int number)
{
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= nameStart)
        dot = path.size(); // no extension, or a name that starts with its only dot
    return path.left(dot) + QStringLiteral(" (%1)").arg(number) + path.mid(dot);
}

std::optional<std::string> md5OfLocalFile(const QString& path)
{
    const int fd = ::open(nativeLocalPath(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Md5);
    QByteArray block(1 << 20, Qt::Uninitialized);
    ssize_t got = 0;
    while ((got = ::read(fd, block.data(), static_cast<std::size_t>(block.size()))) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        hash.addData(QByteArrayView(block.constData(), got));
    }
    ::close(fd);
    if (got < 0)
        return std::nullopt;
    return hash.result().toHex().toUpper().toStdString();
}

bool LocalNameClaims::claim(const QString& path)
{
    std::lock_guard lock(mutex_);
    if (names_.contains(path))
        return false;
    names_.insert(path);
    return true;
}

bool LocalNameClaims::taken(const QString& path) const
{
    std::lock_guard lock(mutex_);
    return names_.contains(path);
}
