#include "common/stored_string.h"

#include <algorithm>

#include "common/hex.h"
#include "common/text.h"

namespace common {

TMyStringStream::TMyStringStream(std::wstring_view text) {
  const std::string ansi = WideToAnsi(text);
  data_.assign(ansi.begin(), ansi.end());
}

std::size_t TMyStringStream::Read(std::uint8_t* buffer, std::size_t count) {
  const std::size_t n = MinInt(count, data_.size() - position_);
  std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(position_), n, buffer);
  position_ += n;
  return n;
}

std::size_t TMyStringStream::Write(const std::uint8_t* buffer, std::size_t count) {
  if (position_ + count > data_.size()) data_.resize(position_ + count);
  std::copy_n(buffer, count, data_.begin() + static_cast<std::ptrdiff_t>(position_));
  position_ += count;
  return count;
}

std::wstring TMyStringStream::DataString() const {
  return AnsiToWide(std::string_view(reinterpret_cast<const char*>(data_.data()), data_.size()));
}

std::wstring TMyStringStream::GetHexData() const { return ToHex(data_, /*upperCase=*/true); }

std::wstring DecodeStoredString(std::wstring_view storedHex) {
  const std::wstring plain = DecipherHexText(storedHex, kStoredValueKey);
  const auto isBlank = [](wchar_t c) { return static_cast<unsigned>(c) <= 32; };
  const auto first = std::find_if_not(plain.begin(), plain.end(), isBlank);
  const auto last = std::find_if_not(plain.rbegin(), plain.rend(), isBlank).base();
  return first < last ? std::wstring(first, last) : std::wstring();
}

std::wstring DecipherHexText(std::wstring_view storedHex, std::wstring_view key) {
  try {
    const std::string keyBytes = WideToAnsi(key);
    TMyStringStream input(HexToBytes(storedHex));
    TMyStringStream output;
    std::uint8_t header[4];
    if (input.Read(header, sizeof header) != sizeof header) throw EStreamError("Stream read error");
    TBlock keyBlock{};
    std::copy_n(keyBytes.begin(), MinInt(16, keyBytes.size()), keyBlock.begin());
    DecryptStreamBlocks(input, input.Size() - input.Position(), keyBlock, output);
    return output.DataString();
  } catch (const std::exception&) {
    return {};
  }
}

std::vector<std::uint8_t> HexToBytes(std::wstring_view hex) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(hex.size() / 2 + 1);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(HexPairToByte(hex.substr(i, 2)) & 0xFF));
  }
  return bytes;
}

int HexPairToByte(std::wstring_view pair) {
  const auto digit = [&](std::size_t i) {
    if (i >= pair.size()) return -1;
    const wchar_t c = pair[i];
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
  };
  return 16 * digit(0) + digit(1);
}

void DecryptStreamBlocks(TMyStringStream& input, std::size_t count, const TBlock& key, TMyStringStream& output) {
  const crypto::Aes roundKeys = BuildDecryptionKeySchedule(key);
  if (count == 0) {
    input.SetPosition(0);
    count = input.Size();
  } else {
    count = MinInt(count, input.Size() - input.Position());
  }
  if (count == 0) return;
  if (count % 16 != 0) throw EAESError("Invalid buffer size for decryption");
  for (; count >= 16; count -= 16) {
    TBlock block;
    if (input.Read(block.data(), block.size()) != block.size()) throw EStreamError("Stream read error");
    const TBlock plain = DecryptBlock(block, roundKeys);
    if (output.Write(plain.data(), plain.size()) != plain.size()) throw EStreamError("Stream write error");
  }
}

crypto::Aes BuildDecryptionKeySchedule(const TBlock& key) { return crypto::Aes(key); }

TBlock DecryptBlock(const TBlock& input, const crypto::Aes& roundKeys) {
  TBlock output;
  if (!roundKeys.Decrypt(input, output)) throw EAESError("AES decryption failed");
  return output;
}

}  // namespace common
