// Hexadecimal text of byte strings, for digests, keys and signatures that travel as text (the
// configuration, API answers, the maker's tools). Strict: a value has exactly its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace common {

// Two digits a byte, high nibble first; lower-case letters unless upperCase.
std::wstring ToHex(std::span<const std::uint8_t> bytes, bool upperCase = false);

// The byteCount bytes written as exactly 2 x byteCount hexadecimal digits of either letter case;
// nullopt for any other text (other lengths, blanks, signs, a "0x" prefix).
std::optional<std::vector<std::uint8_t>> ParseHex(std::wstring_view text, std::size_t byteCount);

}  // namespace common
