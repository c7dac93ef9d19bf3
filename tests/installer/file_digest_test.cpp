#include "installer/file_digest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "common/hex.h"
#include "common/text.h"
#include "system/run_folder.h"

namespace installer {
namespace {

// The file holds "sample": its SHA-256, and the P-256 key and signature of RFC 6979 A.2.5.
constexpr wchar_t kDigest[] = L"af2bdbe1aa9b6ec1e2ade1d694f41fc71a831d0268e9891562113d8a62add1bf";
constexpr wchar_t kKey[] =
    L"60fed4ba255a9d31c961eb74c6356d68c049b8923b61fa6ce669622e60f29fb6"
    L"7903fe1008b8bc99a41ae9e95628bc64f2f1b20c2d7e9f5177a3c294d4462299";
constexpr wchar_t kSig[] =
    L"efd48b2aacb6a8fd1140dd9cd45e81d69d2c877b56aaf991c34d0ea84eaf3716"
    L"f7cb1c942d657c41d436c7a1b6e29f65f3e900dbb9aff4064dc4ab2f843acda8";
// The same key's signature of "test": a real signature, of another file.
constexpr wchar_t kOtherFilesSig[] =
    L"f1abb023518351cd71d881567b1ea663ed3efcf6c5132b354f28d3b0b7d38367"
    L"019f4113742a2b14bd25926b49c649155f267e60d3814b4c0cc84250e46f0083";

class FileDigestTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() / ("digest_sample_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".bin");
    std::ofstream(path_, std::ios::binary) << "sample";
  }
  void TearDown() override { std::filesystem::remove(path_); }
  std::wstring Path() const { return path_.wstring(); }
  // Checked as the install checks it: through the package opened once (not at all when missing).
  static bool Matches(const std::wstring& path, const std::wstring& sha256, const std::wstring& key,
                      const std::wstring& sig) {
    const std::unique_ptr<sys::SealedFile> file = sys::SealedFile::Open(path);
    return PackageFileMatches(file.get(), sha256, key, sig);
  }

  std::filesystem::path path_;
};

std::wstring Upper(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towupper(c));
  return s;
}

std::wstring Changed(std::wstring s, std::size_t at, wchar_t c) {
  s[at] = c;
  return s;
}

TEST_F(FileDigestTest, DigestAloneInEitherLetterCase) {
  const struct {
    const char* what;
    std::wstring sha256;
    bool matches;
  } cases[] = {
      {"lower case", kDigest, true},
      {"upper case", Upper(kDigest), true},
      {"last digit off", Changed(kDigest, 63, L'e'), false},
      {"63 digits", std::wstring(kDigest).substr(0, 63), false},
      {"65 digits", std::wstring(kDigest) + L"0", false},
      {"not hex", Changed(kDigest, 0, L'g'), false},
      {"blank in front", L" " + std::wstring(kDigest).substr(1), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Matches(Path(), c.sha256, L"", L""), c.matches) << c.what;
  }
  EXPECT_FALSE(Matches(Path() + L".missing", kDigest, L"", L""));
  EXPECT_EQ(FileSha256Hex(Path()), kDigest);
  EXPECT_EQ(FileSha256Hex(Path() + L".missing"), L"");
}

TEST_F(FileDigestTest, NothingToCheckReadsNothing) {
  EXPECT_TRUE(Matches(Path(), L"", L"", L""));
  EXPECT_TRUE(Matches(Path() + L".missing", L"", L"", L""));
  // Without a key a signature from the server means nothing, whatever it holds.
  EXPECT_TRUE(Matches(Path(), L"", L"", L"garbage"));
}

