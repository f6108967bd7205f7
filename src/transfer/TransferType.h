#pragma once

#include <string>
#include <string_view>
#include <vector>

// FTP transfer types as the worker tracks them (the values of the Mode
// setting for ASCII and binary).
enum class TransferType : int { Unknown = -1, Ascii = 1, Binary = 2 };

// The type a file is sent or fetched in. `mode` is the Mode setting (0
// automatic, 1 ASCII, 2 binary); in automatic mode a file whose extension
// (after the last "." of its name) equals one of `asciiTypes`, ignoring
// case, goes as ASCII, every other file as binary.
TransferType wantedTransferType(int mode, const std::vector<std::string>& asciiTypes, std::string_view path);
