#include "common/stored_string.h"

#include <gtest/gtest.h>

#include "stored_encoder.h"

using namespace common;

namespace {

// "hello" under the key "7" (key block 37 00 .. 00), computed independently with openssl enc.
constexpr wchar_t kHelloUnder7[] = L"050000006859BD1A7012BE2826F9F3E518598438";

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

}  // namespace

TEST(DecipherHexText, KnownAnswer) {
  EXPECT_EQ(DecipherHexText(kHelloUnder7, L"7"), std::wstring(L"hello") + std::wstring(11, L'\0'));
  EXPECT_EQ(DecodeStoredString(kHelloUnder7), L"hello");  // the configuration key is "7"
}

TEST(DecipherHexText, MalformedInputGivesEmptyText) {
  const std::wstring header = L"05000000";
  EXPECT_EQ(DecipherHexText(L"", L"7"), L"");
  EXPECT_EQ(DecipherHexText(L"050000", L"7"), L"");                            // shorter than the header
  EXPECT_EQ(DecipherHexText(header, L"7"), L"");                                // header only: 4 bytes, not a block
  EXPECT_EQ(DecipherHexText(header + L"00112233445566778899", L"7"), L"");     // 10 payload bytes
  EXPECT_EQ(DecodeStoredString(header + L"00112233445566778899"), L"");
}

TEST(DecipherHexText, LowerCaseDigitsGiveOtherBytes) {
  const std::wstring lower = Lower(kHelloUnder7);
  const std::wstring text = DecipherHexText(lower, L"7");
  EXPECT_EQ(text.size(), 16u);
  EXPECT_NE(text.substr(0, 5), L"hello");
}

TEST(DecipherHexText, KeyIsCutAndFilledToSixteenBytes) {
  // A 16-character key and the same key with more characters behind it decipher alike.
  const std::wstring key16 = L"0123456789abcdef";
  const std::wstring stored = L"1000000072727E881EDCFD0100A718687909B565";  // "0123456789abcdef" under key16
  EXPECT_EQ(DecipherHexText(stored, key16), key16);
  EXPECT_EQ(DecipherHexText(stored, key16 + L"XYZ"), key16);
  EXPECT_NE(DecipherHexText(stored, L"0123456789abcdeX"), key16);
}

TEST(EncodeStoredString, SizesAndRoundTrip) {
  struct Case {
    std::wstring plain;
    std::size_t digits;
  };
  const Case cases[] = {
      {L"a", 40}, {L"astart", 40}, {std::wstring(16, L'x'), 40}, {std::wstring(17, L'x'), 72}, {L"brisklens_win", 40}};
  for (const auto& c : cases) {
    const std::wstring stored = tools::EncodeStoredString(c.plain, kStoredValueKey);
    EXPECT_EQ(stored.size(), c.digits) << stored;
    EXPECT_EQ(DecodeStoredString(stored), c.plain);
  }
  EXPECT_EQ(tools::EncodeStoredString(L"hello", L"7"), kHelloUnder7);
  // A language resource uses its own key.
  EXPECT_EQ(DecipherHexText(tools::EncodeStoredString(L"[Form]", L"583017"), L"583017").substr(0, 6), L"[Form]");
}

TEST(DecodeStoredString, TrimsControlAndSpaceFromBothEnds) {
  EXPECT_EQ(DecodeStoredString(tools::EncodeStoredString(L"  x y\t\r\n", kStoredValueKey)), L"x y");
}

TEST(HexPairToByte, DigitsAndOthers) {
  struct Case {
    const wchar_t* pair;
    int value;
  };
  const Case cases[] = {{L"0A", 10}, {L"FF", 255}, {L"00", 0}, {L"0a", -1}, {L"G0", -16}, {L"F", 239}};
  for (const auto& c : cases) EXPECT_EQ(HexPairToByte(c.pair), c.value) << c.pair;
}

TEST(HexToBytes, TakesPairsAndALoneLastDigit) {
  EXPECT_EQ(HexToBytes(L"0AFF"), (std::vector<std::uint8_t>{0x0A, 0xFF}));
  EXPECT_EQ(HexToBytes(L"0a"), (std::vector<std::uint8_t>{0xFF}));
  EXPECT_EQ(HexToBytes(L"ABC"), (std::vector<std::uint8_t>{0xAB, 0xBF}));
  EXPECT_TRUE(HexToBytes(L"").empty());
}

TEST(DecryptStreamBlocks, CountRules) {
  const TBlock key{};
  {
    TMyStringStream in(std::vector<std::uint8_t>(10)), out;
    EXPECT_THROW(DecryptStreamBlocks(in, 0, key, out), EAESError);
  }
  {
    // A count of 0 takes the whole input from its start, whatever the position.
    TMyStringStream in(std::vector<std::uint8_t>(32)), out;
    in.SetPosition(20);
    DecryptStreamBlocks(in, 0, key, out);
    EXPECT_EQ(out.Size(), 32u);
  }
  {
    // A larger count is cut to what is left behind the position.
    TMyStringStream in(std::vector<std::uint8_t>(36)), out;
    in.SetPosition(4);
    DecryptStreamBlocks(in, 1000, key, out);
    EXPECT_EQ(out.Size(), 32u);
  }
}

TEST(TMyStringStream, ReadsWritesAndShowsHex) {
  TMyStringStream s;
  const std::uint8_t bytes[] = {0x00, 0xAB, 0x0F};
  EXPECT_EQ(s.Write(bytes, 3), 3u);
  EXPECT_EQ(s.GetHexData(), L"00AB0F");
  s.SetPosition(1);
  std::uint8_t buf[8];
  EXPECT_EQ(s.Read(buf, 8), 2u);
  EXPECT_EQ(buf[0], 0xAB);
  EXPECT_EQ(TMyStringStream(std::wstring_view(L"ab")).DataString(), L"ab");
}
