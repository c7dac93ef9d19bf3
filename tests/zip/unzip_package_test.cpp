#include "zip/unzip_package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "zip/zip_reader.h"
#include "zip_test_support.h"

namespace zip {
namespace {

using namespace zip_test;

const std::wstring kPassword = L"402615";

// The files of the source tree whose paths start with one of the prefixes.
std::map<std::string, std::string> TreeFiles(std::initializer_list<std::string> prefixes) {
  std::map<std::string, std::string> files;
  for (const auto& [path, content] : Snapshot(Archives() / "tree")) {
    if (std::any_of(prefixes.begin(), prefixes.end(), [&](const std::string& p) { return path.starts_with(p); })) {
      files[path] = content;
    }
  }
  return files;
}

std::map<std::wstring, PackageEntryOutcome> ExtractWithOutcomes(const std::wstring& archive, const fs::path& dest,
                                                               PackageExtraction* totals = nullptr) {
  std::map<std::wstring, PackageEntryOutcome> outcomes;
  const PackageExtraction result = ExtractPackage(Archive(archive), Wide(dest), "402615", {},
                                                  [&](const std::wstring& name, PackageEntryOutcome outcome) {
                                                    outcomes[name] = outcome;
                                                  });
  if (totals) *totals = result;
  return outcomes;
}

struct ArchiveCase {
  const wchar_t* archive;
  std::initializer_list<std::string> content;  // prefixes of the tree's files that it holds
};

TEST(UnzipPackage, ExtractsArchivesOfEveryMethodAndSchemeWithOnePassword) {
  const std::initializer_list<std::string> all = {""};
  const std::initializer_list<std::string> ascii = {"readme.txt", "bin/"};
  const ArchiveCase cases[] = {
      {L"info_zip_deflate.zip", ascii},       // traditional, Deflate
      {L"info_zip_stored.zip", ascii},        // traditional, Stored
      {L"7z_zipcrypto.zip", all},             // traditional with data descriptors: time check byte
      {L"7z_aes128.zip", all},                // AE-2, Deflate
      {L"7z_aes192.zip", all},
      {L"7z_aes256.zip", all},
      {L"7z_aes256_stored.zip", all},
      {L"aes_v1.zip", all},                   // AE-1: CRC checked as well
      {L"mixed.zip", all},                    // traditional Stored beside AES Deflate
      {L"descriptor.zip", {"readme.txt", "bin/app.dat"}},
      {L"zip64.zip", {"readme.txt", "bin/plugins/deep/small.cfg"}},
  };
  for (const ArchiveCase& c : cases) {
    SCOPED_TRACE(common::WideToUtf8(c.archive));
    ScratchFolder dest("methods");
    EXPECT_TRUE(UnzipPackage(Archive(c.archive), Wide(dest.path()), kPassword, {}));
    EXPECT_EQ(Snapshot(dest.path()), TreeFiles(c.content));
  }
}

TEST(UnzipPackage, ReadsTheLegacyMethods) {
  const std::string expected = ReadAll(Archives() / "first.txt");
  const std::pair<const wchar_t*, const char*> cases[] = {
      {L"shrink.zip", "FIRST.TXT"}, {L"reduce.zip", "first.txt"}, {L"implode.zip", "first.txt"}};
  for (const auto& [archive, file] : cases) {
    SCOPED_TRACE(common::WideToUtf8(archive));
    ScratchFolder dest("legacy");
    EXPECT_TRUE(UnzipPackage(Archive(archive), Wide(dest.path()), L"", {}));
    EXPECT_EQ(Snapshot(dest.path()), (std::map<std::string, std::string>{{file, expected}}));
  }
}

TEST(UnzipPackage, DecodesNamesWithoutTheUtf8FlagInTheOemCodePageOrTheirUnicodePathField) {
  ScratchFolder dest("names");
  ASSERT_TRUE(UnzipPackage(Archive(L"oem_names.zip"), Wide(dest.path()), kPassword, {}));
  const auto files = Snapshot(dest.path());
  // Stored in GBK bytes with the Unicode path field: the field's name on every system.
  EXPECT_EQ(files.count("说明.txt"), 1u);
  // Stored in code page 437: that is the OEM code page of the host build and of Wine here.
  EXPECT_EQ(files.count("café.txt"), 1u);
  EXPECT_EQ(files.size(), 2u);
}

TEST(UnzipPackage, WrongPasswordSkipsEveryEncryptedEntry) {
  for (const wchar_t* archive : {L"info_zip_deflate.zip", L"7z_aes256.zip", L"mixed.zip"}) {
    SCOPED_TRACE(common::WideToUtf8(archive));
    ScratchFolder dest("password");
    EXPECT_FALSE(UnzipPackage(Archive(archive), Wide(dest.path()), L"000000", {}));
    EXPECT_TRUE(Snapshot(dest.path()).empty());
  }
}

TEST(UnzipPackage, ArchiveLevelErrorsGiveFalse) {
  ScratchFolder dest("errors");
  WriteAll(dest.path() / "empty.zip", "");
  WriteAll(dest.path() / "text.zip", "this is not a zip archive, only some text long enough to be searched\n");
  const std::pair<std::wstring, PackageArchiveStatus> cases[] = {
      {Wide(dest.path() / "missing.zip"), PackageArchiveStatus::Missing},
      {Wide(dest.path() / "empty.zip"), PackageArchiveStatus::NotZip},
      {Wide(dest.path() / "text.zip"), PackageArchiveStatus::NotZip},
      {Archive(L"broken_directory.zip"), PackageArchiveStatus::Damaged},
  };
  const fs::path out = dest.path() / "out";
  fs::create_directories(out);
  for (const auto& [archive, status] : cases) {
    SCOPED_TRACE(common::WideToUtf8(archive));
    EXPECT_FALSE(UnzipPackage(archive, Wide(out), kPassword, {}));
    EXPECT_EQ(ExtractPackage(archive, Wide(out), "402615", {}).status, status);
  }
  EXPECT_TRUE(Snapshot(out).empty());
}

TEST(UnzipPackage, DamagedEntryIsSkippedAndLeavesTheOlderCopyAndNoPartialFile) {
  struct DamageCase {
    const wchar_t* archive;
    std::initializer_list<std::string> intact;
  };
  const DamageCase cases[] = {
      {L"damaged_traditional.zip", {"bin/"}},    // Deflate data that fails to decode
      {L"damaged_stored.zip", {"bin/"}},         // Stored data: only the CRC tells
      {L"damaged_aes.zip", {"bin/", "数据/"}},  // AE-2: only the authentication code tells
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(common::WideToUtf8(c.archive));
    ScratchFolder dest("damaged");
    WriteAll(dest.path() / "readme.txt", "older copy");
    PackageExtraction totals;
    const auto outcomes = ExtractWithOutcomes(c.archive, dest.path(), &totals);
    EXPECT_EQ(outcomes.at(L"readme.txt"), PackageEntryOutcome::Damaged);
    EXPECT_GT(totals.extracted, 0);
    auto expected = TreeFiles(c.intact);
    expected["readme.txt"] = "older copy";
    EXPECT_EQ(Snapshot(dest.path()), expected);
  }
}

TEST(UnzipPackage, PartFilesLeftByAKilledExtractionAreGoneAfterTheNextOne) {
  // A run killed half-way leaves the entry it was writing under its temporary name; the run
  // started again writes the same names and must not leave them beside the files.
  ScratchFolder dest("killed");
  WriteAll(dest.path() / "readme.txt.~0.part", "half of the readme");
  WriteAll(dest.path() / "bin" / "app.dat.~0.part", "half");
  ASSERT_TRUE(UnzipPackage(Archive(L"7z_aes256_stored.zip"), Wide(dest.path()), kPassword, {}));
  EXPECT_EQ(Snapshot(dest.path()), TreeFiles({""}));
}

TEST(UnzipPackage, Ae1EntriesWithAWrongCrcAreSkipped) {
  ScratchFolder dest("ae1");
  EXPECT_FALSE(UnzipPackage(Archive(L"aes_v1_bad_crc.zip"), Wide(dest.path()), kPassword, {}));
  EXPECT_TRUE(Snapshot(dest.path()).empty());
}

TEST(UnzipPackage, ReplacesOlderFilesButLeavesReadOnlyOnes) {
  ScratchFolder dest("existing");
  WriteAll(dest.path() / "bin" / "app.dat", "older app");
  WriteAll(dest.path() / "readme.txt", "locked readme");
  fs::permissions(dest.path() / "readme.txt", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  ASSERT_TRUE(IsReadOnly(dest.path() / "readme.txt"));

  const auto outcomes = ExtractWithOutcomes(L"7z_aes256.zip", dest.path());
  EXPECT_EQ(outcomes.at(L"readme.txt"), PackageEntryOutcome::KeptReadOnly);
  EXPECT_EQ(outcomes.at(L"bin/app.dat"), PackageEntryOutcome::Extracted);
  auto expected = TreeFiles({""});
  expected["readme.txt"] = "locked readme";
  EXPECT_EQ(Snapshot(dest.path()), expected);
  EXPECT_TRUE(IsReadOnly(dest.path() / "readme.txt"));
  // Reinstalling over a product whose files are read-only is no failure.
  EXPECT_TRUE(UnzipPackage(Archive(L"7z_aes256.zip"), Wide(dest.path()), kPassword, {}));
}

// Every reason of a skip, and that any skip makes the extraction fail, after the other entries.
TEST(UnzipPackage, EachSkipHasItsReasonAndFailsTheExtraction) {
  using O = PackageEntryOutcome;
  struct ReasonCase {
    const char* what;
    const wchar_t* archive;
    std::string password;
    std::map<std::wstring, O> outcomes;  // of the entries named; others are not looked at
    std::string blocker;                 // a file put into the destination first
  };
  const ReasonCase cases[] = {
      {"check byte fails: another password, also for an empty entry", L"fixed_header.zip", "000000",
       {{L"one.txt", O::WrongPassword}, {L"two.txt", O::WrongPassword}, {L"empty.txt", O::WrongPassword}}},
      {"AES verifier fails", L"7z_aes256.zip", "000000",
       {{L"readme.txt", O::WrongPassword}, {L"bin/app.dat", O::WrongPassword}, {L"bin", O::FolderCreated}}},
      {"method this reader lacks", L"bzip2.zip", "", {{L"readme.txt", O::Unsupported}}},
      {"Deflate data that fails after deciphering", L"damaged_traditional.zip", "402615",
       {{L"readme.txt", O::Damaged}, {L"bin/app.dat", O::Extracted}}},
      {"Stored data with a wrong CRC", L"damaged_stored.zip", "402615", {{L"readme.txt", O::Damaged}}},
      {"AES data with a wrong authentication code", L"damaged_aes.zip", "402615", {{L"readme.txt", O::Damaged}}},
      {"name outside the destination", L"traversal.zip", "", {{L"../evil.txt", O::UnsafeName}, {L"safe.txt", O::Extracted}}},
      {"data inside another entry's", L"overlap.zip", "",
       {{L"first.txt", O::Extracted}, {L"second.txt", O::Overlapping}, {L"third.txt", O::Extracted},
        {L"fourth.txt", O::Overlapping}}},
      {"a file stands where a folder must be made", L"info_zip_deflate.zip", "402615",
       {{L"bin/app.dat", O::CannotCreate}, {L"readme.txt", O::Extracted}}, "bin"},
  };
  for (const ReasonCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder dest("reasons");
    if (!c.blocker.empty()) WriteAll(dest.path() / c.blocker, "in the way");
    std::map<std::wstring, O> outcomes;
    // Folder names without their final slash, whichever tool made them.
    auto record = [&](const std::wstring& name, O outcome) {
      outcomes[name.ends_with(L"/") ? name.substr(0, name.size() - 1) : name] = outcome;
    };
    ExtractPackage(Archive(c.archive), Wide(dest.path()), c.password, {}, record);
    for (const auto& [name, outcome] : c.outcomes) {
      ASSERT_TRUE(outcomes.count(name)) << common::WideToUtf8(name);
      EXPECT_EQ(outcomes.at(name), outcome) << common::WideToUtf8(name) << ": "
                                            << PackageEntryOutcomeText(outcomes.at(name));
    }
    ScratchFolder again("reasons-again");
    if (!c.blocker.empty()) WriteAll(again.path() / c.blocker, "in the way");
    EXPECT_FALSE(UnzipPackage(Archive(c.archive), Wide(again.path()), common::AnsiToWide(c.password), {}));
  }
}

TEST(UnzipPackage, ReadsArchivesThatPeersReadDespiteWrongOffsetsOrSizes) {
  const wchar_t* cases[] = {
      L"prefixed.zip",              // 4 KiB before the archive, offsets not corrected
      L"bad_directory.zip",         // directory size beyond the file
      L"short_directory_size.zip",  // directory size of one record for all of them
  };
  for (const wchar_t* archive : cases) {
    SCOPED_TRACE(common::WideToUtf8(archive));
    ScratchFolder dest("peers");
    EXPECT_TRUE(UnzipPackage(Archive(archive), Wide(dest.path()), kPassword, {}));
    EXPECT_EQ(Snapshot(dest.path()), TreeFiles({"readme.txt", "bin/"}));
  }
}

TEST(UnzipPackage, AnEntryWithContentIsAFileWhateverItsFolderAttribute) {
  ScratchFolder dest("folder-attribute");
  EXPECT_TRUE(UnzipPackage(Archive(L"folder_attribute.zip"), Wide(dest.path()), kPassword, {}));
  EXPECT_EQ(Snapshot(dest.path()), (std::map<std::string, std::string>{{"tool.exe", "MZ program\n"}}));
  EXPECT_TRUE(fs::is_directory(dest.path() / "emptydir"));
}

TEST(UnzipPackage, NamesReachingOutsideTheDestinationAreSkipped) {
  ScratchFolder sandbox("traversal");
  const fs::path dest = sandbox.path() / "a" / "b" / "dest";
  fs::create_directories(dest);
  const auto outcomes = ExtractWithOutcomes(L"traversal.zip", dest);
  for (const wchar_t* name : {L"../evil.txt", L"/abs.txt", L"C:/drive.txt", L"C:drive2.txt", L"a/../../up.txt",
                              L"a\\..\\..\\back.txt", L"nul.txt"}) {
    EXPECT_EQ(outcomes.at(name), PackageEntryOutcome::UnsafeName) << name;
  }
  // Everything written anywhere in the sandbox is the two harmless entries, inside dest.
  EXPECT_EQ(Snapshot(sandbox.path()), (std::map<std::string, std::string>{{"a/b/dest/fine.txt", "payload\n"},
                                                                          {"a/b/dest/safe.txt", "payload\n"}}));
}

TEST(UnzipPackage, AppliesStoredAttributes) {
  ScratchFolder dest("attributes");
  ASSERT_TRUE(UnzipPackage(Archive(L"attributes.zip"), Wide(dest.path()), kPassword, {}));
  EXPECT_TRUE(IsReadOnly(dest.path() / "readonly.txt"));
  EXPECT_FALSE(IsReadOnly(dest.path() / "normal.txt"));
  EXPECT_EQ(ReadAll(dest.path() / "readonly.txt"), "readonly.txt");
#ifdef _WIN32
  auto attributes = [&](const char* name) { return GetFileAttributesW((dest.path() / name).wstring().c_str()); };
  EXPECT_NE(attributes("hidden.txt") & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_NE(attributes("system.txt") & FILE_ATTRIBUTE_SYSTEM, 0u);
  EXPECT_EQ(attributes("normal.txt") & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY), 0u);
#endif
}

TEST(UnzipPackage, ReportsEveryWholePercentInOrderAndAtLeastEvery64KiB) {
  for (const wchar_t* archive : {L"7z_aes256_stored.zip", L"large_stored.zip"}) {
    SCOPED_TRACE(common::WideToUtf8(archive));
    ScratchFolder dest("progress");
    std::vector<int> calls;
    ASSERT_TRUE(UnzipPackage(Archive(archive), Wide(dest.path()), kPassword, [&](int percent) { calls.push_back(percent); }));
    ASSERT_FALSE(calls.empty());
    EXPECT_TRUE(std::is_sorted(calls.begin(), calls.end()));
    EXPECT_EQ(calls.front(), 0);
    EXPECT_EQ(calls.back(), 100);
    EXPECT_EQ(std::set<int>(calls.begin(), calls.end()).size(), 101u);
    EXPECT_GE(calls.size(), fs::file_size(Archives() / PathOf(archive)) / (64 * 1024));
  }
}

// A caller that keeps a window answering needs its chance while one large entry is read, not only
// when the percentage moves or an entry ends; and after every entry, however small.
TEST(UnzipPackage, StepsBetweenEveryBlockReadAndAfterEveryEntry) {
  struct Case {
    const wchar_t* archive;
    std::uint64_t largestEntry;  // bytes of its largest entry's data
  };
  for (const Case& c : {Case{L"large_stored.zip", 13'000'000}, Case{L"7z_aes256_stored.zip", 200'000}}) {
    SCOPED_TRACE(common::WideToUtf8(c.archive));
    ScratchFolder dest("steps");
    std::vector<int> stepsBeforeEntry;  // steps counted when each entry's outcome came
    int steps = 0;
    const PackageExtraction result = ExtractPackage(
        Archive(c.archive), Wide(dest.path()), "402615", {},
        [&](const std::wstring&, PackageEntryOutcome) { stepsBeforeEntry.push_back(steps); }, [&] { ++steps; });
    ASSERT_GT(result.extracted, 0);
    int mostWithinOneEntry = stepsBeforeEntry.front();
    for (std::size_t i = 1; i < stepsBeforeEntry.size(); ++i) {
      EXPECT_GT(stepsBeforeEntry[i], stepsBeforeEntry[i - 1]) << "no step between entries " << i - 1 << " and " << i;
      mostWithinOneEntry = std::max(mostWithinOneEntry, stepsBeforeEntry[i] - stepsBeforeEntry[i - 1]);
    }
    EXPECT_GE(static_cast<std::uint64_t>(mostWithinOneEntry), c.largestEntry / ZipReader::kMaxChunk)
        << "one step per block of the largest entry";
  }
}

// While entries are written into a folder, the folder stays where it is: another program cannot
// rename it (Windows), or a folder swapped for a link is not written through (host).
TEST(UnzipPackage, FoldersStayPutWhileEntriesAreWrittenIntoThem) {
  ScratchFolder sandbox("held");
  const fs::path dest = sandbox.path() / "dest";
  const fs::path outside = sandbox.path() / "outside";
  fs::create_directories(dest);
  fs::create_directories(outside);
  bool tried = false;
  std::map<std::wstring, PackageEntryOutcome> outcomes;
#ifdef _WIN32
  DWORD folderError = 0;
  DWORD destError = 0;
#endif
  ExtractPackage(Archive(L"held_folder.zip"), Wide(dest), "", [&](int) {
    if (tried || !fs::exists(dest / "data" / "first.txt")) return;
    tried = true;
#ifdef _WIN32
    folderError = MoveFileW((dest / "data").wstring().c_str(), (sandbox.path() / "moved").wstring().c_str())
                      ? 0 : GetLastError();
    destError = MoveFileW(dest.wstring().c_str(), (sandbox.path() / "moved").wstring().c_str()) ? 0 : GetLastError();
#else
    fs::rename(dest / "data", sandbox.path() / "moved");
    fs::create_directory_symlink(outside, dest / "data");
#endif
  }, [&](const std::wstring& name, PackageEntryOutcome outcome) { outcomes[name] = outcome; });
  ASSERT_TRUE(tried) << "no progress while the folder was being written into";
  EXPECT_EQ(outcomes.at(L"data/first.txt"), PackageEntryOutcome::Extracted);
#ifdef _WIN32
  EXPECT_EQ(folderError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(destError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(fs::exists(sandbox.path() / "moved"));
  EXPECT_EQ(outcomes.at(L"data/last.txt"), PackageEntryOutcome::Extracted);
  EXPECT_EQ(ReadAll(dest / "data" / "last.txt"), "last\n");
#else
  EXPECT_EQ(outcomes.at(L"data/last.txt"), PackageEntryOutcome::CannotCreate);
  EXPECT_TRUE(Snapshot(outside).empty()) << "written through the link";
#endif
}

}  // namespace
}  // namespace zip
