#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Remote paths are bytes with "/" separators, used in two forms: the slash
// form always ends in "/" (the root and the empty path are "/"), the plain
// form has no trailing "/" except the root "/". A path that ends in ":" (a
// drive of a DOS server) gets a "/" first.
namespace remotePath
{

std::string withDriveSlash(std::string_view path);
std::string slashForm(std::string_view path);
std::string plainForm(std::string_view path);

// The folder with a trailing "/" (an empty folder becomes "/"), then the
// name without its leading "/".
std::string join(std::string_view folder, std::string_view name);

// The parent folder in the slash form ("/pub/a" and "/pub/a/" give "/pub/";
// "/" and a bare name give "/").
std::string parentOf(std::string_view path);

// The name of the file that caches the listing of `folder` (either form) of
// a server: "%" + address + "%" + port + "%" + folder without its trailing
// "/", with "/" written "-", "<" "!", ">" "=" and ":" "@". The result is
// always one plain file name of at most 255 bytes, and two different
// folders or servers never share it: the characters that stand for others
// (and "%", "~", "#", control and non-ASCII bytes) are written "~" + two hex digits, and a
// name that would be too long becomes "#" + a SHA-256 of it.
std::string cacheFileName(std::string_view address, std::uint32_t port, std::string_view folder);

} // namespace remotePath
