// The install folder: whether a typed or chosen folder may receive the product, the marker that
// every install leaves in its folder, and whether a folder holds this product's own install (the
// only folder that the uninstaller may empty).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace installer {

// Why a folder may not receive the product; kNone when it may. A further rule is one more reason
// here, checked in CheckInstallDir and named in InstallDirRefusalMessage.
enum class InstallDirRefusal {
  kNone,
  kNotLocal,     // empty, relative, or not on a local fixed drive
  kInvalidName,  // characters or names that folder names cannot hold
  kTooLong,      // longer than kMaxInstallDirLength
  kNotFolder,    // a file or a link stands at the path or in place of one of its parents
  kProtected,    // a system folder, a user's own folder or another user's profile (sys::IsProtectedFolder)
  kNotEmpty,     // holds entries and is no earlier install of this product
  // Only for a product whose program runs as SYSTEM (RunsAsSystem):
  kUsersReach,      // below a folder that programs without administrator rights may change (sys::IsOutOfUsersReach)
  kNotProtectable,  // its access list could not be set when it was made (sys::ProtectServiceFolder); found by
                    // the install itself, not by CheckInstallDir
};

// Leaves room below the folder for the product's own files within the system's path limit.
inline constexpr std::size_t kMaxInstallDirLength = 150;

// The marker file: holds the product identifier (UTF-8). An install writes it before its first
// file; an uninstall keeps it while emptying the folder and deletes it last. Either, killed half
// way, may so be run again.
inline constexpr wchar_t kInstallMarkerName[] = L"install.marker";

// The checks in the order above; path without a trailing separator. forSystemProgram: the product's
// program runs as SYSTEM, so its folder must be out of users' reach.
InstallDirRefusal CheckInstallDir(const std::wstring& path, const std::wstring& softId, bool forSystemProgram);
// The message that tells the user why; empty for kNone.
std::wstring_view InstallDirRefusalMessage(InstallDirRefusal refusal);

// Whether folder is this product's install: the folder of its registered uninstaller, or a folder
// whose marker holds softId.
bool IsOwnInstallDir(const std::wstring& folder, const std::wstring& softId);
// Writes (or rewrites) the marker into folder; a link in its place is replaced, never followed.
bool WriteInstallMarker(const std::wstring& folder, const std::wstring& softId);

// Whether a folder of the user's settings may be emptied at uninstall, or a file of them deleted
// before an install: it lies below the user's roaming or local application-data folder (links on
// the way resolved) and is no protected folder itself.
bool IsUserSettingsFolder(const std::wstring& folder);

}  // namespace installer
