#pragma once

#include "remote/FtpObject.h"

#include <cstddef>
#include <deque>
#include <span>
#include <vector>

// Entries parsed from one piece of a listing, in listing order, made in one
// allocation rather than one each: a parsing thread's heap grows a page at
// a time, one system call per page, and 100,000 entries cost as much in
// heap growth and page faults as in parsing.
using entryBlock = std::vector<ftpObject>;

// The entries of a session's list in the order shown, kept in the blocks
// they were parsed into: an entry never moves while it is listed, since
// views hold it by its address. An entry taken out keeps its memory until
// the list is cleared.
class entryList
{
public:
    using const_iterator = std::vector<ftpObject*>::const_iterator;

    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    ftpObject* front() const { return entries_.front(); }

    // Those of `wanted` that are listed, each once, in list order.
    std::vector<const ftpObject*> listedAmong(std::span<const ftpObject* const> wanted) const;

    // Keeps `block` for entries to be appended from it, one by one.
    entryBlock& keep(entryBlock block);
    // Appends an entry of a block kept.
    void appendKept(ftpObject& entry) { entries_.push_back(&entry); }
    // Appends an entry of its own.
    ftpObject& append(ftpObject entry);

    void remove(std::span<const ftpObject* const> gone);
    void clear();

private:
    std::vector<ftpObject*> entries_;
    std::deque<entryBlock> blocks_; // where each stays when more are kept
};
