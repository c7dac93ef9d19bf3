#include "system/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <chrono>
#include <set>
#include <thread>
#else
#include "system/processes_fake.h"
#endif

#include "common/strings.h"
#include "common/text.h"
#include "support/message_box_recorder.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"
#include "system/file_io.h"
#include "system/processes.h"
#include "system/registry.h"

namespace {

using test_support::Exists;
using test_support::TempFolder;

void MakeHidden([[maybe_unused]] const std::wstring& path) {
#ifdef _WIN32
  SetFileAttributesW(path.c_str(), GetFileAttributesW(path.c_str()) | FILE_ATTRIBUTE_HIDDEN);
#endif
}

// A product folder: plain, read-only and hidden files, dot entries, and nested folders.
struct ProductTree {
  explicit ProductTree(const TempFolder& root) : dir(root / L"product") {
    for (const wchar_t* file : {L"a.txt", L"readonly.dll", L"hidden.dat", L".gitignore", L".cache\\keep.bin",
                                L"sub\\b.txt", L"sub\\deep\\c.txt", L"sub\\.dot\\d.txt"}) {
      test_support::WriteFile(dir + L"\\" + file, "x");
    }
    test_support::MakeReadOnly(dir + L"\\readonly.dll");
    test_support::MakeReadOnly(dir + L"\\sub\\deep\\c.txt");
    MakeHidden(dir + L"\\hidden.dat");
    MakeHidden(dir + L"\\sub\\b.txt");
  }
  std::wstring operator/(const wchar_t* name) const { return dir + L"\\" + name; }
  std::wstring dir;
};

// A file of the folder that has another name outside it (a user's hard link): its attributes are
// that name's too, and stay as they are. Not an issue on the host, where unlinking changes nothing.
TEST(EmptyFolder, LeavesTheAttributesOfAFileWithAnotherNameAlone) {
  TempFolder root;
  const std::wstring outside = root / L"elsewhere.txt";
  test_support::WriteFile(outside, "someone else's");
  test_support::WriteFile(root / L"product\\plain.txt", "x");
  std::error_code error;
  std::filesystem::create_hard_link(test_support::FsPath(outside), test_support::FsPath(root / L"product\\linked.txt"),
                                    error);
  ASSERT_FALSE(error) << error.message();
  test_support::MakeReadOnly(outside);
  MakeHidden(outside);
  sys::EmptyFolder(root / L"product", true);
  EXPECT_FALSE(Exists(root / L"product\\plain.txt"));
  EXPECT_EQ(sys::ProbePath(outside), sys::PathState::ReadOnly);
#ifdef _WIN32
  EXPECT_NE(GetFileAttributesW(outside.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
#endif
  EXPECT_EQ(test_support::ReadFile(outside), "someone else's");
}

TEST(EmptyFolder, WithSubfoldersDeletesAllButDotEntries) {
  TempFolder root;
  const ProductTree tree(root);
  EXPECT_TRUE(sys::EmptyFolder(tree.dir, true));
  EXPECT_TRUE(Exists(tree.dir));
  for (const wchar_t* gone : {L"a.txt", L"readonly.dll", L"hidden.dat", L"sub"}) EXPECT_FALSE(Exists(tree / gone)) << gone;
  EXPECT_TRUE(Exists(tree / L".gitignore"));
  EXPECT_TRUE(Exists(tree / L".cache\\keep.bin"));
  // The dot entries keep the folder from being removed.
  EXPECT_FALSE(sys::RemoveFolder(tree.dir));
}

TEST(EmptyFolder, WithoutSubfoldersDeletesOnlyTheFilesAndReportsTheFolders) {
  TempFolder root;
  const ProductTree tree(root);
  EXPECT_FALSE(sys::EmptyFolder(tree.dir, false));  // "sub" counts as a failed deletion
  for (const wchar_t* gone : {L"a.txt", L"readonly.dll", L"hidden.dat"}) EXPECT_FALSE(Exists(tree / gone)) << gone;
  for (const wchar_t* kept : {L"sub\\b.txt", L"sub\\deep\\c.txt", L".gitignore"}) EXPECT_TRUE(Exists(tree / kept)) << kept;
}

TEST(EmptyFolder, MissingFolderIsNothingToDo) {
  TempFolder root;
  EXPECT_TRUE(sys::EmptyFolder(root / L"missing", true));
}

TEST(DeleteFolderTree, RemovesEverythingBelowAndTheFolder) {
  TempFolder root;
  const ProductTree tree(root);
  test_support::WriteFile(root / L"beside.txt", "x");
  EXPECT_TRUE(sys::DeleteFolderTree(tree.dir + L"\\"));
  EXPECT_FALSE(Exists(tree.dir));
  EXPECT_TRUE(Exists(root / L"beside.txt"));
}

TEST(DeleteFolderTree, ResultsForEmptyMissingAndFilePaths) {
  TempFolder root;
  std::filesystem::create_directories(test_support::FsPath(root / L"empty"));
  test_support::WriteFile(root / L"file.txt", "x");
  EXPECT_TRUE(sys::DeleteFolderTree(root / L"empty"));
  EXPECT_FALSE(Exists(root / L"empty"));
  EXPECT_FALSE(sys::DeleteFolderTree(root / L"missing"));
  EXPECT_FALSE(sys::DeleteFolderTree(root / L"file.txt"));
  EXPECT_TRUE(Exists(root / L"file.txt"));
}

TEST(DeleteFolderTree, KeepsTheCurrentDirectory) {
  TempFolder root;
  const ProductTree tree(root);
  const auto before = std::filesystem::current_path();
  sys::DeleteFolderTree(tree.dir);
  EXPECT_EQ(std::filesystem::current_path(), before);
}

#ifndef _WIN32
TEST(DeleteFolderTree, RemovesLinksWithoutFollowingThem) {
  TempFolder root;
  test_support::WriteFile(root / L"elsewhere\\precious.txt", "x");
  test_support::WriteFile(root / L"product\\a.txt", "x");
  std::filesystem::create_directory_symlink(test_support::FsPath(root / L"elsewhere"),
                                            test_support::FsPath(root / L"product\\link"));
  EXPECT_TRUE(sys::DeleteFolderTree(root / L"product"));
  EXPECT_FALSE(Exists(root / L"product"));
  EXPECT_TRUE(Exists(root / L"elsewhere\\precious.txt"));
}
#endif

// ---- links and folders swapped while a deletion walks ---------------------------------------

// A product folder with a sub-folder, and precious files outside it that no deletion may reach.
struct WalkedTree {
  explicit WalkedTree(const TempFolder& root) : root(root) {
    for (const wchar_t* file : {L"product\\a.txt", L"product\\sub\\b.txt", L"product\\sub\\deep\\c.txt",
                                L"elsewhere\\precious.txt", L"elsewhere\\inner\\precious.txt"}) {
      test_support::WriteFile(root / file, "x");
    }
  }
  std::wstring Product() const { return root / L"product"; }
  const TempFolder& root;
};

using Deletion = std::function<bool(const std::wstring&)>;
const std::vector<std::pair<const char*, Deletion>>& Deletions() {
  static const std::vector<std::pair<const char*, Deletion>> deletions{
      {"DeleteFolderTree", [](const std::wstring& path) { return sys::DeleteFolderTree(path); }},
      {"EmptyFolder", [](const std::wstring& path) { return sys::EmptyFolder(path, true); }},
  };
  return deletions;
}

// Runs the deletion with observer called once, for the folder named name, in the moment between
// its listing and the deletion of its entries.
void DeleteWhileObserving(const Deletion& deletion, const std::wstring& path, const std::wstring& name,
                          const std::function<void()>& observer) {
  bool seen = false;
  sys::SetDeletionObserver([&](std::wstring_view folder) {
    if (seen || !sys::SameFolder(folder, name)) return;
    seen = true;
    observer();
  });
  deletion(path);
  sys::SetDeletionObserver(nullptr);
  EXPECT_TRUE(seen) << "the walk never reached " << common::WideToUtf8(name);
}

#ifndef _WIN32
TEST(LinkProofDeletion, AFolderSwappedForALinkBetweenListingAndDescentIsNotFollowed) {
  for (const auto& [name, deletion] : Deletions()) {
    SCOPED_TRACE(name);
    TempFolder root;
    const WalkedTree tree(root);
    DeleteWhileObserving(deletion, tree.Product(), tree.Product(), [&] {
      // "sub" was listed as a folder; now a link to the precious folder stands in its place.
      std::filesystem::rename(test_support::FsPath(root / L"product\\sub"), test_support::FsPath(root / L"moved"));
      std::filesystem::create_directory_symlink(test_support::FsPath(root / L"elsewhere"),
                                                test_support::FsPath(root / L"product\\sub"));
    });
    EXPECT_TRUE(Exists(root / L"elsewhere\\precious.txt"));
    EXPECT_TRUE(Exists(root / L"elsewhere\\inner\\precious.txt"));
    EXPECT_FALSE(Exists(root / L"product\\sub")) << "the link itself is removed";
    EXPECT_FALSE(Exists(root / L"product\\a.txt"));
  }
}

TEST(LinkProofDeletion, ALinkedFileKeepsItsTargetAndTheTargetsPermissions) {
  TempFolder root;
  test_support::WriteFile(root / L"elsewhere\\readonly.txt", "x");
  test_support::MakeReadOnly(root / L"elsewhere\\readonly.txt");
  test_support::WriteFile(root / L"product\\a.txt", "x");
  std::filesystem::create_symlink(test_support::FsPath(root / L"elsewhere\\readonly.txt"),
                                  test_support::FsPath(root / L"product\\link.txt"));
  EXPECT_TRUE(sys::EmptyFolder(root / L"product", true));
  EXPECT_FALSE(Exists(root / L"product\\link.txt"));
  const auto perms = std::filesystem::status(test_support::FsPath(root / L"elsewhere\\readonly.txt")).permissions();
  EXPECT_EQ(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none) << "target made writable";
}

TEST(LinkProofDeletion, AFolderThatIsItselfALinkIsNeitherEmptiedNorDeleted) {
  for (const auto& [name, deletion] : Deletions()) {
    SCOPED_TRACE(name);
    TempFolder root;
    const WalkedTree tree(root);
    std::filesystem::create_directory_symlink(test_support::FsPath(root / L"elsewhere"),
                                              test_support::FsPath(root / L"link"));
    EXPECT_FALSE(deletion(root / L"link"));
    EXPECT_TRUE(Exists(root / L"elsewhere\\precious.txt"));
  }
}
#else
// Runs the probe that renames from to to in a process of its own; its Win32 error.
DWORD RenameInAnotherProcess(const std::wstring& from, const std::wstring& to) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring line = L"\"" LAUNCH_PROBE_EXE L"\" rename \"" + from + L"\" \"" + to + L"\"";
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return GetLastError();
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

TEST(LinkProofDeletion, AnotherProcessCannotRenameTheFoldersBeingWalked) {
  for (const auto& [name, deletion] : Deletions()) {
    SCOPED_TRACE(name);
    TempFolder root;
    const WalkedTree tree(root);
    DWORD subError = 0;
    DWORD productError = 0;
    DeleteWhileObserving(deletion, tree.Product(), root / L"product\\sub", [&] {
      subError = RenameInAnotherProcess(root / L"product\\sub", root / L"moved");
      productError = RenameInAnotherProcess(tree.Product(), root / L"moved");
    });
    EXPECT_EQ(subError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(productError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(Exists(root / L"moved"));
    EXPECT_FALSE(Exists(root / L"product\\sub"));
    EXPECT_TRUE(Exists(root / L"elsewhere\\precious.txt"));
  }
}
#endif

// The user's own folders, spelt in the ways a configuration or a wrong start folder may spell them.
class ProtectedFolders : public testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    wchar_t buffer[MAX_PATH] = {};
    GetEnvironmentVariableW(L"USERPROFILE", buffer, MAX_PATH);
    profile_ = buffer;
#else
    // The host's profile is a scratch HOME, so a fault here cannot touch the real one.
    const char* home = std::getenv("HOME");
    savedHome_ = home ? home : "";
    setenv("HOME", common::WideToUtf8(scratch_.Path()).c_str(), 1);
    profile_ = scratch_.Path();
#endif
    ASSERT_FALSE(profile_.empty());
  }
  void TearDown() override {
#ifndef _WIN32
    setenv("HOME", savedHome_.c_str(), 1);
#endif
  }
  std::wstring profile_;

 private:
  TempFolder scratch_{L"home"};
  std::string savedHome_;
};

TEST_F(ProtectedFolders, EmptyFolderAndDeleteFolderTreeRefuseThem) {
  const std::wstring marker = L"uninstall-must-not-delete.txt";
  for (const wchar_t* folder : {L"Desktop", L"Documents", L"Downloads"}) {
    test_support::WriteFile(profile_ + L"\\" + folder + L"\\" + marker, "x");
  }
  test_support::WriteFile(profile_ + L"\\" + marker, "x");
  const std::wstring upper = common::UpperCase(profile_);
  const std::wstring slashes = common::ReplaceAll(profile_, L"\\", L"/", true);
  const std::vector<std::wstring> spellings{
      profile_,
      profile_ + L"\\",
      profile_ + L"\\\\.\\",
      profile_ + L"\\Desktop",
      upper + L"\\DESKTOP\\",
      slashes + L"/Documents/",
      profile_ + L"\\Desktop\\..\\Downloads",
      profile_ + L"\\Downloads\\.",
      profile_ + L"\\Desktop\\sub\\..",
      profile_ + L"\\Desktop\\..",
  };
  for (const auto& path : spellings) {
    SCOPED_TRACE(common::WideToUtf8(path));
    EXPECT_TRUE(sys::IsProtectedFolder(path));
    EXPECT_FALSE(sys::EmptyFolder(path, true));
    EXPECT_FALSE(sys::EmptyFolder(path, false));
    EXPECT_FALSE(sys::DeleteFolderTree(path));
  }
  for (const wchar_t* folder : {L"\\Desktop\\", L"\\Documents\\", L"\\Downloads\\", L"\\"}) {
    EXPECT_TRUE(Exists(profile_ + folder + marker)) << common::WideToUtf8(folder);
  }
}

#ifndef _WIN32
TEST_F(ProtectedFolders, ALinkToThemIsRefusedToo) {
  test_support::WriteFile(profile_ + L"\\Documents\\letter.txt", "x");
  TempFolder product;
  std::filesystem::create_directory_symlink(test_support::FsPath(profile_ + L"\\Documents"),
                                            test_support::FsPath(product / L"docs"));
  EXPECT_TRUE(sys::IsProtectedFolder(product / L"docs"));
  EXPECT_FALSE(sys::DeleteFolderTree(product / L"docs"));
  EXPECT_FALSE(sys::EmptyFolder(product / L"docs\\", true));
  EXPECT_TRUE(Exists(profile_ + L"\\Documents\\letter.txt"));
}
#endif

#ifdef _WIN32
std::wstring KnownFolder(const KNOWNFOLDERID& id) {
  wchar_t* path = nullptr;
  std::wstring result;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) result = path;
  CoTaskMemFree(path);
  return result;
}

// Another user's profile, listed where Windows lists profiles, for as long as the object lives.
// The short (8.3) name of an existing path, which the file system resolves to its long one.
std::wstring ShortPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
  EXPECT_TRUE(length > 0 && length < MAX_PATH);
  EXPECT_NE(common::UpperCase(buffer), common::UpperCase(path)) << "no short name that differs";
  return buffer;
}

class OtherProfile {
 public:
  explicit OtherProfile(const std::wstring& folder) {
    sys::RegKey key;
    sys::RegKey::Create(sys::RegRoot::LocalMachine, std::wstring(kList) + L"\\" + kSid,
                        sys::reg::kKeyAllAccess | sys::reg::kWow64_64Key, key);
    key.SetValue(L"ProfileImagePath", sys::reg::kRegExpandSz, sys::reg::StringData(folder));
  }
  ~OtherProfile() {
    sys::RegKey list;
    sys::RegKey::Open(sys::RegRoot::LocalMachine, kList, sys::reg::kKeyAllAccess | sys::reg::kWow64_64Key, list);
    list.DeleteSubKey(kSid);
  }
  OtherProfile(const OtherProfile&) = delete;
  OtherProfile& operator=(const OtherProfile&) = delete;

