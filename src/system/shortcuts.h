// Shell shortcuts (.lnk files) of the installed product: one on the user's desktop, and links in a
// product folder of the Start menu's Programs folder. A link's name defaults to the target's file
// name without its extension.
#pragma once

#include <string>
#include <string_view>

namespace sys {

// Saves "<desktop>/<name>.lnk" to target with arguments, the target's folder as working folder and
// "default.ico" beside the target as icon when that file exists. False when target does not exist
// or the save fails; linkPath is then left alone. Raises common::EGeneralError when the shell link
// object cannot be created.
bool CreateDesktopShortcut(std::wstring_view target, std::wstring_view arguments, std::wstring_view name,
                           std::wstring& linkPath);
// Saves "<Programs>\<folder>\<name>.lnk" to target with the target's folder as working folder,
// creating the folder and its missing parents.
bool CreateStartMenuShortcut(std::wstring_view target, std::wstring_view folder, std::wstring_view name);
// Delete the link file that the matching create call forms; always true.
bool DeleteDesktopShortcut(std::wstring_view target, std::wstring_view name);
bool DeleteStartMenuShortcut(std::wstring_view target, std::wstring_view folder, std::wstring_view name);

// The paths of those link files.
std::wstring DesktopShortcutPath(std::wstring_view target, std::wstring_view name);
std::wstring StartMenuShortcutPath(std::wstring_view target, std::wstring_view folder, std::wstring_view name);

}  // namespace sys
