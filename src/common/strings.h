// Small text functions shared by the configuration reader, the HTTP transport, the API client and
// the install and uninstall sequences. Positions are 1-based; comparisons are exact unless a
// function says otherwise. No function changes its input.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace common {

// The program's general error: raised by RaiseError, carrying its message.
class EGeneralError : public std::runtime_error {
 public:
  explicit EGeneralError(std::wstring message);
  const std::wstring& Message() const { return message_; }

 private:
  std::wstring message_;
};

// The decimal digits of value, after a '-' when it is negative: what std::to_wstring writes, without
// the C library's formatted printing (which would add its whole wide-character copy to the installer).
std::wstring DecimalText(long long value);

// S without its last N characters; empty when N is S's length or more.
std::wstring DeleteRightChars(std::wstring_view s, std::size_t n);

[[noreturn]] void RaiseError(const std::wstring& message);

// Every non-overlapping occurrence of pattern replaced, scanning left to right; the inserted
// replacement is never searched again. Without caseSensitive the search compares upper-cased
// copies and the rest of S comes through unchanged. An empty pattern leaves S as it is.
std::wstring ReplaceAll(std::wstring_view s, std::wstring_view pattern, std::wstring_view replacement,
                        bool caseSensitive);

// The text between the first start mark and the next end mark behind it; empty when either mark
// is missing from S; everything behind the start mark when the end mark only stands before it.
std::wstring GetStrBetween(std::wstring_view s, std::wstring_view startMark, std::wstring_view endMark);

// The last character of S; empty text for empty S.
std::wstring GetLastChar(std::wstring_view s);

// 1-based position of the last (possibly overlapping) occurrence of pattern in S; 0 when none or
// when the pattern is empty.
std::size_t LastPos(std::wstring_view pattern, std::wstring_view s);

// Fills list with the delimiter-separated fields of S after removing every '*'. An empty S leaves
// the list untouched; fields are not trimmed and empty fields are kept.
void SplitToList(std::vector<std::wstring>& list, std::wstring_view s, wchar_t delimiter);

// True when pattern occurs in S; false for an empty pattern or an empty S.
bool HasSubStr(std::wstring_view pattern, std::wstring_view s);

}  // namespace common
