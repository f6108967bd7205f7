#pragma once

#include "common/FtpSite.h"

#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Link files (".wkt"): a site profile as an ini-style text with the section
// "Zelta Link". The bookmark tree and the session read them with the same
// reader; they differ only in the `Name` key and its default.
namespace linkFiles
{
inline constexpr std::string_view section = "Zelta Link";
inline constexpr std::string_view extension = ".wkt";
// Larger files are refused: a bookmark is a few hundred bytes, and whatever
// a server hands out must not be read without bound.
inline constexpr std::size_t maxFileSize = 8 * 1024;
} // namespace linkFiles

enum class LinkFileUse {
    // The bookmark tree: the profile name is the file name without ".wkt";
    // `Name` is neither read nor written.
    Bookmark,
    // A session's link (a link file fetched from a server, the command line,
    // its "Bookmark" command): the profile name is the `Name` key, the file
    // name when there is none; a file without an `Anonymous` key logs in
    // anonymously unless it names a user, as a link handed out by a server
    // usually leads to an anonymous server.
    Session,
};

// The values a link file holds, as they are written: the address as typed
// ("<name>" for a P2P user name) and the port as typed.
struct linkFileValues {
    std::string address;
    std::string port = "21";
    bool anonymous = false;
    std::string userId;
    std::string password;
    std::string initialDirectory;
    std::string description;

    // A site's values as its link file keeps them.
    static linkFileValues of(const ftpSite& site);
};

// Puts an address text into `site`: a text longer than 2 characters between
// "<" and ">" is a P2P user name (not persistent); anything else is a fixed
// address.
void setSiteAddress(ftpSite& site, const std::string& addressText);

// A port text as a port: 21 unless it is a decimal number in 1-65535.
std::uint32_t portFromText(std::string_view text);

// Whether `name` may name a link file or a bookmark folder: it must stay a
// single component inside its folder (not empty, not "." or "..", no "/",
// "\", NUL or control character). `reason` tells the user why not.
bool isSafeLinkName(std::string_view name, QString* reason = nullptr);

// Parses the bytes of a link file called `fileName` (the name with its
// extension, used for the profile name). Anonymous sites get the user
// "anonymous" and `anonymousPassword`. Empty (with `error` set) when the
// bytes are too many or not an ini text with the "Zelta Link" section.
std::optional<ftpSite> parseLinkFile(std::string_view bytes, std::string_view fileName, LinkFileUse use,
    std::string_view anonymousPassword, QString* error = nullptr);

// parseLinkFile() of the file at `path`, read no further than the size limit.
std::optional<ftpSite> readLinkFile(
    const QString& path, LinkFileUse use, std::string_view anonymousPassword, QString* error = nullptr);

// The link file's path for a profile name in `folder`.
QString linkFilePath(const QString& folder, std::string_view profileName);

// Writes (or rewrites) the link file of `profileName` in `folder`: the
// "Zelta Link" keys in their order (`Name` first for a session), keeping the
// other sections and keys of an existing file. The file is written whole,
// mode 0600, and renamed into place. False, with `error`, when the name is
// not a safe name or the file cannot be written.
bool writeLinkFile(const QString& folder, std::string_view profileName, const linkFileValues& values,
    LinkFileUse use, QString* error = nullptr);
