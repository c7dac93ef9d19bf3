#include "system/file_io.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using test_support::Exists;
using test_support::FsPath;
using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Pattern(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

TEST(JoinPath, OneSeparatorBetweenFolderAndName) {
  const std::wstring sep(1, sys::kPathSeparator);
  struct Case {
    std::wstring folder, name, joined;
  };
  for (const Case& c : std::vector<Case>{{L"a", L"b", L"a" + sep + L"b"},
                                         {L"a\\", L"b", L"a\\b"},
                                         {L"a/", L"b", L"a/b"},
                                         {L"C:\\x\\y", L"z.txt", L"C:\\x\\y" + sep + L"z.txt"},
                                         {L"a", L"", L"a" + sep}}) {
    EXPECT_EQ(sys::JoinPath(c.folder, c.name), c.joined) << c.folder << L" + " << c.name;
  }
}

// Writes pieces of the given sizes one after the other and compares the file with what the
// standard library reads back; the sizes straddle the write and read sizes of the callers (the
// download's and the extraction's blocks) and 1 MiB + 5.
TEST(OutputFile, WritesEveryByteOfPiecesOfAnySize) {
  TempFolder root;
  for (const std::vector<std::size_t>& pieces :
       std::vector<std::vector<std::size_t>>{{0}, {1}, {0, 1, 0}, {65535, 1, 65536, 65537},
                                             {(1u << 20) + 5}, {131071, 131072, 131073, 262144, 3}}) {
    const std::wstring path = root / L"out.bin";
    std::string expected;
    sys::OutputFile file;
    ASSERT_EQ(file.Create(path, sys::FileCreation::Replace), sys::CreateResult::Created);
    unsigned seed = 1;
    for (const std::size_t size : pieces) {
      const std::string piece = Pattern(size, seed++);
      ASSERT_TRUE(file.Write(Bytes(piece))) << size;
      expected += piece;
    }
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadFile(path), expected) << "pieces: " << pieces.size() << ", first " << pieces.front();
  }
}

TEST(OutputFile, NewRefusesAnyNameTakenAndLeavesItAlone) {
  TempFolder root;
  WriteFile(root / L"taken.txt", "keep me");
  fs::create_directory(FsPath(root / L"folder"));
  for (const wchar_t* name : {L"taken.txt", L"folder"}) {
    sys::OutputFile file;
    EXPECT_EQ(file.Create(root / name, sys::FileCreation::New), sys::CreateResult::Exists) << name;
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Write(Bytes("x"))) << "nothing open to write to";
  }
  EXPECT_EQ(ReadFile(root / L"taken.txt"), "keep me");
  sys::OutputFile fresh;
  EXPECT_EQ(fresh.Create(root / L"fresh.txt", sys::FileCreation::New), sys::CreateResult::Created);
  EXPECT_EQ(sys::OutputFile().Create(root / L"no such folder\\x.txt", sys::FileCreation::New),
            sys::CreateResult::Failed);
}

TEST(OutputFile, ReplaceEmptiesTheOldContentAndRestartWritesFromTheStartAgain) {
  TempFolder root;
  const std::wstring path = root / L"download.part";
  WriteFile(path, std::string(5000, 'o'));
  sys::OutputFile file;
  ASSERT_EQ(file.Create(path, sys::FileCreation::Replace, sys::FileSharing::ReadWrite), sys::CreateResult::Created);
  ASSERT_TRUE(file.Write(Bytes("first attempt, longer than the second")));
  ASSERT_TRUE(file.Restart());
  ASSERT_TRUE(file.Write(Bytes("second")));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadFile(path), "second");
  EXPECT_FALSE(file.Close()) << "closed already";
  EXPECT_FALSE(file.Restart());
}

TEST(OutputFile, MovedFileKeepsWritingToTheSameFile) {
  TempFolder root;
  sys::OutputFile first;
  ASSERT_EQ(first.Create(root / L"a.txt", sys::FileCreation::New), sys::CreateResult::Created);
  sys::OutputFile second = std::move(first);
  EXPECT_FALSE(first.IsOpen());
  ASSERT_TRUE(second.Write(Bytes("moved")));
  sys::OutputFile third;
  ASSERT_EQ(third.Create(root / L"b.txt", sys::FileCreation::New), sys::CreateResult::Created);
  third = std::move(second);  // b.txt is closed, a.txt stays open in third
  ASSERT_TRUE(third.Write(Bytes("!")));
  ASSERT_TRUE(third.Close());
  EXPECT_EQ(ReadFile(root / L"a.txt"), "moved!");
  EXPECT_EQ(ReadFile(root / L"b.txt"), "");
}