 private:
  static constexpr wchar_t kList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  static constexpr wchar_t kSid[] = L"S-1-5-21-1111-2222-3333-1099";
};
#endif

// What the guard refuses and what it lets through: the known folders themselves and every folder
// holding them are refused; a product folder below one of the current user's is allowed (the
// install rules decide about it); the Windows folder and other users' profiles are refused with
// everything below them.
TEST_F(ProtectedFolders, RefusedAndAllowedFolders) {
  struct Row {
    std::wstring path;
    bool protectedFolder;
  };
  std::vector<Row> rows{
      {profile_ + L"\\Desktop\\Product", false},
      {sys::GetLocalAppDataDir() + L"\\Product", false},
      {sys::GetAppDataDir() + L"\\Product\\cache", false},
      {profile_ + L"\\Documents\\Work", false},
      {profile_ + L"\\Pictures\\Product", false},
      {profile_, true},
      {sys::GetTempDir(), true},
  };
#ifdef _WIN32
  TempFolder other(L"other user");
  const OtherProfile listed(other.Path());
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring programData = KnownFolder(FOLDERID_ProgramData);
  const std::wstring users = KnownFolder(FOLDERID_UserProfiles);
  for (const KNOWNFOLDERID* id : {&FOLDERID_Pictures, &FOLDERID_Music, &FOLDERID_Videos, &FOLDERID_Favorites,
                                  &FOLDERID_SavedGames, &FOLDERID_Public, &FOLDERID_Downloads, &FOLDERID_Documents}) {
    const std::wstring known = KnownFolder(*id);
    if (!known.empty()) rows.push_back({known, true});
  }
  const std::vector<Row> windowsRows{
      {std::wstring(windows) + L"\\System32", true},
      {std::wstring(windows) + L"\\System32\\drivers\\Product", true},
      {std::wstring(windows) + L"\\Product", true},
      {programData, true},
      {programData + L"\\Product", false},
      {users, true},
      {profile_ + L"\\Saved Games", true},
      {profile_ + L"\\OneDrive", true},
      {profile_ + L"\\Music", true},
      {profile_ + L"\\Videos", true},
      {profile_ + L"\\Favorites", true},
      {other.Path(), true},
      {other / L"Documents\\Product", true},
      {other / L"AppData\\Local\\Product", true},
      // Named another way (its short name, as a junction would), with a part that does not exist
      // yet: the existing part is resolved all the same.
      {ShortPath(other.Path()) + L"\\New\\Product", true},
      {L"C:\\Data", false},
      {L"C:\\Games\\Product", false},
  };
  rows.insert(rows.end(), windowsRows.begin(), windowsRows.end());
#else
  for (const wchar_t* folder : {L"/Pictures", L"/Music", L"/Videos", L"/Documents"}) rows.push_back({profile_ + folder, true});
  const std::vector<Row> hostRows{
      {L"/usr/lib/product", true},
      {L"/etc/product", true},
      {L"/opt/product", false},
  };
  rows.insert(rows.end(), hostRows.begin(), hostRows.end());
#endif
  for (const Row& row : rows) {
    EXPECT_EQ(sys::IsProtectedFolder(row.path), row.protectedFolder) << common::WideToUtf8(row.path);
  }

  // A product folder below the Desktop may be emptied.
  test_support::WriteFile(profile_ + L"\\Desktop\\Product\\a.txt", "x");
  EXPECT_TRUE(sys::EmptyFolder(profile_ + L"\\Desktop\\Product", true));
  EXPECT_FALSE(Exists(profile_ + L"\\Desktop\\Product\\a.txt"));
#ifdef _WIN32
  // Another user's files are never deleted, however deep.
  test_support::WriteFile(other / L"Documents\\Product\\letter.txt", "x");
  EXPECT_FALSE(sys::EmptyFolder(other / L"Documents\\Product", true));
  EXPECT_FALSE(sys::DeleteFolderTree(other / L"Documents\\Product"));
  EXPECT_TRUE(Exists(other / L"Documents\\Product\\letter.txt"));
#endif
}

TEST_F(ProtectedFolders, SystemFoldersRootsAndApplicationData) {
  std::vector<std::wstring> guarded{sys::GetAppDataDir(), sys::GetLocalAppDataDir() + L"\\",
                                    sys::GetAppDataDir() + L"\\..", L""};
#ifdef _WIN32
  for (const wchar_t* variable : {L"%SystemRoot%", L"%ProgramFiles%", L"%SystemDrive%\\", L"%ProgramFiles%\\..\\",
                                  L"%ProgramFiles%\\Common Files\\.."}) {
    wchar_t expanded[MAX_PATH] = {};
    ExpandEnvironmentStringsW(variable, expanded, MAX_PATH);
    guarded.push_back(expanded);
  }
  for (const wchar_t* root : {L"C:\\", L"c:", L"Z:/", L"\\", L"\\\\server\\share\\", L"\\\\?\\C:\\", L"C:\\.."}) {
    guarded.push_back(root);
  }
#else
  for (const wchar_t* folder : {L"/", L"//", L"/usr/", L"/usr/share/..", L"\\", L"/tmp/.."}) guarded.push_back(folder);
#endif
  for (const auto& path : guarded) EXPECT_TRUE(sys::IsProtectedFolder(path)) << common::WideToUtf8(path);
}

#ifdef _WIN32
TEST_F(ProtectedFolders, BareDriveIsItsRootEvenWhenItsCurrentFolderIsElsewhere) {
  TempFolder current;
  const std::wstring before = std::filesystem::current_path().wstring();
  ASSERT_TRUE(SetCurrentDirectoryW(current.Path().c_str()));
  const std::wstring drive = current.Path().substr(0, 2);
  EXPECT_TRUE(sys::IsProtectedFolder(drive));
  EXPECT_TRUE(sys::IsProtectedFolder(drive + L"\\."));
  EXPECT_FALSE(sys::IsProtectedFolder(drive + L"."));  // the drive's current folder
  SetCurrentDirectoryW(before.c_str());
}
#endif

TEST(SelfDeleteScript, AsciiLinesThatNameTheTargetOnlyByItsFileName) {
  TempFolder root(L"100% & ^ (x)! 中文");
  const std::wstring target = root / L"unin.exe";
  test_support::WriteFile(target, "x");
  const std::wstring script = sys::WriteSelfDeleteScript(target);
  const std::wstring again = sys::WriteSelfDeleteScript(target);

  const std::string text = test_support::ReadFile(script);
  const auto path = test_support::FsPath(script);
  const auto tool = [](const wchar_t* name) { return common::WideToAnsi(sys::SystemProgramPath(name)); };
  EXPECT_EQ(text, "@echo off\r\n"
                  "set tries=0\r\n"
                  ":try\r\n"
                  "\"" + tool(L"ping.exe") + "\" -n 2 127.0.0.1 >nul\r\n"
                  "\"" + tool(L"attrib.exe") + "\" -s -h -r \"unin.exe\"\r\n"
                  "del \"unin.exe\"\r\n"
                  "if not exist \"unin.exe\" goto done\r\n"
                  "set /a tries+=1\r\n"
                  "if %tries% lss 60 goto try\r\n"
                  ":done\r\n"
                  "cd /d \"%~dp0..\"\r\n"
                  "start \"\" /b \"" + tool(L"cmd.exe") + "\" /d /c \"\"" + tool(L"ping.exe") +
                  "\" -n 3 127.0.0.1 >nul & rd /s /q " + path.parent_path().filename().string() + "\"\r\n");
  EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c > 0; })) << "ASCII only";
  std::smatch name;
  const std::string file = path.filename().string();
  ASSERT_TRUE(std::regex_match(file, name, std::regex("([0-9]+)\\.bat")));
  EXPECT_LT(std::stoi(name[1]), 5000);
  EXPECT_EQ(path.parent_path().parent_path(), test_support::FsPath(sys::GetTempDir()).parent_path());
  // Every script gets a folder of its own, never an existing one.
  EXPECT_NE(path.parent_path(), test_support::FsPath(again).parent_path());
  for (const auto& written : {script, again}) {
    std::filesystem::remove_all(test_support::FsPath(written).parent_path());
  }
}

