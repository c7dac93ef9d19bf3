// Conversions between the program's text (std::wstring, UTF-16 on Windows) and byte encodings.
// UTF-8 appears only at the JSON, HTTP and ZIP-name boundaries; every conversion goes through here.
#pragma once

#include <string>
#include <string_view>

namespace common {

// Invalid sequences become U+FFFD; on a 16-bit wchar_t code points above U+FFFF become
// surrogate pairs.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view text);
// utf8 with each invalid sequence replaced by U+FFFD as Utf8ToWide replaces it: the bytes of
// WideToUtf8(Utf8ToWide(utf8)), without the detour.
std::string ValidUtf8(std::string_view utf8);

// The system's ANSI code page (the host build stands in UTF-8 for it).
std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view ansi);

// Locale-aware upper-casing, one character for one character, so positions stay valid.
std::wstring UpperCase(std::wstring_view text);

// Upper-casing as file systems compare names without regard to case: by Unicode's simple case
// mappings in every locale (the invariant one), one character for one character. 'é' and 'É',
// 'σ' and 'Σ' fold alike, 'i' folds to 'I' in a Turkish locale too, and 'İ' stays apart.
std::wstring FoldNameCase(std::wstring_view text);

}  // namespace common
