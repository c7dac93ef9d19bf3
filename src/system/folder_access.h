// Who may change a folder: the rule that keeps a product whose program runs as SYSTEM (a Windows
// service) out of the reach of programs without administrator rights, and the access list that
// such a product's folder gets.
//
// An access list on the install folder alone is not enough: whoever may delete or add entries in
// its parent can rename the folder away and put another in its place. So the folder must lie below
// a parent that gives users no write and no delete-child rights, and no folder above it may be
// renamed by users either. Program Files qualifies; a folder of the user's profile does not.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

// One entry of a folder's access list, as the system keeps it.
struct AccessEntry {
  std::wstring sid;  // in its text form, "S-1-5-32-544"
  bool allow = true;
  bool inheritOnly = false;  // applies only to what is made inside, not to the folder itself
  std::uint32_t mask = 0;
};

struct FolderAccess {
  std::wstring owner;  // the owner's SID; an owner may always change the access list
  bool hasList = true;  // false: no access list at all, everyone may do everything
  std::vector<AccessEntry> entries;
};

// Whether someone other than Administrators, SYSTEM and TrustedInstaller may add to the folder,
// delete from it, or change its access list or owner.
bool UsersMayChangeContent(const FolderAccess& folder);
// Whether someone other than those may rename or delete the folder: by rights on the folder itself
// or by delete-child rights on its parent.
bool UsersMayRemove(const FolderAccess& folder, const FolderAccess& parent);

// What the rule learns of the folders above an install folder.
struct FolderLookup {
  std::function<bool(const std::wstring& folder)> exists;
  // The folder's access, read from the folder itself, never through a link: nothing when it is a
  // link or cannot be read.
  std::function<std::optional<FolderAccess>(const std::wstring& folder)> read;
  // Whether the folder is one of the system's folders for the programs of all users
  // (GetProgramFilesDirs).
  std::function<bool(const std::wstring& folder)> isProgramFiles;
};

// True when installDir (an absolute path, existing or not) is out of users' reach. Its nearest
// existing ancestor must let users change nothing in it, and neither it nor any folder above it
// may be renamed by users. The walk up ends at either of the system's Program Files folders, which Windows
// itself keeps for administrators: its list is not read. False when any folder on the way is a
// link or cannot be read, and for a relative path.
bool IsOutOfUsersReach(const std::wstring& installDir, const FolderLookup& lookup);
// The same on this system's folders.
bool IsOutOfUsersReach(const std::wstring& installDir);

// The access of an existing folder, read from the folder itself (a link is not followed: nothing
// then); nothing when it cannot be read. On the host: its owner and mode bits in the same terms
// (root as SYSTEM; write for group or others as users' rights, the sticky bit taking delete-child
// away).
std::optional<FolderAccess> ReadFolderAccess(const std::wstring& folder);

// Gives the existing folder (no link) the access list of a SYSTEM-run product's folder: owner
// Administrators; Administrators and SYSTEM full control, Users read and execute, all inherited by
// what is inside, and passed on to what is inside already; nothing inherited from the parent.
// False when it cannot be set. On the host: owner root, mode 0755.
bool ProtectServiceFolder(const std::wstring& folder);

// Where programs for every user go: the folder Windows shows a 32-bit program, %ProgramFiles(x86)%
// on 64-bit Windows and %ProgramFiles% on 32-bit Windows (FOLDERID_ProgramFilesX86), in the 32-bit
// installer and its 64-bit test build alike. The host: $PROGRAMFILES, else "/opt".
std::wstring GetProgramFilesDir();
// Both of the system's Program Files folders: GetProgramFilesDir and, on 64-bit Windows, the one of
// 64-bit programs, read from HKEY_LOCAL_MACHINE's 64-bit view ("ProgramFilesDir"), which users
// cannot change, never from the environment, which they can. The host: GetProgramFilesDir alone.
std::vector<std::wstring> GetProgramFilesDirs();

}  // namespace sys
