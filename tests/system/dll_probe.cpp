// Calls a delay-loaded DWM function, with or without the DLL search restriction first
// ("protect" / "noprotect").
#include <windows.h>
#include <dwmapi.h>

#include <cstring>

#include "system/dll_search.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "protect") == 0 && !sys::RestrictDllSearchToSystem32()) return 3;
  BOOL enabled = FALSE;
  DwmIsCompositionEnabled(&enabled);
  return 0;
}
