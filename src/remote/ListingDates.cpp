#include "remote/ListingDates.h"

#include <algorithm>
#include <array>

namespace
{

constexpr std::array<std::string_view, 12> monthNames
    = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text)
{
    for (const char c : text) {
        if (!isDigit(c))
            return false;
    }
    return !text.empty();
}

// The value of a short run of digits.
int valueOf(std::string_view digits)
{
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

bool isTwoDigits(std::string_view text, int low, int high)
{
    if (text.size() != 2 || !allDigits(text))
        return false;
    const int value = valueOf(text);
    return value >= low && value <= high;
}

bool isMonthNumber(std::string_view text)
{
    return isTwoDigits(text, 1, 12);
}

bool isDayNumber(std::string_view text)
{
    return isTwoDigits(text, 1, 31);
}

bool isYear(std::string_view text)
{
    return text.size() == 4 && allDigits(text);
}

// Up to three runs of digits joined by one separator, the same between all
// of them: "2005-06-07", "09/26".
struct digitGroups {
    std::array<std::string_view, 3> group {};
    std::size_t count = 0;
    char separator = 0;
};

std::optional<digitGroups> digitGroupsOf(std::string_view word, std::string_view separators)
{
    digitGroups groups;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= word.size(); ++at) {
        if (at < word.size() && isDigit(word[at]))
            continue;
        if (at == start || groups.count == groups.group.size())
            return std::nullopt;
        groups.group[groups.count++] = word.substr(start, at - start);
        if (at == word.size())
            break;
        const char separator = word[at];
        if (separators.find(separator) == std::string_view::npos
            || (groups.separator != 0 && separator != groups.separator))
            return std::nullopt;
        groups.separator = separator;
        start = at + 1;
    }
    return groups;
}

bool isYearMonthDay(const digitGroups& date)
{
    return date.count == 3 && isYear(date.group[0]) && isMonthNumber(date.group[1])
        && isDayNumber(date.group[2]);
}

// "2005-06-07", "1999/10/12", "24-04-2003", "24.04.2003", "09-26".
bool isNumericDate(std::string_view word)
{
    if (word.empty() || !isDigit(word.front()))
        return false;
    const auto date = digitGroupsOf(word, "-/.");
    if (!date)
        return false;
    const auto& group = date->group;
    if (date->count == 2)
        return date->separator == '-' && isMonthNumber(group[0]) && isDayNumber(group[1]);
    // Day and month come in either order before the year.
    const bool dayMonthYear = date->count == 3 && isDayNumber(group[0]) && isDayNumber(group[1])
        && (isMonthNumber(group[0]) || isMonthNumber(group[1])) && isYear(group[2]);
    return dayMonthYear || isYearMonthDay(*date);
}

bool isIsoDate(std::string_view word)
{
    const auto date = digitGroupsOf(word, "-");
    return date && isYearMonthDay(*date);
}

struct clockTime {
    std::size_t length = 0; // 0: none
    int hour = 0;
};

// "H:MM" or "HH:MM" at the start of the word.
clockTime clockTimeAt(std::string_view word)
{
    // Every "ls -l" line asks, so this reads the characters directly.
    const std::size_t colon = word.size() >= 4 && word[1] == ':' ? 1
        : word.size() >= 5 && word[2] == ':'                     ? 2
                                                                 : 0;
    if (colon == 0 || !isDigit(word[0]) || (colon == 2 && !isDigit(word[1])))
        return {};
    const char tens = word[colon + 1];
    if (tens < '0' || tens > '5' || !isDigit(word[colon + 2]))
        return {};
    const int hour = colon == 1 ? word[0] - '0' : (word[0] - '0') * 10 + (word[1] - '0');
    if (hour > 23)
        return {};
    return { colon + 3, hour };
}

bool isClockTime(std::string_view word)
{
    const auto time = clockTimeAt(word);
    return time.length != 0 && time.length == word.size();
}

// "21:22:33", "21:22:33.123456789".
bool isTimeWithSeconds(std::string_view word)
{
    const auto time = clockTimeAt(word);
    if (time.length == 0 || word.size() < time.length + 3 || word[time.length] != ':'
        || !isTwoDigits(word.substr(time.length + 1, 2), 0, 60))
        return false;
    const std::string_view fraction = word.substr(time.length + 3);
    return fraction.empty() || (fraction.front() == '.' && allDigits(fraction.substr(1)));
}

// "+0200", "-0500".
bool isTimeZone(std::string_view word)
{
    return word.size() == 5 && (word.front() == '+' || word.front() == '-') && allDigits(word.substr(1));
}

// "3", "10", "3." or "3日": the day of a date whose month is a word.
bool isDayWord(std::string_view word)
{
    if (word.empty() || !isDigit(word[0]))
        return false;
    const std::size_t digits = word.size() > 1 && isDigit(word[1]) ? 2 : 1;
    const int day = digits == 1 ? word[0] - '0' : (word[0] - '0') * 10 + (word[1] - '0');
    if (day < 1 || day > 31)
        return false;
    return word.size() == digits
        || word.substr(digits).find_first_of("0123456789:") == std::string_view::npos;
}

bool holdsColon(std::string_view word)
{
    return std::find(word.begin(), word.end(), ':') != word.end();
}

} // namespace

unixDateShape unixDateShapeOf(std::string_view first, std::string_view second, std::string_view third)
{
    if (isNumericDate(first)) {
        if (isClockTime(second))
            return { 2, 1 };
        if (!isIsoDate(first))
            return {};
        if (isTimeWithSeconds(second) && isTimeZone(third))
            return { 3, 1 };
        // GNU ls pads its iso style's older dates with one space to the
        // width of the recent ones ("03-30 23:45").
        return { 1, 2 };
    }
    // The day comes second in most languages ("Mar 3"), first in some ("3. Mär").
    const bool monthAndDay
        = (isDayWord(second) && !holdsColon(first)) || (isDayWord(first) && !holdsColon(second));
    if (monthAndDay && (isClockTime(third) || isYear(third)))
        return { 3, 1 };
    return {};
}

std::optional<std::string> dosDateText(std::string_view column)
{
    const auto date = digitGroupsOf(column, "-");
    if (!date || date->count != 3)
        return std::nullopt;
    const auto& group = date->group;
    const bool yearFirst = group[0].size() == 4;
    const std::string_view month = yearFirst ? group[1] : group[0];
    const std::string_view day = yearFirst ? group[2] : group[1];
    const std::string_view year = yearFirst ? group[0] : group[2];
    if (!isMonthNumber(month) || !isDayNumber(day) || (year.size() != 2 && year.size() != 4))
        return std::nullopt;

    std::string text;
    text.reserve(11);
    text += monthNames[static_cast<std::size_t>(valueOf(month) - 1)];
    text += ' ';
    text += day;
    text += ' ';
    if (year.size() == 2)
        text += year > "69" ? "19" : "20";
    text += year;
    return text;
}

bool isDosTime(std::string_view column)
{
    const auto time = clockTimeAt(column);
    if (time.length == 0)
        return false;
    const std::string_view suffix = column.substr(time.length);
    if (suffix.empty())
        return true;
    const bool halfDay = suffix.size() == 2
        && (suffix[0] == 'A' || suffix[0] == 'P' || suffix[0] == 'a' || suffix[0] == 'p')
        && (suffix[1] == 'M' || suffix[1] == 'm');
    return halfDay && time.hour <= 12;
}
