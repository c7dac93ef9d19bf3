// Controls of the in-memory registry that the host build's RegKey works on, for tests.
//
// The fake keeps one HKEY_CURRENT_USER shared by both views and separate 32-bit and 64-bit trees of
// HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT. KEY_WOW64_32KEY selects the 32-bit view and
// KEY_WOW64_64KEY the 64-bit one; a key opened from a root with neither (or both) is refused, as the
// Windows build refuses it. Key and value names compare
// without regard to letter case and keep the case they were created with. Values keep their type
// and exact bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/registry.h"

namespace sys::fake_registry {

enum class View { Bits32, Bits64 };

struct Value {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// Empties every tree and lifts every injected failure; keys still open afterwards fail with
// ERROR_KEY_DELETED.
void Reset();

bool KeyExists(RegRoot root, std::wstring_view path, View view = View::Bits32);
std::optional<Value> GetValue(RegRoot root, std::wstring_view path, std::wstring_view name,
                              View view = View::Bits32);
// Names of the values of a key, as created, in order of their upper-cased names.
std::vector<std::wstring> ValueNames(RegRoot root, std::wstring_view path, View view = View::Bits32);
// Names of the immediate subkeys of a key, as created, in order of their upper-cased names.
std::vector<std::wstring> SubKeyNames(RegRoot root, std::wstring_view path, View view = View::Bits32);

// Puts a value in place, creating its key, without going through RegKey.
void PutValue(RegRoot root, std::wstring_view path, std::wstring_view name, const Value& value,
              View view = View::Bits32);

// From now on creating a key at or below root\path, or opening one there with any write access,
// fails with error (in both views), as for a program without the rights for that part of the
// registry: kAccessDenied models a run without elevation below HKEY_LOCAL_MACHINE.
void DenyWritesBelow(RegRoot root, std::wstring_view path, long error = reg::kAccessDenied);

}  // namespace sys::fake_registry