TEST(SelfDeleteScript, RefusesATargetWhoseNameTheScriptCouldNotCarry) {
  TempFolder root;
  for (const wchar_t* name : {L"a&b.exe", L"100%.exe", L"中文.exe", L"a b.exe", L"x^y.exe", L"(x).exe", L"!.exe"}) {
    test_support::WriteFile(root / name, "x");
    EXPECT_THROW(sys::WriteSelfDeleteScript(root / name), common::EGeneralError) << common::WideToUtf8(name);
  }
}

#ifdef _WIN32
std::set<std::filesystem::path> ScriptFolders() {
  std::set<std::filesystem::path> folders;
  for (const auto& entry : std::filesystem::directory_iterator(test_support::FsPath(sys::GetTempDir()))) {
    if (entry.path().filename().wstring().starts_with(L"unin")) folders.insert(entry.path());
  }
  return folders;
}

// The folder's path holds every character that a batch file mangles, and Chinese, which the
// Western code page cannot represent.
TEST(SelfDeleteAfterExit, DeletesTheReadOnlyTargetOnceItsProcessEndedThenItselfAndItsFolder) {
  EXPECT_EQ(GetACP(), 1252u) << "the test means to run under a Western code page";
  TempFolder root(L"100% & ^ (x)! 安装 %TEMP% !OS!");
  test_support::WriteFile(root / L"beside.txt", "stays");
  const std::wstring target = root / L"unin.exe";
  ASSERT_TRUE(CopyFileW(LAUNCH_PROBE_EXE, target.c_str(), FALSE));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION running{};
  std::wstring line = L"\"" + target + L"\" sleep";
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &running));
  test_support::MakeReadOnly(target);
  const auto before = ScriptFolders();

  sys::SelfDeleteAfterExit(target);
  std::vector<std::filesystem::path> added;
  ASSERT_TRUE(test_support::WaitUntil([&] {
    added.clear();
    for (const auto& folder : ScriptFolders()) {
      if (!before.contains(folder)) added.push_back(folder);
    }
    return !added.empty();
  }));
  ASSERT_EQ(added.size(), 1u);
  // Still running, so it cannot be deleted: the script is trying while its folder is there.
  EXPECT_TRUE(Exists(target));
  TerminateProcess(running.hProcess, 0);
  WaitForSingleObject(running.hProcess, 10000);
  CloseHandle(running.hThread);
  CloseHandle(running.hProcess);

  EXPECT_TRUE(test_support::WaitUntil([&] { return !Exists(target); }));
  EXPECT_TRUE(test_support::WaitUntil([&] { return !std::filesystem::exists(added[0]); })) << "script folder left";
  EXPECT_EQ(test_support::ReadFile(root / L"beside.txt"), "stays");
}
#else
TEST(SelfDeleteAfterExit, StartsTheScriptHiddenInTheTargetsFolderWithTheOwnToken) {
  sys::fake_processes::Reset();
  TempFolder root(L"100% & ^ (x)! 中文");
  sys::SelfDeleteAfterExit(root / L"missing.exe");
  EXPECT_TRUE(sys::fake_processes::Processes().starts.empty());

  test_support::WriteFile(root / L"unin.exe", "x");
  sys::SelfDeleteAfterExit(root / L"unin.exe");
  ASSERT_EQ(sys::fake_processes::Processes().starts.size(), 1u);
  const auto& start = sys::fake_processes::Processes().starts[0];
  EXPECT_EQ(start.token, sys::fake_processes::Token::Own);
  EXPECT_EQ(start.show, 0);
  EXPECT_FALSE(start.wait);
  EXPECT_EQ(start.currentDir, root.Path()) << "the script names the target relative to its folder";
  const std::wstring prefix = L"\"" + sys::SystemProgramPath(L"cmd.exe") + L"\" /d /v:off /s /c \"\"";
  ASSERT_TRUE(start.commandLine.starts_with(prefix) && start.commandLine.ends_with(L".bat\"\""));
  const std::wstring script = start.commandLine.substr(prefix.size(), start.commandLine.size() - prefix.size() - 2);
  EXPECT_EQ(start.commandLine, sys::SelfDeleteCommandLine(script));
  EXPECT_TRUE(common::HasSubStr(L"del \"unin.exe\"", common::AnsiToWide(test_support::ReadFile(script))));
  std::filesystem::remove_all(test_support::FsPath(script).parent_path());
}
#endif

