#include <windows.h>

#include "system/dll_search.h"

namespace sys {

bool RestrictDllSearchToSystem32() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  // Without it, at least take the current directory out of the search.
  SetDllDirectoryW(L"");
  return setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace sys
