#pragma once

#include <string>
#include <string_view>

// The platform's description of the type of a file with this name, from the
// MIME database by name alone ("Unknown Type" when nothing more specific
// than the default type matches). Any thread.
//
// The answer for most names depends on their extension only, so it is
// remembered per extension; names that one of the database's other patterns
// ("Makefile", "*.tar.gz", "README*", ...) might match are always looked up,
// so the texts are the same as asking the database every time. The database
// is read once per run.
std::string platformTypeText(std::string_view name);
