#include "common/strings.h"

#include <gtest/gtest.h>

#include <climits>

using namespace common;

// Against the standard library's own text, at every length's edges and the type's limits.
TEST(DecimalText, WritesWhatToWstringWrites) {
  const long long values[] = {0, 1, -1, 9, 10, -9, -10, 99, 100, 12345, -67890, 999999999, 1000000000,
                              INT_MAX, INT_MIN, 4294967295LL, 4294967296LL, LLONG_MAX, LLONG_MIN, LLONG_MIN + 1};
  for (long long v : values) EXPECT_EQ(DecimalText(v), std::to_wstring(v)) << v;
}

TEST(DeleteRightChars, CutsFromTheRight) {
  EXPECT_EQ(DeleteRightChars(L"setup.exe", 4), L"setup");
  EXPECT_EQ(DeleteRightChars(L"setup.exe", 9), L"");
  EXPECT_EQ(DeleteRightChars(L"setup.exe", 50), L"");
  EXPECT_EQ(DeleteRightChars(L"abc", 0), L"abc");
}

TEST(RaiseError, ThrowsTheGeneralErrorWithItsMessage) {
  try {
    RaiseError(L"版本为空");
    FAIL() << "no error raised";
  } catch (const EGeneralError& e) {
    EXPECT_EQ(e.Message(), L"版本为空");
  }
}

struct ReplaceCase {
  const wchar_t* s;
  const wchar_t* pattern;
  const wchar_t* replacement;
  bool caseSensitive;
  const wchar_t* expected;
};

class ReplaceAllTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAllTest, Replaces) {
  const auto& c = GetParam();
  EXPECT_EQ(ReplaceAll(c.s, c.pattern, c.replacement, c.caseSensitive), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplaceAllTest,
                         ::testing::Values(
                             ReplaceCase{L"Ver [version]", L"[Version]", L"2.1", false, L"Ver 2.1"},
                             ReplaceCase{L"Ver [version]", L"[Version]", L"2.1", true, L"Ver [version]"},
                             ReplaceCase{L"aXbxc", L"x", L"-", false, L"a-b-c"},  // outside text keeps its case
                             ReplaceCase{L"aaa", L"aa", L"b", true, L"ba"},      // matches never overlap
                             ReplaceCase{L"ab", L"a", L"aa", true, L"aab"},      // replacement not searched again
                             ReplaceCase{L"Setup(1).exe", L"(1)", L"", false, L"Setup.exe"},
                             ReplaceCase{L"*.jpg|*.png", L"*", L"", true, L".jpg|.png"},
                             ReplaceCase{L"abc", L"", L"x", true, L"abc"},
                             ReplaceCase{L"", L"a", L"x", true, L""}));

TEST(GetStrBetween, FollowsTheMarks) {
  EXPECT_EQ(GetStrBetween(L"x-kABC_1", L"-k", L"_"), L"ABC");
  EXPECT_EQ(GetStrBetween(L"a_b-kC", L"-k", L"_"), L"C");  // end mark only before the start mark
  EXPECT_EQ(GetStrBetween(L"abc", L"-k", L"_"), L"");
  EXPECT_EQ(GetStrBetween(L"a-kbc", L"-k", L"_"), L"");    // end mark missing
  EXPECT_EQ(GetStrBetween(L"a_b-kC_D_E", L"-k", L"_"), L"C");
}

TEST(LastPos, FindsTheLastOccurrence) {
  EXPECT_EQ(LastPos(L"_", L"a_b_c"), 4u);
  EXPECT_EQ(LastPos(L"_", L"abc"), 0u);
  EXPECT_EQ(LastPos(L"aa", L"aaa"), 2u);
  EXPECT_EQ(LastPos(L"", L"abc"), 0u);
  EXPECT_EQ(LastPos(L"abcd", L"abc"), 0u);
}

TEST(GetLastChar, ReturnsTheFinalCharacter) {
  EXPECT_EQ(GetLastChar(L"C:\\"), L"\\");
  EXPECT_EQ(GetLastChar(L""), L"");
}

struct SplitCase {
  const wchar_t* s;
  wchar_t delimiter;
  std::vector<std::wstring> expected;
};

class SplitToListTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitToListTest, Splits) {
  const auto& c = GetParam();
  std::vector<std::wstring> list{L"stale"};
  SplitToList(list, c.s, c.delimiter);
  EXPECT_EQ(list, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitToListTest,
                         ::testing::Values(SplitCase{L"*.jpg|*.png", L'|', {L".jpg", L".png"}},
                                           SplitCase{L"a||b", L'|', {L"a", L"", L"b"}},
                                           SplitCase{L"a|", L'|', {L"a", L""}},
                                           SplitCase{L"|a", L'|', {L"", L"a"}},
                                           SplitCase{L"***", L'|', {L""}},
                                           SplitCase{L"k=1&v=2", L'&', {L"k=1", L"v=2"}},
                                           SplitCase{L"", L'|', {L"stale"}}));  // empty S leaves the list

TEST(HasSubStr, ExactAndNeverForEmptyText) {
  EXPECT_TRUE(HasSubStr(L"b", L"abc"));
  EXPECT_FALSE(HasSubStr(L"B", L"abc"));
  EXPECT_FALSE(HasSubStr(L"", L"abc"));
  EXPECT_FALSE(HasSubStr(L"a", L""));
}
