// The shell under the shortcut functions: the two special folders and the saving of a link.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sys::platform {

struct ShellLinkProperties {
  std::wstring target;
  std::optional<std::wstring> arguments;  // not set on the link when absent
  std::wstring workingDirectory;
  std::optional<std::wstring> iconLocation;  // index 0
};

// The current user's desktop and Start-menu Programs folders.
std::wstring DesktopFolder();
std::wstring ProgramsFolder();
// Saves a shell link with these properties to linkPath; false when the save fails. Raises
// common::EGeneralError when the shell link object cannot be created.
bool SaveShellLink(const ShellLinkProperties& link, std::wstring_view linkPath);

}  // namespace sys::platform
