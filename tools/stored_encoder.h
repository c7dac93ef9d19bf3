// The inverse of the stored-string cipher, for the maker's tools and the tests; the installer
// itself carries no encoder.
#pragma once

#include <string>
#include <string_view>

namespace tools {

// A 4-byte little-endian byte length, the text's ANSI bytes filled up with zeros to whole 16-byte
// blocks (at least one), each block enciphered with AES-128 on its own under the key text's first
// 16 ANSI bytes (zero-filled), all written as upper-case hex.
std::wstring EncodeStoredString(std::wstring_view plain, std::wstring_view key);

}  // namespace tools
