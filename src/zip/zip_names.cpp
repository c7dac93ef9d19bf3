#include "zip/zip_names.h"

#include <algorithm>
#include <cstdint>
#include <zlib.h>

#include "common/text.h"

namespace zip {
namespace {

constexpr std::uint16_t kUnicodePathField = 0x7075;

std::uint16_t Le16(const char* p) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(p[0]) | (static_cast<std::uint8_t>(p[1]) << 8));
}

// The UTF-8 name of a Unicode path field (version 1) whose CRC-32 matches the stored name.
bool UnicodePath(std::string_view raw, std::string_view extra, std::string_view& utf8) {
  std::size_t i = 0;
  while (i + 4 <= extra.size()) {
    const std::uint16_t id = Le16(&extra[i]);
    const std::uint16_t size = Le16(&extra[i + 2]);
    i += 4;
    if (i + size > extra.size()) return false;
    if (id == kUnicodePathField && size >= 5 && extra[i] == 1) {
      const auto* p = reinterpret_cast<const std::uint8_t*>(&extra[i + 1]);
      const std::uint32_t stored = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
      const auto actual = static_cast<std::uint32_t>(
          crc32(0, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uInt>(raw.size())));
      if (stored != actual) return false;
      utf8 = extra.substr(i + 5, size - 5);
      return true;
    }
    i += size;
  }
  return false;
}

}  // namespace

std::wstring DecodeZipEntryName(std::string_view raw, bool utf8Flag, std::string_view centralExtra) {
  if (utf8Flag) return common::Utf8ToWide(raw);
  std::string_view utf8;
  if (UnicodePath(raw, centralExtra, utf8)) return common::Utf8ToWide(utf8);
  return OemToWide(raw);
}

bool NameDependsOnCodePage(std::string_view raw, bool utf8Flag, std::wstring_view decoded) {
  if (utf8Flag) return false;
  const bool ascii = std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return !ascii && decoded == OemToWide(raw);  // a Unicode path field would have given other text
}

}  // namespace zip
