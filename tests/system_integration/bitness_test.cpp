// Every place where the installer's bitness could leak into what it leaves in Windows: each registry
// key it writes, reads or deletes, and each folder it chooses. The shipped installer is a 32-bit
// program and the test build a 64-bit one; on 64-bit Windows both must address the same keys and
// folders, so every row names the view or folder the 32-bit installer has, and the same table runs
// in the host build against the in-memory registry and under Wine in both windows builds.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/strings.h"
#include "common/text.h"
#include "support/message_box_recorder.h"
#include "support/registry_tree.h"
#include "system/associations.h"
#include "system/files.h"
#include "system/folder_access.h"
#include "system/processes.h"
#include "system/registry.h"
#include "system/registry_strings.h"
#include "system/startup_entry.h"
#include "system/uninstall_registration.h"
#include "system_integration/registry_reading.h"

#ifndef _WIN32
#include "system/registry_fake.h"
#endif

namespace {

using sys::RegRoot;
namespace reg = sys::reg;

constexpr std::uint32_t k32 = reg::kWow64_32Key;
constexpr std::uint32_t k64 = reg::kWow64_64Key;

const std::wstring kSoftId = L"OrvatteBitnessTest";
const std::wstring kProgram = L"C:\\Orvatte\\Orvatte.exe";
const std::wstring kExt = L".orvbits";
const std::wstring kProgId = L"orvbitsFile";
const std::wstring kProtocol = L"orvatte-bits";
const std::wstring kStringsKey = L"SOFTWARE\\OrvatteBitnessTest";

std::string Name(std::wstring_view text) { return common::WideToUtf8(text); }

class Bitness : public testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    sys::fake_registry::Reset();
#endif
    Clean();
  }
  void TearDown() override { Clean(); }
  static void Clean() {
    for (const std::uint32_t view : {k32, k64}) {
      test_support::DeleteKeyTree(RegRoot::LocalMachine, sys::UninstallKeyPath(kSoftId), view);
    }
    for (const auto& path : {kExt, kProgId}) test_support::DeleteKeyTree(RegRoot::ClassesRoot, path);
    test_support::DeleteKeyTree(RegRoot::ClassesRoot, kProtocol, k64);
    test_support::DeleteKeyTree(RegRoot::CurrentUser, L"SOFTWARE\\Classes\\" + kExt);
    test_support::DeleteKeyTree(RegRoot::CurrentUser,
                                L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\" + kExt);
    test_support::DeleteKeyTree(RegRoot::CurrentUser, kStringsKey);
    sys::SetRunAtStartup(kSoftId, false, L"");
  }

  test_support::MessageBoxRecorder boxes_;
};

// A key opened from a root without naming its view would land in the 32-bit view in the shipped
// installer and in the 64-bit one in the test build: both builds refuse it, and create nothing.
TEST_F(Bitness, AKeyOpenedFromARootMustNameOneView) {
  const struct {
    const char* what;
    std::uint32_t access;
  } masks[] = {{"no view", reg::kKeyAllAccess}, {"both views", reg::kKeyAllAccess | k32 | k64}};
  for (const auto& m : masks) {
    for (const RegRoot root : {RegRoot::LocalMachine, RegRoot::ClassesRoot, RegRoot::CurrentUser}) {
      SCOPED_TRACE(m.what);
      sys::RegKey key;
      EXPECT_EQ(sys::RegKey::Create(root, kStringsKey, m.access, key), reg::kInvalidParameter);
      EXPECT_FALSE(key.IsOpen());
      EXPECT_EQ(sys::RegKey::Open(root, L"SOFTWARE", m.access, key), reg::kInvalidParameter);
      EXPECT_FALSE(key.IsOpen());
      EXPECT_FALSE(test_support::KeyExists(root, kStringsKey, k32));
      EXPECT_FALSE(test_support::KeyExists(root, kStringsKey, k64));
    }
  }
}

