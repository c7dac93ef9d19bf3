#include "common/text.h"

#include <gtest/gtest.h>

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

TEST(UpperCase, KeepsLength) {
  EXPECT_EQ(UpperCase(L"ab[version]安"), L"AB[VERSION]安");
}
