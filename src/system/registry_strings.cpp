#include "system/registry_strings.h"

#include "common/strings.h"

namespace sys {
namespace {

enum class ReadOutcome { Text, Missing, WrongType };

// One string value of root\subKey, opened with creation allowed: the key is left created even
// when the value is missing.
ReadOutcome ReadStringValue(RegRoot root, std::wstring_view subKey, std::wstring_view valueName,
                            std::uint32_t access, std::wstring& text) {
  text.clear();
  RegKey key;
  RegKey::Create(root, subKey, access, key);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (key.QueryValue(valueName, type, data) != reg::kSuccess) return ReadOutcome::Missing;
  if (type != reg::kRegSz && type != reg::kRegExpandSz) return ReadOutcome::WrongType;
  text = reg::StringFromData(data);
  return ReadOutcome::Text;
}

std::wstring Quoted(std::wstring_view prefix, std::wstring_view name) {
  return std::wstring(prefix) + L"'" + std::wstring(name) + L"'";
}

}  // namespace

std::wstring ReadRegString(RegRoot root, std::wstring_view subKey, std::wstring_view valueName) {
  std::wstring text;
  if (ReadStringValue(root, subKey, valueName, reg::kKeyAllAccess, text) == ReadOutcome::WrongType) {
    common::RaiseError(Quoted(L"Invalid data type for ", valueName));
  }
  return text;
}

void WriteRegString(RegRoot root, std::wstring_view subKey, std::wstring_view valueName, std::wstring_view text) {
  RegKey key;
  if (RegKey::Create(root, subKey, reg::kKeyAllAccess, key) != reg::kSuccess ||
      key.SetValue(valueName, reg::kRegSz, reg::StringData(text)) != reg::kSuccess) {
    common::RaiseError(Quoted(L"Failed to set data for ", valueName));
  }
}

std::wstring ReadRegStringQuiet(RegRoot root, std::wstring_view subKey, std::wstring_view valueName) {
  std::wstring text;  // stays empty unless a string value was read
  ReadStringValue(root, subKey, valueName, reg::kKeyRead | reg::kWow64_64Key, text);
  return text;
}

}  // namespace sys
