#pragma once

#include "common/P2pNetwork.h"
#include "remote/FtpObject.h"

#include <string_view>

// One result of a search or of the other-sources request: 12 fields joined by
// "*" (owner's P2P user name, server address, FTP port, speed code,
// persistent flag, country, kind, date, size, folder, name, MD5).

// Whether `line` is a result line: longer than 12 characters with exactly 11 "*".
bool isResultLine(std::string_view line);

// The entry a result line describes, on an anonymous site of `network` that
// answers the MD5 command. `line` must pass isResultLine. Numbers that are
// no numbers, or out of their range, take their defaults (port 21, speed 0,
// size 0, date Jan 1 1970); an MD5 field that is no digest leaves the digest
// empty (unknown).
ftpObject resultLineToObject(
    std::string_view line, const p2pNetwork& network, std::string_view anonymousPassword);
