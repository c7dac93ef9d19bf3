#include "system/registry_values.h"

namespace sys {

std::wstring QueryStringValue(const RegKey& key, std::wstring_view name) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (key.QueryValue(name, type, data) != reg::kSuccess) return {};
  if (type != reg::kRegSz && type != reg::kRegExpandSz) return {};
  return reg::StringFromData(data);
}

long SetStringValue(const RegKey& key, std::wstring_view name, std::wstring_view text) {
  return key.SetValue(name, reg::kRegSz, reg::StringData(text));
}

}  // namespace sys
