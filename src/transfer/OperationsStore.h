#pragma once

#include "transfer/FtpOperation.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

// The operations kept across runs, in sections "Operations" and
// "Operation<N>" of the registry store. Main thread only.
class operationsStore
{
public:
    explicit operationsStore(QString registryPath);

    // Reads every stored operation in order. An anonymous site gets the user
    // "anonymous" and `anonymousPassword`. Remembers how many sections there
    // were, so that storing can erase them.
    std::vector<std::unique_ptr<ftpOperationObject>> loadAll(const std::string& anonymousPassword);
    // Stored operations the last loadAll left out, beyond the most it reads.
    std::uint64_t leftOut() const { return leftOut_; }

    // Replaces the stored operations with `operations`, in their order, and
    // writes the store atomically. False (with `error`) when it cannot be
    // written; the previous store is then intact.
    bool storeAll(const std::vector<const ftpOperationObject*>& operations, QString* error = nullptr);

private:
    QString path_;
    // Sections that may exist on disk: those read at start plus every one
    // written since, so no stale section outlives a shrinking list.
    std::uint64_t knownSections_ = 0;
    std::uint64_t leftOut_ = 0;
};