TEST(InputFile, ReadsAtAnyOffsetButNeverPastTheEnd) {
  TempFolder root;
  const std::string content = Pattern((1u << 20) + 5, 7);
  WriteFile(root / L"archive.zip", content);
  sys::InputFile file;
  ASSERT_TRUE(file.Open(root / L"archive.zip", sys::LinkRule::Followed));
  ASSERT_EQ(file.Size(), content.size());
  struct Case {
    std::uint64_t offset;
    std::size_t size;
    bool readable;
  };
  for (const Case& c : std::vector<Case>{{0, 0, true},
                                         {0, content.size(), true},
                                         {1u << 20, 5, true},
                                         {content.size(), 0, true},
                                         {content.size() - 1, 2, false},
                                         {content.size() + 1, 0, false},
                                         {~std::uint64_t{0}, 1, false}}) {
    std::string out(c.size, '\0');
    EXPECT_EQ(file.ReadAt(c.offset, std::span(reinterpret_cast<std::uint8_t*>(out.data()), out.size())), c.readable)
        << c.offset << " + " << c.size;
    if (c.readable) {
      EXPECT_EQ(out, content.substr(static_cast<std::size_t>(c.offset), c.size));
    }
  }
}

TEST(InputFile, OnlyARegularFileOpens) {
  TempFolder root;
  sys::InputFile file;
  EXPECT_FALSE(file.Open(root / L"missing", sys::LinkRule::Followed));
  EXPECT_FALSE(file.Open(root.Path(), sys::LinkRule::Followed)) << "a folder";
  EXPECT_EQ(file.Size(), 0u);
}

// Links are tried on the host only: Wine 8 makes them, but neither opens nor deletes them as
// Windows does.
#ifndef _WIN32
bool MakeLink(const std::wstring& target, const std::wstring& link, bool folder) {
  std::error_code error;
  if (folder) {
    fs::create_directory_symlink(FsPath(target), FsPath(link), error);
  } else {
    fs::create_symlink(FsPath(target), FsPath(link), error);
  }
  return !error;
}

TEST(InputFile, LinkOpensOnlyWhenLinksAreFollowed) {
  TempFolder root;
  WriteFile(root / L"real.zip", "PK");
  ASSERT_TRUE(MakeLink(root / L"real.zip", root / L"link.zip", false));
  sys::InputFile file;
  EXPECT_FALSE(file.Open(root / L"link.zip", sys::LinkRule::Refused));
  ASSERT_TRUE(file.Open(root / L"link.zip", sys::LinkRule::Followed));
  EXPECT_EQ(file.Size(), 2u);
  sys::InputFile moved = std::move(file);
  EXPECT_EQ(file.Size(), 0u);
  std::string out(2, '\0');
  EXPECT_FALSE(file.ReadAt(0, std::span(reinterpret_cast<std::uint8_t*>(out.data()), 2))) << "moved away";
  ASSERT_TRUE(moved.ReadAt(0, std::span(reinterpret_cast<std::uint8_t*>(out.data()), 2)));
  EXPECT_EQ(out, "PK");
}

// A link where a file is made, removed or marked: the link is what is dealt with, never what it
// points at.
TEST(Links, NeitherFollowedWhenCreatingNorWhenRemoving) {
  TempFolder root;
  WriteFile(root / L"target.txt", "target");
  ASSERT_TRUE(MakeLink(root / L"target.txt", root / L"link.txt", false));
  ASSERT_TRUE(MakeLink(root / L"nowhere.txt", root / L"dangling.txt", false));
  EXPECT_EQ(sys::OutputFile().Create(root / L"dangling.txt", sys::FileCreation::New), sys::CreateResult::Exists);
  EXPECT_FALSE(sys::WriteNewFile(root / L"dangling.txt", "planted"));
  EXPECT_FALSE(Exists(root / L"nowhere.txt")) << "created through the link";
  EXPECT_TRUE(sys::RemoveFile(root / L"link.txt"));
  EXPECT_FALSE(Exists(root / L"link.txt"));
  EXPECT_EQ(ReadFile(root / L"target.txt"), "target");
}

TEST(Links, ReadOnlyIsNotAppliedThroughALink) {
  TempFolder root;
  WriteFile(root / L"target.txt", "target");
  ASSERT_TRUE(MakeLink(root / L"target.txt", root / L"link.txt", false));
  sys::ApplyFileAttributes(root / L"link.txt", {.readOnly = true});
  EXPECT_EQ(sys::ProbePath(root / L"target.txt"), sys::PathState::Writable);
}
#endif

TEST(ForceDirectories, MakesEveryMissingLevelAndRefusesAFileInTheWay) {
  TempFolder root;
  EXPECT_TRUE(sys::ForceDirectories(root / L"a\\b/c\\\\"));
  EXPECT_TRUE(fs::is_directory(FsPath(root / L"a\\b\\c")));
  EXPECT_TRUE(sys::ForceDirectories(root / L"a\\b")) << "existing already";
  WriteFile(root / L"file", "x");
  EXPECT_FALSE(sys::ForceDirectories(root / L"file"));
  EXPECT_FALSE(sys::ForceDirectories(root / L"file\\below"));
  EXPECT_EQ(ReadFile(root / L"file"), "x");
  EXPECT_FALSE(sys::ForceDirectories(L""));
}

