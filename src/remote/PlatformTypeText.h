#pragma once

#include <string>
#include <string_view>

// The platform's description of the type of a file with this name, from the
// MIME database by name alone ("Unknown Type" when nothing more specific
// than the default type matches). Any thread.
//
// The answer is remembered for all names that the database's patterns cannot
// tell apart: those alike in their extension and in the end that patterns
// such as "*.tar.gz" see. Names that a pattern of another form ("Makefile",
// "README*", ...) might match are always looked up, so the texts are the
// same as asking the database every time. Its patterns are read once per run.
std::string platformTypeText(std::string_view name);
