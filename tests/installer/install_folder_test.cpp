// The install-folder rules against real folders: what a typed or chosen folder must be, the marker
// that makes an earlier install of this product admissible, and the folders the uninstall empties.
#include "installer/install_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/text.h"
#include "support/temp_folder.h"
#include "system/files.h"
#include "system/folder_access.h"
#include "system/registry.h"
#include "system/uninstall_registration.h"

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#else
#include <unistd.h>
#endif

namespace installer {
namespace {

using test_support::TempFolder;

// An identifier of this test run, so that a registration left behind cannot mislead another run.
std::wstring TestSoftId() {
#ifdef _WIN32
  return L"install_folder_test_" + std::to_wstring(GetCurrentProcessId());
#else
  return L"install_folder_test_" + std::to_wstring(::getpid());
#endif
}

// The uninstall registration of softId naming folder, removed again when the object goes.
class Registered {
 public:
  Registered(std::wstring softId, const std::wstring& folder) : softId_(std::move(softId)) {
    sys::RegKey key;
    sys::RegKey::Create(sys::RegRoot::LocalMachine, sys::UninstallKeyPath(softId_), sys::reg::kKeyAllAccess | sys::reg::kWow64_32Key, key);
    key.SetValue(L"UninstallString", sys::reg::kRegSz, sys::reg::StringData(L"\"" + folder + L"\\unin.exe\""));
  }
  ~Registered() { sys::DeleteUninstallInfo(softId_); }
  Registered(const Registered&) = delete;
  Registered& operator=(const Registered&) = delete;

