#include "installer/file_digest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace installer {
namespace {

class FileDigestTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() / "i7_digest_abc.bin";
    std::ofstream(path_, std::ios::binary) << "abc";
  }
  void TearDown() override { std::filesystem::remove(path_); }
  std::wstring Path() const { return path_.wstring(); }

  std::filesystem::path path_;
};

constexpr wchar_t kAbc[] = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST_F(FileDigestTest, MatchesTheDigestInEitherLetterCase) {
  EXPECT_TRUE(FileSha256Matches(Path(), kAbc));
  EXPECT_TRUE(FileSha256Matches(Path(), L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"));
}

TEST_F(FileDigestTest, RejectsOtherDigestsMalformedDigestsAndMissingFiles) {
  std::wstring oneDigitOff = kAbc;
  oneDigitOff.back() = L'e';
  EXPECT_FALSE(FileSha256Matches(Path(), oneDigitOff));
  EXPECT_FALSE(FileSha256Matches(Path(), std::wstring(kAbc).substr(0, 63)));
  std::wstring notHex = kAbc;
  notHex[0] = L'g';
  EXPECT_FALSE(FileSha256Matches(Path(), notHex));
  EXPECT_FALSE(FileSha256Matches(Path() + L".missing", kAbc));
}

}  // namespace
}  // namespace installer
