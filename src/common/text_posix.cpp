// Host stand-ins: UTF-8 as the ANSI code page, the C library's wide upper-casing.
#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

#include "common/text.h"

namespace common {

std::string WideToAnsi(std::wstring_view text) { return WideToUtf8(text); }

std::wstring AnsiToWide(std::string_view ansi) { return Utf8ToWide(ansi); }

std::wstring UpperCase(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
  return out;
}

std::wstring FoldNameCase(std::wstring_view text) {
  // The C library's Unicode case tables, whatever the process's own locale.
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  std::wstring out(text);
  for (auto& c : out) {
    const auto wide = static_cast<std::wint_t>(c);
    c = static_cast<wchar_t>(unicode ? towupper_l(wide, unicode) : std::towupper(wide));
  }
  return out;
}

}  // namespace common