 private:
  std::wstring softId_;
};

#ifdef _WIN32
std::wstring Upper(std::wstring text) {
  for (auto& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  }
  return text;
}
#endif

TEST(CheckInstallDir, RefusesWhatMayNotReceiveTheProduct) {
  TempFolder base(L"install dir");
  const std::wstring id = TestSoftId();
  test_support::WriteFile(base / L"user\\letter.txt", "mine");
  test_support::WriteFile(base / L"user\\photos\\cat.jpg", "mine");
  test_support::WriteFile(base / L"hidden only\\.dotfile", "mine");
  std::filesystem::create_directories(test_support::FsPath(base / L"empty"));
  test_support::WriteFile(base / L"own\\Orvatte.exe", "program");
  test_support::WriteFile(base / L"own\\install.marker", common::WideToUtf8(id));
  test_support::WriteFile(base / L"other\\Orvatte.exe", "program");
  test_support::WriteFile(base / L"other\\install.marker", "another_product");
  test_support::WriteFile(base / L"prefix\\install.marker", common::WideToUtf8(id) + "x");
  test_support::WriteFile(base / L"registered\\Orvatte.exe", "program");
  test_support::WriteFile(base / L"file.txt", "x");
  const Registered registration(id, base / L"registered");

  struct Row {
    std::wstring path;
    InstallDirRefusal refusal;
  };
  std::vector<Row> rows{
      {base / L"new", InstallDirRefusal::kNone},
      {base / L"new\\deeper\\still", InstallDirRefusal::kNone},
      {base / L"empty", InstallDirRefusal::kNone},
      {base / L"own", InstallDirRefusal::kNone},
      {base / L"registered", InstallDirRefusal::kNone},
      {base / L"user\\photos\\新文件夹", InstallDirRefusal::kNone},
      {base / L"100% & ^ (x)!", InstallDirRefusal::kNone},
      {base / L"user", InstallDirRefusal::kNotEmpty},
      {base / L"user\\photos", InstallDirRefusal::kNotEmpty},
      {base / L"hidden only", InstallDirRefusal::kNotEmpty},
      {base / L"other", InstallDirRefusal::kNotEmpty},
      {base / L"prefix", InstallDirRefusal::kNotEmpty},
      {base / L"file.txt", InstallDirRefusal::kNotFolder},
      {base / L"file.txt\\below", InstallDirRefusal::kNotFolder},
      {L"", InstallDirRefusal::kNotLocal},
      {L"Product", InstallDirRefusal::kNotLocal},
      {L"..\\Product", InstallDirRefusal::kNotLocal},
      {base / std::wstring(kMaxInstallDirLength, L'x'), InstallDirRefusal::kTooLong},
      {sys::GetAppDataDir(), InstallDirRefusal::kProtected},
      {sys::GetLocalAppDataDir(), InstallDirRefusal::kProtected},
  };
  for (const wchar_t* name : {L"a<b", L"a>b", L"a:b", L"a\"b", L"a|b", L"a?b", L"a*b", L"tab\there", L"con", L"CON",
                              L"nul.txt", L"Aux", L"prn", L"com1", L"LPT9.log", L"dot.", L"blank ", L".", L"..",
                              L"x\\..\\user", L"x\\.\\y", L"double\\\\separator"}) {
    rows.push_back({base / name, InstallDirRefusal::kInvalidName});
  }
  // Names that resemble reserved ones but are not.
  for (const wchar_t* name : {L"com0", L"console", L"lpt10", L"nul_", L".hidden", L"a.b"}) {
    rows.push_back({base / name, InstallDirRefusal::kNone});
  }
#ifdef _WIN32
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::vector<Row> windowsRows{
      {Upper(base / L"registered"), InstallDirRefusal::kNone},
      {base.Path() + L"/own", InstallDirRefusal::kNone},
      {L"C:\\", InstallDirRefusal::kProtected},
      {std::wstring(windows) + L"\\Product", InstallDirRefusal::kProtected},
      {L"C:Product", InstallDirRefusal::kNotLocal},
      {L"\\Product", InstallDirRefusal::kNotLocal},
      {L"\\\\server\\share\\Product", InstallDirRefusal::kNotLocal},
      {L"\\\\?\\C:\\Product", InstallDirRefusal::kNotLocal},
      {L"Q:\\Product", InstallDirRefusal::kNotLocal},  // no such drive
      {L"C:\\Data", InstallDirRefusal::kNone},
  };
  rows.insert(rows.end(), windowsRows.begin(), windowsRows.end());
#else
  std::filesystem::create_directory_symlink(test_support::FsPath(base / L"empty"), test_support::FsPath(base / L"link"));
  const std::vector<Row> hostRows{
      {base / L"link", InstallDirRefusal::kNotFolder},
      {L"/", InstallDirRefusal::kProtected},
      {L"/usr/lib/Product", InstallDirRefusal::kProtected},
      {L"C:\\Product", InstallDirRefusal::kNotLocal},
  };
  rows.insert(rows.end(), hostRows.begin(), hostRows.end());
#endif
  for (const Row& row : rows) {
    EXPECT_EQ(CheckInstallDir(row.path, id, false), row.refusal) << common::WideToUtf8(row.path);
  }
  // Nothing was created or written by the checks.
  EXPECT_FALSE(std::filesystem::exists(test_support::FsPath(base / L"new")));
  EXPECT_EQ(test_support::ReadFile(base / L"user\\letter.txt"), "mine");
}

TEST(CheckInstallDir, EveryRefusalHasItsOwnMessage) {
  std::vector<std::wstring_view> seen;
  for (const auto refusal : {InstallDirRefusal::kNotLocal, InstallDirRefusal::kInvalidName, InstallDirRefusal::kTooLong,
                             InstallDirRefusal::kNotFolder, InstallDirRefusal::kProtected, InstallDirRefusal::kNotEmpty,
                             InstallDirRefusal::kUsersReach, InstallDirRefusal::kNotProtectable}) {
    const std::wstring_view message = InstallDirRefusalMessage(refusal);
    EXPECT_FALSE(message.empty()) << static_cast<int>(refusal);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), message), 0) << static_cast<int>(refusal);
    seen.push_back(message);
  }
  EXPECT_TRUE(InstallDirRefusalMessage(InstallDirRefusal::kNone).empty());
}

