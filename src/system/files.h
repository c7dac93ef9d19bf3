// File-system services of the install and uninstall sequences: the standard per-user folders, the
// program's own location, free space, copying and forced deletion of files, deletion of folder
// trees, emptying of the product folder, and the removal of the uninstaller after it has ended.
// Paths are joined with "\"; the host build accepts "\" and "/" alike and works on the real file
// system, so install and uninstall sequences can be run natively.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sys {

// The temporary folder, with its trailing separator.
std::wstring GetTempDir();
// The roaming and local application-data folders (created when missing), without trailing
// separator. Raise common::EGeneralError "Error get getSysAppDataDir" when the folder cannot be had.
std::wstring GetAppDataDir();
std::wstring GetLocalAppDataDir();
// The running executable's folder with its trailing separator, and its file name with extension.
std::wstring GetExeDir();
std::wstring GetExeFileName();

// Space available to the current user on the volume of path, in MiB (truncated). On failure
// megabytes is 0 and the result false.
bool GetDiskFreeMB(std::wstring_view path, std::int32_t& megabytes);

bool FileExists(std::wstring_view path);
bool DirectoryExists(std::wstring_view path);
// Creates the folder and every missing parent; true when the folder exists afterwards.
bool ForceDirectories(std::wstring_view path);
// Removes an empty folder (RemoveDirectoryW).
bool RemoveFolder(std::wstring_view path);

// Copies source over destination (an existing destination is overwritten).
bool CopyFileTo(std::wstring_view source, std::wstring_view destination);
// Drops the read-only, hidden and system attributes, then deletes the file; true when it is gone.
bool DeleteFileForce(std::wstring_view path);

// True when path names a folder that no product may empty or delete: a drive or share root, the
// Windows folder, the Program Files folders, the user's profile with its Desktop, Documents and
// Downloads, the roaming and local application-data folders, or a folder holding one of these;
// however the path is spelt (separators, letter case, "." and "..", trailing separators).
bool IsProtectedFolder(std::wstring_view path);

// Deletes the folder and everything below it. False when path is protected, is not an existing
// folder or cannot be listed; otherwise true, whatever single deletions failed. Links to folders
// are removed, never followed.
bool DeleteFolderTree(std::wstring_view path);
// Deletes the entries of path whose names do not begin with "."; folders only when withSubfolders
// (with everything in them), otherwise each folder counts as a failed deletion. The folder itself
// stays. True when every deletion tried succeeded (also for a missing folder); false and nothing
// deleted when path is protected.
bool EmptyFolder(std::wstring_view path, bool withSubfolders);

// Writes the batch script that deletes target once the target's process has ended, and then
// itself: ANSI text, CR LF line ends, named "<0..4999>.bat" inside a new folder of the temporary
// folder that only Administrators and SYSTEM may change. Returns the script's path, or raises
// common::EGeneralError when it cannot be written.
std::wstring WriteSelfDeleteScript(std::wstring_view target);
// When path exists: writes the script for it and starts the script hidden under the program's own
// token, without waiting.
void SelfDeleteAfterExit(std::wstring_view path);

// The system's Yes/No question box (question icon); true when the answer is Yes.
bool AskYesNo(void* owner, std::wstring_view caption, std::wstring_view text);

}  // namespace sys
