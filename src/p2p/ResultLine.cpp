#include "p2p/ResultLine.h"

#include "common/DigestText.h"
#include "remote/FileTypeText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

namespace
{

constexpr int fieldCount = 12;
using ResultFields = std::array<std::string_view, fieldCount>;

ResultFields splitFields(std::string_view line)
{
    ResultFields fields;
    for (int i = 0; i < fieldCount - 1; ++i) {
        const auto star = line.find('*');
        fields[i] = line.substr(0, star);
        line.remove_prefix(star + 1);
    }
    fields[fieldCount - 1] = line;
    return fields;
}

// The whole text as a number from `low` to `high`, or nothing.
std::optional<std::int64_t> numberIn(std::string_view text, std::int64_t low, std::int64_t high)
{
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

// "20240315..." -> "Mar 15 2024": the date as listings show it.
std::string dateTextOf(std::string_view date)
{
    static constexpr std::array<std::string_view, 12> months { "Jan ", "Feb ", "Mar ", "Apr ", "May ", "Jun ",
        "Jul ", "Aug ", "Sep ", "Oct ", "Nov ", "Dec " };
    const auto part = [&](std::size_t from, std::size_t length) {
        return from < date.size() ? date.substr(from, length) : std::string_view();
    };
    const std::int64_t year = numberIn(part(0, 4), INT64_MIN, INT64_MAX).value_or(1970);
    const std::int64_t month = numberIn(part(4, 2), INT64_MIN, INT64_MAX).value_or(1);
    const std::int64_t day = numberIn(part(6, 2), INT64_MIN, INT64_MAX).value_or(1);
    std::string text;
    if (month >= 1 && month <= 12)
        text = months[static_cast<std::size_t>(month - 1)];
    return text + std::to_string(day) + ' ' + std::to_string(year);
}

ftpSite siteOf(const ResultFields& fields, const p2pNetwork& network, std::string_view anonymousPassword)
{
    ftpSite site;
    site.persistent = numberIn(fields[4], INT64_MIN, INT64_MAX).value_or(0) != 0;
    site.p2pUserName = fields[0];
    site.hostAddress = fields[1];
    site.displayAddress = site.persistent ? fields[1] : fields[0];
    site.name = site.persistent ? std::string(fields[1]) : "<" + std::string(fields[0]) + ">";
    site.port = static_cast<std::uint32_t>(numberIn(fields[2], 1, 65535).value_or(21));
    site.connectionSpeed = static_cast<int>(numberIn(fields[3], 0, 8).value_or(0));
    site.country = fields[5];
    site.anonymous = true;
    site.userId = "anonymous";
    site.password = anonymousPassword;
    site.supportsMd5 = true;
    site.pingMs = ftpSite::unmeasuredPing;
    site.network = network;
    return site;
}

} // namespace

bool isResultLine(std::string_view line)
{
    return line.size() > 12 && std::count(line.begin(), line.end(), '*') == fieldCount - 1;
}

ftpObject resultLineToObject(
    std::string_view line, const p2pNetwork& network, std::string_view anonymousPassword)
{
    const ResultFields fields = splitFields(line);
    ftpObject entry;
    entry.site = sharedSite(siteOf(fields, network, anonymousPassword));
    entry.name = fields[10];
    entry.directory = fields[9];
    entry.size = numberIn(fields[8], 0, INT64_MAX).value_or(0);
    entry.dateText = dateTextOf(fields[7]);
    entry.rights = std::string(fields[6]) + "rwxr--r--";
    // A digest field that is no digest is an unknown digest.
    if (isDigestText(fields[11]))
        entry.digest = fields[11];
    const std::string_view kind = fields[6];
    if (kind == "d") {
        entry.kind = ftpObject::Folder;
        entry.typeText = typeTexts::folder;
    } else if (kind == "-" && extensionOf(entry.name) == ".wkt") {
        entry.kind = ftpObject::LinkFile;
        entry.typeText = typeTexts::linkFile;
    } else if (kind == "-") {
        entry.kind = ftpObject::RegularFile;
        entry.typeText = fileTypeText(entry.name, nullptr);
    } else {
        entry.kind = ftpObject::UnixLink;
        entry.typeText = typeTexts::unixLink;
    }
    return entry;
}
