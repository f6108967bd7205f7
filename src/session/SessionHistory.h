#pragma once

#include "common/FtpSite.h"

#include <vector>

// The back and forward history of a session: copies of the site as it was
// when a folder was listed, the folder being the initial directory.
class sessionHistory
{
public:
    // Drops what lies after the current entry and makes `site` current.
    void record(const ftpSite& site)
    {
        dropForward();
        entries_.push_back(site);
        index_ = static_cast<int>(entries_.size()) - 1;
    }
    void dropForward() { entries_.resize(static_cast<std::size_t>(index_ + 1)); }
    void clear()
    {
        entries_.clear();
        index_ = -1;
    }
    bool canGoBack() const { return index_ > 0; }
    bool canGoForward() const { return index_ < static_cast<int>(entries_.size()) - 1; }
    // Moves to the entry before (after) the current one; null when none.
    const ftpSite* back() { return canGoBack() ? &entries_[static_cast<std::size_t>(--index_)] : nullptr; }
    const ftpSite* forward()
    {
        return canGoForward() ? &entries_[static_cast<std::size_t>(++index_)] : nullptr;
    }

    int index() const { return index_; }
    const std::vector<ftpSite>& entries() const { return entries_; }

private:
    std::vector<ftpSite> entries_;
    int index_ = -1;
};
