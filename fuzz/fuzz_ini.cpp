// Ini texts (settings, the registry store, link files): parsed, written
// back and parsed again to the same values, and read as a link file.

#include "FuzzInput.h"

#include "common/IniFile.h"
#include "common/LinkFile.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t mode = input.takeByte();
    const std::string_view text = input.rest();

    const IniFile first = IniFile::fromText(QStringLiteral("/nonexistent/fuzz.ini"), text);
    const std::string written = first.text();
    const IniFile second = IniFile::fromText(QStringLiteral("/nonexistent/fuzz.ini"), written);
    // Writing is stable: what was written reads back as it was written. A
    // text its escapes take beyond the reader's limits is never written
    // (update() refuses it), so there is nothing to read back.
    if (second.readProblem().isEmpty()) {
        FUZZ_CHECK(second.text() == written);
        for (const char* key : { "Address", "Port", "UserID", "Password", "Count", "File0" }) {
            for (const char* section : { "Zelta Link", "Connection", "Operations", "Operation0" })
                FUZZ_CHECK(first.value(section, key) == second.value(section, key));
        }
    }

    const auto use = (mode & 1) != 0 ? LinkFileUse::Session : LinkFileUse::Bookmark;
    QString error;
    if (const auto site = parseLinkFile(text, "fuzz.wkt", use, "guest@example.org", &error)) {
        FUZZ_CHECK(site->port >= 1 && site->port <= 65535);
        FUZZ_CHECK(text.size() <= linkFiles::maxFileSize);
    } else {
        FUZZ_CHECK(!error.isEmpty());
    }
    return 0;
}
