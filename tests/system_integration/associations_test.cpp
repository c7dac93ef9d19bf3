#include "system/associations.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "common/strings.h"
#include "system/registry_values.h"
#include "system/startup_entry.h"
#include "system_integration/registry_reading.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "system/associations_fake.h"
#include "system/registry_fake.h"
#endif

namespace {

using sys::RegRoot;
using test_support::ReadText;
using test_support::ReadValue;

const std::wstring kFileExts = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const std::wstring kProgram = L"C:\\Program Files\\Orvatte\\Orvatte.exe";

// Whether a key was written since Mark(): under Wine the key's last-write time tells, on the host
// the count of shell notifications (which follow every change of the checked values).
class ChangeWatch {
 public:
  ChangeWatch(RegRoot root, std::wstring path, std::uint32_t view) : root_(root), path_(std::move(path)), view_(view) {}
  void Mark() {
    stamp_ = Stamp();
    // Let the clock move on, so that a rewrite gets a later time.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  bool Changed() const { return Stamp() != stamp_; }

 private:
  long long Stamp() const {
#ifdef _WIN32
    const HKEY root = root_ == RegRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
    HKEY key = nullptr;
    FILETIME written{};
    if (RegOpenKeyExW(root, path_.c_str(), 0, KEY_READ | view_, &key) == ERROR_SUCCESS) {
      RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       &written);
      RegCloseKey(key);
    }
    return (static_cast<long long>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
#else
    return sys::fake_shell::AssociationNotifications();
#endif
  }
  RegRoot root_;
  std::wstring path_;
  std::uint32_t view_;
  long long stamp_ = 0;
};

class Registrations : public testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    sys::fake_registry::Reset();
    sys::fake_shell::ResetNotifications();
#endif
    Clean();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    for (const auto& path : {ext_, progId_}) test_support::DeleteKeyTree(RegRoot::ClassesRoot, path);
    test_support::DeleteKeyTree(RegRoot::CurrentUser, L"SOFTWARE\\Classes\\" + ext_);
    test_support::DeleteKeyTree(RegRoot::CurrentUser, kFileExts + ext_);
    test_support::DeleteKeyTree(RegRoot::ClassesRoot, protocol_, sys::reg::kWow64_64Key);
    sys::SetRunAtStartup(softId_, false, L"");
  }

  const std::wstring ext_ = L".orvtest";
  const std::wstring progId_ = L"orvtestFile";
  const std::wstring protocol_ = L"orvatte-test";
  const std::wstring softId_ = L"OrvatteStartupTest";
};

TEST_F(Registrations, FileAssociationKeys) {
  sys::AssociateFileExt(ext_, progId_, progId_, kProgram, L"");
  EXPECT_EQ(ReadText(RegRoot::ClassesRoot, ext_, L""), progId_);
  EXPECT_EQ(ReadText(RegRoot::ClassesRoot, progId_, L""), progId_);
  EXPECT_EQ(ReadText(RegRoot::ClassesRoot, progId_ + L"\\shell\\open\\command", L""), L"\"" + kProgram + L"\" \"%1\"");
  EXPECT_EQ(ReadText(RegRoot::CurrentUser, L"SOFTWARE\\Classes\\" + ext_, L""), progId_);
  const auto choice = ReadValue(RegRoot::CurrentUser, kFileExts + ext_ + L"\\UserChoice", L"Progid");
  ASSERT_TRUE(choice);
  EXPECT_EQ(choice->type, sys::reg::kRegSz);
  EXPECT_EQ(choice->Text(), progId_);
}

TEST_F(Registrations, ExtraArgumentsStandBeforeTheFile) {
  sys::AssociateFileExt(ext_, progId_, L"Orvatte picture", kProgram, L"--view");
  EXPECT_EQ(ReadText(RegRoot::ClassesRoot, progId_, L""), L"Orvatte picture");
  EXPECT_EQ(ReadText(RegRoot::ClassesRoot, progId_ + L"\\shell\\open\\command", L""),
            L"\"" + kProgram + L"\" --view \"%1\"");
}

TEST_F(Registrations, UserChoiceIsWrittenOnlyWhenItDiffers) {
  const std::wstring choicePath = kFileExts + ext_ + L"\\UserChoice";
  sys::AssociateFileExt(ext_, progId_, progId_, kProgram, L"");
  ChangeWatch watch(RegRoot::CurrentUser, choicePath, sys::reg::kWow64_32Key);
  watch.Mark();
  sys::AssociateFileExt(ext_, progId_, progId_, kProgram, L"");
  EXPECT_FALSE(watch.Changed());

  sys::RegKey key;
  ASSERT_EQ(sys::RegKey::Create(RegRoot::CurrentUser, choicePath, sys::reg::kKeyAllAccess | sys::reg::kWow64_32Key, key), 0);
  sys::SetStringValue(key, L"Progid", L"OtherViewer.orvtest");
  key.Close();
  watch.Mark();
  sys::AssociateFileExt(ext_, progId_, progId_, kProgram, L"");
  EXPECT_TRUE(watch.Changed());
  EXPECT_EQ(ReadText(RegRoot::CurrentUser, choicePath, L"Progid"), progId_);
}

