// Values that the executable keeps only enciphered: upper-case hex text of a 4-byte little-endian
// length followed by the zero-filled plain bytes, each 16-byte block enciphered on its own with
// AES-128 (ECB). This module turns such a text back into plain text; the maker's tool
// tools/encode_stored.cpp does the inverse.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/crypto.h"

namespace common {

// Key text of the configuration values stored enciphered in this program.
inline constexpr std::wstring_view kStoredValueKey = L"7";

class EAESError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An in-memory byte stream with a read/write position.
class TMyStringStream {
 public:
  TMyStringStream() = default;
  explicit TMyStringStream(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}
  explicit TMyStringStream(std::wstring_view text);  // the text's ANSI bytes

  std::size_t Size() const { return data_.size(); }
  std::size_t Position() const { return position_; }
  void SetPosition(std::size_t position) { position_ = position < data_.size() ? position : data_.size(); }

  // Reads up to count bytes at the position; returns how many were read.
  std::size_t Read(std::uint8_t* buffer, std::size_t count);
  // Writes at the position, growing the buffer as needed; returns how many were written.
  std::size_t Write(const std::uint8_t* buffer, std::size_t count);

  const std::vector<std::uint8_t>& Bytes() const { return data_; }
  std::wstring DataString() const;  // the whole content as ANSI text
  std::wstring GetHexData() const;  // the whole content as upper-case hex, two digits a byte

 private:
  std::vector<std::uint8_t> data_;
  std::size_t position_ = 0;
};

using TBlock = std::array<std::uint8_t, 16>;

// Plain text of a stored value, with the zero fill and surrounding white space removed.
std::wstring DecodeStoredString(std::wstring_view storedHex);

// Plain text (zero fill kept) of storedHex under the key text; empty text when anything fails.
std::wstring DecipherHexText(std::wstring_view storedHex, std::wstring_view key);

// Two digits a byte, high nibble first; at an odd length the last digit stands alone.
std::vector<std::uint8_t> HexToBytes(std::wstring_view hex);

// 16 x first + second, each digit 0..15 for '0'..'9' and 'A'..'F' and -1 for anything else
// (lower-case digits included) or a missing second character.
int HexPairToByte(std::wstring_view pair);

// Deciphers count bytes (0: the whole input from its start) block by block into output.
// Raises EAESError when the count is not whole blocks, EStreamError when the streams fail.
void DecryptStreamBlocks(TMyStringStream& input, std::size_t count, const TBlock& key, TMyStringStream& output);

// The AES-128 decryption schedule for the key.
crypto::Aes BuildDecryptionKeySchedule(const TBlock& key);

TBlock DecryptBlock(const TBlock& input, const crypto::Aes& roundKeys);

inline std::size_t MinInt(std::size_t a, std::size_t b) { return a < b ? a : b; }

}  // namespace common