// One row per registry place: what the installer does, and then where the value must be. The view
// is the one the 32-bit installer has: its default (32-bit) view, except where it asks for the
// 64-bit one. An uninstall-side action, where there is one, must take the value away in that view.
struct RegistryPlace {
  const char* what;
  std::function<void()> write;
  RegRoot root;
  std::wstring key;
  std::wstring value;
  std::uint32_t view;
  std::function<void()> takeBack;
};

std::vector<RegistryPlace> Places() {
  const std::wstring uninstallKey = sys::UninstallKeyPath(kSoftId);
  const auto writeUninstall = [] { sys::WriteUninstallInfo(kSoftId, L"Orvatte", kProgram, L"C:\\Orvatte", L"1.0", L""); };
  const auto associate = [] { sys::AssociateFileExt(kExt, kProgId, kProgId, kProgram, L""); };
  return {
      {"uninstall entry", writeUninstall, RegRoot::LocalMachine, uninstallKey, L"UninstallString", k32,
       [] { sys::DeleteUninstallInfo(kSoftId); }},
      {"uninstall entry written in view 2", [uninstallKey] {
         sys::RegKey key;
         sys::CreateRegKeyInView(2, RegRoot::LocalMachine, uninstallKey, reg::kKeySetValue, key);
         key.SetValue(L"Marker", reg::kRegSz, reg::StringData(L"64"));
       }, RegRoot::LocalMachine, uninstallKey, L"Marker", k64, nullptr},
      {"file association: extension", associate, RegRoot::ClassesRoot, kExt, L"", k32, nullptr},
      {"file association: program id", associate, RegRoot::ClassesRoot, kProgId + L"\\shell\\open\\command", L"", k32,
       nullptr},
      {"file association: user's extension", associate, RegRoot::CurrentUser, L"SOFTWARE\\Classes\\" + kExt, L"", k32,
       nullptr},
      {"URL protocol", [] { sys::RegisterUrlProtocol(kProtocol, L"Orvatte", kProgram); }, RegRoot::ClassesRoot,
       kProtocol + L"\\shell\\open\\command", L"", k64, nullptr},
      {"start-up entry", [] { sys::SetRunAtStartup(kSoftId, true, kProgram); }, RegRoot::CurrentUser,
       std::wstring(sys::kRunKey), kSoftId, k32, [] { sys::SetRunAtStartup(kSoftId, false, L""); }},
      {"the product's own values", [] { sys::WriteRegString(RegRoot::CurrentUser, kStringsKey, L"source", L"k1"); },
       RegRoot::CurrentUser, kStringsKey, L"source", k32, nullptr},
  };
}

// Whether the two views of root are separate trees, so that a value in one is missing from the
// other. The current user's tree is one on Windows, so there a view cannot go wrong; the rows of
// HKEY_CURRENT_USER show only that the value is written and found. On the host the other roots'
// views always are separate. Under Wine the current user's tree is one, as on Windows, and
// HKEY_CLASSES_ROOT merges trees in ways of its own; the machine's software keys are separate.
bool ViewsAreSeparate(RegRoot root) {
#ifdef _WIN32
  return root == RegRoot::LocalMachine;
#else
  return root != RegRoot::CurrentUser;
#endif
}

TEST_F(Bitness, EveryRegistryPlaceIsInTheViewOfThe32BitInstaller) {
  for (const RegistryPlace& place : Places()) {
    SCOPED_TRACE(place.what);
    Clean();
    place.write();
    EXPECT_TRUE(test_support::ReadValue(place.root, place.key, place.value, place.view)) << Name(place.key);
    if (ViewsAreSeparate(place.root)) {
      EXPECT_FALSE(test_support::ReadValue(place.root, place.key, place.value, place.view == k32 ? k64 : k32))
          << Name(place.key) << " is in the other view too";
    }
    if (place.takeBack) {
      place.takeBack();
      EXPECT_FALSE(test_support::ReadValue(place.root, place.key, place.value, place.view)) << Name(place.key);
    }
  }
  EXPECT_TRUE(boxes_.Boxes().empty());
}

