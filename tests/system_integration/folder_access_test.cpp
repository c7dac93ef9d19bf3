// Who may change a folder, judged on access lists as Windows ships them, on the folder trees a
// careless user or an attacker could choose, and on this system's own folders; and the access list
// a service product's folder gets, read back.
#include "system/folder_access.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "support/temp_folder.h"
#include "system/files.h"

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <cwctype>
#include <sddl.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using sys::AccessEntry;
using sys::FolderAccess;

constexpr wchar_t kAdministrators[] = L"S-1-5-32-544";
constexpr wchar_t kSystem[] = L"S-1-5-18";
constexpr wchar_t kTrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr wchar_t kUsers[] = L"S-1-5-32-545";
constexpr wchar_t kAuthenticatedUsers[] = L"S-1-5-11";
constexpr wchar_t kCreatorOwner[] = L"S-1-3-0";
constexpr wchar_t kEveryone[] = L"S-1-1-0";
constexpr wchar_t kTheUser[] = L"S-1-5-21-1004336348-1177238915-682003330-1001";

constexpr std::uint32_t kFull = 0x1F01FF;
constexpr std::uint32_t kModify = 0x1301BF;
constexpr std::uint32_t kReadExecute = 0x1200A9;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericReadExecute = 0xA0000000;

// Folders as Windows 10 ships them (read with icacls), and folders a careless user could choose.
const FolderAccess kProgramFiles{kTrustedInstaller, true,
                                 {{kTrustedInstaller, true, false, kFull},
                                  {kTrustedInstaller, true, true, kGenericAll},
                                  {kSystem, true, false, kModify},
                                  {kSystem, true, true, kGenericAll},
                                  {kAdministrators, true, false, kModify},
                                  {kAdministrators, true, true, kGenericAll},
                                  {kUsers, true, false, kReadExecute},
                                  {kUsers, true, true, kGenericReadExecute},
                                  {kCreatorOwner, true, true, kGenericAll}}};
// C:\ : Authenticated Users may make folders in the root itself and modify what they make there.
const FolderAccess kDriveRoot{kTrustedInstaller, true,
                              {{kAdministrators, true, false, kFull},
                               {kSystem, true, false, kFull},
                               {kUsers, true, false, kReadExecute},
                               {kAuthenticatedUsers, true, false, 0x4},
                               {kAuthenticatedUsers, true, true, kModify | 0x10000000}}};
// A folder an administrator made in C:\ : it inherits the root's entry for Authenticated Users.
const FolderAccess kMadeInDriveRoot{kAdministrators, true,
                                    {{kAdministrators, true, false, kFull},
                                     {kSystem, true, false, kFull},
                                     {kUsers, true, false, kReadExecute},
                                     {kAuthenticatedUsers, true, false, kModify}}};
const FolderAccess kLocalAppData{kTheUser, true,
                                 {{kSystem, true, false, kFull}, {kAdministrators, true, false, kFull},
                                  {kTheUser, true, false, kFull}}};
const FolderAccess kUserProfile = kLocalAppData;
const FolderAccess kUsersRoot{kSystem, true,
                              {{kSystem, true, false, kFull},
                               {kAdministrators, true, false, kFull},
                               {kUsers, true, false, kReadExecute},
                               {kEveryone, true, false, kReadExecute}}};
// C:\ProgramData: Users may add files and folders (write data, append data) to it.
const FolderAccess kProgramData{kSystem, true,
                                {{kSystem, true, false, kFull},
                                 {kAdministrators, true, false, kFull},
                                 {kUsers, true, false, kReadExecute},
                                 {kUsers, true, false, 0x6},
                                 {kCreatorOwner, true, true, kGenericAll}}};
// An admin-only folder that a deny entry does not make any safer for users who are allowed.
const FolderAccess kAdminsOnly{kAdministrators, true,
                               {{kAdministrators, true, false, kFull},
                                {kSystem, true, false, kFull},
                                {kUsers, false, false, kFull}}};
// What the service folder's own list is: users read and execute, and what they make inside is
// out of question since they make nothing.
const FolderAccess kServiceFolder{kAdministrators, true,
                                  {{kAdministrators, true, false, kFull},
                                   {kSystem, true, false, kFull},
                                   {kUsers, true, false, kReadExecute}}};
const FolderAccess kNoList{kAdministrators, false, {}};
const FolderAccess kOwnedByAUser{kTheUser, true, {{kAdministrators, true, false, kFull}}};
const FolderAccess kUsersMayDeleteChildren{kAdministrators, true,
                                           {{kAdministrators, true, false, kFull}, {kUsers, true, false, 0x40}}};