TEST_F(FileDigestTest, WithTheMakersKeyOnlyTheMakersSignatureOfThisFilePasses) {
  const std::wstring sig = kSig;
  const struct {
    const char* what;
    std::wstring sha256;
    std::wstring sig;
    bool matches;
  } cases[] = {
      {"signature", L"", sig, true},
      {"signature in upper case", L"", Upper(sig), true},
      {"signature and digest", kDigest, sig, true},
      {"signature, digest of another file", Changed(kDigest, 0, L'b'), sig, false},
      {"no signature", L"", L"", false},
      {"no signature, digest right", kDigest, L"", false},
      {"signature of another file", L"", kOtherFilesSig, false},
      {"s changed", L"", Changed(sig, 127, L'9'), false},
      {"r changed", L"", Changed(sig, 0, L'f'), false},
      {"127 digits", L"", sig.substr(0, 127), false},
      {"129 digits", L"", sig + L"0", false},
      {"r only", L"", sig.substr(0, 64), false},
      {"not hex", L"", Changed(sig, 10, L'x'), false},
      {"0x prefix", L"", L"0x" + sig.substr(2), false},
      {"trailing blank", L"", sig + L" ", false},
      {"DER form", L"", L"3045022100" + sig.substr(0, 64) + L"022100" + sig.substr(64), false},
      {"zero", L"", std::wstring(128, L'0'), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Matches(Path(), c.sha256, kKey, c.sig), c.matches) << c.what;
  }
  EXPECT_FALSE(Matches(Path() + L".missing", L"", kKey, sig));
  // Another file under the same signature.
  std::ofstream(path_, std::ios::binary) << "samplf";
  EXPECT_FALSE(Matches(Path(), L"", kKey, sig));
}

// The same rules for a digest taken through another reading of the package.
TEST(PackageDigest, ChecksADigestTakenElsewhere) {
  const std::vector<std::uint8_t> digest = *common::ParseHex(kDigest, 32);
  EXPECT_TRUE(PackageDigestMatches(digest, L"", L"", L""));
  EXPECT_TRUE(PackageDigestMatches(digest, kDigest, kKey, kSig));
  std::vector<std::uint8_t> other = digest;
  other[31] ^= 1;
  EXPECT_FALSE(PackageDigestMatches(other, L"", kKey, kSig));
  EXPECT_FALSE(PackageDigestMatches(other, kDigest, L"", L""));
  EXPECT_FALSE(PackageDigestMatches(std::vector<std::uint8_t>(digest.begin(), digest.end() - 1), L"", kKey, kSig));
  EXPECT_FALSE(PackageDigestMatches({}, L"", kKey, kSig));
}

TEST(PackageKey, OnlyAPointOfTheCurveIn128HexDigits) {
  const std::wstring key = kKey;
  const struct {
    const char* what;
    std::wstring text;
    bool valid;
  } cases[] = {
      {"the key", key, true},
      {"upper case", Upper(key), true},
      {"empty", L"", false},
      {"127 digits", key.substr(0, 127), false},
      {"129 digits", key + L"0", false},
      {"with the uncompressed prefix 04", L"04" + key, false},
      {"X only", key.substr(0, 64), false},
      {"last digit changed: off the curve", Changed(key, 127, L'8'), false},
      {"X and Y swapped", key.substr(64) + key.substr(0, 64), false},
      {"not hex", Changed(key, 5, L'z'), false},
      {"blank inside", Changed(key, 64, L' '), false},
      {"all zero", std::wstring(128, L'0'), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParsePackageKey(c.text).has_value(), c.valid) << c.what;
  }
  EXPECT_EQ(ParsePackageKey(key)->size(), 64u);
}

// FIPS 180-2: one million "a", which crosses the reader's 256 KiB blocks three times.
TEST_F(FileDigestTest, DigestOfAFileLargerThanTheReadersBlocks) {
  std::ofstream(path_, std::ios::binary | std::ios::trunc) << std::string(1000000, 'a');
  const std::wstring digest = L"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
  EXPECT_TRUE(Matches(Path(), digest, L"", L""));
  EXPECT_EQ(FileSha256Hex(Path()), digest);
  std::ofstream(path_, std::ios::binary | std::ios::trunc) << std::string(999999, 'a');
  EXPECT_FALSE(Matches(Path(), digest, L"", L""));
}

}  // namespace
}  // namespace installer
