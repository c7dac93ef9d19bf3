// String values through ReadRegString / WriteRegString / ReadRegStringQuiet, checked with the
// registry API itself: on the host against the in-memory registry, under Wine against the real one
// (a 64-bit prefix, so the 32-bit and 64-bit views of HKEY_LOCAL_MACHINE differ).
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/strings.h"
#include "common/text.h"
#include "support/registry_tree.h"
#include "system/registry.h"
#include "system/registry_strings.h"
#include "system/registry_values.h"

namespace {

using sys::RegKey;
using sys::RegRoot;
namespace reg = sys::reg;

const std::wstring kScratch = L"Software\\InstallerTests\\RegStrings";

struct ReadBack {
  long rc = -1;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

ReadBack Query(RegRoot root, const std::wstring& path, const std::wstring& name, std::uint32_t view = reg::kWow64_32Key) {
  ReadBack r;
  RegKey key;
  r.rc = RegKey::Open(root, path, reg::kKeyRead | view, key);
  if (r.rc == reg::kSuccess) r.rc = key.QueryValue(name, r.type, r.data);
  return r;
}

void Put(RegRoot root, const std::wstring& path, const std::wstring& name, std::uint32_t type,
         const std::vector<std::uint8_t>& data, std::uint32_t view = reg::kWow64_32Key) {
  RegKey key;
  ASSERT_EQ(RegKey::Create(root, path, reg::kKeyAllAccess | view, key), reg::kSuccess);
  ASSERT_EQ(key.SetValue(name, type, data), reg::kSuccess);
}

bool KeyExists(RegRoot root, const std::wstring& path, std::uint32_t view = reg::kWow64_32Key) {
  RegKey key;
  return RegKey::Open(root, path, reg::kKeyRead | view, key) == reg::kSuccess;
}

class RegistryStrings : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    for (RegRoot root : {RegRoot::CurrentUser, RegRoot::LocalMachine}) {
      testing_support::DeleteKeyTree(root, kScratch);
      testing_support::DeleteKeyTree(root, kScratch, reg::kWow64_64Key);
    }
  }
};

TEST_F(RegistryStrings, WrittenTextIsRegSzWithItsTerminatorAndReadsBack) {
  const std::wstring texts[] = {L"", L"web", L"Brisklens 安装", L"C:\\Program Files\\x"};
  for (const std::wstring& text : texts) {
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    sys::WriteRegString(RegRoot::CurrentUser, kScratch, L"source", text);
    const ReadBack r = Query(RegRoot::CurrentUser, kScratch, L"source");
    ASSERT_EQ(r.rc, reg::kSuccess);
    EXPECT_EQ(r.type, reg::kRegSz);
    EXPECT_EQ(r.data.size(), (text.size() + 1) * 2);
    EXPECT_EQ(reg::StringFromData(r.data), text);
    EXPECT_EQ(sys::ReadRegString(RegRoot::CurrentUser, kScratch, L"source"), text);
    EXPECT_EQ(sys::ReadRegStringQuiet(RegRoot::CurrentUser, kScratch, L"source"), text);
  }
}

TEST_F(RegistryStrings, WriteReplacesAValueOfAnotherType) {
  Put(RegRoot::CurrentUser, kScratch, L"kid", reg::kRegDword, {7, 0, 0, 0});
  sys::WriteRegString(RegRoot::CurrentUser, kScratch, L"kid", L"123");
  const ReadBack r = Query(RegRoot::CurrentUser, kScratch, L"kid");
  EXPECT_EQ(r.type, reg::kRegSz);
  EXPECT_EQ(reg::StringFromData(r.data), L"123");
}

TEST_F(RegistryStrings, ReadOfAMissingKeyIsEmptyAndLeavesTheKeyCreated) {
  const std::wstring path = kScratch + L"\\Missing";
  EXPECT_EQ(sys::ReadRegString(RegRoot::CurrentUser, path, L"source"), L"");
  EXPECT_TRUE(KeyExists(RegRoot::CurrentUser, path));

  // The quiet read creates it in the 64-bit view.
  const std::wstring machinePath = kScratch + L"\\Quiet";
  EXPECT_EQ(sys::ReadRegStringQuiet(RegRoot::LocalMachine, machinePath, L"guid"), L"");
  EXPECT_TRUE(KeyExists(RegRoot::LocalMachine, machinePath, reg::kWow64_64Key));
  EXPECT_FALSE(KeyExists(RegRoot::LocalMachine, machinePath));
}