// The readers find what the writers left, each in its own view: the installed program and folder of
// the uninstall entry, the product's own values, and the quiet reader's 64-bit view.
TEST_F(Bitness, ReadersLookInTheViewsTheWritersUse) {
  sys::WriteUninstallInfo(kSoftId, L"Orvatte", kProgram, L"C:\\Orvatte", L"1.0", L"");
  EXPECT_EQ(sys::GetInstalledExePath(kSoftId), kProgram);
  EXPECT_EQ(sys::GetRegisteredInstallDir(kSoftId), L"C:\\Orvatte");
  EXPECT_EQ(sys::GetInstalledVersion(kSoftId), L"1.0");

  sys::WriteRegString(RegRoot::CurrentUser, kStringsKey, L"source", L"k1");
  EXPECT_EQ(sys::ReadRegString(RegRoot::CurrentUser, kStringsKey, L"source"), L"k1");

  sys::RegKey key;
  ASSERT_EQ(sys::CreateRegKeyInView(2, RegRoot::LocalMachine, sys::UninstallKeyPath(kSoftId), reg::kKeySetValue, key),
            reg::kSuccess);
  ASSERT_EQ(key.SetValue(L"Native", reg::kRegSz, reg::StringData(L"64")), reg::kSuccess);
  EXPECT_EQ(sys::ReadRegStringQuiet(RegRoot::LocalMachine, sys::UninstallKeyPath(kSoftId), L"Native"), L"64");
  EXPECT_EQ(sys::ReadRegString(RegRoot::LocalMachine, sys::UninstallKeyPath(kSoftId), L"Native"), L"");
}

#ifdef _WIN32
// The folders, under Wine's 64-bit prefix (the one both builds run in): the same in both builds.
// The system programs are named in System32 by both; only what runs differs, since Windows
// redirects a 32-bit program's System32 to SysWOW64 when the file is opened.
TEST_F(Bitness, FoldersAreThoseOfThe32BitInstaller) {
  EXPECT_EQ(common::UpperCase(sys::GetProgramFilesDir()), L"C:\\PROGRAM FILES (X86)");
  std::vector<std::wstring> both;
  for (const std::wstring& folder : sys::GetProgramFilesDirs()) both.push_back(common::UpperCase(folder));
  EXPECT_EQ(both, (std::vector<std::wstring>{L"C:\\PROGRAM FILES (X86)", L"C:\\PROGRAM FILES"}));
  for (const wchar_t* program : {L"cmd.exe", L"regsvr32.exe", L"ping.exe", L"attrib.exe", L"rundll32.exe"}) {
    EXPECT_EQ(common::UpperCase(sys::SystemProgramPath(program)), L"C:\\WINDOWS\\SYSTEM32\\" + common::UpperCase(program));
  }
}

// The protected-folder guard knows the same folders in both builds, though folder ids name the x86
// or the native ones depending on the bitness that asks.
TEST_F(Bitness, BothProgramFilesAndCommonFilesFoldersAreProtected) {
  for (const wchar_t* folder : {L"C:\\Program Files", L"C:\\Program Files (x86)", L"C:\\Program Files\\Common Files",
                                L"C:\\Program Files (x86)\\Common Files"}) {
    EXPECT_TRUE(sys::IsProtectedFolder(folder)) << Name(folder);
  }
}

// A typed folder below either Program Files folder is out of users' reach in both builds: the walk
// up stops at each of them without reading its list.
TEST_F(Bitness, BothProgramFilesFoldersEndTheWalkUp) {
  for (const wchar_t* folder : {L"C:\\Program Files\\Orvatte Bitness", L"C:\\Program Files (x86)\\Orvatte Bitness"}) {
    EXPECT_TRUE(sys::IsOutOfUsersReach(folder)) << Name(folder);
  }
}
#endif

}  // namespace
