#pragma once

#include "common/DigestText.h"

#include <string>
#include <string_view>

// The digest in a reply to "SITE MD5 <path>": the 32 characters after the
// reply code and its blank, upper-cased. zeroDigest when the reply is an
// error (4xx, 5xx), too short, or those characters are not hexadecimal.
std::string digestFromReply(std::string_view reply);
