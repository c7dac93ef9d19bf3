// Limits where the process looks for DLLs that it loads by name.
#pragma once

namespace sys {

// Makes System32 the only place searched for DLLs loaded from now on, so that a DLL planted
// beside the installer (typically in the user's Downloads folder) is never loaded: takes the
// current folder out of the search and restricts the search to System32 where Windows can
// (SetDefaultDllDirectories, which Windows 7 has only with a security update). Returns whether
// that restriction is in force; without it, ProtectDelayLoadedDlls is what keeps the delay-loaded
// DLLs safe, and the program calls both.
bool RestrictDllSearchToSystem32();

// Unless RestrictDllSearchToSystem32 put the restriction in force, each delay-loaded DLL is loaded
// by its full System32 path, so that neither it nor its own dependencies are searched for beside
// the program. A DLL or function that cannot be had ends the process with a message that names it
// (and exit code failureExitCode) instead of a crash.
void ProtectDelayLoadedDlls(int failureExitCode);

}  // namespace sys
