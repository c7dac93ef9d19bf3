// The product's entry in the machine-wide list of installed programs (HKEY_LOCAL_MACHINE
// "Software\Microsoft\Windows\CurrentVersion\Uninstall\<softId>", 32-bit view): writing it at the
// end of an install, reading the installed program and version, and deleting it at uninstall.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "system/registry.h"

namespace sys {

inline constexpr std::wstring_view kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// kUninstallKey, a backslash and softId.
std::wstring UninstallKeyPath(std::wstring_view softId);

// Creates the entry and writes, as REG_SZ: "DisplayName", "DisplayIcon" (exePath in quotes),
// "UninstallString" (installDir\unin.exe in quotes), "DisplayVersion" and "Publisher" (each only
// when not empty), "ExePath" (as "DisplayIcon"). Every failing registry call is shown with
// ShowErrorCode and the remaining values are still written.
void WriteUninstallInfo(std::wstring_view softId, std::wstring_view displayName, std::wstring_view exePath,
                        std::wstring_view installDir, std::wstring_view version, std::wstring_view publisher);
// Deletes the entry with all its subkeys, deepest first; failures are silent. An empty softId
// deletes nothing (it would name every product's entry).
void DeleteUninstallInfo(std::wstring_view softId);
// "DisplayIcon" without any double quote, or empty. Reading creates the entry's key when missing;
// a value of another type raises common::EGeneralError.
std::wstring GetInstalledExePath(std::wstring_view softId);
// The folder of the registered "UninstallString" (quotes removed, the uninstaller's name cut off),
// or empty when there is none. Reading creates nothing.
std::wstring GetRegisteredInstallDir(std::wstring_view softId);
// "DisplayVersion" as stored, or empty.
std::wstring GetInstalledVersion(std::wstring_view softId);

// RegCreateKeyExW with accessMask, plus KEY_WOW64_64KEY when view is 2 and KEY_WOW64_32KEY for any
// other view; the Win32 error code.
long CreateRegKeyInView(int view, RegRoot root, std::wstring_view subKey, std::uint32_t accessMask, RegKey& key);

// A message box owned by the application window with the code in decimal, the application title
// as caption, the information icon and one OK button.
void ShowErrorCode(long code);

}  // namespace sys