// What both readers make of the string values they find: a missing value in an existing key is
// empty, expandable text comes unexpanded, and text ends at its first NUL.
TEST_F(RegistryStrings, BothReadersReadStringValuesAlike) {
  const struct {
    const char* what;
    std::uint32_t type;
    std::vector<std::uint8_t> data;  // empty: no value of that name, another one in the key
    std::wstring text;
  } cases[] = {
      {"missing value", reg::kRegSz, {}, L""},
      {"expandable text", reg::kRegExpandSz, reg::StringData(L"%TEMP%\\x;%APPDATA%"), L"%TEMP%\\x;%APPDATA%"},
      {"text with NULs", reg::kRegSz, {'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0}, L"ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing_support::DeleteKeyTree(RegRoot::CurrentUser, kScratch);
    if (c.data.empty()) {
      sys::WriteRegString(RegRoot::CurrentUser, kScratch, L"other", L"x");
    } else {
      Put(RegRoot::CurrentUser, kScratch, L"value", c.type, c.data);
    }
    EXPECT_EQ(sys::ReadRegString(RegRoot::CurrentUser, kScratch, L"value"), c.text);
    EXPECT_EQ(sys::ReadRegStringQuiet(RegRoot::CurrentUser, kScratch, L"value"), c.text);
  }
}

TEST_F(RegistryStrings, OtherValueTypesRaiseOnlyInTheLoudRead) {
  const struct {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  } cases[] = {{reg::kRegDword, {1, 0, 0, 0}}, {reg::kRegBinary, {'a', 0, 0, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    Put(RegRoot::CurrentUser, kScratch, L"guid", c.type, c.data);
    try {
      sys::ReadRegString(RegRoot::CurrentUser, kScratch, L"guid");
      ADD_FAILURE() << "no error raised";
    } catch (const common::EGeneralError& e) {
      EXPECT_EQ(e.Message(), L"Invalid data type for 'guid'");
    }
    EXPECT_EQ(sys::ReadRegStringQuiet(RegRoot::CurrentUser, kScratch, L"guid"), L"");
  }
}

TEST_F(RegistryStrings, LoudCallsUseTheDefaultViewAndTheQuietReadThe64BitView) {
  sys::WriteRegString(RegRoot::LocalMachine, kScratch, L"DisplayVersion", L"32-bit view");
  Put(RegRoot::LocalMachine, kScratch, L"DisplayVersion", reg::kRegSz, reg::StringData(L"64-bit view"),
      reg::kWow64_64Key);

  EXPECT_EQ(sys::ReadRegString(RegRoot::LocalMachine, kScratch, L"DisplayVersion"), L"32-bit view");
  EXPECT_EQ(sys::ReadRegStringQuiet(RegRoot::LocalMachine, kScratch, L"DisplayVersion"), L"64-bit view");
  const ReadBack r = Query(RegRoot::LocalMachine, kScratch, L"DisplayVersion", reg::kWow64_32Key);
  EXPECT_EQ(reg::StringFromData(r.data), L"32-bit view");

  // The current user's software key is the same in both views.
  sys::WriteRegString(RegRoot::CurrentUser, kScratch, L"guid", L"{shared}");
  EXPECT_EQ(sys::ReadRegStringQuiet(RegRoot::CurrentUser, kScratch, L"guid"), L"{shared}");
}

// The one reader of string values, over values the registry API wrote: which types read as text,
// how the data is cut, and the error codes that tell a missing value from one of another type.
TEST_F(RegistryStrings, QueryStringValueReadsOnlyStringTypesAndSaysWhyNot) {
  const auto units = [](std::initializer_list<std::uint16_t> list) {
    std::vector<std::uint8_t> data;
    for (const std::uint16_t u : list) {
      data.push_back(static_cast<std::uint8_t>(u & 0xFF));
      data.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return data;
  };
  struct Case {
    const wchar_t* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    long rc;
    std::wstring text;
  };
  const Case cases[] = {
      {L"sz", reg::kRegSz, reg::StringData(L"C:\\Orvatte"), reg::kSuccess, L"C:\\Orvatte"},
      {L"expand", reg::kRegExpandSz, reg::StringData(L"%TEMP%\\x"), reg::kSuccess, L"%TEMP%\\x"},
      {L"cut", reg::kRegSz, units({L'a', L'b', 0, L'c', 0}), reg::kSuccess, L"ab"},
      {L"unterminated", reg::kRegSz, units({L'a', L'b'}), reg::kSuccess, L"ab"},
      {L"empty", reg::kRegSz, {}, reg::kSuccess, L""},
      {L"dword", reg::kRegDword, {7, 0, 0, 0}, reg::kUnsupportedType, L""},
      {L"binary", reg::kRegBinary, units({L'a', 0}), reg::kUnsupportedType, L""},
  };
  for (const Case& c : cases) Put(RegRoot::CurrentUser, kScratch, c.name, c.type, c.data);
  RegKey key;
  ASSERT_EQ(RegKey::Open(RegRoot::CurrentUser, kScratch, reg::kKeyRead | reg::kWow64_32Key, key), reg::kSuccess);
  for (const Case& c : cases) {
    SCOPED_TRACE(common::WideToUtf8(c.name));
    std::wstring text = L"stale";
    EXPECT_EQ(sys::QueryStringValue(key, c.name, text), c.rc);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(sys::QueryStringValue(key, c.name), c.text);
  }
  std::wstring text = L"stale";
  EXPECT_EQ(sys::QueryStringValue(key, L"missing", text), reg::kFileNotFound);
  EXPECT_EQ(text, L"");
  const RegKey closed;
  EXPECT_EQ(sys::QueryStringValue(closed, L"sz", text), reg::kInvalidHandle);
  EXPECT_EQ(text, L"");
}

}  // namespace
