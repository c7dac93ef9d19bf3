// Limits where the process looks for DLLs that it loads by name.
#pragma once

namespace sys {

// Makes System32 the only place searched for DLLs loaded from now on, so that a DLL planted
// beside the installer (typically in the user's Downloads folder) is never loaded. The function
// that does it is looked up at run time: Windows 7 has it only with a security update. Returns
// whether the restriction is in force.
bool RestrictDllSearchToSystem32();

}  // namespace sys
