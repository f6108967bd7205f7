#pragma once

#include "remote/FtpObject.h"
#include "session/CommandDialogs.h"

#include <optional>
#include <span>

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

// A mode that takes read, write or execute away from the account's own
// user, which can lock the user out of the account.
bool locksOwnerOut(int mode);

// "SITE CHMOD 755 name".
std::string chmodCommand(int mode, const std::string& name);
} // namespace permissions
