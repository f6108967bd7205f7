#pragma once

#include "transfer/TransferRequest.h"

#include <optional>
#include <string>
#include <string_view>

// The text forms of transfer entries, as the actions list's store and the
// directory cache write them, fields joined by "?":
//   remote file or link   digest ? date text ? path ? size
//   remote folder         date text ? path
//   upload file           local path ? size
//   upload folder         local path
// A date never holds "?" and a size is the text after the last one, so a
// "?" inside a path does no harm once the form is known; the text alone
// cannot tell it (an upload's folder is a bare path).
enum class EntryForm { RemoteFile, RemoteFolder, UploadFile, UploadFolder };

// The form of each list of an operation of `kind` (links are remote files).
EntryForm fileEntryForm(OperationKind kind);
EntryForm folderEntryForm(OperationKind kind);

// A digest shorter than 32 characters is not a digest: zeroDigest stands in.
std::string entryText(const TransferEntry& entry, EntryForm form);
// Nothing when a file's text has no size after its last "?".
std::optional<TransferEntry> parseEntryText(std::string_view text, EntryForm form);

// A number of decimal digits only, within 64 bits.
std::optional<std::uint64_t> parseSize(std::string_view text);
