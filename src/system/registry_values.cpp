#include "system/registry_values.h"

namespace sys {

long QueryStringValue(const RegKey& key, std::wstring_view name, std::wstring& text) {
  text.clear();
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (const long rc = key.QueryValue(name, type, data); rc != reg::kSuccess) return rc;
  if (type != reg::kRegSz && type != reg::kRegExpandSz) return reg::kUnsupportedType;
  text = reg::StringFromData(data);
  return reg::kSuccess;
}

std::wstring QueryStringValue(const RegKey& key, std::wstring_view name) {
  std::wstring text;
  QueryStringValue(key, name, text);
  return text;
}

long SetStringValue(const RegKey& key, std::wstring_view name, std::wstring_view text) {
  return key.SetValue(name, reg::kRegSz, reg::StringData(text));
}

}  // namespace sys
