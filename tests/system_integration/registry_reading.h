// Reading back what the registrations wrote, through the same registry layer in both builds (the
// real registry under Wine, the in-memory one on the host).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "system/registry.h"

namespace test_support {

struct RegValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  std::wstring Text() const { return sys::reg::StringFromData(data); }
};

inline std::optional<RegValue> ReadValue(sys::RegRoot root, const std::wstring& path, const std::wstring& name,
                                         std::uint32_t view = sys::reg::kWow64_32Key) {
  sys::RegKey key;
  if (sys::RegKey::Open(root, path, sys::reg::kKeyRead | view, key) != sys::reg::kSuccess) return std::nullopt;
  RegValue value;
  if (key.QueryValue(name, value.type, value.data) != sys::reg::kSuccess) return std::nullopt;
  return value;
}

inline std::wstring ReadText(sys::RegRoot root, const std::wstring& path, const std::wstring& name,
                             std::uint32_t view = sys::reg::kWow64_32Key) {
  const auto value = ReadValue(root, path, name, view);
  return value ? value->Text() : L"<missing>";
}

inline bool KeyExists(sys::RegRoot root, const std::wstring& path, std::uint32_t view = sys::reg::kWow64_32Key) {
  sys::RegKey key;
  return sys::RegKey::Open(root, path, sys::reg::kKeyRead | view, key) == sys::reg::kSuccess;
}

// Deletes root\path with everything below it.
inline void DeleteKeyTree(sys::RegRoot root, const std::wstring& path, std::uint32_t view = sys::reg::kWow64_32Key) {
  sys::RegKey key;
  if (sys::RegKey::Open(root, path, sys::reg::kKeyAllAccess | view, key) == sys::reg::kSuccess) {
    std::vector<std::wstring> children;
    std::wstring child;
    for (std::uint32_t i = 0; key.EnumSubKey(i, child) == sys::reg::kSuccess; ++i) children.push_back(child);
    for (const auto& name : children) DeleteKeyTree(root, path + L"\\" + name, view);
  }
  key.Close();
  const auto slash = path.rfind(L'\\');
  sys::RegKey parent;
  if (slash == std::wstring::npos) {
    // A key right below the root: its parent is the root itself.
    if (sys::RegKey::Open(root, L"", sys::reg::kKeyAllAccess | view, parent) == sys::reg::kSuccess) {
      parent.DeleteSubKey(path);
    }
  } else if (sys::RegKey::Open(root, path.substr(0, slash), sys::reg::kKeyAllAccess | view, parent) ==
             sys::reg::kSuccess) {
    parent.DeleteSubKey(path.substr(slash + 1));
  }
}

}  // namespace test_support
