#include "transfer/DirectoryCache.h"

#include "common/AtomicFile.h"
#include "common/ProgramFolders.h"
#include "transfer/EntryText.h"

#include <QCoreApplication>
#include <QFile>
#include <QTime>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

void directoryCache::add(const TransferEntry& file)
{
    content_ += entryText(file, EntryForm::RemoteFile);
    content_ += "\r\n";
}

void directoryCache::addUnwalkedFolder(std::string_view path)
{
    content_ += entryText(entryAt(std::string(path)), EntryForm::RemoteFolder);
    if (path.empty() || path.back() != '/')
        content_ += '/';
    content_ += "\r\n";
}

bool directoryCache::save(const QString& path, QString* error) const
{
    return writeFileAtomically(path, content_, 0600, error);
}

namespace
{
// A folder the walk left is a path it listed: names with control bytes are
// never walked, so such a line was not written by a walk.
bool isUnwalkedFolderLine(std::string_view text)
{
    return text.starts_with("?/") && text.ends_with('/')
        && std::none_of(text.begin(), text.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return byte < 0x20 || byte == 0x7f;
           });
}
} // namespace

std::optional<directoryCache::Entries> directoryCache::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Entries entries;
    // A line is one entry; a cache never holds more than its walk found, but
    // an odd file must not grow a line without bound.
    constexpr qint64 longestLine = 64 * 1024;
    while (!file.atEnd()) {
        QByteArray line = file.readLine(longestLine);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        const std::string_view text(line.constData(), static_cast<size_t>(line.size()));
        if (auto file = parseEntryText(text, EntryForm::RemoteFile))
            entries.files.push_back(std::move(*file));
        else if (isUnwalkedFolderLine(text))
            entries.unwalkedFolders.emplace_back(text.substr(1));
    }
    return entries;
}

QString cacheFolder()
{
    const QString folder = joinPath(programFolder(), QStringLiteral("Cache"));
    makePrivateFolder(folder);
    return folder;
}

std::optional<QString> createPrivateFile(
    const QString& folder, const QString& prefix, const QString& extension)
{
    static std::atomic<unsigned> serial { 0 };
    constexpr double millisecondsPerDay = 86400000.0;
    for (int tries = 0; tries < 100; ++tries) {
        double dayFraction = 0;
        {
            // The C library sets up the time zone on its first use behind a
            // lock ThreadSanitizer cannot see: workers starting together
            // were reported.
            static std::mutex clock;
            const std::lock_guard lock(clock);
            dayFraction = QTime::currentTime().msecsSinceStartOfDay() / millisecondsPerDay;
        }
        const QString name = prefix + QString::number(dayFraction, 'g', 10) + QLatin1Char('-')
            + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-')
            + QString::number(serial++) + extension;
        const QByteArray path = QFile::encodeName(joinPath(folder, name));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}