TEST(Files, CopyFileToOverwrites) {
  TempFolder root;
  test_support::WriteFile(root / L"new.bin", "new content");
  test_support::WriteFile(root / L"old.bin", "old");
  EXPECT_TRUE(sys::CopyFileTo(root / L"new.bin", root / L"old.bin"));
  EXPECT_EQ(test_support::ReadFile(root / L"old.bin"), "new content");
  EXPECT_FALSE(sys::CopyFileTo(root / L"missing.bin", root / L"x.bin"));
}

TEST(Files, DeleteFileForceDeletesReadOnlyFiles) {
  TempFolder root;
  test_support::WriteFile(root / L"ro.txt", "x");
  test_support::MakeReadOnly(root / L"ro.txt");
  MakeHidden(root / L"ro.txt");
  EXPECT_TRUE(sys::DeleteFileForce(root / L"ro.txt"));
  EXPECT_FALSE(Exists(root / L"ro.txt"));
  EXPECT_FALSE(sys::DeleteFileForce(root / L"ro.txt"));
}

TEST(Files, DiskFreeOfAnExistingAndAMissingVolume) {
  std::int32_t megabytes = -1;
  EXPECT_TRUE(sys::GetDiskFreeMB(sys::GetTempDir(), megabytes));
  EXPECT_GT(megabytes, 0);
#ifdef _WIN32
  const wchar_t* missing = L"Q:";
#else
  const wchar_t* missing = L"/no/such/volume";
#endif
  megabytes = -1;
  EXPECT_FALSE(sys::GetDiskFreeMB(missing, megabytes));
  EXPECT_EQ(megabytes, 0);
}

