#include "system/registry.h"

namespace sys::reg {

std::vector<std::uint8_t> StringData(std::wstring_view text) {
  std::vector<std::uint8_t> data;
  data.reserve((text.size() + 1) * 2);
  const auto put = [&data](std::uint32_t unit) {
    data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    data.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
  };
  for (const wchar_t ch : text) {
    const auto code = static_cast<std::uint32_t>(ch);
    if (code > 0xFFFF) {  // a 32-bit wchar_t: one code point, two UTF-16 units
      put(0xD800 + ((code - 0x10000) >> 10));
      put(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      put(code);
    }
  }
  put(0);
  return data;
}

std::wstring StringFromData(const std::vector<std::uint8_t>& data) {
  std::wstring text;
  text.reserve(data.size() / 2);
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const std::uint32_t unit = data[i] | (static_cast<std::uint32_t>(data[i + 1]) << 8);
    if (unit == 0) break;
    if constexpr (sizeof(wchar_t) > 2) {
      // Join a surrogate pair into one code point; a lone surrogate stays as it is.
      if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < data.size()) {
        const std::uint32_t low = data[i + 2] | (static_cast<std::uint32_t>(data[i + 3]) << 8);
        if (low >= 0xDC00 && low < 0xE000) {
          text.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
          i += 2;
          continue;
        }
      }
    }
    text.push_back(static_cast<wchar_t>(unit));
  }
  return text;
}

}  // namespace sys::reg
