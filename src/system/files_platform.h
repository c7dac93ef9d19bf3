// The primitives under the portable file functions: the Windows build maps them to the Win32
// file calls, the host build to the POSIX ones (with "\" read as a separator).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sys::platform {

struct FolderEntry {
  std::wstring name;
  bool isFolder = false;
  bool isLink = false;  // a symbolic link or junction: removed, never walked
};

// A folder held open from the moment it is opened until the object goes: while it is held it
// cannot be renamed, moved or replaced by a link, so every name below it stays below it. Opening
// never follows a link in the last component.
class HeldFolder {
 public:
  virtual ~HeldFolder() = default;
  // The folder as the file system names it now (links in its parents resolved).
  virtual std::wstring FinalPath() const = 0;
  // Every entry except "." and ".."; false when the listing cannot start.
  virtual bool List(std::vector<FolderEntry>& entries) const = 0;
  // The sub-folder name, held the same way; nothing when it is a link or no folder.
  virtual std::unique_ptr<HeldFolder> OpenChild(std::wstring_view name) const = 0;
  // Deletes the entry name: a file (read-only, hidden and system cleared first), an empty folder
  // or a link itself. A link is never followed, its target's attributes never touched.
  virtual bool DeleteChild(std::wstring_view name) const = 0;
};

// Holds the folder at path; nothing when path is a link, no folder or cannot be opened.
std::unique_ptr<HeldFolder> HoldFolder(std::wstring_view path);

// Every entry of folder ("." and ".." may be among them); false when the listing cannot start.
bool ListFolder(std::wstring_view folder, std::vector<FolderEntry>& entries);
// SetFileAttributesW(path, 0x10): clears read-only, hidden and system; the result is not needed.
void ClearAttributes(std::wstring_view path);
// The running executable's full path.
std::wstring ExecutablePath();
// The absolute form of path (relative to the current directory), with short names made long.
std::wstring FullPath(std::wstring_view path);

// The folders that IsProtectedFolder guards, as the system names them.
struct GuardedFolders {
  // Refused themselves and with every folder that holds them; a folder below them is allowed.
  std::vector<std::wstring> known;
  // Refused with every folder that holds them and everything below them.
  std::vector<std::wstring> subtrees;
};
GuardedFolders ProtectedFolders();
// True when path is absolute and lies on a local fixed drive (Windows: "X:\" of a fixed disk).
bool IsLocalFixedPath(std::wstring_view path);

// Creates a new folder that only Administrators and SYSTEM may change; false when it exists.
bool CreatePrivateFolder(std::wstring_view path);

}  // namespace sys::platform
