// Windows build: the program's own resources; targets are files through the Win32 file calls.
#include <windows.h>

#include <algorithm>

#include "common/strings.h"
#include "system/resources_platform.h"
#include "system/win_handle.h"

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

void DeleteTarget(std::wstring_view destination) { DeleteFileW(std::wstring(destination).c_str()); }

void WriteTarget(std::wstring_view destination, std::span<const std::uint8_t> bytes) {
  const std::wstring path(destination);
  win::FileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) common::RaiseError(L"Cannot create file \"" + path + L"\"");
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) break;
    done += written;
  }
  // Closed here, as its result tells whether the last bytes reached the disk.
  if (!CloseHandle(file.Release()) || done != bytes.size()) common::RaiseError(L"Cannot write file \"" + path + L"\"");
}

bool TargetExists(std::wstring_view destination) {
  const DWORD attributes = GetFileAttributesW(std::wstring(destination).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace sys::resources_platform
