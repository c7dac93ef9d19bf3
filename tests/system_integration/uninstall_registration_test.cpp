#include "system/uninstall_registration.h"

#include <gtest/gtest.h>

#include <string>

#include "common/strings.h"
#include "common/text.h"
#include "support/message_box_recorder.h"
#include "system/message_box.h"
#include "system/registry_values.h"
#include "system_integration/registry_reading.h"

#ifndef _WIN32
#include "system/registry_fake.h"
#endif

namespace {

using sys::RegRoot;
using test_support::KeyExists;
using test_support::ReadText;
using test_support::ReadValue;

// Each test registers a product of its own and removes it again; the real registry of the Wine
// prefix is shared by the test programs.
class UninstallRegistration : public testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    sys::fake_registry::Reset();
#endif
  }
  void TearDown() override {
    for (const auto& id : {softId_, softId_ + L"-sibling"}) {
      test_support::DeleteKeyTree(RegRoot::LocalMachine, sys::UninstallKeyPath(id));
    }
  }
  std::wstring Path() const { return sys::UninstallKeyPath(softId_); }

  const std::wstring softId_ =
      L"OrvatteTest-" + common::Utf8ToWide(testing::UnitTest::GetInstance()->current_test_info()->name());
  test_support::MessageBoxRecorder boxes_;
};

TEST_F(UninstallRegistration, WritesEveryValueAsText) {
  const std::wstring dir = L"C:\\Users\\A B\\AppData\\Local\\Brisklens";
  sys::WriteUninstallInfo(softId_, L"Brisklens", dir + L"\\Brisklens.exe", dir, L"2.1.0", L" ");
  EXPECT_TRUE(boxes_.Boxes().empty());
  const std::pair<const wchar_t*, std::wstring> expected[] = {
      {L"DisplayName", L"Brisklens"},
      {L"DisplayIcon", L"\"" + dir + L"\\Brisklens.exe\""},
      {L"UninstallString", L"\"" + dir + L"\\unin.exe\""},  // quoted: the folder holds a space
      {L"DisplayVersion", L"2.1.0"},
      {L"Publisher", L" "},
      {L"ExePath", L"\"" + dir + L"\\Brisklens.exe\""},
  };
  for (const auto& [name, text] : expected) {
    const auto value = ReadValue(RegRoot::LocalMachine, Path(), name);
    ASSERT_TRUE(value) << common::WideToUtf8(name);
    EXPECT_EQ(value->type, sys::reg::kRegSz) << common::WideToUtf8(name);
    EXPECT_EQ(value->Text(), text) << common::WideToUtf8(name);
#ifndef _WIN32
    // The text and one terminating NUL: (length + 1) x 2 bytes. (Wine adds a missing terminator
    // itself, so only the host can prove the count.)
    EXPECT_EQ(value->data.size(), (text.size() + 1) * 2) << common::WideToUtf8(name);
#endif
  }
#ifndef _WIN32
  EXPECT_EQ(sys::fake_registry::ValueNames(RegRoot::LocalMachine, Path()).size(), std::size(expected));
#endif
  EXPECT_EQ(sys::GetInstalledExePath(softId_), dir + L"\\Brisklens.exe");
  EXPECT_EQ(sys::GetInstalledVersion(softId_), L"2.1.0");
}

TEST_F(UninstallRegistration, EmptyVersionAndPublisherAreLeftOut) {
  sys::WriteUninstallInfo(softId_, L"", L"C:\\P\\Orvatte.exe", L"C:\\P", L"", L"");
  EXPECT_EQ(ReadText(RegRoot::LocalMachine, Path(), L"DisplayName"), L"");
  EXPECT_FALSE(ReadValue(RegRoot::LocalMachine, Path(), L"DisplayVersion"));
  EXPECT_FALSE(ReadValue(RegRoot::LocalMachine, Path(), L"Publisher"));
  EXPECT_EQ(sys::GetInstalledVersion(softId_), L"");
}

