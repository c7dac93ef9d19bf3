// Run-mode decisions of start-up that depend only on the executable's name, the command line and
// the configuration: which mode runs, whether the install starts by itself, and the product name
// that some installers carry in their file name.
#pragma once

#include <string>
#include <string_view>

#include "installer/config_file.h"

namespace installer {

// Install mode unless the executable's file name is exactly "unin.exe" (letter case counts).
bool IsInstallModeName(std::wstring_view exeFileName);

// The first command-line argument "astart": install unattended with the window hidden.
bool IsHiddenAutoInstallArgument(std::wstring_view firstArgument);

// The first command-line argument equals the stored auto-install switch: install unattended with
// the window shown.
bool IsShownAutoInstallArgument(std::wstring_view firstArgument);

// The product name taken from the executable's name for the products that support it: the
// keyword that belongs to the configured SoftId must occur in the name, and the name is its part
// before the first "_T". Empty for every other product or name.
std::wstring getNameFromExe(const TConfigFile& config);

}  // namespace installer
