// Entries whose sizes sit at the reader's own block sizes (64 KiB reads, 1 MiB output blocks),
// compressed and encrypted by the tools that packages come from (make_boundary_archives.py), are
// extracted whole: every entry, every byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zip/unzip_package.h"
#include "zip/zip_decode.h"
#include "zip/zip_files.h"
#include "zip/zip_reader.h"
#include "zip_test_support.h"

namespace zip {
namespace {

using namespace zip_test;

enum class Scheme { None, Traditional, Aes256 };

struct BoundaryArchive {
  const char* name;
  std::uint16_t method;  // of every entry of zeros or text (Info-ZIP stores random bytes as they are)
  Scheme scheme;
};

const BoundaryArchive kArchives[] = {
    {"python_deflate1.zip", zip_method::kDeflated, Scheme::None},
    {"python_deflate6.zip", zip_method::kDeflated, Scheme::None},
    {"python_deflate9.zip", zip_method::kDeflated, Scheme::None},
    {"info_zip_deflate1.zip", zip_method::kDeflated, Scheme::None},
    {"info_zip_deflate6.zip", zip_method::kDeflated, Scheme::None},
    {"info_zip_deflate9.zip", zip_method::kDeflated, Scheme::None},
    {"7z_deflate1.zip", zip_method::kDeflated, Scheme::None},
    {"7z_deflate6.zip", zip_method::kDeflated, Scheme::None},
    {"7z_deflate9.zip", zip_method::kDeflated, Scheme::None},
    {"info_zip_zipcrypto.zip", zip_method::kDeflated, Scheme::Traditional},
    {"7z_zipcrypto.zip", zip_method::kDeflated, Scheme::Traditional},
    {"7z_aes256.zip", zip_method::kDeflated, Scheme::Aes256},
    {"python_stored.zip", zip_method::kStored, Scheme::None},
    {"info_zip_stored_zipcrypto.zip", zip_method::kStored, Scheme::Traditional},
    {"7z_stored_aes256.zip", zip_method::kStored, Scheme::Aes256},
};

fs::path Folder() { return PathOf(ZIP_TEST_BOUNDARY_ARCHIVES); }

// The archive holds what its name says: checked on its directory, so that a tool that quietly
// chose another method or scheme cannot make a case pass untested.
void ExpectMethodAndScheme(const BoundaryArchive& archive) {
  ZipFileInput input;
  ASSERT_TRUE(input.Open(Wide(Folder() / archive.name)));
  ZipReader reader(input);
  ASSERT_EQ(reader.Open(), ZipDirectoryStatus::Ok);
  for (const ZipEntry& entry : reader.Entries()) {
    if (entry.IsFolder() || entry.name.starts_with(L"random/")) continue;
    SCOPED_TRACE(common::WideToUtf8(entry.name));
    const bool aes = entry.method == zip_method::kAes && entry.aesStrength == 3;
    EXPECT_EQ(aes ? entry.aesMethod : entry.method, archive.method);
    EXPECT_EQ(aes, archive.scheme == Scheme::Aes256);
    EXPECT_EQ(entry.Encrypted(), archive.scheme != Scheme::None);
  }
}

TEST(BoundarySizes, EveryToolsEntriesComeOutWholeAtEveryBlockBoundary) {
  std::vector<std::string> expected;  // "zeros/1048581", ...
  for (const auto& file : fs::recursive_directory_iterator(Folder() / "tree")) {
    if (file.is_regular_file()) {
      expected.push_back(common::WideToUtf8(Wide(file.path().parent_path().filename())) + "/" +
                         common::WideToUtf8(Wide(file.path().filename())));
    }
  }
  ASSERT_EQ(expected.size(), 3u * 4u * 7u);

  for (const BoundaryArchive& archive : kArchives) {
    SCOPED_TRACE(archive.name);
    ExpectMethodAndScheme(archive);
    ScratchFolder dest("boundary");
    std::vector<std::string> skipped;
    auto onEntry = [&](const std::wstring& name, PackageEntryOutcome outcome) {
      if (outcome != PackageEntryOutcome::Extracted && outcome != PackageEntryOutcome::FolderCreated) {
        skipped.push_back(common::WideToUtf8(name) + ": " + std::string(PackageEntryOutcomeText(outcome)));
      }
    };
    const PackageExtraction result =
        ExtractPackage(Wide(Folder() / archive.name), Wide(dest.path()), "402615", {}, onEntry);
    EXPECT_EQ(skipped, std::vector<std::string>{});
    EXPECT_EQ(result.extracted, static_cast<int>(expected.size()));
    for (const std::string& path : expected) {
      // Compared one file at a time: the whole tree is 150 MB.
      const std::string want = ReadAll(Folder() / "tree" / path);
      const std::string got = ReadAll(dest.path() / path);
      EXPECT_TRUE(got == want) << path << ": " << got.size() << " bytes, expected " << want.size();
    }
  }
}

}  // namespace
}  // namespace zip
