// The primitives under the portable file functions: the Windows build maps them to the Win32
// file calls, the host build to the POSIX ones (with "\" read as a separator).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sys::platform {

struct FolderEntry {
  std::wstring name;
  bool isFolder = false;
  bool isLink = false;  // a symbolic link or junction: removed, never walked
};

// Every entry of folder ("." and ".." may be among them); false when the listing cannot start.
bool ListFolder(std::wstring_view folder, std::vector<FolderEntry>& entries);
// SetFileAttributesW(path, 0x10): clears read-only, hidden and system; the result is not needed.
void ClearAttributes(std::wstring_view path);
bool DeleteOneFile(std::wstring_view path);
// The running executable's full path.
std::wstring ExecutablePath();
// The absolute form of path (relative to the current directory), with short names made long.
std::wstring FullPath(std::wstring_view path);
// The folders that IsProtectedFolder guards, as the system names them.
std::vector<std::wstring> ProtectedFolders();
// Creates a new folder that only Administrators and SYSTEM may change; false when it exists.
bool CreatePrivateFolder(std::wstring_view path);
// Creates a new file holding bytes; false when the file exists already or cannot be written.
bool WriteNewFile(std::wstring_view path, const std::string& bytes);

#ifndef _WIN32
// The host's spelling of path: UTF-8, with "\" read as "/".
std::string NativePath(std::wstring_view path);
#endif

}  // namespace sys::platform
