// The host build's in-memory registry behaves like the real one where the installer depends on it,
// and the REG_SZ byte layout (which Wine would repair by itself) is exact.
#include <gtest/gtest.h>

#include "common/strings.h"
#include "support/hex.h"
#include "system/registry.h"
#include "system/registry_fake.h"
#include "system/registry_strings.h"

namespace {

using sys::RegKey;
using sys::RegRoot;
using sys::fake_registry::View;
namespace reg = sys::reg;
namespace fake = sys::fake_registry;
using testing_support::ToHex;

class FakeRegistry : public ::testing::Test {
 protected:
  void SetUp() override { fake::Reset(); }
  void TearDown() override { fake::Reset(); }
};

TEST(RegistryStringData, IsUtf16LittleEndianWithOneTerminator) {
  const struct {
    std::wstring text;
    const char* hex;
  } cases[] = {
      {L"", "0000"},
      {L"ab", "610062000000"},
      {L"安装", "895bc5880000"},
      {std::wstring(1, static_cast<wchar_t>(0x1F600)), "3dd800de0000"},  // outside the BMP: a surrogate pair
  };
  for (const auto& c : cases) {
    if (sizeof(wchar_t) == 2 && c.text.size() == 1 && static_cast<std::uint32_t>(c.text[0]) > 0xFFFF) continue;
    SCOPED_TRACE(c.hex);
    EXPECT_EQ(ToHex(reg::StringData(c.text)), c.hex);
    EXPECT_EQ(reg::StringFromData(reg::StringData(c.text)), c.text);
  }
}

TEST(RegistryStringData, ReadingToleratesMissingTerminatorAndOddLength) {
  const struct {
    std::vector<std::uint8_t> data;
    std::wstring text;
  } cases[] = {
      {{}, L""},
      {{'a', 0, 'b', 0}, L"ab"},        // no terminator
      {{'a', 0, 'b'}, L"a"},            // a dangling byte
      {{'a', 0, 0, 0, 'b', 0}, L"a"},   // cut at the first NUL
      {{0x3d, 0xd8}, L"\xD83D"},        // a lone surrogate stays
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToHex(c.data));
    EXPECT_EQ(reg::StringFromData(c.data), c.text);
  }
}

TEST_F(FakeRegistry, WrittenBytesAreKeptExactly) {
  sys::WriteRegString(RegRoot::CurrentUser, L"SOFTWARE\\brisklens_win", L"source", L"");
  const auto empty = fake::GetValue(RegRoot::CurrentUser, L"software\\BRISKLENS_WIN", L"SOURCE");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->type, reg::kRegSz);
  EXPECT_EQ(empty->data.size(), 2u);

  // No terminator is added on the way in: a stored value keeps the bytes it was given.
  RegKey key;
  ASSERT_EQ(RegKey::Create(RegRoot::CurrentUser, L"SOFTWARE\\x", reg::kKeyAllAccess | reg::kWow64_32Key, key), reg::kSuccess);
  ASSERT_EQ(key.SetValue(L"raw", reg::kRegSz, {'a', 0}), reg::kSuccess);
  EXPECT_EQ(fake::GetValue(RegRoot::CurrentUser, L"SOFTWARE\\x", L"raw")->data.size(), 2u);
}

TEST_F(FakeRegistry, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  RegKey key;
  ASSERT_EQ(RegKey::Create(RegRoot::CurrentUser, L"Software\\Vornhalt\\Sub", reg::kKeyAllAccess | reg::kWow64_32Key, key), reg::kSuccess);
  ASSERT_EQ(key.SetValue(L"Guid", reg::kRegSz, reg::StringData(L"1")), reg::kSuccess);
  ASSERT_EQ(key.SetValue(L"GUID", reg::kRegSz, reg::StringData(L"2")), reg::kSuccess);

  RegKey again;
  ASSERT_EQ(RegKey::Open(RegRoot::CurrentUser, L"SOFTWARE\\vornhalt", reg::kKeyRead | reg::kWow64_32Key, again), reg::kSuccess);
  std::wstring name;
  ASSERT_EQ(again.EnumSubKey(0, name), reg::kSuccess);
  EXPECT_EQ(name, L"Sub");
  EXPECT_EQ(again.EnumSubKey(1, name), reg::kNoMoreItems);
  EXPECT_EQ(fake::ValueNames(RegRoot::CurrentUser, L"software\\vornhalt\\sub"), std::vector<std::wstring>{L"Guid"});
  EXPECT_EQ(reg::StringFromData(fake::GetValue(RegRoot::CurrentUser, L"Software\\Vornhalt\\Sub", L"guid")->data),
            L"2");
}

