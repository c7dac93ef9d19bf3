#include "zip/unzip_package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include <csignal>
#include <functional>
#include <optional>

#include "zip/zip_files.h"
#include "zip/zip_reader.h"
#include "zip_test_support.h"

namespace zip {
namespace {

using namespace zip_test;

}  // namespace

// Outcomes by their text in test messages.
void PrintTo(PackageEntryOutcome outcome, std::ostream* out) { *out << PackageEntryOutcomeText(outcome); }

namespace {

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

#ifndef _WIN32
// While it lives, files of this process cannot grow beyond limit bytes: a write past it fails, as
// on a disk that has just filled up.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    signal_ = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the process
    rlimit small = saved_;
    small.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, signal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*signal_)(int) = SIG_DFL;
};
#endif

// The first file ending in suffix below folder, or an empty path.
fs::path FindFile(const fs::path& folder, const std::string& suffix) {
  std::error_code ec;
  for (const auto& item : fs::recursive_directory_iterator(folder, ec)) {
    if (item.path().filename().string().ends_with(suffix)) return item.path();
  }
  return {};
}

// Every reason of a skip, and that any skip makes the extraction fail, after the other entries.
TEST(UnzipPackage, EachSkipHasItsReasonAndFailsTheExtraction) {
  using O = PackageEntryOutcome;
  using Action = std::function<void(const fs::path& dest)>;
  struct ReasonCase {
    const char* what;
    const wchar_t* archive;
    std::string password;
    std::map<std::wstring, O> outcomes;  // of the entries named; others are not looked at
    Action before = {};                  // done to the destination first
    Action during = {};                  // done at every progress call
    std::uint64_t fileSizeLimit = 0;     // host: how far files may grow, 0 for no limit
  };
  // A file where the entry's folder must be made.
  const Action fileForFolder = [](const fs::path& dest) { WriteAll(dest / "bin", "in the way"); };
  // Every temporary name the entry could take is a folder with something in it.
  const Action noTemporaryName = [](const fs::path& dest) {
    for (int i = 0; i < 100; ++i) WriteAll(dest / ("readme.txt.~" + std::to_string(i) + ".part") / "x", "taken");
  };
  // Once the entry's temporary file is being written, a folder takes its target's place.
  const Action folderForTarget = [](const fs::path& dest) {
    if (!FindFile(dest / "bin", "app.dat.~0.part").empty() && !fs::exists(dest / "bin" / "app.dat")) {
      WriteAll(dest / "bin" / "app.dat" / "inside.txt", "a folder now");
    }
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
       {{L"bin/app.dat", O::CannotCreate}, {L"readme.txt", O::Extracted}}, fileForFolder},
      {"no temporary file can be created", L"info_zip_deflate.zip", "402615",
       {{L"readme.txt", O::CannotCreate}, {L"bin/app.dat", O::Extracted}}, noTemporaryName},
      {"the final replace fails: a folder took the target's place", L"info_zip_deflate.zip", "402615",
       {{L"bin/app.dat", O::CannotCreate}, {L"readme.txt", O::Extracted}}, {}, folderForTarget},
#ifndef _WIN32
      {"the disk fills while the temporary file is written", L"info_zip_deflate.zip", "402615",
       {{L"readme.txt", O::CannotCreate}, {L"bin/app.dat", O::CannotCreate},
        {L"bin/plugins/deep/small.cfg", O::Extracted}}, {}, {}, 64 * 1024},
#endif
  };
  for (const ReasonCase& c : cases) {
    SCOPED_TRACE(c.what);
    // Folder names without their final slash, whichever tool made them.
    std::map<std::wstring, O> outcomes;
    auto record = [&](const std::wstring& name, O outcome) {
      outcomes[name.ends_with(L"/") ? name.substr(0, name.size() - 1) : name] = outcome;
    };
    // Through the path and through an archive already open, which the installer uses.
    ScratchFolder dest("reasons");
    ScratchFolder again("reasons-again");
    ZipFileInput open;
    ASSERT_TRUE(open.Open(Archive(c.archive)));
    for (const fs::path& folder : {dest.path(), again.path()}) {
      if (c.before) c.before(folder);
    }
    const auto during = [&](const fs::path& folder) {
      return [&c, folder](int) {
        if (c.during) c.during(folder);
      };
    };
    {
#ifndef _WIN32
      std::optional<FileSizeLimit> limit;
      if (c.fileSizeLimit != 0) limit.emplace(c.fileSizeLimit);
#endif
      ExtractPackage(Archive(c.archive), Wide(dest.path()), c.password, during(dest.path()), record);
      EXPECT_FALSE(UnzipPackage(open, Wide(again.path()), common::AnsiToWide(c.password), during(again.path())));
    }
    for (const auto& [name, outcome] : c.outcomes) {
      ASSERT_TRUE(outcomes.count(name)) << common::WideToUtf8(name);
      EXPECT_EQ(outcomes.at(name), outcome) << common::WideToUtf8(name) << ": "
                                            << PackageEntryOutcomeText(outcomes.at(name));
    }
    // A failed entry leaves no temporary file behind.
    for (const fs::path& folder : {dest.path(), again.path()}) {
      for (const auto& [path, content] : Snapshot(folder)) EXPECT_FALSE(path.ends_with(".part")) << path;
    }
  }
}

