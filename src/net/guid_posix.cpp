// GUIDs for host builds: a version-4 GUID from the system's random source.
#include <cstdint>
#include <cwchar>
#include <random>

#include "net/guid.h"

namespace net {

std::wstring NewGuidText() {
  std::random_device random;
  std::uint8_t b[16];
  for (auto& x : b) x = static_cast<std::uint8_t>(random());
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);
  wchar_t text[39];
  std::swprintf(text, 39, L"{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[0], b[1], b[2],
                b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

}  // namespace net
