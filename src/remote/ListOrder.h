#pragma once

#include "remote/FtpObject.h"

#include <QCollatorSortKey>
#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// The order of the program's entry lists. A sort key's absolute value picks
// the column, its sign the direction: 1 Name, 2 Size, 3 Date, 4 Type,
// 6 Rights (5 and 7..9 belong to the search results list). The header
// click's shared flag belongs to the main thread; everything else runs on
// any thread.
namespace listOrder
{
inline constexpr int nameKey = 1;
inline constexpr int sizeKey = 2;
inline constexpr int dateKey = 3;
inline constexpr int typeKey = 4;
inline constexpr int rightsKey = 6;
// A new frame's remote list: folders first.
inline constexpr int initialKey = -typeKey;

// A listing's date text read for comparing: "Mar 14 10:22" (time form,
// later than any year form) or "Mar 14 2003" (year form).
struct dateValue {
    bool timeForm = false;
    int year = 0;
    int day = 0; // day of month + 31 x month index
    int hours = 0;
    int minutes = 0;
};
dateValue readDate(std::string_view text);
// Negative when `a` is the earlier date.
int compareDates(const dateValue& a, const dateValue& b);

// An entry with what its comparisons need worked out once, so that sorting
// a large folder compares prepared values only.
struct sortable {
    const ftpObject* entry = nullptr;
    QString caption; // the name as shown
    // Case-insensitive, by the locale. Held through a pointer: Qt's key has
    // no move, and merges and sorts move every row.
    std::shared_ptr<const QCollatorSortKey> nameKey;
    QString foldedType;
    dateValue date;
    // Copied from the entry: a sort then reads the rows alone.
    std::int64_t size = 0;
    std::int32_t kind = 0;
    int rightsClass = 0; // by the rights' first character: "d" 3, "l" 2, "-" 1, else 0
    // The places of the name, the caption and the type among the rows
    // ranked together (equal texts share a place); see rank().
    int nameRank = 0;
    int captionRank = 0;
    int typeRank = 0;
};
sortable prepare(const ftpObject& entry);

// What prepare() reads of an entry, copied: another thread prepares the
// copy while the session may change or drop the entry itself.
struct entryFields {
    const ftpObject* entry = nullptr; // not read through
    std::string name, typeText, dateText, rights;
    std::int64_t size = 0;
    std::int32_t kind = 0;
};
entryFields fieldsOf(const ftpObject& entry);
sortable prepare(const entryFields& fields);

// Negative when `a` comes first under `key`.
int compare(const sortable& a, const sortable& b, int key);

// The texts a key's comparison reads, as flags for rank().
enum rankedText : int { rankedNames = 1, rankedCaptions = 2, rankedTypes = 4 };
int textsOf(int key);
// Numbers the given texts of `rows` in their order, so that sorting them
// again compares integers only.
void rank(std::span<sortable> rows, int texts);
// compare() on what rank() gave the rows: the same answer, faster.
int compareRanked(const sortable& a, const sortable& b, int key);

// A click on a column header: one direction flag shared by every list of
// the program turns each click's key positive, then negative, and so on.
int keyForHeaderClick(int column);
// Starts the shared flag over (tests).
void resetHeaderClicks();
} // namespace listOrder
