// The Windows build's private folders: made and opened in one step. (Windows sources only.)
#pragma once

#include <string>

#include "system/win_handle.h"

namespace sys::win {

// No delete sharing: while such a handle is open, every open of the folder for deleting (which
// renaming and removing need) fails with a sharing violation. Listing the folder and reading its
// attributes still work.
inline constexpr DWORD kFolderHoldAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
// True when the open handle is a real folder, not a file and not a link to somewhere else.
bool IsPlainFolder(HANDLE folder);

// Opens an existing folder held as above, on the folder itself, never through a link or junction.
// An empty handle when path is missing, a file or a link.
FileHandle HoldPlainFolder(const std::wstring& path);
inline constexpr DWORD kFolderHoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Creates path (a full path) as a new folder owned by Administrators, with full control for
// Administrators and SYSTEM only and nothing inherited from its parent, and returns it held. One
// call makes and opens it, so the handle is the folder just made, whatever a program of the user
// does in the parent meanwhile. An empty handle when path exists or cannot be made.
FileHandle CreateHeldPrivateFolder(const std::wstring& path);

}  // namespace sys::win