#ifdef _WIN32
TEST(Files, TheTemporaryFolderOfALongTempPath) {
  // Around the old 255-character buffer and beyond MAX_PATH.
  TempFolder root;
  wchar_t saved[32768];
  const DWORD savedLength = GetEnvironmentVariableW(L"TMP", saved, 32768);
  for (const std::size_t length : {254u, 255u, 256u, 259u, 300u}) {
    std::wstring folder = root.Path();
    while (folder.size() < length) folder += L"\\" + std::wstring(std::min<std::size_t>(100, length - folder.size() - 1), L'd');
    folder.resize(length);
    if (folder.back() == L'\\') folder.back() = L'e';
    // Each level made and removed by its own long-path name.
    std::vector<std::wstring> levels;
    for (std::size_t end = folder.find(L'\\', root.Path().size()); ; end = folder.find(L'\\', end + 1)) {
      levels.push_back(L"\\\\?\\" + folder.substr(0, end));
      CreateDirectoryW(levels.back().c_str(), nullptr);
      if (end == std::wstring::npos) break;
    }
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", folder.c_str()));
    EXPECT_EQ(sys::GetTempDir(), folder + L"\\") << length;
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) RemoveDirectoryW(level->c_str());
  }
  // A TMP that names no folder is passed over, as GetTempPathW would.
  const std::wstring missing = root.Path() + L"\\" + std::wstring(280, L'm');
  ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", missing.c_str()));
  const std::wstring fallback = sys::GetTempDir();
  EXPECT_FALSE(fallback.empty());
  EXPECT_NE(fallback, missing + L"\\");
  SetEnvironmentVariableW(L"TMP", savedLength ? saved : nullptr);
}
#endif