#ifdef _WIN32
// Reinstalling over a running product: a file that another program holds open without delete
// sharing stays as it was, the others are replaced, and the extraction counts as a success.
TEST(UnzipPackage, KeepsFilesThatAreInUse) {
  ScratchFolder dest("in-use");
  WriteAll(dest.path() / "readme.txt", "running copy");
  WriteAll(dest.path() / "bin" / "app.dat", "older app");
  const HANDLE held = CreateFileW((dest.path() / "readme.txt").wstring().c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  PackageExtraction totals;
  const auto outcomes = ExtractWithOutcomes(L"7z_aes256.zip", dest.path(), &totals);
  const bool succeeded = UnzipPackage(Archive(L"7z_aes256.zip"), Wide(dest.path()), kPassword, {});
  CloseHandle(held);
  EXPECT_EQ(outcomes.at(L"readme.txt"), PackageEntryOutcome::KeptInUse);
  EXPECT_EQ(outcomes.at(L"bin/app.dat"), PackageEntryOutcome::Extracted);
  EXPECT_EQ(totals.kept, 1);
  EXPECT_TRUE(succeeded);
  auto expected = TreeFiles({""});
  expected["readme.txt"] = "running copy";
  EXPECT_EQ(Snapshot(dest.path()), expected);
}
#endif

// What the calling thread sees of an extraction: the progress calls, each entry's outcome in
// order, the totals and the files written.
struct Observed {
  std::vector<int> percents;
  std::vector<std::pair<std::wstring, PackageEntryOutcome>> entries;
  PackageExtraction totals;
  std::map<std::string, std::string> files;
};

Observed ExtractObserved(const fs::path& archive, const fs::path& dest, unsigned threads) {
  Observed seen;
  seen.totals = ExtractPackage(
      Wide(archive), Wide(dest), "402615", [&](int percent) { seen.percents.push_back(percent); },
      [&](const std::wstring& name, PackageEntryOutcome outcome) { seen.entries.emplace_back(name, outcome); }, {},
      threads);
  seen.files = Snapshot(dest);
  return seen;
}

// Entries decoded on worker threads change nothing the caller sees: every archive here, damaged,
// crafted and hostile ones included, gives the progress calls, the outcomes in their order, the
// totals and the files that decoding one entry after the other on the calling thread gives.
TEST(UnzipPackage, WorkersChangeNothingTheCallerSees) {
  int archives = 0;
  for (const auto& item : fs::directory_iterator(Archives())) {
    if (item.path().extension() != ".zip") continue;
    ++archives;
    SCOPED_TRACE(item.path().filename().string());
    ScratchFolder oneByOne("one-by-one");
    ScratchFolder sideBySide("side-by-side");
    const Observed expected = ExtractObserved(item.path(), oneByOne.path(), 0);
    const Observed seen = ExtractObserved(item.path(), sideBySide.path(), 3);
    EXPECT_EQ(seen.percents, expected.percents);
    EXPECT_EQ(seen.entries, expected.entries);
    EXPECT_EQ(seen.totals.status, expected.totals.status);
    EXPECT_EQ(seen.totals.extracted, expected.totals.extracted);
    EXPECT_EQ(seen.totals.folders, expected.totals.folders);
    EXPECT_EQ(seen.totals.skipped, expected.totals.skipped);
    EXPECT_EQ(seen.totals.kept, expected.totals.kept);
    EXPECT_EQ(seen.files, expected.files);
  }
  EXPECT_GT(archives, 0) << "no archives in " << Archives().string();
}

// Entries whose paths meet come out as they would one after the other, however they are decoded:
// the later of two with one name wins, a file stops a later entry from making a folder of it and
// a folder a later file, and names differing in case only are one file where the system says so.
TEST(UnzipPackage, EntriesWhosePathsMeetComeOutInArchiveOrder) {
  for (unsigned threads : {0u, 2u}) {
    SCOPED_TRACE(threads);
    ScratchFolder dest("related");
    std::map<std::wstring, std::vector<PackageEntryOutcome>> outcomes;
    const PackageExtraction totals = ExtractPackage(
        Archive(L"related_paths.zip"), Wide(dest.path()), "", {},
        [&](const std::wstring& name, PackageEntryOutcome outcome) { outcomes[name].push_back(outcome); }, {}, threads);
    using O = PackageEntryOutcome;
    EXPECT_EQ(outcomes[L"twice.txt"], (std::vector<O>{O::Extracted, O::Extracted}));
    EXPECT_EQ(outcomes[L"node"], std::vector<O>{O::Extracted});
    EXPECT_EQ(outcomes[L"node/inner.txt"], std::vector<O>{O::CannotCreate});
    EXPECT_EQ(outcomes[L"late"], std::vector<O>{O::CannotCreate});
    EXPECT_EQ(totals.skipped, 2);
    const auto files = Snapshot(dest.path());
    EXPECT_EQ(files.at("twice.txt"), "second\n");
    EXPECT_EQ(files.at("twice.txt.~0.part"), "an entry of its own\n");
    EXPECT_EQ(files.at("node"), "a file\n");
    EXPECT_EQ(files.at("many/39.txt"), "39\n");
    EXPECT_TRUE(fs::is_directory(dest.path() / "late"));
#ifdef _WIN32
    EXPECT_EQ(files.count("case.txt") + files.count("Case.txt"), 1u);
    EXPECT_EQ(ReadAll(dest.path() / "case.txt"), "lower\n");
#else
    EXPECT_EQ(files.at("Case.txt"), "upper\n");
    EXPECT_EQ(files.at("case.txt"), "lower\n");
#endif
  }
}

// An entry may have the name of another entry's temporary file: before that entry, in another
// letter case (non-ASCII letters too), with the dot that Windows drops, as a folder. Every one comes out as Python's zipfile
// writes it, however the entries are decoded.
TEST(UnzipPackage, EntriesNamedLikeAnotherEntrysTemporaryFileComeOutWhole) {
  auto expected = Snapshot(Archives() / "temporary_names");
#ifdef _WIN32
  // The name "d.~0.part." is the file "d.~0.part" there.
  ASSERT_EQ(expected.count("d.~0.part"), 0u);
  expected["d.~0.part"] = "entry d.~0.part.\n";
  expected.erase("d.~0.part.");
#endif
  for (unsigned threads : {0u, 2u}) {
    SCOPED_TRACE(threads);
    ScratchFolder dest("temporary-names");
    const PackageExtraction totals =
        ExtractPackage(Archive(L"temporary_names.zip"), Wide(dest.path()), "", {}, {}, {}, threads);
    EXPECT_EQ(totals.skipped, 0);
    EXPECT_EQ(totals.extracted, 15);
    EXPECT_EQ(Snapshot(dest.path()), expected);
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
