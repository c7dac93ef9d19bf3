#include "system/shortcuts.h"

#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "support/temp_folder.h"
#include "system/files.h"
#include "system/shortcuts_platform.h"

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#else
#include "system/shortcuts_fake.h"
#endif

namespace {

using test_support::Exists;
using test_support::TempFolder;

struct Link {
  std::wstring target, arguments, workingDirectory, icon;
};

// A saved link as the shell reads it back (in the host build: as the stand-in shell saved it).
std::optional<Link> ReadLink(const std::wstring& path) {
#ifdef _WIN32
  if (!Exists(path)) return std::nullopt;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return std::nullopt;
  }
  Link read;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
    wchar_t text[1024] = {};
    int index = 0;
    link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
    read.target = text;
    link->GetArguments(text, 1024);
    read.arguments = text;
    link->GetWorkingDirectory(text, 1024);
    read.workingDirectory = text;
    link->GetIconLocation(text, 1024, &index);
    read.icon = text;
  }
  if (file) file->Release();
  link->Release();
  return read;
#else
  const auto saved = sys::fake_shell::LinkAt(path);
  if (!saved) return std::nullopt;
  return Link{saved->target, saved->arguments.value_or(L""), saved->workingDirectory, saved->iconLocation.value_or(L"")};
#endif
}

class Shortcuts : public testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifdef _WIN32
    CoInitialize(nullptr);
#endif
  }
  void SetUp() override {
#ifndef _WIN32
    sys::fake_shell::SetFolders(shell_ / L"Desktop", shell_ / L"Programs");
#endif
    test_support::WriteFile(target_, "MZ");
  }
  void TearDown() override {
    for (const auto& name : {L"Orvatte", L"Brisklens 测试", L"a.b"}) sys::DeleteFileForce(sys::DesktopShortcutPath(target_, name));
    sys::DeleteFolderTree(sys::platform::ProgramsFolder() + L"\\" + folder_);
  }

  TempFolder root_{L"shortcut test"};
  TempFolder shell_{L"shell"};
  std::wstring dir_ = root_ / L"app dir\\";
  std::wstring target_ = dir_ + L"Orvatte.exe";
  std::wstring folder_ = L"Brisk " + std::to_wstring(reinterpret_cast<std::uintptr_t>(&shell_) % 100000);
};

TEST_F(Shortcuts, DesktopLinkCarriesTargetArgumentsFolderAndIcon) {
  test_support::WriteFile(dir_ + L"default.ico", "icon");
  std::wstring linkPath;
  ASSERT_TRUE(sys::CreateDesktopShortcut(target_, L"--from desktop", L"Brisklens 测试", linkPath));
  EXPECT_EQ(linkPath, sys::platform::DesktopFolder() + L"/Brisklens 测试.lnk");
  const auto link = ReadLink(linkPath);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, target_);
  EXPECT_EQ(link->arguments, L"--from desktop");
  EXPECT_EQ(link->workingDirectory, dir_);
  EXPECT_EQ(link->icon, dir_ + L"\\default.ico");
}

TEST_F(Shortcuts, DesktopLinkWithoutIconFileAndDefaultNames) {
  std::wstring linkPath;
  ASSERT_TRUE(sys::CreateDesktopShortcut(target_, L"", L"", linkPath));
  EXPECT_EQ(linkPath, sys::platform::DesktopFolder() + L"/Orvatte.lnk");
  const auto link = ReadLink(linkPath);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->icon, L"");
  // A name with several dots loses only its last extension.
  test_support::WriteFile(dir_ + L"a.b.exe", "MZ");
  ASSERT_TRUE(sys::CreateDesktopShortcut(dir_ + L"a.b.exe", L"", L"", linkPath));
  EXPECT_EQ(linkPath, sys::platform::DesktopFolder() + L"/a.b.lnk");
  EXPECT_TRUE(ReadLink(linkPath));
  sys::DeleteFileForce(linkPath);
}

TEST_F(Shortcuts, MissingTargetOrInvalidNameSavesNothing) {
  std::wstring linkPath = L"unchanged";
  EXPECT_FALSE(sys::CreateDesktopShortcut(dir_ + L"missing.exe", L"", L"Orvatte", linkPath));
  EXPECT_EQ(linkPath, L"unchanged");
  EXPECT_FALSE(Exists(sys::DesktopShortcutPath(target_, L"Orvatte")));
  EXPECT_FALSE(sys::CreateStartMenuShortcut(dir_ + L"missing.exe", folder_, L"Orvatte"));
  EXPECT_FALSE(Exists(sys::platform::ProgramsFolder() + L"\\" + folder_));
  EXPECT_FALSE(sys::CreateStartMenuShortcut(target_, folder_, L"a|b"));
  EXPECT_FALSE(sys::CreateDesktopShortcut(target_, L"", L"a?b", linkPath));
}

TEST_F(Shortcuts, StartMenuLinkInNewNestedFolderWithoutArgumentsOrIcon) {
  test_support::WriteFile(dir_ + L"default.ico", "icon");
  ASSERT_TRUE(sys::CreateStartMenuShortcut(target_, folder_ + L"\\Sub", L""));
  const std::wstring path = sys::platform::ProgramsFolder() + L"\\" + folder_ + L"\\Sub\\Orvatte.lnk";
  EXPECT_EQ(sys::StartMenuShortcutPath(target_, folder_ + L"\\Sub", L""), path);
  const auto link = ReadLink(path);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, target_);
  EXPECT_EQ(link->arguments, L"");
  EXPECT_EQ(link->workingDirectory, dir_);
  EXPECT_EQ(link->icon, L"");
}

TEST_F(Shortcuts, UninstallRemovesOnlyTheMainProgramsLinks) {
  const std::wstring uninstaller = root_ / L"app dir\\unin.exe";
  test_support::WriteFile(uninstaller, "MZ");
  std::wstring desktopLink;
  ASSERT_TRUE(sys::CreateDesktopShortcut(target_, L"", L"Brisklens 测试", desktopLink));
  ASSERT_TRUE(sys::CreateStartMenuShortcut(target_, folder_, L"Brisklens 测试"));
  ASSERT_TRUE(sys::CreateStartMenuShortcut(uninstaller, folder_, L"卸载软件"));

  EXPECT_TRUE(sys::DeleteDesktopShortcut(target_, L"Brisklens 测试"));
  EXPECT_TRUE(sys::DeleteStartMenuShortcut(target_, folder_, L"Brisklens 测试"));
  EXPECT_FALSE(Exists(desktopLink));
  EXPECT_FALSE(Exists(sys::StartMenuShortcutPath(target_, folder_, L"Brisklens 测试")));
  EXPECT_TRUE(ReadLink(sys::StartMenuShortcutPath(uninstaller, folder_, L"卸载软件")));
  // Deleting links that are gone is not an error.
  EXPECT_TRUE(sys::DeleteDesktopShortcut(target_, L"Brisklens 测试"));
  EXPECT_TRUE(sys::DeleteStartMenuShortcut(target_, folder_, L""));
}

}  // namespace
