#include "common/hex.h"

#include <gtest/gtest.h>

#include <optional>

#include "common/text.h"

namespace {

TEST(Hex, WritesTwoDigitsAByteInTheCaseAskedFor) {
  EXPECT_EQ(common::ToHex(std::vector<std::uint8_t>{0x00, 0x0f, 0xa5, 0xff}), L"000fa5ff");
  EXPECT_EQ(common::ToHex(std::vector<std::uint8_t>{0x00, 0x0f, 0xa5, 0xff}, /*upperCase=*/true), L"000FA5FF");
  EXPECT_EQ(common::ToHex(std::vector<std::uint8_t>{}), L"");
}

TEST(Hex, ReadsExactlyTheLengthAskedForInEitherCase) {
  const struct {
    std::wstring text;
    std::size_t bytes;
    std::optional<std::vector<std::uint8_t>> value;
  } cases[] = {
      {L"000fa5ff", 4, std::vector<std::uint8_t>{0x00, 0x0f, 0xa5, 0xff}},
      {L"000FA5FF", 4, std::vector<std::uint8_t>{0x00, 0x0f, 0xa5, 0xff}},
      {L"000fA5Ff", 4, std::vector<std::uint8_t>{0x00, 0x0f, 0xa5, 0xff}},
      {L"", 0, std::vector<std::uint8_t>{}},
      {L"000fa5f", 4, std::nullopt},     // one digit short
      {L"000fa5ff0", 4, std::nullopt},   // one digit long
      {L"000fa5ff00", 4, std::nullopt},  // one byte long
      {L"000fa5fg", 4, std::nullopt},
      {L"0x0fa5ff", 4, std::nullopt},
      {L" 00fa5ff", 4, std::nullopt},
      {L"000fa5f ", 4, std::nullopt},
      {L"-00fa5ff", 4, std::nullopt},
      {L"+00fa5ff", 4, std::nullopt},
      {L"00:fa5ff", 4, std::nullopt},
      {L"000fa5\uff26\uff26", 4, std::nullopt},  // full-width F: iswxdigit may take it, we do not
      {L"000fa5\u0660\u0661", 4, std::nullopt},  // Arabic-Indic digits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(common::WideToUtf8(c.text));
    EXPECT_EQ(common::ParseHex(c.text, c.bytes), c.value);
  }
}

TEST(Hex, RoundTripsEveryByte) {
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(common::ParseHex(common::ToHex(all), all.size()), all);
}

}  // namespace
