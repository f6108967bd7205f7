#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The index server's wire format: addresses, form bodies and the rules that
// read its replies. Pure functions of their arguments, usable on any thread.

// base + "/" (unless base already ends with one) + path without its leading
// "/". An empty base gives "/" + path.
std::string urlJoin(std::string_view base, std::string_view path);

// Form encoding of the index server: ASCII letters and digits stay, a blank
// becomes "+", every other byte "%" and two upper-case hexadecimal digits.
std::string formEncode(std::string_view text);

// The text of a reply body: a NUL byte ends it.
std::string replyText(std::string_view body);

// The lines of a reply that lists results, up to the first empty line or
// the end; a CR before a line end is dropped.
std::vector<std::string_view> replyLines(std::string_view reply);

// Whether a text from the index server names a host we may connect to: a
// dotted IPv4 address, an IPv6 address, or a host name of letters, digits,
// "-" and "_" in dot-separated labels, at most 253 characters in all.
bool isUsableHost(std::string_view host);

// Whether a reply may serve as the base URL of later requests: "http://", a
// usable host, an optional port from 1 to 65535 and a path of printable
// ASCII, at most 2048 characters. Anything else (an empty reply, an error
// page, a line break that would end up in a request line) is no address.
bool isUsableIndexUrl(std::string_view url);

// ------------------------------------------------------------ request bodies

// Every text value goes into a body form-encoded, so that no value, whatever
// its source, can add a field of its own; ASCII letters and digits pass
// unchanged. Digests must pass isDigestText (common/DigestText.h) before
// they are sent at all.

struct SearchQuery {
    std::string keyword;
    int category = 0; // 0..6, the Start tab's category choice
    std::string country = "UN"; // two letters; "UN": every country
    int results = 0; // 0..2: 50, 100 or 200 results
    int logic = 0; // 0: all keywords, 1: any keyword
};

std::string searchBody(const SearchQuery& query, std::string_view userName, std::string_view password);
std::string resolveUserBody(std::string_view p2pUser, std::string_view userName, std::string_view password);
std::string otherSourcesBody(std::string_view md5, std::string_view userName, std::string_view password);

// A digest record of a file on a server with a fixed address.
struct Md5Report {
    std::string remotePath; // "/folder/file"
    std::uint32_t port = 21;
    std::int64_t size = 0;
    std::string md5;
    std::string dateText; // "" becomes "Jan 1 00:00"
};

std::string publishBody(const Md5Report& report, std::string_view publicAddress);

// ------------------------------------------------------------ reply rules

// resume.php: at least 4 bytes, and not an FTP-like error line ("5xx ...").
bool resumeReplySucceeded(std::string_view reply);

// A P2P user's address: "address*port", the port ending at a further "*"
// or the end, a line end after it ignored. The port is 21 when the reply
// gives none; nothing when the address is no usable host or the port is
// not a number from 1 to 65535.
struct UserAddress {
    std::string address;
    std::uint16_t port = 21;
};
std::optional<UserAddress> parseUserAddress(std::string_view reply);

// getpindex.php: a reply shorter than 4 characters, or whose first three
// read as a number below 300 (a text that is no number counts as 200).
bool updateIndexReplyAccepted(std::string_view reply);

// updatemd5.php: fails when longer than 3 characters and its first three
// read as 300 or more (a text that is no number counts as 500).
bool publishReplySucceeded(std::string_view reply);

// ------------------------------------------------------------ own addresses

// Whether an IPv4 address of this machine can be reached from outside, by
// the index server's rule: not loopback, unspecified, link-local or one of
// the private ranges 10., 172.16-31. and 192.168.
bool isPublicAddress(std::string_view address);

// The first public address of the list ("" when none is).
std::string firstPublicAddress(const std::vector<std::string>& addresses);
