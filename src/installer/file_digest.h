// Checks a downloaded package against the SHA-256 digest that the server announced for it.
#pragma once

#include <string>

namespace installer {

// The file's SHA-256 digest as 64 lower-case hexadecimal digits; empty when it cannot be read.
std::wstring FileSha256Hex(const std::wstring& path);

// True when the file's SHA-256 digest equals expectedHex (64 hexadecimal digits, either letter
// case). False when the file cannot be read or expectedHex is not such a digest.
bool FileSha256Matches(const std::wstring& path, const std::wstring& expectedHex);

}  // namespace installer
