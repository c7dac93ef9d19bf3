// UTF-8 <-> wide text, portable for 16-bit (Windows) and 32-bit (Linux) wchar_t.
#include "common/text.h"

#include <cstdint>

namespace common {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(std::wstring& out, char32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(cp));
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Calls take(code point) for each character of utf8; an invalid sequence gives one U+FFFD.
template <typename Take>
void DecodeUtf8(std::string_view utf8, Take take) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b0 = static_cast<std::uint8_t>(utf8[i]);
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
      cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
      take(kReplacement);
      ++i;
      continue;
    }
    int taken = 0;
    while (taken < extra && i + 1 + taken < utf8.size() &&
           (static_cast<std::uint8_t>(utf8[i + 1 + taken]) & 0xC0) == 0x80) {
      cp = (cp << 6) | (static_cast<std::uint8_t>(utf8[i + 1 + taken]) & 0x3F);
      ++taken;
    }
    i += 1 + taken;
    const bool invalid = taken < extra || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF);
    take(invalid ? kReplacement : cp);
  }
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  DecodeUtf8(utf8, [&out](char32_t cp) { AppendCodePoint(out, cp); });
  return out;
}

std::string ValidUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  DecodeUtf8(utf8, [&out](char32_t cp) { AppendUtf8(out, cp); });
  return out;
}

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      cp &= 0xFFFF;
      if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
        const char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
        if (low >= 0xDC00 && low <= 0xDFFF) {
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace common
