// The host build's shell: link files are real files in two stand-in folders, and the properties
// saved to each are kept for tests to read back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "system/shortcuts_platform.h"

namespace sys::fake_shell {

// The stand-ins for the desktop and Programs folders; until set, two folders below the temporary
// folder that belong to this process.
void SetFolders(std::wstring_view desktop, std::wstring_view programs);

// The properties last saved to linkPath, while that link file exists.
std::optional<platform::ShellLinkProperties> LinkAt(std::wstring_view linkPath);

}  // namespace sys::fake_shell
