// Single string values in the registry: each call opens its key, reads or writes once and closes
// the key again.
#pragma once

#include <string>
#include <string_view>

#include "system/registry.h"

namespace sys {

// HKEY_LOCAL_MACHINE's key of Windows' own settings, among them its folders ("ProgramFilesDir",
// "CommonFilesDir"), which only administrators may change.
inline constexpr std::wstring_view kCurrentVersionKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Opens root\subKey with KEY_ALL_ACCESS in the 32-bit view, creating it when missing,
// and reads a REG_SZ or REG_EXPAND_SZ value (unexpanded, cut at its first NUL). A missing key or
// value reads as empty text; a value of another type raises common::EGeneralError
// "Invalid data type for '<name>'".
std::wstring ReadRegString(RegRoot root, std::wstring_view subKey, std::wstring_view valueName);

// Opens root\subKey as above and writes a REG_SZ value of (length + 1) x 2 bytes. A failure raises
// common::EGeneralError "Failed to set data for '<name>'".
void WriteRegString(RegRoot root, std::wstring_view subKey, std::wstring_view valueName, std::wstring_view text);

// Like ReadRegString with KEY_READ in the 64-bit view (KEY_WOW64_64KEY), and every failure
// (missing key or value, other type, registry error) reads as empty text.
std::wstring ReadRegStringQuiet(RegRoot root, std::wstring_view subKey, std::wstring_view valueName);

}  // namespace sys