TEST(RemoveFile, DeletesFilesButNeverAFolder) {
  TempFolder root;
  WriteFile(root / L"a.txt", "x");
  fs::create_directory(FsPath(root / L"empty"));
  EXPECT_TRUE(sys::RemoveFile(root / L"a.txt"));
  EXPECT_FALSE(Exists(root / L"a.txt"));
  EXPECT_FALSE(sys::RemoveFile(root / L"a.txt")) << "gone already";
  EXPECT_FALSE(sys::RemoveFile(root / L"empty"));
  EXPECT_TRUE(fs::is_directory(FsPath(root / L"empty")));
}

TEST(WriteNewFile, WritesOnlyANewFileAndReadFileHeadReadsItsStart) {
  TempFolder root;
  const std::wstring path = root / L"install.marker";
  ASSERT_TRUE(sys::WriteNewFile(path, "product-id"));
  EXPECT_FALSE(sys::WriteNewFile(path, "other")) << "the name is taken";
  EXPECT_EQ(sys::ReadFileHead(path, 7), "product");
  EXPECT_EQ(sys::ReadFileHead(path, 100), "product-id");
  EXPECT_EQ(sys::ReadFileHead(path, 0), "");
  EXPECT_FALSE(sys::ReadFileHead(root / L"missing", 10));
  EXPECT_FALSE(sys::ReadFileHead(root.Path(), 10)) << "a folder";
}

#ifdef _WIN32
// Who may open a file while it is open here: a written file shares reading and writing only when
// asked to, a read file only reading; none lets anyone delete or rename it.
TEST(Sharing, OthersOpenOnlyWhatTheFileShares) {
  TempFolder root;
  const std::wstring path = root / L"shared.bin";
  WriteFile(path, "x");
  const auto opens = [&](DWORD access) {
    const HANDLE other = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (other == INVALID_HANDLE_VALUE) return false;
    CloseHandle(other);
    return true;
  };
  struct Case {
    const char* name;
    std::function<bool(sys::OutputFile&, sys::InputFile&)> open;
    bool read, write;
  };
  for (const Case& c : std::vector<Case>{
           {"written alone", [&](sys::OutputFile& o, sys::InputFile&) {
              return o.Create(path, sys::FileCreation::Replace) == sys::CreateResult::Created; }, false, false},
           {"written shared", [&](sys::OutputFile& o, sys::InputFile&) {
              return o.Create(path, sys::FileCreation::Replace, sys::FileSharing::ReadWrite) == sys::CreateResult::Created;
            }, true, true},
           {"read, links followed", [&](sys::OutputFile&, sys::InputFile& i) {
              return i.Open(path, sys::LinkRule::Followed); }, true, false},
           {"read, links refused", [&](sys::OutputFile&, sys::InputFile& i) {
              return i.Open(path, sys::LinkRule::Refused); }, true, false}}) {
    sys::OutputFile output;
    sys::InputFile input;
    ASSERT_TRUE(c.open(output, input)) << c.name;
    EXPECT_EQ(opens(GENERIC_READ), c.read) << c.name;
    EXPECT_EQ(opens(GENERIC_WRITE), c.write) << c.name;
    EXPECT_FALSE(opens(DELETE)) << c.name;
    EXPECT_FALSE(DeleteFileW(path.c_str())) << c.name;
  }
}
#endif

// A target that is open (a running program's file) stays as it was on Windows; the host replaces
// it.
TEST(MoveFileOver, TargetInUseStaysOnWindows) {
  TempFolder root;
  WriteFile(root / L"new", "new");
  WriteFile(root / L"target", "old");
  sys::InputFile held;
  ASSERT_TRUE(held.Open(root / L"target", sys::LinkRule::Refused));
#ifdef _WIN32
  EXPECT_EQ(sys::MoveFileOver(root / L"new", root / L"target"), sys::MoveResult::TargetInUse);
  EXPECT_EQ(ReadFile(root / L"target"), "old");
  EXPECT_EQ(ReadFile(root / L"new"), "new") << "the source stays for its owner to delete";
#else
  EXPECT_EQ(sys::MoveFileOver(root / L"new", root / L"target"), sys::MoveResult::Moved);
  EXPECT_EQ(ReadFile(root / L"target"), "new");
#endif
}