// A product whose program runs as SYSTEM goes only below a folder that users cannot change; the
// other rules hold as for every product, and the same folders are fine for other products.
TEST(CheckInstallDir, ServiceProductOnlyWhereUsersChangeNothing) {
  TempFolder base(L"service dir");
  const std::wstring id = TestSoftId();
  const std::wstring open = base / L"open";
  test_support::WriteFile(open + L"\\user\\letter.txt", "mine");
#ifdef _WIN32
  // Everyone may change it (Wine reports the user as every folder's owner anyway).
  ASSERT_EQ(SetNamedSecurityInfoW(const_cast<wchar_t*>(open.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, nullptr, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
#else
  std::filesystem::permissions(test_support::FsPath(open), std::filesystem::perms::all);
  TempFolder programs(L"programs");
  std::filesystem::permissions(test_support::FsPath(programs.Path()), std::filesystem::perms::owner_all |
                                                                      std::filesystem::perms::group_read |
                                                                      std::filesystem::perms::group_exec |
                                                                      std::filesystem::perms::others_read |
                                                                      std::filesystem::perms::others_exec);
  const test_support::ProgramFilesAt programFilesAt(programs.Path());
#endif
  const std::wstring programFiles = sys::GetProgramFilesDir();
  struct Row {
    std::wstring path;
    InstallDirRefusal forService;
    InstallDirRefusal forOthers;
  };
  const std::vector<Row> rows{
      {programFiles + L"\\" + id, InstallDirRefusal::kNone, InstallDirRefusal::kNone},
      {programFiles + L"\\Maker\\" + id, InstallDirRefusal::kNone, InstallDirRefusal::kNone},
      {open + L"\\Brisklens", InstallDirRefusal::kUsersReach, InstallDirRefusal::kNone},
      {open + L"\\new\\Brisklens", InstallDirRefusal::kUsersReach, InstallDirRefusal::kNone},
      {open + L"\\user", InstallDirRefusal::kUsersReach, InstallDirRefusal::kNotEmpty},
      {L"Brisklens", InstallDirRefusal::kNotLocal, InstallDirRefusal::kNotLocal},
      {programFiles + L"\\a|b", InstallDirRefusal::kInvalidName, InstallDirRefusal::kInvalidName},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CheckInstallDir(row.path, id, true), row.forService) << common::WideToUtf8(row.path);
    EXPECT_EQ(CheckInstallDir(row.path, id, false), row.forOthers) << common::WideToUtf8(row.path);
  }
  EXPECT_FALSE(sys::DirectoryExists(programFiles + L"\\" + id)) << "nothing made by the check";
}

TEST(InstallMarker, MakesTheFolderThisProductsOwnAndReplacesALinkWithoutFollowingIt) {
  TempFolder base(L"marker");
  const std::wstring id = TestSoftId();
  test_support::WriteFile(base / L"product\\Orvatte.exe", "program");
  EXPECT_FALSE(IsOwnInstallDir(base / L"product", id));
  ASSERT_TRUE(WriteInstallMarker(base / L"product", id));
  EXPECT_TRUE(IsOwnInstallDir(base / L"product", id));
  EXPECT_FALSE(IsOwnInstallDir(base / L"product", id + L"2"));
  EXPECT_FALSE(IsOwnInstallDir(base / L"product", L""));
  EXPECT_EQ(test_support::ReadFile(base / std::wstring(L"product\\") + kInstallMarkerName), common::WideToUtf8(id));
  // Written again over an earlier marker.
  EXPECT_TRUE(WriteInstallMarker(base / L"product", id));
  EXPECT_TRUE(IsOwnInstallDir(base / L"product", id));
#ifndef _WIN32
  // A user who could write the folder put a link where the marker goes; the target stays as it was.
  test_support::WriteFile(base / L"precious.txt", "precious");
  std::filesystem::remove(test_support::FsPath(base / std::wstring(L"product\\") + kInstallMarkerName));
  std::filesystem::create_symlink(test_support::FsPath(base / L"precious.txt"),
                                  test_support::FsPath(base / std::wstring(L"product\\") + kInstallMarkerName));
  EXPECT_TRUE(WriteInstallMarker(base / L"product", id));
  EXPECT_EQ(test_support::ReadFile(base / L"precious.txt"), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(test_support::FsPath(base / std::wstring(L"product\\") + kInstallMarkerName)));
#endif
}

TEST(IsUserSettingsFolder, OnlyFoldersOfTheUserBelowTheApplicationDataFolders) {
  TempFolder base(L"settings");
  struct Row {
    std::wstring path;
    bool emptied;
  };
  const std::vector<Row> rows{
      {sys::GetAppDataDir() + L"\\brisklens_win", true},
      {sys::GetLocalAppDataDir() + L"\\Brisklens\\cache", true},
      {sys::GetAppDataDir(), false},
      {sys::GetLocalAppDataDir() + L"\\", false},
      {sys::GetAppDataDir() + L"\\..", false},
      {sys::GetAppDataDir() + L"\\brisklens_win\\..\\..", false},
      {L"", false},
#ifndef _WIN32
      {base / L"settings", false},  // the temporary folder lies outside them on the host
#else
      {sys::GetAppDataDir() + L"\\Microsoft\\Windows\\Start Menu", false},
      {sys::GetAppDataDir() + L"\\Microsoft\\Windows\\Start Menu\\Programs", false},
      {L"C:\\Windows\\Temp\\x", false},
#endif
  };
  for (const Row& row : rows) EXPECT_EQ(IsUserSettingsFolder(row.path), row.emptied) << common::WideToUtf8(row.path);
}

}  // namespace
}  // namespace installer
