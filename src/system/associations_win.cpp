#include <windows.h>
#include <shlobj.h>

#include "system/associations.h"

namespace sys {

void NotifyShellAssocChanged() {
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  SHChangeNotify(SHCNE_ALLEVENTS, SHCNF_IDLIST, nullptr, nullptr);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG,
                      100, &result);
}

}  // namespace sys
