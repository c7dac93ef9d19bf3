// String values of an open registry key: the one reader of registry strings, and the writer, for
// every layer that reads or writes a text value.
#pragma once

#include <string>
#include <string_view>

#include "system/registry.h"

namespace sys {

// Reads a REG_SZ or REG_EXPAND_SZ value (unexpanded, cut at its first NUL) into text. The Win32
// error code: kSuccess; the query's error for a missing value or a key that is not open; or
// reg::kUnsupportedType for a value of another type. text is empty unless it succeeded.
long QueryStringValue(const RegKey& key, std::wstring_view name, std::wstring& text);
// The same with every failure read as empty text.
std::wstring QueryStringValue(const RegKey& key, std::wstring_view name);
// Writes a REG_SZ value of (length + 1) x 2 bytes; the Win32 error code.
long SetStringValue(const RegKey& key, std::wstring_view name, std::wstring_view text);

}  // namespace sys