TEST_F(UninstallRegistration, InstalledPathLosesEveryQuote) {
  sys::RegKey key;
  ASSERT_EQ(sys::RegKey::Create(RegRoot::LocalMachine, Path(), sys::reg::kKeyAllAccess | sys::reg::kWow64_32Key, key), 0);
  key.SetValue(L"DisplayIcon", sys::reg::kRegSz, sys::reg::StringData(L"\"C:\\x\\Orv\"atte.exe\""));
  EXPECT_EQ(sys::GetInstalledExePath(softId_), L"C:\\x\\Orvatte.exe");
  const std::vector<std::uint8_t> dword{1, 0, 0, 0};
  key.SetValue(L"DisplayIcon", sys::reg::kRegDword, dword);
  EXPECT_THROW(sys::GetInstalledExePath(softId_), common::EGeneralError);
}

TEST_F(UninstallRegistration, LookupOfAMissingProductLeavesAnEmptyKeyThatUninstallRemoves) {
  EXPECT_EQ(sys::GetInstalledExePath(softId_), L"");
  EXPECT_TRUE(KeyExists(RegRoot::LocalMachine, Path()));
  sys::DeleteUninstallInfo(softId_);
  EXPECT_FALSE(KeyExists(RegRoot::LocalMachine, Path()));
}

TEST_F(UninstallRegistration, DeleteRemovesSubkeysFirstAndNothingElse) {
  sys::WriteUninstallInfo(softId_, L"Brisklens", L"C:\\P\\Orvatte.exe", L"C:\\P", L"1", L" ");
  sys::WriteUninstallInfo(softId_ + L"-sibling", L"Other", L"C:\\Q\\Other.exe", L"C:\\Q", L"1", L" ");
  for (const wchar_t* below : {L"\\a\\b\\c", L"\\a\\d", L"\\e"}) {
    sys::RegKey key;
    ASSERT_EQ(sys::RegKey::Create(RegRoot::LocalMachine, Path() + below, sys::reg::kKeyAllAccess | sys::reg::kWow64_32Key, key), 0);
  }
  sys::DeleteUninstallInfo(L"");  // names no product
  EXPECT_TRUE(KeyExists(RegRoot::LocalMachine, Path() + L"\\a\\b\\c"));
  sys::DeleteUninstallInfo(softId_);
  EXPECT_FALSE(KeyExists(RegRoot::LocalMachine, Path()));
  EXPECT_EQ(sys::GetInstalledVersion(softId_ + L"-sibling"), L"1");
  sys::DeleteUninstallInfo(softId_);  // a second time: nothing to do, nothing shown
  EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(UninstallRegistration, ViewTwoAddsTheSixtyFourBitFlag) {
  sys::RegKey key;
  ASSERT_EQ(sys::CreateRegKeyInView(2, RegRoot::LocalMachine, Path(), sys::reg::kKeyAllAccess, key), 0);
  ASSERT_EQ(sys::SetStringValue(key, L"Marker", L"64"), 0);
  EXPECT_EQ(ReadText(RegRoot::LocalMachine, Path(), L"Marker", sys::reg::kWow64_64Key), L"64");
  EXPECT_EQ(ReadText(RegRoot::LocalMachine, Path(), L"Marker", sys::reg::kWow64_32Key), L"<missing>");
  key.Close();
  test_support::DeleteKeyTree(RegRoot::LocalMachine, Path(), sys::reg::kWow64_64Key);
}

#ifndef _WIN32
TEST_F(UninstallRegistration, WithoutRightsEveryFailureIsShownAndTheRestStillTried) {
  int window = 0;
  sys::SetApplicationWindow(&window, L"Brisklens 安装");
  sys::fake_registry::DenyWritesBelow(RegRoot::LocalMachine, std::wstring(sys::kUninstallKey));
  sys::WriteUninstallInfo(softId_, L"Brisklens", L"C:\\P\\Orvatte.exe", L"C:\\P", L"2.0", L" ");
  // The creation's error, then one box per value written to the null key.
  ASSERT_EQ(boxes_.Boxes().size(), 7u);
  EXPECT_EQ(boxes_.Boxes()[0].text, std::to_wstring(sys::reg::kAccessDenied));
  for (std::size_t i = 1; i < 7; ++i) EXPECT_EQ(boxes_.Boxes()[i].text, std::to_wstring(sys::reg::kInvalidHandle));
  for (const auto& box : boxes_.Boxes()) {
    EXPECT_EQ(box.owner, &window);
    EXPECT_EQ(box.caption, L"Brisklens 安装");
    EXPECT_EQ(box.style, 0x40u);
  }
  sys::SetApplicationWindow(nullptr, L"");
}
#endif

}  // namespace
