// Windows build: the program's own resources.
#include <windows.h>

#include <string>

#include "system/resources_platform.h"

namespace sys::resources_platform {

std::optional<std::span<const std::uint8_t>> FindBytes(std::wstring_view name, std::wstring_view type) {
  // FindResourceW compares string names and types without regard to case.
  const HRSRC info = FindResourceW(nullptr, std::wstring(name).c_str(), std::wstring(type).c_str());
  if (!info) return std::nullopt;
  const HGLOBAL loaded = LoadResource(nullptr, info);
  if (!loaded) return std::nullopt;
  // A module's resources stay mapped as long as the module; FreeResource has nothing to release.
  const auto* data = static_cast<const std::uint8_t*>(LockResource(loaded));
  const DWORD size = SizeofResource(nullptr, info);
  if (!data && size != 0) return std::nullopt;
  return std::span<const std::uint8_t>(data, size);
}

}  // namespace sys::resources_platform
