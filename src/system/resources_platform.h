// What the resource functions need from each build (resources_win.cpp, resources_posix.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace sys::resources_platform {

// The bytes of the embedded file (valid for the whole process), or nothing when there is none of
// that name and type.
std::optional<std::span<const std::uint8_t>> FindBytes(std::wstring_view name, std::wstring_view type);

// Deletes destination when it exists (the outcome is ignored).
void DeleteTarget(std::wstring_view destination);
// Creates or overwrites destination with bytes; raises common::EGeneralError when that fails.
void WriteTarget(std::wstring_view destination, std::span<const std::uint8_t> bytes);
bool TargetExists(std::wstring_view destination);

}  // namespace sys::resources_platform