const FolderAccess kUsersMayDeleteIt{kAdministrators, true,
                                     {{kAdministrators, true, false, kFull}, {kEveryone, true, false, 0x10000}}};
const FolderAccess kUsersMayChangeItsList{kAdministrators, true,
                                          {{kAdministrators, true, false, kFull}, {kUsers, true, false, 0x40000}}};
const FolderAccess kGenericWriteForUsers{kAdministrators, true,
                                         {{kAdministrators, true, false, kFull}, {kUsers, true, false, 0x40000000}}};
// What Wine reports for every folder of its drive: the Unix owner as the user, with full control.
const FolderAccess kAsWineReports{L"S-1-5-21-0-0-0-1000", true,
                                  {{kSystem, true, false, kFull},
                                   {L"S-1-5-21-0-0-0-1000", true, false, kFull},
                                   {kEveryone, true, false, kReadExecute}}};

TEST(FolderAccess, WhoMayChangeWhatIsInAFolder) {
  struct Case {
    const char* name;
    const FolderAccess& folder;
    bool usersMayChange;
  };
  const Case cases[] = {
      {"Program Files", kProgramFiles, false},
      {"drive root (users make folders there)", kDriveRoot, true},
      {"a folder made in the drive root", kMadeInDriveRoot, true},
      {"%LOCALAPPDATA%", kLocalAppData, true},
      {"ProgramData", kProgramData, true},
      {"admins only, users denied", kAdminsOnly, false},
      {"the service folder's own list", kServiceFolder, false},
      {"no access list", kNoList, true},
      {"owned by a user", kOwnedByAUser, true},
      {"users delete children", kUsersMayDeleteChildren, true},
      {"users may change the list", kUsersMayChangeItsList, true},
      {"generic write for users", kGenericWriteForUsers, true},
      {"users may delete the folder itself only", kUsersMayDeleteIt, false},
      {"a folder as Wine reports it", kAsWineReports, true},
  };
  for (const Case& c : cases) EXPECT_EQ(sys::UsersMayChangeContent(c.folder), c.usersMayChange) << c.name;
}

TEST(FolderAccess, WhoMayRenameAFolderAway) {
  struct Case {
    const char* name;
    const FolderAccess& folder;
    const FolderAccess& parent;
    bool usersMayRemove;
  };
  const Case cases[] = {
      {"Program Files in the drive root", kProgramFiles, kDriveRoot, false},
      {"a folder in Program Files", kAdminsOnly, kProgramFiles, false},
      {"the profile's AppData\\Local", kLocalAppData, kUserProfile, true},
      {"an admin-only folder in AppData\\Local", kAdminsOnly, kLocalAppData, true},
      {"an admin-only folder in ProgramData", kAdminsOnly, kProgramData, false},
      {"a parent whose children users delete", kAdminsOnly, kUsersMayDeleteChildren, true},
      {"a folder users may delete", kUsersMayDeleteIt, kProgramFiles, true},
      {"a folder whose list users change", kUsersMayChangeItsList, kProgramFiles, true},
      {"a folder owned by a user", kOwnedByAUser, kProgramFiles, true},
      {"a parent without a list", kAdminsOnly, kNoList, true},
  };
  for (const Case& c : cases) EXPECT_EQ(sys::UsersMayRemove(c.folder, c.parent), c.usersMayRemove) << c.name;
}

// A folder tree of Windows, held in memory: a path with access exists, one mapped to nothing
// exists but cannot be read (or is a link), others are missing. Letter case counts as written, as
// the walk asks for the names it was given.
struct FakeTree {
  std::map<std::wstring, std::optional<FolderAccess>> folders;
  std::wstring programFiles = L"C:\\Program Files (x86)";

  sys::FolderLookup Lookup() const {
    return {[this](const std::wstring& folder) { return folders.count(folder) > 0; },
            [this](const std::wstring& folder) {
              const auto it = folders.find(folder);
              return it == folders.end() ? std::nullopt : it->second;
            },
            [this](const std::wstring& folder) { return folder == programFiles; }};
  }
};

