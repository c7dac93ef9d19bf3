// Removal of a whole registry key tree through sys::RegKey, so a test can start from and leave
// behind a clean scratch key in the real registry (Wine) and in the host build's fake alike.
#pragma once

#include <string>

#include "system/registry.h"

namespace testing_support {

// Deletes root\path with all its subkeys in the view that viewFlag selects (by default the 32-bit
// view, the installer's own).
inline void DeleteKeyTree(sys::RegRoot root, const std::wstring& path, std::uint32_t viewFlag = sys::reg::kWow64_32Key) {
  sys::RegKey key;
  if (sys::RegKey::Open(root, path, sys::reg::kKeyAllAccess | viewFlag, key) != sys::reg::kSuccess) return;
  std::wstring child;
  while (key.EnumSubKey(0, child) == sys::reg::kSuccess) {
    DeleteKeyTree(root, path + L"\\" + child, viewFlag);
  }
  key.Close();
  const auto cut = path.rfind(L'\\');
  sys::RegKey parent;
  if (cut == std::wstring::npos) return;  // never a root's immediate child
  sys::RegKey::Open(root, path.substr(0, cut), sys::reg::kKeyAllAccess | viewFlag, parent);
  parent.DeleteSubKey(path.substr(cut + 1));
}

}  // namespace testing_support
