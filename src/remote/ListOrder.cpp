#include "remote/ListOrder.h"

#include "net/VisibleText.h"

#include <QCollator>

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

namespace listOrder
{
namespace
{

// Only "Jan" to "Nov" have their own index; every other word counts as the
// twelfth month, as the listings' own order has always treated it.
int monthIndex(std::string_view word)
{
    static constexpr std::array<std::string_view, 11> months
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov" };
    for (size_t index = 0; index < months.size(); ++index) {
        if (months[index] == word)
            return static_cast<int>(index);
    }
    return 11;
}

// The whole text as a decimal number, or `fallback`.
int numberOr(std::string_view text, int fallback)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty() ? value : fallback;
}

int dayAfterMonth(std::string_view text)
{
    std::string_view rest = text.substr(3);
    const size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos)
        return 1;
    rest.remove_prefix(start);
    return numberOr(rest.substr(0, rest.find(' ')), 1);
}

int typeScore(std::int32_t kind)
{
    switch (kind) {
    case ftpObject::Folder:
        return 4;
    case ftpObject::LinkFile:
        return 3;
    case ftpObject::UnixLink:
        return 2;
    default:
        return 0;
    }
}

int rightsRank(std::string_view rights)
{
    if (rights.empty())
        return 0;
    switch (rights.front()) {
    case 'd':
        return 3;
    case 'l':
        return 2;
    case '-':
        return 1;
    default:
        return 0;
    }
}

template <typename T> int threeWay(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int sign(int value)
{
    return threeWay(value, 0);
}

QCollator& nameCollator()
{
    thread_local QCollator collator = [] {
        QCollator made;
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    return collator;
}

// The rules of the negative keys, on the texts themselves or on their
// ranks; the positive key mirrors them.
struct byTexts {
    static int names(const sortable& a, const sortable& b) { return sign(a.nameKey->compare(*b.nameKey)); }
    static int types(const sortable& a, const sortable& b)
    {
        return sign(QString::compare(a.foldedType, b.foldedType, Qt::CaseSensitive));
    }
    static int captions(const sortable& a, const sortable& b)
    {
        return sign(QString::compare(a.caption, b.caption, Qt::CaseSensitive));
    }
};

struct byRanks {
    static int names(const sortable& a, const sortable& b) { return threeWay(a.nameRank, b.nameRank); }
    static int types(const sortable& a, const sortable& b) { return threeWay(a.typeRank, b.typeRank); }
    static int captions(const sortable& a, const sortable& b)
    {
        return threeWay(a.captionRank, b.captionRank);
    }
};

template <typename Texts> int compareAscending(const sortable& a, const sortable& b, int column)
{
    switch (column) {
    case nameKey:
        return Texts::names(a, b);
    case sizeKey:
        return threeWay(a.size, b.size);
    case dateKey:
        return compareDates(a.date, b.date);
    case typeKey: {
        // The ±1 of the type texts can cancel the score difference of one
        // between link files and UNIX links, which then interleave by name.
        const int value = typeScore(b.kind) - typeScore(a.kind) + Texts::types(a, b);
        return value != 0 ? value : Texts::names(a, b);
    }
    case rightsKey: {
        const int byRank = threeWay(a.rightsClass, b.rightsClass);
        return byRank != 0 ? byRank : Texts::captions(a, b);
    }
    default:
        return 0;
    }
}

bool headerFlag = false;

} // namespace

dateValue readDate(std::string_view text)
{
    dateValue date;
    if (text.size() < 4) {
        date.year = 2002;
        date.day = 1;
        return date;
    }
    date.day = dayAfterMonth(text) + 31 * monthIndex(text.substr(0, 3));
    date.timeForm = text.find(':') != std::string_view::npos;
    if (date.timeForm) {
        const std::string_view time = text.substr(text.size() >= 5 ? text.size() - 5 : 0);
        date.hours = numberOr(time.substr(0, 2), 0);
        date.minutes = numberOr(time.substr(time.size() >= 2 ? time.size() - 2 : 0), 0);
    } else {
        date.year = numberOr(text.substr(text.size() - 4), 0);
    }
    return date;
}

int compareDates(const dateValue& a, const dateValue& b)
{
    if (a.timeForm != b.timeForm)
        return a.timeForm ? 1 : -1;
    if (!a.timeForm) {
        const int byYear = threeWay(a.year, b.year);
        return byYear != 0 ? byYear : threeWay(a.day, b.day);
    }
    if (const int byDay = threeWay(a.day, b.day); byDay != 0)
        return byDay;
    const int byHour = threeWay(a.hours, b.hours);
    return byHour != 0 ? byHour : threeWay(a.minutes, b.minutes);
}

namespace
{

sortable prepared(const ftpObject* entry, std::string_view name, std::string_view typeText,
    std::string_view dateText, std::string_view rights, std::int64_t size, std::int32_t kind)
{
    QString caption = decodeRemoteText(name);
    // Folded first: a collator of the C locale would otherwise tell case apart.
    auto key = std::make_shared<const QCollatorSortKey>(nameCollator().sortKey(caption.toCaseFolded()));
    return sortable { entry, std::move(caption), std::move(key),
        QString::fromUtf8(typeText.data(), static_cast<qsizetype>(typeText.size())).toCaseFolded(),
        readDate(dateText), size, kind, rightsRank(rights) };
}

} // namespace

sortable prepare(const ftpObject& entry)
{
    return prepared(&entry, entry.name, entry.typeText, entry.dateText, entry.rights, entry.size, entry.kind);
}

entryFields fieldsOf(const ftpObject& entry)
{
    return entryFields { &entry, entry.name, entry.typeText, entry.dateText, entry.rights, entry.size,
        entry.kind };
}

sortable prepare(const entryFields& fields)
{
    return prepared(
        fields.entry, fields.name, fields.typeText, fields.dateText, fields.rights, fields.size, fields.kind);
}

int compare(const sortable& a, const sortable& b, int key)
{
    return key < 0 ? compareAscending<byTexts>(a, b, -key) : compareAscending<byTexts>(b, a, key);
}

int compareRanked(const sortable& a, const sortable& b, int key)
{
    return key < 0 ? compareAscending<byRanks>(a, b, -key) : compareAscending<byRanks>(b, a, key);
}

int textsOf(int key)
{
    switch (key < 0 ? -key : key) {
    case nameKey:
        return rankedNames;
    case typeKey:
        return rankedNames | rankedTypes;
    case rightsKey:
        return rankedCaptions;
    default:
        return 0;
    }
}

void rank(std::span<sortable> rows, int texts)
{
    std::vector<sortable*> order(rows.size());
    std::transform(rows.begin(), rows.end(), order.begin(), [](sortable& row) { return &row; });
    const auto number = [&](auto compareTexts, int sortable::*place) {
        std::sort(order.begin(), order.end(),
            [&](const sortable* a, const sortable* b) { return compareTexts(*a, *b) < 0; });
        int at = 0;
        for (size_t index = 0; index < order.size(); ++index) {
            if (index > 0 && compareTexts(*order[index - 1], *order[index]) != 0)
                at = static_cast<int>(index);
            order[index]->*place = at;
        }
    };
    if (texts & rankedNames)
        number(byTexts::names, &sortable::nameRank);
    if (texts & rankedCaptions)
        number(byTexts::captions, &sortable::captionRank);
    if (texts & rankedTypes)
        number(byTexts::types, &sortable::typeRank);
}

int keyForHeaderClick(int column)
{
    headerFlag = !headerFlag;
    return headerFlag ? column : -column;
}

void resetHeaderClicks()
{
    headerFlag = false;
}

} // namespace listOrder
