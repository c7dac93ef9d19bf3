// What the resource functions need from each build (resources_win.cpp, resources_posix.cpp): the
// embedded files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace sys::resources_platform {

// The bytes of the embedded file (valid for the whole process), or nothing when there is none of
// that name and type.
std::optional<std::span<const std::uint8_t>> FindBytes(std::wstring_view name, std::wstring_view type);

}  // namespace sys::resources_platform
