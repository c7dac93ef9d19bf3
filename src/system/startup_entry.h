// The start-up entry: a value named after the product under the current user's Run key that
// starts the main program at logon.
#pragma once

#include <string_view>

namespace sys {

inline constexpr std::wstring_view kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// add: writes the value softId = programPath in double quotes, unless it holds that already;
// otherwise deletes the value when it exists. Every error is swallowed.
void SetRunAtStartup(std::wstring_view softId, bool add, std::wstring_view programPath);

}  // namespace sys
