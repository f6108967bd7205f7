#include "session/EntryList.h"

#include <algorithm>

bool entryList::holds(const ftpObject* entry) const
{
    return std::find(entries_.begin(), entries_.end(), entry) != entries_.end();
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
    std::erase_if(entries_,
        [&](const ftpObject* entry) { return std::find(gone.begin(), gone.end(), entry) != gone.end(); });
}

void entryList::clear()
{
    entries_.clear();
    blocks_.clear();
}
