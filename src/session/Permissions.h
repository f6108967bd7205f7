#pragma once

#include "remote/FtpObject.h"
#include "session/CommandDialogs.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

// The rules of the properties dialog: what it shows for a selection and the
// permission number its answer stands for (a decimal number that reads like
// the octal mode, 755 for rwxr-xr-x).
namespace permissions
{
// The number when nothing usable was typed in the manual field.
inline constexpr int fallbackMode = 711;

// The question for the selected entries (at least one).
permissionsQuestion questionFor(std::span<const ftpObject* const> selected);

int modeFromBoxes(const std::array<bool, 9>& checked);

// The manual field: empty or not a number gives 711; a digit above 7 is no
// mode at all and gives nothing.
std::optional<int> modeFromText(const QString& text);

// One selected entry as a permission change needs it. Taken before the
// dialog opens: the entries may go while it waits.
struct chmodTarget {
    std::string path; // the entry's folder joined with its name
    std::string rights; // as listed ("-rw-r--r--")
    // A folder, or a UNIX link, which may lead to one.
    bool folderLike = false;
};
chmodTarget targetOf(const ftpObject& entry);

// Whether the mode takes from the account's own user what it has of the
// target now: reading or writing, or, on a folder, entering it, which can
// lock the user out. A right the rights text shows missing cannot be lost;
// one it does not show (no rights text, a link) counts as held.
bool locksOwnerOut(int mode, const chmodTarget& target);

// "SITE CHMOD 755 /pub/name": the whole path, because the server's working
// folder need not be the one the entry was listed in (a listing shown from
// the cache, a search result).
std::string chmodCommand(int mode, const std::string& path);

// The list of paths a refused change left as they were, one a line, as
// people see them; a long list ends with how many more there are.
QString unchangedPathsText(const std::vector<std::string>& paths);
} // namespace permissions
