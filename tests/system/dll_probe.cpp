// Calls a delay-loaded DWM function after one of three set-ups:
//   noprotect  nothing (the planted DLL beside it may load: the test proves it can see one)
//   protect    what the installer does (the search restricted to System32, delay loads protected)
//   fallback   what the installer does on a Windows 7 without SetDefaultDllDirectories: only the
//              current folder out of the search, and the delay loads protected
#include <windows.h>
#include <dwmapi.h>

#include <cstring>

#include "system/dll_search.h"

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "protect") == 0) {
    if (!sys::RestrictDllSearchToSystem32()) return 3;
    sys::ProtectDelayLoadedDlls(4);
  } else if (std::strcmp(mode, "fallback") == 0) {
    SetDllDirectoryW(L"");
    sys::ProtectDelayLoadedDlls(4);
  }
  BOOL enabled = FALSE;
  DwmIsCompositionEnabled(&enabled);
  return 0;
}
