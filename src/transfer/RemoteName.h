#pragma once

#include <QString>

#include <optional>
#include <string_view>

// Remote names are bytes; these turn them into what a person sees and into
// local paths that cannot leave the folder the user chose.

// The name as a person sees it (see visibleRemoteText).
QString shownName(std::string_view bytes);

// A name from a listing that may become one local file or folder name: not
// empty, not "." or "..", and free of "/", "\", NUL and control bytes.
bool isSafeLocalName(std::string_view name);

// The local path of `remotePath`, which lies below `remoteBase` (both
// "/"-separated; the base ends with "/"): `localBase` followed by the
// remaining components. Nothing when the path is not below the base or one
// of its components is not a safe local name.
std::optional<QString> localPathBelow(
    const QString& localBase, std::string_view remoteBase, std::string_view remotePath);