TEST(FolderAccess, InstallFolderOutOfUsersReach) {
  const FakeTree windows{{{L"C:\\", kDriveRoot},
                          {L"C:\\Program Files (x86)", kProgramFiles},
                          {L"C:\\Program Files (x86)\\Maker", kAdminsOnly},
                          {L"C:\\Program Files (x86)\\Open", kGenericWriteForUsers},
                          {L"C:\\Program Files (x86)\\Owned", kOwnedByAUser},
                          {L"C:\\Program Files (x86)\\Deletable", kUsersMayDeleteIt},
                          {L"C:\\Program Files (x86)\\Link", std::nullopt},
                          {L"C:\\Program Files", kProgramFiles},
                          {L"C:\\Tools", kMadeInDriveRoot},
                          {L"C:\\Locked", kAdminsOnly},
                          {L"C:\\Locked\\Unreadable", std::nullopt},
                          {L"C:\\ProgramData", kProgramData},
                          {L"C:\\ProgramData\\Maker", kAdminsOnly},
                          {L"C:\\Users", kUsersRoot},
                          {L"C:\\Users\\me", kUserProfile},
                          {L"C:\\Users\\me\\AppData", kUserProfile},
                          {L"C:\\Users\\me\\AppData\\Local", kLocalAppData},
                          {L"C:\\Users\\me\\AppData\\Local\\Locked", kAdminsOnly},
                          {L"D:\\", kNoList}}};
  struct Case {
    const wchar_t* installDir;
    bool outOfReach;
  };
  const Case cases[] = {
      {L"C:\\Program Files (x86)\\Brisklens", true},
      {L"C:\\Program Files (x86)\\Maker\\Brisklens", true},
      {L"C:\\Program Files (x86)\\Maker\\Not\\Yet\\Brisklens", true},  // made below an admin-only folder
      {L"C:\\Program Files (x86)\\Missing\\Brisklens", true},
      {L"C:\\Program Files (x86)\\Open\\Brisklens", false},
      {L"C:\\Program Files (x86)\\Owned\\Brisklens", false},
      {L"C:\\Program Files (x86)\\Deletable\\Brisklens", false},  // renamed away with everything in it
      {L"C:\\Program Files (x86)\\Link\\Brisklens", false},
      // The 64-bit folder is judged by its list, which keeps users out.
      {L"C:\\Program Files\\Brisklens", true},
      {L"C:\\Brisklens", false},  // users make folders in the root
      {L"C:\\Tools\\Brisklens", false},
      {L"C:\\Locked\\Brisklens", true},  // an administrator's own folder: the root gives no delete-child
      {L"C:\\Locked\\Unreadable\\Brisklens", false},
      {L"C:\\ProgramData\\Brisklens", false},
      {L"C:\\ProgramData\\Maker\\Brisklens", true},  // users add to ProgramData but delete nothing there
      {L"C:\\Users\\me\\AppData\\Local\\Brisklens", false},
      // A folder that only administrators may change, which the user renames away from its parent.
      {L"C:\\Users\\me\\AppData\\Local\\Locked\\Brisklens", false},
      {L"D:\\Brisklens", false},  // a drive without access lists
      {L"E:\\Brisklens", false},  // nothing of it exists
      {L"Brisklens", false},
      {L"Program Files (x86)\\Brisklens", false},
      {L"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sys::IsOutOfUsersReach(c.installDir, windows.Lookup()), c.outOfReach) << common::WideToUtf8(c.installDir);
  }

  // Program Files is trusted as what it is: its list is not read (Wine reports a user as the owner
  // of every folder, Program Files included); the folders between it and the install folder are.
  FakeTree wine{{{L"C:\\", kAsWineReports},
                 {L"C:\\Program Files (x86)", kAsWineReports},
                 {L"C:\\Program Files (x86)\\Maker", kAsWineReports},
                 {L"C:\\Data", kAsWineReports}}};
  EXPECT_TRUE(sys::IsOutOfUsersReach(L"C:\\Program Files (x86)\\Brisklens", wine.Lookup()));
  EXPECT_TRUE(sys::IsOutOfUsersReach(L"C:\\Program Files (x86)\\New\\Brisklens", wine.Lookup()));
  EXPECT_FALSE(sys::IsOutOfUsersReach(L"C:\\Program Files (x86)\\Maker\\Brisklens", wine.Lookup()));
  EXPECT_FALSE(sys::IsOutOfUsersReach(L"C:\\Data\\Brisklens", wine.Lookup()));
  // Only the system's folder is: another of the same name elsewhere is judged by its list.
  wine.programFiles = L"D:\\Program Files (x86)";
  EXPECT_FALSE(sys::IsOutOfUsersReach(L"C:\\Program Files (x86)\\Brisklens", wine.Lookup()));
}

// The rule on this system's folders: the system's Program Files folder, however the path is
// spelt; a folder that everyone may change.
TEST(FolderAccess, ThisSystemsProgramFilesAndAnOpenFolder) {
  const std::wstring programFiles = sys::GetProgramFilesDir();
  ASSERT_FALSE(programFiles.empty());
#ifdef _WIN32
  ASSERT_TRUE(sys::DirectoryExists(programFiles));
  // A 32-bit program on 64-bit Windows is shown the x86 folder.
  wchar_t x86[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"ProgramFiles(x86)", x86, MAX_PATH) > 0) {
    EXPECT_EQ(programFiles, x86);
  }
  std::wstring otherSpelling = programFiles;
  for (auto& c : otherSpelling) c = c == L'\\' ? L'/' : static_cast<wchar_t>(towlower(c));
#else
  // The host has none: the test gives it one.
  test_support::TempFolder programs(L"programs");
  ASSERT_EQ(::chmod(test_support::FsPath(programs.Path()).c_str(), 0755), 0);
  const test_support::ProgramFilesAt programFilesAt(programs.Path());
  std::wstring otherSpelling = programs.Path();
  for (auto& c : otherSpelling) c = c == L'/' ? L'\\' : c;
#endif
  EXPECT_TRUE(sys::IsOutOfUsersReach(sys::GetProgramFilesDir() + L"\\Brisklens"));
  EXPECT_TRUE(sys::IsOutOfUsersReach(sys::GetProgramFilesDir() + L"\\Maker\\Brisklens"));
  EXPECT_TRUE(sys::IsOutOfUsersReach(otherSpelling + L"\\Brisklens"));

  test_support::TempFolder base(L"reach");
  const std::wstring open = base / L"open";
  std::filesystem::create_directories(test_support::FsPath(open));
#ifdef _WIN32
  // Everyone may change it: Wine keeps that as the Unix mode, and reports the Unix owner as the
  // user in any case.
  ASSERT_EQ(SetNamedSecurityInfoW(const_cast<wchar_t*>(open.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, nullptr, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
#else
  ASSERT_EQ(::chmod(test_support::FsPath(open).c_str(), 0777), 0);
#endif
  EXPECT_FALSE(sys::IsOutOfUsersReach(open + L"\\Brisklens"));
  EXPECT_FALSE(sys::IsOutOfUsersReach(open + L"\\New\\Brisklens"));
}

#ifndef _WIN32
// The host's terms: a root-owned 0755 chain below a sticky world-writable /tmp is out of reach; a
// folder that others may write, or that another owner has, or a link, is not.
TEST(FolderAccess, HostFoldersByOwnerAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "owners other than oneself need root";
  test_support::TempFolder root(L"reach");
  const auto mode = [](const std::wstring& path, mode_t m) {
    ASSERT_EQ(::chmod(test_support::FsPath(path).c_str(), m), 0);
  };
  mode(root.Path(), 0755);
  const std::wstring programs = root / L"Programs";
  std::filesystem::create_directories(test_support::FsPath(programs));
  mode(programs, 0755);
  EXPECT_TRUE(sys::IsOutOfUsersReach(programs + L"/Brisklens"));
  EXPECT_TRUE(sys::IsOutOfUsersReach(programs + L"/Maker/Brisklens")) << "missing folders inherit the parent's";

  mode(programs, 0775);
  EXPECT_FALSE(sys::IsOutOfUsersReach(programs + L"/Brisklens"));
  mode(programs, 01777);
  EXPECT_FALSE(sys::IsOutOfUsersReach(programs + L"/Brisklens")) << "sticky or not, users add to it";
  mode(programs, 0755);
  mode(root.Path(), 0777);
  EXPECT_FALSE(sys::IsOutOfUsersReach(programs + L"/Brisklens")) << "Programs itself can be renamed away";
  mode(root.Path(), 0755);
  std::filesystem::create_directory_symlink(test_support::FsPath(programs), test_support::FsPath(root / L"link"));
  EXPECT_FALSE(sys::IsOutOfUsersReach(root / L"link\\Brisklens")) << "judged by the link, not by its target";
  ASSERT_EQ(::chown(test_support::FsPath(programs).c_str(), 65534, 65534), 0);
  EXPECT_FALSE(sys::IsOutOfUsersReach(programs + L"/Brisklens")) << "owned by another user";
}

TEST(FolderAccess, ServiceFolderBecomesRootsWithReadForOthers) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a folder to root needs root";
  test_support::TempFolder root(L"service");
  const std::wstring folder = root / L"Brisklens";
  std::filesystem::create_directories(test_support::FsPath(folder));
  ASSERT_EQ(::chmod(test_support::FsPath(folder).c_str(), 0777), 0);
  ASSERT_EQ(::chown(test_support::FsPath(folder).c_str(), 65534, 65534), 0);
  ASSERT_TRUE(sys::ProtectServiceFolder(folder));
  struct stat info {};
  ASSERT_EQ(::stat(test_support::FsPath(folder).c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_mode & 07777, 0755u);

  // A link in the folder's place is not followed: its target keeps its owner and mode.
  const std::wstring target = root / L"target";
  std::filesystem::create_directories(test_support::FsPath(target));
  ASSERT_EQ(::chmod(test_support::FsPath(target).c_str(), 0777), 0);
  std::filesystem::create_directory_symlink(test_support::FsPath(target), test_support::FsPath(root / L"link"));
  EXPECT_FALSE(sys::ProtectServiceFolder(root / L"link"));
  ASSERT_EQ(::stat(test_support::FsPath(target).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0777u);
}
#else
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// The entries for everyone (and for Users) that a read-back shows on the folder itself.
std::vector<std::uint32_t> ForEveryone(const FolderAccess& access) {
  std::vector<std::uint32_t> masks;
  for (const AccessEntry& entry : access.entries) {
    if (entry.allow && !entry.inheritOnly && (entry.sid == kEveryone || entry.sid == kUsers)) masks.push_back(entry.mask);
  }
  return masks;
}

// Read back after protecting a folder that everyone could change. Windows keeps the list as set.
// Wine keeps neither owner nor list: it turns the list into Unix mode bits and reads those back as
// SYSTEM's, the Unix owner's (shown as the user) and everyone's rights, and it enforces none of
// them. What it can show is that everyone's right to change the folder is gone and read and
// execute stayed.
TEST(FolderAccess, ServiceFolderGetsItsListReadBack) {
  test_support::TempFolder root(L"service");
  const std::wstring folder = root / L"Brisklens";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  test_support::WriteFile(folder + L"\\inside.txt", "made before");
  PSECURITY_DESCRIPTOR open = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr));
  ASSERT_EQ(SetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, open), TRUE);
  LocalFree(open);
  std::optional<FolderAccess> access = sys::ReadFolderAccess(folder);
  ASSERT_TRUE(access);
  ASSERT_TRUE(sys::UsersMayChangeContent(*access));
  ASSERT_NE(ForEveryone(*access), std::vector<std::uint32_t>{kReadExecute}) << "everyone could change it before";

  ASSERT_TRUE(sys::ProtectServiceFolder(folder));
  access = sys::ReadFolderAccess(folder);
  ASSERT_TRUE(access);
  EXPECT_EQ(ForEveryone(*access), std::vector<std::uint32_t>{kReadExecute});
  if (UnderWine()) return;
  EXPECT_EQ(access->owner, kAdministrators);
  ASSERT_EQ(access->entries.size(), 3u);
  const AccessEntry expected[] = {{kAdministrators, true, false, kFull}, {kSystem, true, false, kFull},
                                  {kUsers, true, false, kReadExecute}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(access->entries[i].sid, expected[i].sid);
    EXPECT_EQ(access->entries[i].mask, expected[i].mask);
    EXPECT_TRUE(access->entries[i].allow);
  }
  EXPECT_FALSE(sys::UsersMayChangeContent(*access));
  // Nothing comes from the parent, and the file made before inherits the new entries.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW((folder + L"\\inside.txt").c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, nullptr, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  wchar_t* text = nullptr;
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                   DACL_SECURITY_INFORMATION, &text, nullptr));
  EXPECT_NE(std::wstring(text).find(L"(A;ID;0x1200a9;;;BU)"), std::wstring::npos) << common::WideToUtf8(text);
  LocalFree(text);
  LocalFree(descriptor);
}

// A junction or link in the folder's place is refused: its target's list would be read and set.
TEST(FolderAccess, LinkIsNeitherReadNorProtected) {
  test_support::TempFolder root(L"link");
  const std::wstring target = root / L"target";
  const std::wstring link = root / L"link";
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
    GTEST_SKIP() << "no right to make links here";
  }
  EXPECT_FALSE(sys::ReadFolderAccess(link));
  EXPECT_FALSE(sys::ProtectServiceFolder(link));
  EXPECT_TRUE(sys::ReadFolderAccess(target));
}
#endif

}  // namespace