TEST(Files, OwnLocation) {
  const std::wstring dir = sys::GetExeDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_TRUE(dir.back() == L'\\' || dir.back() == L'/');
  EXPECT_TRUE(sys::FileExists(dir + sys::GetExeFileName()));
  EXPECT_TRUE(common::HasSubStr(L"system_files_tests", sys::GetExeFileName()));
}

TEST(Files, ForceDirectoriesCreatesMissingParents) {
  TempFolder root;
  EXPECT_TRUE(sys::ForceDirectories(root / L"a\\b\\c"));
  EXPECT_TRUE(sys::DirectoryExists(root / L"a\\b\\c"));
  EXPECT_TRUE(sys::ForceDirectories(root / L"a\\b\\c\\"));
}

TEST(AskYesNo, QuestionBoxAndAnswer) {
  test_support::MessageBoxRecorder boxes({sys::mb::kIdYes, sys::mb::kIdNo});
  int owner = 0;
  EXPECT_TRUE(sys::AskYesNo(&owner, L"警告", L"网络连接异常，是否尝试重连？"));
  EXPECT_FALSE(sys::AskYesNo(&owner, L"警告", L"网络连接异常，是否尝试重连？"));
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(boxes.Boxes()[0].owner, &owner);
  EXPECT_EQ(boxes.Boxes()[0].caption, L"警告");
  EXPECT_EQ(boxes.Boxes()[0].text, L"网络连接异常，是否尝试重连？");
  EXPECT_EQ(boxes.Boxes()[0].style, 0x24u);
}

}  // namespace
