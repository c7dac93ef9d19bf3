#include "zip/zip_crc.h"

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <string_view>
#include <vector>
#include <zlib.h>

namespace zip {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::uint32_t Zlib(std::uint32_t crc, std::span<const std::uint8_t> data) {
  return static_cast<std::uint32_t>(crc32_z(crc, data.data(), data.size()));
}

TEST(ZipCrc32, GivesThePublishedCheckValues) {
  EXPECT_EQ(ZipCrc32(0, Bytes("123456789")), 0xCBF43926u);
  EXPECT_EQ(ZipCrc32(0, {}), 0u);
  // Long enough to take the folding path: "123456789" eight times and a byte.
  std::string repeated;
  for (int i = 0; i < 8; ++i) repeated += "123456789";
  repeated += "1";
  EXPECT_EQ(ZipCrc32(0, Bytes(repeated)), Zlib(0, Bytes(repeated)));
}

// Every length up to past the point where folding starts and its 16- and 64-byte steps, at every
// alignment, of random bytes, of zeros and of 0xFF, continuing a CRC or starting one: the same as
// zlib's. On a processor without carry-less multiplication ZipCrc32 is zlib's own, and these
// compare zlib with zlib: the output says which path ran.
TEST(ZipCrc32, EqualsZlibAtEveryLengthAndAlignment) {
  std::cout << "ZipCrc32 here: "
            << (ZipCrc32Folds() ? "carry-less folding from 64 bytes on, checked against zlib"
                                : "zlib's own crc32 (no carry-less multiplication): the folding path did not run")
            << std::endl;
  RecordProperty("crc_path", ZipCrc32Folds() ? "folding" : "zlib");
  std::mt19937 random(12);
  std::vector<std::uint8_t> noise(4096 + 16);
  for (auto& b : noise) b = static_cast<std::uint8_t>(random());
  std::vector<std::uint8_t> zeros(noise.size(), 0);
  std::vector<std::uint8_t> ones(noise.size(), 0xFF);
  for (const std::vector<std::uint8_t>* buffer : {&noise, &zeros, &ones}) {
    for (std::size_t offset = 0; offset < 16; ++offset) {
      for (std::size_t length = 0; length <= 600; ++length) {
        const auto data = std::span(*buffer).subspan(offset, length);
        for (std::uint32_t start : {0u, 0xFFFFFFFFu, 0x12345678u}) {
          ASSERT_EQ(ZipCrc32(start, data), Zlib(start, data)) << "offset " << offset << " length " << length;
        }
      }
    }
    for (std::size_t length : {1023u, 1024u, 1025u, 4095u, 4096u}) {
      const auto data = std::span(*buffer).subspan(3, length);
      ASSERT_EQ(ZipCrc32(7, data), Zlib(7, data)) << "length " << length;
    }
  }
}

// A CRC carried across pieces of any size is the CRC of the whole, as content arrives in blocks.
TEST(ZipCrc32, CarriesAcrossPiecesOfAnySize) {
  std::mt19937 random(13);
  std::vector<std::uint8_t> data(3 * 1024 * 1024 + 77);
  for (auto& b : data) b = static_cast<std::uint8_t>(random());
  const std::uint32_t whole = Zlib(0, data);
  for (int round = 0; round < 20; ++round) {
    std::uint32_t crc = 0;
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t piece = std::min<std::size_t>(data.size() - at, random() % (round < 10 ? 200 : 300000));
      crc = ZipCrc32(crc, std::span(data).subspan(at, piece));
      at += piece;
    }
    ASSERT_EQ(crc, whole) << "round " << round;
  }
}

}  // namespace
}  // namespace zip