TEST_F(FakeRegistry, MachineAndClassesHaveTwoViewsAndTheCurrentUserOne) {
  const struct {
    RegRoot root;
    bool shared;
  } roots[] = {{RegRoot::LocalMachine, false}, {RegRoot::ClassesRoot, false}, {RegRoot::CurrentUser, true}};
  for (const auto& r : roots) {
    fake::Reset();
    RegKey key;
    ASSERT_EQ(RegKey::Create(r.root, L"Scratch\\k", reg::kKeyAllAccess | reg::kWow64_64Key, key), reg::kSuccess);
    EXPECT_TRUE(fake::KeyExists(r.root, L"Scratch\\k", View::Bits64));
    EXPECT_EQ(fake::KeyExists(r.root, L"Scratch\\k", View::Bits32), r.shared);
    EXPECT_EQ(RegKey::Open(r.root, L"Scratch\\k", reg::kKeyRead | reg::kWow64_32Key, key) == reg::kSuccess, r.shared);
  }
}

TEST_F(FakeRegistry, SubkeysOpenInTheParentsViewUnlessTheyNameOne) {
  fake::PutValue(RegRoot::LocalMachine, L"Software\\P\\c", L"v", {reg::kRegSz, reg::StringData(L"64")}, View::Bits64);
  RegKey parent;
  ASSERT_EQ(RegKey::Open(RegRoot::LocalMachine, L"Software\\P", reg::kKeyRead | reg::kWow64_64Key, parent),
            reg::kSuccess);
  RegKey child;
  EXPECT_EQ(RegKey::Open(parent, L"c", reg::kKeyRead, child), reg::kSuccess);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  EXPECT_EQ(child.QueryValue(L"v", type, data), reg::kSuccess);
  EXPECT_EQ(reg::StringFromData(data), L"64");
  EXPECT_EQ(RegKey::Open(parent, L"missing", reg::kKeyRead, child), reg::kFileNotFound);
  EXPECT_FALSE(child.IsOpen());
}

TEST_F(FakeRegistry, AccessMaskLimitsWhatAnOpenKeyMayDo) {
  fake::PutValue(RegRoot::CurrentUser, L"S", L"v", {reg::kRegDword, {1, 0, 0, 0}});
  RegKey reader;
  ASSERT_EQ(RegKey::Open(RegRoot::CurrentUser, L"S", reg::kKeyRead | reg::kWow64_32Key, reader), reg::kSuccess);
  EXPECT_EQ(reader.SetValue(L"v", reg::kRegDword, {2, 0, 0, 0}), reg::kAccessDenied);
  EXPECT_EQ(reader.DeleteValue(L"v"), reg::kAccessDenied);
  RegKey writer;
  ASSERT_EQ(RegKey::Open(RegRoot::CurrentUser, L"S", reg::kKeyWrite | reg::kWow64_32Key, writer), reg::kSuccess);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  EXPECT_EQ(writer.QueryValue(L"v", type, data), reg::kAccessDenied);
  EXPECT_EQ(writer.DeleteValue(L"v"), reg::kSuccess);
  EXPECT_EQ(writer.DeleteValue(L"v"), reg::kFileNotFound);

  RegKey null;
  EXPECT_EQ(null.QueryValue(L"v", type, data), reg::kInvalidHandle);
  EXPECT_EQ(null.SetValue(L"v", reg::kRegSz, {}), reg::kInvalidHandle);
}

