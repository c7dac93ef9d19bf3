// Validators, HTTP dates and Content-Range as HTTP defines them (RFC 9110 sections 5.6.7, 8.8,
// 13.1.5 and 14.4).
#include "net/resume_rules.h"

#include <array>

namespace net {
namespace {

// A cursor over header text that consumes exactly the expected pieces.
class Reader {
 public:
  explicit Reader(std::wstring_view text) : s_(text) {}

  bool Done() const { return s_.empty(); }
  bool Literal(std::wstring_view lit) {
    if (s_.substr(0, lit.size()) != lit) return false;
    s_.remove_prefix(lit.size());
    return true;
  }
  // Exactly n decimal digits.
  bool Digits(std::size_t n, int& value) {
    if (s_.size() < n) return false;
    value = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (s_[i] < L'0' || s_[i] > L'9') return false;
      value = value * 10 + (s_[i] - L'0');
    }
    s_.remove_prefix(n);
    return true;
  }
  // One or more decimal digits, at most 18 of them (so the value fits in 64 bits).
  bool Number(std::int64_t& value) {
    std::size_t n = 0;
    value = 0;
    while (n < s_.size() && s_[n] >= L'0' && s_[n] <= L'9') {
      if (++n > 18) return false;
      value = value * 10 + (s_[n - 1] - L'0');
    }
    s_.remove_prefix(n);
    return n > 0;
  }
  // One of the names; its index.
  template <std::size_t N>
  bool OneOf(const std::array<std::wstring_view, N>& names, int& index) {
    for (std::size_t i = 0; i < N; ++i)
      if (Literal(names[i])) {
        index = static_cast<int>(i);
        return true;
      }
    return false;
  }

 private:
  std::wstring_view s_;
};

constexpr std::array<std::wstring_view, 7> kDays = {L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat", L"Sun"};
constexpr std::array<std::wstring_view, 7> kLongDays = {L"Monday", L"Tuesday",  L"Wednesday", L"Thursday",
                                                        L"Friday", L"Saturday", L"Sunday"};
constexpr std::array<std::wstring_view, 12> kMonths = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                                       L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yearOfEra = y - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDaysIn[month - 1];
}

bool TimeOfDay(Reader& r, int& h, int& m, int& s) {
  return r.Digits(2, h) && r.Literal(L":") && r.Digits(2, m) && r.Literal(L":") && r.Digits(2, s) && h < 24 &&
         m < 60 && s <= 60;  // 60: a leap second
}

std::optional<std::int64_t> Seconds(int year, int month, int day, int h, int m, int s) {
  if (day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  return DaysFromCivil(year, month, day) * 86400 + h * 3600 + m * 60 + s;
}

}  // namespace

bool IsStrongEtag(std::wstring_view etag) {
  if (etag.size() < 2 || etag.front() != L'"' || etag.back() != L'"') return false;
  for (const wchar_t c : etag.substr(1, etag.size() - 2))
    if (c == L'"' || c < 0x21 || c == 0x7F) return false;
  return true;
}

std::optional<std::int64_t> ParseHttpDate(std::wstring_view text) {
  int weekday = 0, day = 0, month = 0, year = 0, h = 0, m = 0, s = 0;
  {  // IMF-fixdate: Sun, 06 Nov 1994 08:49:37 GMT
    Reader r(text);
    if (r.OneOf(kDays, weekday) && r.Literal(L", ") && r.Digits(2, day) && r.Literal(L" ") && r.OneOf(kMonths, month) &&
        r.Literal(L" ") && r.Digits(4, year) && r.Literal(L" ") && TimeOfDay(r, h, m, s) && r.Literal(L" GMT") &&
        r.Done())
      return Seconds(year, month + 1, day, h, m, s);
  }
  {  // RFC 850: Sunday, 06-Nov-94 08:49:37 GMT; a two-digit year below 70 lies in this century.
    Reader r(text);
    if (r.OneOf(kLongDays, weekday) && r.Literal(L", ") && r.Digits(2, day) && r.Literal(L"-") &&
        r.OneOf(kMonths, month) && r.Literal(L"-") && r.Digits(2, year) && r.Literal(L" ") && TimeOfDay(r, h, m, s) &&
        r.Literal(L" GMT") && r.Done())
      return Seconds(year + (year < 70 ? 2000 : 1900), month + 1, day, h, m, s);
  }
  {  // asctime: Sun Nov  6 08:49:37 1994
    Reader r(text);
    if (r.OneOf(kDays, weekday) && r.Literal(L" ") && r.OneOf(kMonths, month) && r.Literal(L" ") &&
        (r.Literal(L" ") ? r.Digits(1, day) : r.Digits(2, day)) && r.Literal(L" ") && TimeOfDay(r, h, m, s) &&
        r.Literal(L" ") && r.Digits(4, year) && r.Done())
      return Seconds(year, month + 1, day, h, m, s);
  }
  return std::nullopt;
}

std::wstring IfRangeValue(const BodyValidators& first) {
  if (IsStrongEtag(first.etag)) return first.etag;
  if (!first.etag.empty()) return {};  // a weak tag: the body may change without it changing
  const auto modified = ParseHttpDate(first.lastModified);
  const auto date = ParseHttpDate(first.date);
  // RFC 9110 asks for one second between them; the older rule's full minute is kept here.
  if (modified && date && *date - *modified >= 60) return first.lastModified;
  return {};
}

std::optional<ContentRange> ParseContentRange(std::wstring_view text) {
  Reader r(text);
  ContentRange range;
  if (!r.Literal(L"bytes ") || !r.Number(range.first) || !r.Literal(L"-") || !r.Number(range.last) ||
      !r.Literal(L"/") || !r.Number(range.complete) || !r.Done())
    return std::nullopt;
  if (range.first > range.last || range.last >= range.complete) return std::nullopt;
  return range;
}

bool ContinuesBody(const PartialAnswer& answer, std::int64_t from, std::int64_t total, const BodyValidators& first) {
  const auto range = ParseContentRange(answer.contentRange);
  if (!range || range->first != from || range->last != total - 1 || range->complete != total) return false;
  if (answer.contentLength >= 0 && answer.contentLength != total - from) return false;
  const BodyValidators& now = answer.validators;
  if (!now.etag.empty() && now.etag != first.etag) return false;
  if (!now.lastModified.empty() && now.lastModified != first.lastModified) return false;
  return true;
}

}  // namespace net
