#include "system/startup_entry.h"

#include <string>

#include "system/registry.h"
#include "system/registry_values.h"

namespace sys {

void SetRunAtStartup(std::wstring_view softId, bool add, std::wstring_view programPath) {
  RegKey key;
  if (RegKey::Create(RegRoot::CurrentUser, kRunKey, reg::kKeyAllAccess | reg::kWow64_32Key, key) != reg::kSuccess) return;
  if (add) {
    const std::wstring command = L"\"" + std::wstring(programPath) + L"\"";
    if (QueryStringValue(key, softId) != command) SetStringValue(key, softId, command);
    return;
  }
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (key.QueryValue(softId, type, data) == reg::kSuccess) key.DeleteValue(softId);
}

}  // namespace sys
