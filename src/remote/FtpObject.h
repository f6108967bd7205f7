#pragma once

#include "common/FtpSite.h"

#include <QSharedData>
#include <QSharedDataPointer>

#include <cstdint>
#include <string>

// The site profile of an entry. Every entry of a listing refers to the same
// profile, so copying an entry (or filling a million of them) copies a
// reference; `edit()` gives an entry its own copy before the first change.
// Copies may travel between threads: the reference count is atomic and the
// shared profile is never changed in place.
class sharedSite
{
public:
    sharedSite()
        : data_(emptyProfile())
    {
    }
    explicit sharedSite(ftpSite site)
        : data_(new Data(std::move(site)))
    {
    }

    const ftpSite& operator*() const { return data_.constData()->site; }
    const ftpSite* operator->() const { return &data_.constData()->site; }

    // A profile of this entry alone, copied first when others share it.
    ftpSite& edit() { return data_->site; }

    // Whether both refer to the very same profile (no copy was made).
    bool sharesWith(const sharedSite& other) const { return data_.constData() == other.data_.constData(); }

private:
    struct Data : QSharedData {
        Data() = default;
        explicit Data(ftpSite profile)
            : site(std::move(profile))
        {
        }
        ftpSite site;
    };

    static const QSharedDataPointer<Data>& emptyProfile()
    {
        static const QSharedDataPointer<Data> empty(new Data);
        return empty;
    }

    QSharedDataPointer<Data> data_;
};

// Data of a node of a session's remote folder tree; defined by the session.
struct ftpTreeViewObject;

// One remote (or local) file-system entry, as a listing line describes it.
// Texts are bytes (UTF-8 here) exactly as the server sent them.
struct ftpObject {
    enum Kind : std::int32_t { Folder = 0, LinkFile = 1, UnixLink = 2, RegularFile = 3 };

    sharedSite site;
    // Set by the session when the entry is a folder shown in its tree; the
    // tree owns the node.
    ftpTreeViewObject* treeNode = nullptr;
    std::int32_t kind = RegularFile;
    std::string typeText;
    std::string name; // without any folder part
    std::string directory; // the remote folder that holds the entry
    std::int64_t size = 0; // bytes; 0 when the listing gave no usable number
    std::string dateText; // as the listing wrote it, never converted
    std::string rights;
    std::string digest;
};
