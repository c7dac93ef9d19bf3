// HTTP's resume rules: dates in the three forms (against Python's email.utils), validators that
// may go into If-Range, Content-Range, and whether a 206 continues the body received so far.
#include <gtest/gtest.h>

#include "net/resume_rules.h"

namespace {

TEST(ResumeRulesTest, HttpDatesInEveryFormHttpAllows) {
  // Expected values: Python's email.utils.parsedate_to_datetime(text).timestamp().
  struct Case {
    const wchar_t* text;
    std::int64_t seconds;
  } valid[] = {
      {L"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
      {L"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},
      {L"Sun Nov  6 08:49:37 1994", 784111777},
      {L"Thu, 01 Jan 1970 00:00:00 GMT", 0},
      {L"Tue, 29 Feb 2000 23:59:59 GMT", 951868799},
      {L"Fri, 31 Dec 9999 23:59:59 GMT", 253402300799},
      {L"Wednesday, 09-Jun-21 10:18:14 GMT", 1623233894},
      {L"Mon Jan 10 00:00:00 2000", 947462400},
      {L"Sat, 01 Jan 1601 00:00:00 GMT", -11644473600},
  };
  for (const auto& c : valid) {
    const auto parsed = net::ParseHttpDate(c.text);
    ASSERT_TRUE(parsed.has_value()) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(*parsed, c.seconds) << testing::PrintToString(std::wstring(c.text));
  }
  const wchar_t* invalid[] = {
      L"",
      L"Sun, 06 Nov 1994 08:49:37 UTC",    // only GMT
      L"Sun, 6 Nov 1994 08:49:37 GMT",     // two-digit day
      L"Sun, 06 nov 1994 08:49:37 GMT",    // month names are case-sensitive
      L"Sun, 06 Nov 1994 24:00:00 GMT",
      L"Sun, 06 Nov 1994 08:60:00 GMT",
      L"Tue, 29 Feb 1900 00:00:00 GMT",    // 1900 is no leap year
      L"Sun, 31 Apr 1994 00:00:00 GMT",
      L"Sun, 00 Nov 1994 08:49:37 GMT",
      L"Sun, 06 Nov 1994 08:49:37 GMT ",   // trailing text
      L" Sun, 06 Nov 1994 08:49:37 GMT",
      L"Sun, 06 Nov 1994 08:49:37 GMT\r\nX: y",
      L"Sun Nov 6 08:49:37 1994",          // asctime pads the day with a space
      L"1994-11-06T08:49:37Z",
  };
  for (const wchar_t* text : invalid)
    EXPECT_FALSE(net::ParseHttpDate(text).has_value()) << testing::PrintToString(std::wstring(text));
}

TEST(ResumeRulesTest, OnlyAStrongValidatorGoesIntoIfRange) {
  const std::wstring modified = L"Sun, 06 Nov 1994 08:49:37 GMT";
  struct Case {
    const char* name;
    net::BodyValidators first;
    std::wstring ifRange;
  } cases[] = {
      {"strong ETag", {L"\"abc\"", L"", L""}, L"\"abc\""},
      {"empty strong ETag", {L"\"\"", L"", L""}, L"\"\""},
      {"strong ETag wins over a date", {L"\"abc\"", modified, L"Mon, 07 Nov 1994 08:49:37 GMT"}, L"\"abc\""},
      {"weak ETag", {L"W/\"abc\"", L"", L""}, L""},
      {"weak ETag hides a strong date", {L"W/\"abc\"", modified, L"Mon, 07 Nov 1994 08:49:37 GMT"}, L""},
      {"unquoted ETag", {L"abc", L"", L""}, L""},
      {"ETag with a quote inside", {L"\"a\"b\"", L"", L""}, L""},
      {"ETag with a line break", {L"\"a\r\nX: 1\"", L"", L""}, L""},
      {"date a minute before Date", {L"", modified, L"Sun, 06 Nov 1994 08:50:37 GMT"}, modified},
      {"date 59 s before Date", {L"", modified, L"Sun, 06 Nov 1994 08:50:36 GMT"}, L""},
      {"date without Date", {L"", modified, L""}, L""},
      {"date after Date", {L"", modified, L"Sat, 05 Nov 1994 08:49:37 GMT"}, L""},
      {"date that does not parse", {L"", L"yesterday", L"Mon, 07 Nov 1994 08:49:37 GMT"}, L""},
      {"nothing", {L"", L"", L""}, L""},
  };
  for (const auto& c : cases) EXPECT_EQ(net::IfRangeValue(c.first), c.ifRange) << c.name;
}

TEST(ResumeRulesTest, ContentRangeIsParsedStrictly) {
  const auto r = net::ParseContentRange(L"bytes 100-299999/300000");
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->first, 100);
  EXPECT_EQ(r->last, 299999);
  EXPECT_EQ(r->complete, 300000);
  // Lengths above 4 GiB.
  const auto big = net::ParseContentRange(L"bytes 4294967296-6442450943/6442450944");
  ASSERT_TRUE(big.has_value());
  EXPECT_EQ(big->first, 4294967296LL);
  EXPECT_EQ(big->complete, 6442450944LL);
  const wchar_t* invalid[] = {
      L"bytes 100-299999/*", L"bytes */300000", L"bytes 100-99/300000", L"bytes 100-300000/300000",
      L"bytes  100-299999/300000", L"Bytes 100-299999/300000", L"bytes 100-299999/300000,",
      L"bytes -100-299999/300000", L"bytes 100-/300000", L"items 100-299999/300000",
      L"bytes 1000000000000000000000-1000000000000000000001/1000000000000000000002", L"",
  };
  for (const wchar_t* text : invalid)
    EXPECT_FALSE(net::ParseContentRange(text).has_value()) << testing::PrintToString(std::wstring(text));
}

TEST(ResumeRulesTest, APartialAnswerContinuesOnlyTheSameBodyAtTheSameByte) {
  const net::BodyValidators first{L"\"v1\"", L"Sun, 06 Nov 1994 08:49:37 GMT", L""};
  struct Case {
    const char* name;
    net::PartialAnswer answer;
    bool continues;
  } cases[] = {
      {"exact", {L"bytes 1000-4999/5000", 4000, {L"\"v1\"", L"", L""}}, true},
      {"no length announced", {L"bytes 1000-4999/5000", -1, {}}, true},
      {"same date", {L"bytes 1000-4999/5000", 4000, {L"", L"Sun, 06 Nov 1994 08:49:37 GMT", L""}}, true},
      {"starts earlier", {L"bytes 0-4999/5000", 5000, {}}, false},
      {"starts later", {L"bytes 1001-4999/5000", 3999, {}}, false},
      {"ends early", {L"bytes 1000-3999/5000", 3000, {}}, false},
      {"other total", {L"bytes 1000-5999/6000", 5000, {}}, false},
      {"unknown total", {L"bytes 1000-4999/*", 4000, {}}, false},
      {"length disagrees", {L"bytes 1000-4999/5000", 4001, {}}, false},
      {"no Content-Range", {L"", 4000, {}}, false},
      {"other ETag", {L"bytes 1000-4999/5000", 4000, {L"\"v2\"", L"", L""}}, false},
      {"weak form of the ETag", {L"bytes 1000-4999/5000", 4000, {L"W/\"v1\"", L"", L""}}, false},
      {"other date", {L"bytes 1000-4999/5000", 4000, {L"", L"Mon, 07 Nov 1994 08:49:37 GMT", L""}}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(net::ContinuesBody(c.answer, 1000, 5000, first), c.continues) << c.name;
}

}  // namespace
