#include "session/Permissions.h"

#include "net/VisibleText.h"
#include "remote/RemotePath.h"

#include <QStringList>

#include <algorithm>

namespace permissions
{
namespace
{

constexpr qsizetype shownNameLength = 20;
constexpr qsizetype shownNameTail = 17;
constexpr std::array<int, 9> boxValues = { 400, 200, 100, 40, 20, 10, 4, 2, 1 };
// A message box stays readable.
constexpr size_t unchangedPathsShown = 20;

QString shortened(const std::string& name)
{
    const QString shown = decodeRemoteText(name);
    return shown.size() <= shownNameLength ? shown : QStringLiteral("...") + shown.right(shownNameTail);
}

} // namespace

permissionsQuestion questionFor(std::span<const ftpObject* const> selected)
{
    permissionsQuestion question;
    std::int64_t size = 0;
    for (const ftpObject* entry : selected)
        size += entry->size;
    question.name
        = selected.size() == 1 ? shortened(selected.front()->name) : QStringLiteral("Multiple Objects");
    question.sizeText = QString::number(size) + QStringLiteral(" Bytes");
    // Characters 2 to 10 of the rights text: rwx of owner, group, others.
    const std::string& rights = selected.front()->rights;
    for (size_t box = 0; box < question.checked.size(); ++box)
        question.checked[box] = box + 1 < rights.size() && rights[box + 1] != '-';
    return question;
}

int modeFromBoxes(const std::array<bool, 9>& checked)
{
    int mode = 0;
    for (size_t box = 0; box < checked.size(); ++box)
        mode += checked[box] ? boxValues[box] : 0;
    return mode;
}

std::optional<int> modeFromText(const QString& text)
{
    constexpr qsizetype longestMode = 4; // setuid, setgid and sticky, then rwx
    const bool isNumber = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (!isNumber)
        return fallbackMode;
    const bool octal = std::all_of(text.begin(), text.end(), [](QChar c) { return c <= QLatin1Char('7'); });
    if (!octal || text.size() > longestMode)
        return std::nullopt;
    return text.toInt();
}

chmodTarget targetOf(const ftpObject& entry)
{
    return { remotePath::join(entry.directory, entry.name), entry.rights,
        entry.kind == ftpObject::Folder || entry.kind == ftpObject::UnixLink };
}

bool locksOwnerOut(int mode, const chmodTarget& target)
{
    // One of the owner's rights, and where the rights text shows it.
    struct ownerRight {
        int bit;
        size_t at;
    };
    constexpr ownerRight read { 4, 1 }, write { 2, 2 }, enter { 1, 3 };
    // A link's own rights say nothing of what it leads to.
    const bool rightsKnown = target.rights.size() > enter.at && target.rights.front() != 'l';
    const auto held = [&](ownerRight right) { return !rightsKnown || target.rights[right.at] != '-'; };
    const int owner = mode / 100 % 10;
    const auto loses = [&](ownerRight right) { return held(right) && (owner & right.bit) == 0; };
    return loses(read) || loses(write) || (target.folderLike && loses(enter));
}

std::string chmodCommand(int mode, const std::string& path)
{
    return "SITE CHMOD " + std::to_string(mode) + " " + path;
}

QString unchangedPathsText(const std::vector<std::string>& paths)
{
    QStringList lines;
    for (size_t i = 0; i < paths.size() && i < unchangedPathsShown; ++i)
        lines << visibleRemoteText(QByteArray::fromStdString(paths[i]));
    if (paths.size() > unchangedPathsShown)
        lines << QStringLiteral("... and %1 more").arg(paths.size() - unchangedPathsShown);
    return lines.join(QLatin1Char('\n'));
}

} // namespace permissions
