// String values of an open registry key, for the registrations that read a value before they
// decide to write it.
#pragma once

#include <string>
#include <string_view>

#include "system/registry.h"

namespace sys {

// The text of a REG_SZ or REG_EXPAND_SZ value; empty when it is missing, of another type or the
// key is not open.
std::wstring QueryStringValue(const RegKey& key, std::wstring_view name);
// Writes a REG_SZ value of (length + 1) x 2 bytes; the Win32 error code.
long SetStringValue(const RegKey& key, std::wstring_view name, std::wstring_view text);

}  // namespace sys
