#pragma once

#include "transfer/PartPlan.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Joining the part files of a download into its target, and the target's
// MD5 digest as 32 upper-case hexadecimal characters. Local files only; no
// path is followed through a symbolic link.
struct MergeResult {
    std::optional<std::string> digest; // nothing when it failed
    QString error; // why it failed
};

// Part file 0 grows into the result: every further part is copied in at its
// start (by the kernel, without passing through this process) and deleted;
// the result is cut to the file's size, hashed and renamed to `target`.
// Each part file must hold at least its length; bytes beyond are ignored.
// `onPartMerged(i)` follows each part i >= 1.
MergeResult mergeParts(
    const QString& target, const std::vector<FilePart>& parts, const std::function<void(int)>& onPartMerged);

// The digest of a whole local file.
MergeResult fileDigest(const QString& path);