TEST(MoveFileOver, ReplacesAFileButNotAFolder) {
  TempFolder root;
  WriteFile(root / L"new", "new content");
  WriteFile(root / L"target.dll", "old");
  ASSERT_EQ(sys::MoveFileOver(root / L"new", root / L"target.dll"), sys::MoveResult::Moved);
  EXPECT_EQ(ReadFile(root / L"target.dll"), "new content");
  EXPECT_FALSE(Exists(root / L"new"));

  WriteFile(root / L"new", "x");
  WriteFile(root / L"folder\\inside.txt", "kept");
  EXPECT_EQ(sys::MoveFileOver(root / L"new", root / L"folder"), sys::MoveResult::Failed);
  EXPECT_EQ(ReadFile(root / L"folder\\inside.txt"), "kept");
}

TEST(ProbePath, TellsWhatStandsThere) {
  TempFolder root;
  WriteFile(root / L"plain", "x");
  WriteFile(root / L"locked", "x");
  test_support::MakeReadOnly(root / L"locked");
  EXPECT_EQ(sys::ProbePath(root / L"missing"), sys::PathState::Missing);
  EXPECT_EQ(sys::ProbePath(root / L"plain"), sys::PathState::Writable);
  EXPECT_EQ(sys::ProbePath(root / L"locked"), sys::PathState::ReadOnly);
  EXPECT_EQ(sys::ProbePath(root.Path()), sys::PathState::Folder);
  sys::ApplyFileAttributes(root / L"plain", {.readOnly = true});
  EXPECT_EQ(sys::ProbePath(root / L"plain"), sys::PathState::ReadOnly);
}

// A hard link put where a file was just moved in: the attributes meant for that file would reach
// the other file under its own name, wherever that is.
TEST(ApplyFileAttributes, LeavesAFileThatHasAnotherNameAlone) {
  TempFolder root;
  WriteFile(root / L"elsewhere.txt", "someone else's");
  std::error_code error;
  fs::create_hard_link(FsPath(root / L"elsewhere.txt"), FsPath(root / L"moved-in.txt"), error);
  ASSERT_FALSE(error) << error.message();
  sys::ApplyFileAttributes(root / L"moved-in.txt", {.readOnly = true, .hidden = true, .system = true});
  EXPECT_EQ(sys::ProbePath(root / L"elsewhere.txt"), sys::PathState::Writable);
#ifdef _WIN32
  EXPECT_EQ(GetFileAttributesW((root / L"elsewhere.txt").c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
#endif
}

TEST(PinnedFolder, CreatesAndHoldsAFolderButNeverAFileOrALink) {
  TempFolder root;
  sys::PinnedFolder folder;
  ASSERT_TRUE(folder.Hold(root / L"dest"));
  EXPECT_TRUE(fs::is_directory(FsPath(root / L"dest")));
  EXPECT_TRUE(folder.StillInPlace());
  WriteFile(root / L"file", "x");
  sys::PinnedFolder onFile;
  EXPECT_FALSE(onFile.Hold(root / L"file"));
  EXPECT_FALSE(onFile.StillInPlace());
  EXPECT_EQ(ReadFile(root / L"file"), "x");
#ifndef _WIN32
  // Wine 8 opens a folder link's target even when asked for the link itself, so this is tried on
  // the host only.
  ASSERT_TRUE(MakeLink(root / L"dest", root / L"link", true));
  sys::PinnedFolder onLink;
  EXPECT_FALSE(onLink.Hold(root / L"link")) << "a link to a folder";
#endif
}

// While it is held, the folder is the one at its path: on Windows it cannot be renamed away; the
// host can rename it and then reports that it is no longer in place.
TEST(PinnedFolder, FolderRenamedAwayIsNoLongerInPlace) {
  TempFolder root;
  sys::PinnedFolder folder;
  ASSERT_TRUE(folder.Hold(root / L"dest"));
  std::error_code error;
  fs::rename(FsPath(root / L"dest"), FsPath(root / L"moved"), error);
#ifdef _WIN32
  EXPECT_TRUE(error) << "renamed while held";
  EXPECT_TRUE(folder.StillInPlace());
#else
  ASSERT_FALSE(error);
  fs::create_directory(FsPath(root / L"dest"));
  EXPECT_FALSE(folder.StillInPlace()) << "another folder stands at the path now";
#endif
  sys::PinnedFolder moved = std::move(folder);
  EXPECT_FALSE(folder.StillInPlace());
}

TEST(PinnedFolder, LetsTheOldFolderGoWhenAnotherTakesItsPlace) {
  TempFolder root;
  sys::PinnedFolder folder;
  ASSERT_TRUE(folder.Hold(root / L"first"));
  sys::PinnedFolder second;
  ASSERT_TRUE(second.Hold(root / L"second"));
  folder = std::move(second);
  EXPECT_TRUE(folder.StillInPlace());
  std::error_code error;
  fs::rename(FsPath(root / L"first"), FsPath(root / L"first-moved"), error);
  EXPECT_FALSE(error) << "the first folder is still held";
}

}  // namespace
