#include "remote/EntryList.h"

#include <algorithm>
#include <unordered_set>

namespace
{

// Sets rather than a search of the list per entry: a selection of the whole
// of a 100,000-entry folder goes at once.
using entrySet = std::unordered_set<const ftpObject*>;

} // namespace

std::vector<const ftpObject*> entryList::listedAmong(std::span<const ftpObject* const> wanted) const
{
    entrySet remaining(wanted.begin(), wanted.end());
    std::vector<const ftpObject*> listed;
    for (const ftpObject* entry : entries_) {
        if (remaining.erase(entry) != 0)
            listed.push_back(entry);
    }
    return listed;
}

entryBlock& entryList::keep(entryBlock block)
{
    // A moved vector keeps its elements where they were.
    return blocks_.emplace_back(std::move(block));
}

ftpObject& entryList::append(ftpObject entry)
{
    entryBlock& own = keep({});
    own.push_back(std::move(entry));
    appendKept(own.front());
    return own.front();
}

void entryList::remove(std::span<const ftpObject* const> gone)
{
    const entrySet going(gone.begin(), gone.end());
    std::erase_if(entries_, [&](const ftpObject* entry) { return going.contains(entry); });
}

void entryList::clear()
{
    entries_.clear();
    blocks_.clear();
}
