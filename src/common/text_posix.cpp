// Host stand-ins: UTF-8 as the ANSI code page, the C library's wide upper-casing.
#include <cwctype>

#include "common/text.h"

namespace common {

std::string WideToAnsi(std::wstring_view text) { return WideToUtf8(text); }

std::wstring AnsiToWide(std::string_view ansi) { return Utf8ToWide(ansi); }

std::wstring UpperCase(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
  return out;
}

}  // namespace common
