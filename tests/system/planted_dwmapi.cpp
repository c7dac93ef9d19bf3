// Stands in for a DLL that an attacker planted beside the installer: it writes "planted.txt"
// into its own folder when it is loaded.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT WINAPI DwmIsCompositionEnabled(BOOL* enabled) {
  *enabled = FALSE;
  return S_OK;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
    wchar_t* slash = wcsrchr(path, L'\\');
    if (n && slash) {
      wcscpy(slash + 1, L"planted.txt");
      HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    }
  }
  return TRUE;
}
