// File-system services of the install and uninstall sequences: the standard per-user folders, the
// program's own location, free space, copying and forced deletion of files, deletion of folder
// trees, emptying of the product folder, and the removal of the uninstaller after it has ended.
// Paths are joined with "\"; the host build accepts "\" and "/" alike and works on the real file
// system, so install and uninstall sequences can be run natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "system/file_io.h"

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
// Whether a symbolic link or junction stands at path (its target is not looked at).
bool IsLink(std::wstring_view path);
// Whether path is a folder (no link) without any entries.
bool IsEmptyFolder(std::wstring_view path);
// Removes an empty folder (RemoveDirectoryW).
bool RemoveFolder(std::wstring_view path);

// Copies source over destination (an existing destination is overwritten).
bool CopyFileTo(std::wstring_view source, std::wstring_view destination);
// Drops the read-only, hidden and system attributes, then deletes the file; true when it is gone.
bool DeleteFileForce(std::wstring_view path);

// True when path names a folder that no product may empty or delete, however the path is spelt
// (separators, letter case, "." and "..", trailing separators, links): a drive or share root; a
// known folder of a profile (the profile itself, Desktop, Documents, Downloads, Pictures, Music,
// Videos, Favorites, OneDrive, Saved Games, the application-data and start-menu folders, the
// temporary folder), Public, the Users root, ProgramData, the Program Files folders, or a folder
// holding one of these; the Windows folder, and the profiles of users other than the current and
// the desktop user, with everything below them. A folder below the current user's known folders
// is allowed.
bool IsProtectedFolder(std::wstring_view path);
// Whether a and b name the same folder, however spelt.
bool SameFolder(std::wstring_view a, std::wstring_view b);
// Whether path lies below folder (strictly: folder itself is not below itself).
bool IsFolderBelow(std::wstring_view path, std::wstring_view folder);
// The folder that holds path as written: "C:\a" for "C:\a\b", "C:\" for "C:\a", "/" for "/a"; empty
// for a root or a path without separator. Nothing is looked up.
std::wstring ParentFolder(std::wstring_view path);
// Whether path is absolute and on a local fixed drive ("X:\..." of a fixed disk on Windows).
bool IsLocalFixedPath(std::wstring_view path);

// Deletes the folder and everything below it. False when path is protected, is not an existing
// folder (a link to one included) or cannot be listed; otherwise true, whatever single deletions
// failed. Each folder is held, so that it cannot be renamed or replaced, from its check until its
// contents are gone; links are removed, never followed.
bool DeleteFolderTree(std::wstring_view path);
// Deletes the entries of path whose names do not begin with "." and are not keep; folders only
// when withSubfolders (with everything in them), otherwise each folder counts as a failed
// deletion. The folder itself stays. True when every deletion tried succeeded (also for a missing
// folder); false and nothing deleted when path is protected or a link.
bool EmptyFolder(std::wstring_view path, bool withSubfolders, std::wstring_view keep = {});
// Called with each folder of EmptyFolder and DeleteFolderTree once it is held and listed, before
// its entries go (tests act in that moment); none by default.
void SetDeletionObserver(std::function<void(std::wstring_view folder)> observer);

// Deletes the file, empty folder or link at path; a link is removed, never followed.
bool RemoveEntry(std::wstring_view path);
// Replaces whatever stands at path (a link is removed, not followed) with a new file of bytes.
bool ReplaceWithNewFile(std::wstring_view path, const std::string& bytes);
// The first maxBytes bytes of a file; nothing when it cannot be read.
std::optional<std::string> ReadSmallFile(std::wstring_view path, std::size_t maxBytes);

// Writes the batch script that deletes target once the target's process has ended, and then
// itself with its folder: ASCII text with CR LF line ends, named "<0..4999>.bat" inside a new
// folder of the temporary folder that only Administrators and SYSTEM may change. The script names
// the target by its file name only (letters, digits, ".", "_", "-"), so it must run in the
// target's folder; it retries about once a second for at most 60 attempts and calls its tools by
// their full path in the system folder. Returns the script's path, or raises
// common::EGeneralError when it cannot be written.
std::wstring WriteSelfDeleteScript(std::wstring_view target);
// The command line that runs script: cmd from the system folder, without AutoRun commands and
// delayed expansion.
std::wstring SelfDeleteCommandLine(std::wstring_view script);
// When path exists: writes the script for it and starts it hidden, in path's folder, under the
// program's own token, without waiting.
void SelfDeleteAfterExit(std::wstring_view path);

// The system's Yes/No question box (question icon); true when the answer is Yes.
bool AskYesNo(void* owner, std::wstring_view caption, std::wstring_view text);

}  // namespace sys
