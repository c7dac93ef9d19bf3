#include "common/hex.h"

namespace common {
namespace {

int DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

std::wstring ToHex(std::span<const std::uint8_t> bytes, bool upperCase) {
  const wchar_t* kDigits = upperCase ? L"0123456789ABCDEF" : L"0123456789abcdef";
  std::wstring hex;
  hex.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 15]);
  }
  return hex;
}

std::optional<std::vector<std::uint8_t>> ParseHex(std::wstring_view text, std::size_t byteCount) {
  if (text.size() != byteCount * 2) return std::nullopt;
  std::vector<std::uint8_t> bytes(byteCount);
  for (std::size_t i = 0; i < byteCount; ++i) {
    const int high = DigitValue(text[2 * i]);
    const int low = DigitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return bytes;
}

}  // namespace common
