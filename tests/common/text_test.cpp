#include "common/text.h"

#include <gtest/gtest.h>

#include <random>

using namespace common;

TEST(Utf8, RoundTripsChineseAndAstralText) {
  const std::string utf8 = "Brisklens 安装 \xF0\x9F\x98\x80";  // U+1F600 needs a surrogate pair on Windows
  const std::wstring wide = Utf8ToWide(utf8);
  EXPECT_EQ(wide.substr(0, 12), L"Brisklens 安装");
  EXPECT_EQ(WideToUtf8(wide), utf8);
}

TEST(Utf8, InvalidSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
  EXPECT_EQ(Utf8ToWide("\xE5\xAE"), L"\uFFFD");         // truncated sequence
  EXPECT_EQ(Utf8ToWide("\xC0\x80"), L"\uFFFD");         // overlong NUL
}

// The configuration is parsed from bytes made valid in one step; they must be what the detour
// through wide text gave, byte for byte, on both builds (16-bit and 32-bit wchar_t).
TEST(Utf8, ValidUtf8IsTheRoundTripThroughWideText) {
  const std::string cases[] = {
      "", "plain", "Brisklens \xE5\xAE\x89\xE8\xA3\x85", "\xF0\x9F\x98\x80", "a\xFF" "b", "\xE5\xAE",
      "\xC0\x80", "\xED\xA0\x80",          // an encoded surrogate
      "\xF4\x90\x80\x80",                  // above U+10FFFF
      "\xE0\x80\x80", "\x80\x80", "\xF0\x9F\x98", "x\xF8\x88\x80\x80\x80", std::string("\0\xC3", 2),
  };
  for (const std::string& c : cases) EXPECT_EQ(ValidUtf8(c), WideToUtf8(Utf8ToWide(c))) << testing::PrintToString(c);
  EXPECT_EQ(ValidUtf8("a\xC3(\xE5\xAE"), "a\xEF\xBF\xBD(\xEF\xBF\xBD");

  // Random bytes, weighted towards lead and continuation bytes so that every kind of broken
  // sequence turns up.
  std::mt19937 random(20261210);
  const unsigned char alphabet[] = {'a', 0x80, 0xBF, 0xC2, 0xC0, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0x9F};
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 12, '\0');
    for (char& b : bytes) b = static_cast<char>(alphabet[random() % sizeof alphabet]);
    ASSERT_EQ(ValidUtf8(bytes), WideToUtf8(Utf8ToWide(bytes))) << testing::PrintToString(bytes);
  }
}

// Names that NTFS holds for one fold alike, in any locale; others stay apart.
TEST(FoldNameCase, FoldsAsFileSystemsCompareNames) {
  const struct {
    const wchar_t* a;
    const wchar_t* b;
    bool alike;
  } cases[] = {
      {L"readme.TXT", L"README.txt", true},     {L"é.txt", L"É.TXT", true},  {L"ä", L"Ä", true},
      {L"σ", L"Σ", true},                       {L"ω", L"Ω", true},          {L"ж.~0.part", L"Ж.~0.PART", true},
      {L"i", L"I", true},                       {L"İ", L"I", false},         {L"中文", L"中文", true},
      {L"中", L"文", false},                     {L"e", L"é", false},
  };
  for (const auto& c : cases) {
    const std::wstring a = common::FoldNameCase(c.a);
    const std::wstring b = common::FoldNameCase(c.b);
    EXPECT_EQ(a == b, c.alike) << common::WideToUtf8(c.a) << " / " << common::WideToUtf8(c.b);
    EXPECT_EQ(a.size(), std::wstring_view(c.a).size());
  }
}

TEST(UpperCase, KeepsLength) {
  EXPECT_EQ(UpperCase(L"ab[version]安"), L"AB[VERSION]安");
}
