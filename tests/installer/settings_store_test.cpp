// The per-product settings store over the registry: on the host against the in-memory registry,
// under Wine against the real one.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>

#include "installer/reg_soft_info.h"
#include "support/registry_tree.h"
#include "system/registry.h"
#include "system/registry_strings.h"
#ifndef _WIN32
#include "system/registry_fake.h"
#endif

namespace {

using installer::TRegSoftInfo;
using sys::RegKey;
using sys::RegRoot;
namespace reg = sys::reg;

const std::wstring kKey = L"SOFTWARE\\InstallerTests\\SettingsStore";

struct Stored {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

Stored Raw(const std::wstring& name) {
  Stored s;
  RegKey key;
  RegKey::Open(RegRoot::CurrentUser, kKey, reg::kKeyRead | reg::kWow64_32Key, key);
  EXPECT_EQ(key.QueryValue(name, s.type, s.data), reg::kSuccess) << "value " << std::string(name.begin(), name.end());
  return s;
}

void PutRaw(const std::wstring& name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
  RegKey key;
  ASSERT_EQ(RegKey::Create(RegRoot::CurrentUser, kKey, reg::kKeyAllAccess | reg::kWow64_32Key, key), reg::kSuccess);
  ASSERT_EQ(key.SetValue(name, type, data), reg::kSuccess);
}

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::DeleteKeyTree(RegRoot::CurrentUser, kKey);
    store = std::make_unique<TRegSoftInfo>(RegRoot::CurrentUser, kKey);
  }
  void TearDown() override {
    store.reset();
    testing_support::DeleteKeyTree(RegRoot::CurrentUser, kKey);
  }
  std::unique_ptr<installer::TAbstractInfo> store;
};

TEST_F(SettingsStore, CreatingTheStoreCreatesItsKey) {
  RegKey key;
  EXPECT_EQ(RegKey::Open(RegRoot::CurrentUser, kKey, reg::kKeyRead | reg::kWow64_32Key, key), reg::kSuccess);
}

TEST_F(SettingsStore, EachTypeHasItsRegistryRepresentation) {
  store->WriteValue(L"on", true);
  store->WriteValue(L"off", false);
  store->WriteValue(L"count", std::int32_t{-2});
  store->WriteValue(L"name", L"Brisklens 安装");
  store->WriteValue(L"ratio", 1.5);

  const struct {
    const wchar_t* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  } expected[] = {
      {L"on", reg::kRegDword, {1, 0, 0, 0}},
      {L"off", reg::kRegDword, {0, 0, 0, 0}},
      {L"count", reg::kRegDword, {0xFE, 0xFF, 0xFF, 0xFF}},
      {L"name", reg::kRegSz, reg::StringData(L"Brisklens 安装")},
      {L"ratio", reg::kRegBinary, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},  // 1.5 as a little-endian IEEE double
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(std::string(e.name, e.name + wcslen(e.name)));
    const Stored s = Raw(e.name);
    EXPECT_EQ(s.type, e.type);
    EXPECT_EQ(s.data, e.data);
  }
}

TEST_F(SettingsStore, ValuesReadBackInTheirOwnType) {
  const double extremes[] = {0.0, -0.0, 1e-310, std::numeric_limits<double>::max(), -123.456};
  for (double d : extremes) {
    store->WriteValue(L"d", d);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(store->ReadValue(L"d", 7.0)), std::bit_cast<std::uint64_t>(d));
  }
  const std::int32_t ints[] = {0, 1, -1, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max()};
  for (std::int32_t i : ints) {
    store->WriteValue(L"i", i);
    EXPECT_EQ(store->ReadValue(L"i", std::int32_t{42}), i);
  }
  store->WriteValue(L"t", L"");
  EXPECT_EQ(store->ReadValue(L"t", L"default"), L"");  // an empty text is still a stored text
  store->WriteValue(L"b", true);
  EXPECT_EQ(store->ReadValue(L"b", std::int32_t{0}), 1);  // a true Boolean is the number 1
  store->WriteValue(L"b", std::int32_t{-7});
  EXPECT_TRUE(store->ReadValue(L"b", false));  // any non-zero number is true
}

TEST_F(SettingsStore, WritingReplacesAValueOfAnotherType) {
  store->WriteValue(L"v", L"text");
  store->WriteValue(L"v", 2.5);
  EXPECT_EQ(Raw(L"v").type, reg::kRegBinary);
  EXPECT_EQ(store->ReadValue(L"v", 0.0), 2.5);
  EXPECT_EQ(store->ReadValue(L"v", L"default"), L"default");
}

TEST_F(SettingsStore, ReadsOfAnotherTypeOrSizeGiveTheDefault) {
  PutRaw(L"text", reg::kRegSz, reg::StringData(L"5"));
  PutRaw(L"short", reg::kRegBinary, {1, 2, 3, 4});  // not the 8 bytes of a double
  PutRaw(L"word", reg::kRegBinary, {1, 0, 0, 0});   // the bytes of a number, but not a REG_DWORD
  PutRaw(L"expand", reg::kRegExpandSz, reg::StringData(L"%APPDATA%\\x"));

  EXPECT_EQ(store->ReadValue(L"text", std::int32_t{9}), 9);
  EXPECT_TRUE(store->ReadValue(L"text", true));
  EXPECT_EQ(store->ReadValue(L"text", 0.25), 0.25);
  EXPECT_EQ(store->ReadValue(L"short", 0.25), 0.25);
  EXPECT_EQ(store->ReadValue(L"word", std::int32_t{9}), 9);
  EXPECT_EQ(store->ReadValue(L"expand", L""), L"%APPDATA%\\x");
  EXPECT_EQ(store->ReadValue(L"missing", L"dflt"), L"dflt");
  EXPECT_FALSE(store->ReadValue(L"missing", false));
}

TEST_F(SettingsStore, DeleteValueReportsWhetherItDeleted) {
  store->WriteValue(L"x", true);
  EXPECT_TRUE(store->DeleteValue(L"x"));
  EXPECT_FALSE(store->DeleteValue(L"x"));
  EXPECT_EQ(store->ReadValue(L"x", std::int32_t{3}), 3);
}

#ifndef _WIN32
TEST(SettingsStoreWithoutRights, ReadsGiveDefaultsAndWritesDoNothing) {
  sys::fake_registry::Reset();
  sys::fake_registry::DenyWritesBelow(RegRoot::CurrentUser, L"SOFTWARE\\Locked");
  TRegSoftInfo store(RegRoot::CurrentUser, L"SOFTWARE\\Locked\\brisklens_win");
  store.WriteValue(L"n", std::int32_t{5});
  store.WriteValue(L"s", L"x");
  EXPECT_EQ(store.ReadValue(L"n", std::int32_t{1}), 1);
  EXPECT_EQ(store.ReadValue(L"s", L"d"), L"d");
  EXPECT_FALSE(store.DeleteValue(L"n"));
  EXPECT_FALSE(sys::fake_registry::KeyExists(RegRoot::CurrentUser, L"SOFTWARE\\Locked\\brisklens_win"));
  sys::fake_registry::Reset();
}
#endif

}  // namespace
