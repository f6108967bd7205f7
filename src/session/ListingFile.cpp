#include "session/ListingFile.h"

#include "session/ListingParser.h"

#include <QFile>

#include <string>

namespace
{

constexpr qint64 blockSize = 256 * 1024;
constexpr std::size_t longestLine = 64 * 1024;
// A line end is at most two bytes: one fully inside the buffer is known
// only when at least one byte follows it, or the file has ended.
constexpr std::size_t lineEndLookahead = 2;

} // namespace

bool readListingFile(const QString& path, const std::function<bool(std::string_view line)>& onLine)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    std::string buffer;
    bool atEnd = false;
    while (!atEnd) {
        const std::size_t kept = buffer.size();
        buffer.resize(kept + static_cast<std::size_t>(blockSize));
        const qint64 got = file.read(buffer.data() + kept, blockSize);
        buffer.resize(kept + static_cast<std::size_t>(std::max<qint64>(got, 0)));
        atEnd = got <= 0;
        const std::string_view text(buffer);
        std::size_t position = 0;
        while (position < text.size()) {
            const std::size_t end = text.find_first_of(std::string_view("\r\n\0", 3), position);
            if (!atEnd && (end == std::string_view::npos || end + lineEndLookahead >= text.size()))
                break;
            const std::string_view line = readListingLine(text, position);
            if (line.empty() || !onLine(line))
                return true;
        }
        buffer.erase(0, position);
        if (buffer.size() > longestLine)
            return true;
    }
    return true;
}