#ifndef _WIN32
TEST_F(Registrations, WithoutUserChoiceTheExtensionKeyTakesTheProgid) {
  sys::fake_registry::DenyWritesBelow(RegRoot::CurrentUser, kFileExts + ext_ + L"\\UserChoice");
  sys::AssociateFileExt(ext_, progId_, progId_, kProgram, L"");
  EXPECT_EQ(ReadText(RegRoot::CurrentUser, kFileExts + ext_, L"Progid"), progId_);
  EXPECT_EQ(sys::fake_shell::AssociationNotifications(), 1);
}

TEST_F(Registrations, ClassesThatCannotBeWrittenEndTheAssociationQuietly) {
  sys::fake_registry::DenyWritesBelow(RegRoot::ClassesRoot, ext_);
  sys::AssociateFileExt(ext_, progId_, progId_, kProgram, L"");
  EXPECT_FALSE(test_support::KeyExists(RegRoot::ClassesRoot, progId_));
  EXPECT_FALSE(test_support::KeyExists(RegRoot::CurrentUser, kFileExts + ext_));
  EXPECT_EQ(sys::fake_shell::AssociationNotifications(), 0);
}
#endif

TEST_F(Registrations, UrlProtocolInTheSixtyFourBitView) {
  const std::uint32_t view = sys::reg::kWow64_64Key;
  const std::wstring commandPath = protocol_ + L"\\shell\\open\\command";
  sys::RegisterUrlProtocol(protocol_, L"URL:Orvatte", kProgram);
  EXPECT_EQ(ReadText(RegRoot::ClassesRoot, protocol_, L"", view), L"URL:Orvatte");
  EXPECT_EQ(ReadText(RegRoot::ClassesRoot, protocol_, L"URL Protocol", view), kProgram);
  EXPECT_EQ(ReadText(RegRoot::ClassesRoot, commandPath, L"", view), L"\"" + kProgram + L"\" \"%1\"");

  // Again with the same program: the command stays untouched, the other two values are rewritten.
  sys::RegKey key;
  ASSERT_EQ(sys::RegKey::Create(RegRoot::ClassesRoot, protocol_, sys::reg::kKeyAllAccess | view, key), 0);
  sys::SetStringValue(key, L"", L"changed by hand");
  key.Close();
  ChangeWatch watch(RegRoot::ClassesRoot, commandPath, view);
  watch.Mark();
  sys::RegisterUrlProtocol(protocol_, L"URL:Orvatte", kProgram);
  EXPECT_FALSE(watch.Changed());
  EXPECT_EQ(ReadText(RegRoot::ClassesRoot, protocol_, L"", view), L"URL:Orvatte");

  sys::RegisterUrlProtocol(protocol_, L"URL:Orvatte", L"D:\\Other\\Orvatte.exe");
  EXPECT_TRUE(watch.Changed());
  EXPECT_EQ(ReadText(RegRoot::ClassesRoot, commandPath, L"", view), L"\"D:\\Other\\Orvatte.exe\" \"%1\"");
}

TEST_F(Registrations, RunEntryHoldsTheQuotedProgramUntilRemoved) {
  const std::wstring run(sys::kRunKey);
  sys::RegKey key;
  ASSERT_EQ(sys::RegKey::Create(RegRoot::CurrentUser, run, sys::reg::kKeyAllAccess | sys::reg::kWow64_32Key, key), 0);
  sys::SetStringValue(key, softId_, L"C:\\old\\Orvatte.exe -hidden");
  sys::SetStringValue(key, softId_ + L"-neighbour", L"kept");
  key.Close();

  sys::SetRunAtStartup(softId_, true, kProgram);
  const auto value = ReadValue(RegRoot::CurrentUser, run, softId_);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, sys::reg::kRegSz);
  EXPECT_EQ(value->Text(), L"\"" + kProgram + L"\"");

  sys::SetRunAtStartup(softId_, false, kProgram);
  EXPECT_FALSE(ReadValue(RegRoot::CurrentUser, run, softId_));
  sys::SetRunAtStartup(softId_, false, kProgram);  // nothing left to remove
  EXPECT_EQ(ReadText(RegRoot::CurrentUser, run, softId_ + L"-neighbour"), L"kept");
  sys::SetRunAtStartup(softId_ + L"-neighbour", false, L"");
}

}  // namespace
