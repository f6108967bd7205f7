#include "p2p/IndexProtocol.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>

namespace
{

bool isAsciiAlphanumeric(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// The whole text as a decimal number, or nothing.
template <typename Number> std::optional<Number> decimal(std::string_view text)
{
    Number value {};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

constexpr std::size_t longestHostName = 253;
constexpr std::size_t longestHostLabel = 63;
constexpr std::size_t longestIndexUrl = 2048;

bool isHostNameLabel(std::string_view label)
{
    return !label.empty() && label.size() <= longestHostLabel
        && std::all_of(label.begin(), label.end(),
            [](char c) { return isAsciiAlphanumeric(c) || c == '-' || c == '_'; });
}

bool isHostName(std::string_view host)
{
    if (host.empty() || host.size() > longestHostName)
        return false;
    while (true) {
        const auto dot = host.find('.');
        if (!isHostNameLabel(host.substr(0, dot)))
            return false;
        if (dot == std::string_view::npos)
            return true;
        host.remove_prefix(dot + 1);
    }
}

// An IPv4 or IPv6 address as inet_pton reads it.
bool isIpAddress(std::string_view text)
{
    constexpr std::size_t longestIpAddress = 45;
    if (text.size() > longestIpAddress)
        return false;
    const std::string address(text);
    unsigned char bytes[16];
    return ::inet_pton(AF_INET, address.c_str(), bytes) == 1
        || ::inet_pton(AF_INET6, address.c_str(), bytes) == 1;
}

// Printable ASCII without blanks: what may stand in a request line.
bool isPrintableWord(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < '\x7f'; });
}

// The status-like number the first three characters of a reply read as.
int replyPrefix(std::string_view reply, int whenNoNumber)
{
    return decimal<int>(reply.substr(0, 3)).value_or(whenNoNumber);
}

} // namespace

std::string urlJoin(std::string_view base, std::string_view path)
{
    std::string joined(base);
    if (!joined.ends_with('/'))
        joined += '/';
    if (path.starts_with('/'))
        path.remove_prefix(1);
    joined += path;
    return joined;
}

std::string formEncode(std::string_view text)
{
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (const char c : text) {
        if (isAsciiAlphanumeric(c)) {
            encoded += c;
        } else if (c == ' ') {
            encoded += '+';
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += hexDigits[byte >> 4];
            encoded += hexDigits[byte & 0x0f];
        }
    }
    return encoded;
}

std::string replyText(std::string_view body)
{
    return std::string(body.substr(0, body.find('\0')));
}

std::vector<std::string_view> replyLines(std::string_view reply)
{
    std::vector<std::string_view> lines;
    while (!reply.empty()) {
        const auto end = reply.find('\n');
        std::string_view line = reply.substr(0, end);
        reply = end == std::string_view::npos ? std::string_view() : reply.substr(end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty())
            break;
        lines.push_back(line);
    }
    return lines;
}

bool isUsableHost(std::string_view host)
{
    // A name of digits and dots only must be a whole IPv4 address.
    const bool looksNumeric
        = std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
    return isIpAddress(host) || (!looksNumeric && isHostName(host));
}

bool isUsableIndexUrl(std::string_view url)
{
    constexpr std::string_view scheme = "http://";
    if (url.size() > longestIndexUrl || !isPrintableWord(url) || url.size() < scheme.size()
        || !std::equal(scheme.begin(), scheme.end(), url.begin(),
            [](char wanted, char c) { return wanted == (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }))
        return false;
    std::string_view authority = url.substr(scheme.size());
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const auto colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
        const auto port = decimal<int>(authority.substr(colon + 1));
        if (!port || *port < 1 || *port > 65535)
            return false;
        authority = authority.substr(0, colon);
    }
    return isUsableHost(authority);
}

std::string searchBody(const SearchQuery& query, std::string_view userName, std::string_view password)
{
    return "query=" + formEncode(query.keyword) + "&category=" + std::to_string(query.category)
        + "&country=" + formEncode(query.country) + "&record=" + std::to_string(query.results)
        + "&logic=" + std::to_string(query.logic) + "&username=" + formEncode(userName)
        + "&password=" + formEncode(password);
}

std::string resolveUserBody(std::string_view p2pUser, std::string_view userName, std::string_view password)
{
    return "username=" + formEncode(p2pUser) + "&action=getIPFromUsername&loginusername="
        + formEncode(userName) + "&loginpassword=" + formEncode(password);
}

std::string otherSourcesBody(std::string_view md5, std::string_view userName, std::string_view password)
{
    return "md5=" + formEncode(md5) + "&action=others&loginusername=" + formEncode(userName)
        + "&loginpassword=" + formEncode(password);
}

std::string publishBody(const Md5Report& report, std::string_view publicAddress)
{
    std::string_view path = report.remotePath;
    if (path.ends_with('/'))
        path.remove_suffix(1);
    const auto slash = path.rfind('/');
    const std::string_view folder
        = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
    const std::string_view fileName = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::string_view date = report.dateText.empty() ? std::string_view("Jan 1 00:00") : report.dateText;
    return "protocol=0&filename=" + formEncode(fileName) + "&pathname=" + formEncode(folder)
        + "&ip=" + formEncode(publicAddress) + "&port=" + std::to_string(report.port)
        + "&filesize=" + std::to_string(report.size) + "&md5=" + formEncode(report.md5)
        + "&date=" + formEncode(date) + "&action=update";
}

bool resumeReplySucceeded(std::string_view reply)
{
    return reply.size() >= 4 && !(reply[0] == '5' && reply[3] == ' ');
}

std::optional<UserAddress> parseUserAddress(std::string_view reply)
{
    while (reply.ends_with('\n') || reply.ends_with('\r'))
        reply.remove_suffix(1);
    const auto star = reply.find('*');
    UserAddress result;
    const std::string_view address = reply.substr(0, star);
    if (!isUsableHost(address))
        return std::nullopt;
    result.address = std::string(address);
    if (star == std::string_view::npos)
        return result;
    std::string_view portText = reply.substr(star + 1);
    portText = portText.substr(0, portText.find('*'));
    if (portText.empty())
        return result;
    const auto port = decimal<int>(portText);
    if (!port || *port < 1 || *port > 65535)
        return std::nullopt;
    result.port = static_cast<std::uint16_t>(*port);
    return result;
}

bool updateIndexReplyAccepted(std::string_view reply)
{
    return reply.size() < 4 || replyPrefix(reply, 200) < 300;
}

bool publishReplySucceeded(std::string_view reply)
{
    return reply.size() <= 3 || replyPrefix(reply, 500) < 300;
}

bool isPublicAddress(std::string_view address)
{
    if (address.size() < 7 || address == "127.0.0.1" || address == "0.0.0.0")
        return false;
    if (address.starts_with("192.168") || address.starts_with("169.254") || address.starts_with("10."))
        return false;
    if (address.starts_with("172")) {
        const auto firstDot = address.find('.');
        if (firstDot != std::string_view::npos) {
            std::string_view second = address.substr(firstDot + 1);
            second = second.substr(0, second.find('.'));
            const auto number = decimal<int>(second);
            if (second.size() == 2 && number && *number >= 16 && *number <= 31)
                return false;
        }
    }
    return true;
}

std::string firstPublicAddress(const std::vector<std::string>& addresses)
{
    for (const std::string& address : addresses) {
        if (isPublicAddress(address))
            return address;
    }
    return {};
}