TEST_F(FakeRegistry, DeletingKeys) {
  fake::PutValue(RegRoot::LocalMachine, L"A\\B\\C", L"v", {reg::kRegSz, {}});
  RegKey a;
  ASSERT_EQ(RegKey::Open(RegRoot::LocalMachine, L"A", reg::kKeyAllAccess | reg::kWow64_32Key, a), reg::kSuccess);
  EXPECT_EQ(a.DeleteSubKey(L"b"), reg::kAccessDenied);  // it still has a subkey
  RegKey b;
  ASSERT_EQ(RegKey::Open(a, L"B", reg::kKeyAllAccess, b), reg::kSuccess);
  RegKey c;
  ASSERT_EQ(RegKey::Open(b, L"C", reg::kKeyAllAccess, c), reg::kSuccess);
  EXPECT_EQ(b.DeleteSubKey(L"c"), reg::kSuccess);
  EXPECT_EQ(b.DeleteSubKey(L"c"), reg::kFileNotFound);
  EXPECT_FALSE(fake::KeyExists(RegRoot::LocalMachine, L"A\\B\\C"));
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  EXPECT_EQ(c.QueryValue(L"v", type, data), 1018);  // ERROR_KEY_DELETED on a handle to a deleted key
  std::uint32_t count = 9;
  EXPECT_EQ(b.SubKeyCount(count), reg::kSuccess);
  EXPECT_EQ(count, 0u);
}

TEST_F(FakeRegistry, DeniedWritesModelARunWithoutElevation) {
  fake::PutValue(RegRoot::LocalMachine, L"Software\\Existing", L"DisplayIcon", {reg::kRegSz, reg::StringData(L"x")});
  fake::DenyWritesBelow(RegRoot::LocalMachine, L"SOFTWARE");

  RegKey key;
  EXPECT_EQ(RegKey::Create(RegRoot::LocalMachine, L"Software\\New", reg::kKeyAllAccess | reg::kWow64_32Key, key), reg::kAccessDenied);
  EXPECT_EQ(RegKey::Create(RegRoot::LocalMachine, L"software\\New", reg::kKeyAllAccess | reg::kWow64_64Key, key),
            reg::kAccessDenied);
  EXPECT_EQ(RegKey::Open(RegRoot::LocalMachine, L"Software\\Existing", reg::kKeyAllAccess | reg::kWow64_32Key, key), reg::kAccessDenied);
  EXPECT_FALSE(fake::KeyExists(RegRoot::LocalMachine, L"Software\\New"));

  // Reading still works; the loud write raises, the reads that create their key read empty.
  EXPECT_EQ(RegKey::Open(RegRoot::LocalMachine, L"Software\\Existing", reg::kKeyRead | reg::kWow64_32Key, key), reg::kSuccess);
  EXPECT_EQ(sys::ReadRegStringQuiet(RegRoot::LocalMachine, L"Software\\Existing", L"DisplayIcon"), L"");
  EXPECT_EQ(sys::ReadRegString(RegRoot::LocalMachine, L"Software\\Existing", L"DisplayIcon"), L"");
  try {
    sys::WriteRegString(RegRoot::LocalMachine, L"Software\\Existing", L"DisplayIcon", L"y");
    ADD_FAILURE() << "no error raised";
  } catch (const common::EGeneralError& e) {
    EXPECT_EQ(e.Message(), L"Failed to set data for 'DisplayIcon'");
  }
  // Other roots are untouched.
  EXPECT_NO_THROW(sys::WriteRegString(RegRoot::CurrentUser, L"Software\\New", L"v", L"y"));

  fake::Reset();
  EXPECT_EQ(RegKey::Create(RegRoot::LocalMachine, L"Software\\New", reg::kKeyAllAccess | reg::kWow64_32Key, key), reg::kSuccess);
}

}  // namespace
