#include "common/strings.h"

#include "common/text.h"

namespace common {

EGeneralError::EGeneralError(std::wstring message)
    : std::runtime_error(WideToUtf8(message)), message_(std::move(message)) {}

std::wstring DecimalText(long long value) {
  // The magnitude as unsigned, so that the most negative value has one too.
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
  std::wstring text;
  do {
    text.insert(text.begin(), static_cast<wchar_t>(L'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) text.insert(text.begin(), L'-');
  return text;
}

std::wstring DeleteRightChars(std::wstring_view s, std::size_t n) {
  return n >= s.size() ? std::wstring() : std::wstring(s.substr(0, s.size() - n));
}

void RaiseError(const std::wstring& message) { throw EGeneralError(message); }

std::wstring ReplaceAll(std::wstring_view s, std::wstring_view pattern, std::wstring_view replacement,
                        bool caseSensitive) {
  if (pattern.empty()) return std::wstring(s);
  // Upper-casing maps one character to one, so positions found in the copies hold for S.
  const std::wstring upperS = caseSensitive ? std::wstring() : UpperCase(s);
  const std::wstring upperPattern = caseSensitive ? std::wstring() : UpperCase(pattern);
  const std::wstring_view haystack = caseSensitive ? s : std::wstring_view(upperS);
  const std::wstring_view needle = caseSensitive ? pattern : std::wstring_view(upperPattern);

  std::wstring out;
  out.reserve(s.size());
  std::size_t from = 0;
  for (auto at = haystack.find(needle); at != std::wstring_view::npos; at = haystack.find(needle, from)) {
    out.append(s.substr(from, at - from));
    out.append(replacement);
    from = at + needle.size();
  }
  out.append(s.substr(from));
  return out;
}

std::wstring GetStrBetween(std::wstring_view s, std::wstring_view startMark, std::wstring_view endMark) {
  const auto start = s.find(startMark);
  if (start == std::wstring_view::npos || s.find(endMark) == std::wstring_view::npos) return {};
  const std::wstring_view rest = s.substr(start + startMark.size());
  return std::wstring(rest.substr(0, rest.find(endMark)));
}

std::wstring GetLastChar(std::wstring_view s) { return s.empty() ? std::wstring() : std::wstring(1, s.back()); }

std::size_t LastPos(std::wstring_view pattern, std::wstring_view s) {
  if (pattern.empty()) return 0;
  const auto at = s.rfind(pattern);
  return at == std::wstring_view::npos ? 0 : at + 1;
}

void SplitToList(std::vector<std::wstring>& list, std::wstring_view s, wchar_t delimiter) {
  if (s.empty()) return;
  list.clear();
  std::wstring rest = ReplaceAll(s, L"*", L"", true);
  for (auto at = rest.find(delimiter); at != std::wstring::npos; at = rest.find(delimiter)) {
    list.push_back(rest.substr(0, at));
    rest.erase(0, at + 1);
  }
  list.push_back(std::move(rest));
}

bool HasSubStr(std::wstring_view pattern, std::wstring_view s) {
  return !pattern.empty() && !s.empty() && s.find(pattern) != std::wstring_view::npos;
}

}  // namespace common
