#include "system/registry_strings.h"

#include "common/strings.h"
#include "system/registry_values.h"

namespace sys {
namespace {

// The Win32 error of reading one string value of root\subKey, opened with creation allowed: the
// key is left created even when the value is missing.
long ReadStringValue(RegRoot root, std::wstring_view subKey, std::wstring_view valueName, std::uint32_t access,
                     std::wstring& text) {
  RegKey key;
  RegKey::Create(root, subKey, access, key);
  return QueryStringValue(key, valueName, text);
}

std::wstring Quoted(std::wstring_view prefix, std::wstring_view name) {
  return std::wstring(prefix) + L"'" + std::wstring(name) + L"'";
}

}  // namespace

std::wstring ReadRegString(RegRoot root, std::wstring_view subKey, std::wstring_view valueName) {
  std::wstring text;
  if (ReadStringValue(root, subKey, valueName, reg::kKeyAllAccess | reg::kWow64_32Key, text) == reg::kUnsupportedType) {
    common::RaiseError(Quoted(L"Invalid data type for ", valueName));
  }
  return text;
}

void WriteRegString(RegRoot root, std::wstring_view subKey, std::wstring_view valueName, std::wstring_view text) {
  RegKey key;
  if (RegKey::Create(root, subKey, reg::kKeyAllAccess | reg::kWow64_32Key, key) != reg::kSuccess ||
      SetStringValue(key, valueName, text) != reg::kSuccess) {
    common::RaiseError(Quoted(L"Failed to set data for ", valueName));
  }
}

std::wstring ReadRegStringQuiet(RegRoot root, std::wstring_view subKey, std::wstring_view valueName) {
  std::wstring text;  // stays empty unless a string value was read
  ReadStringValue(root, subKey, valueName, reg::kKeyRead | reg::kWow64_64Key, text);
  return text;
}

}  // namespace sys
