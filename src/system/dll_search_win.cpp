#include <windows.h>
#include <delayimp.h>

#include <string>

#include "common/text.h"
#include "system/dll_search.h"
#include "system/message_box.h"

namespace sys {
namespace {

int g_failureExitCode = 1;
bool g_searchRestricted = false;  // SetDefaultDllDirectories is in force

[[noreturn]] void EndForMissing(const char* dll, const char* function) {
  std::wstring text = L"无法从系统文件夹加载 " + common::Utf8ToWide(dll ? dll : "?");
  if (function) text += L" 中的 " + common::Utf8ToWide(function);
  text += L"，安装程序无法继续。";
  ShowMessageBox(nullptr, text, L"Install", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  ExitProcess(static_cast<UINT>(g_failureExitCode));
}

// The delay-load helper asks before it loads a DLL by name. Where the search is not restricted to
// System32 (a Windows 7 without its update) it gets the System32 copy instead, loaded so that its
// own dependencies are searched for there too; otherwise the helper's own load is already safe.
FARPROC WINAPI NotifyHook(unsigned notify, PDelayLoadInfo info) {
  if (notify != dliNotePreLoadLibrary || g_searchRestricted) return nullptr;
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) EndForMissing(info->szDll, nullptr);
  const std::wstring path = std::wstring(system, length) + L"\\" + common::Utf8ToWide(info->szDll);
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  // Never the helper's own search by name, which would look beside the program first.
  if (!module) EndForMissing(info->szDll, nullptr);
  return reinterpret_cast<FARPROC>(module);
}

FARPROC WINAPI FailureHook(unsigned notify, PDelayLoadInfo info) {
  const bool byName = notify == dliFailGetProc && info->dlp.fImportByName;
  EndForMissing(info->szDll, byName ? info->dlp.szProcName : nullptr);
}

}  // namespace

void ProtectDelayLoadedDlls(int failureExitCode) {
  g_failureExitCode = failureExitCode;
  __pfnDliNotifyHook2 = NotifyHook;
  __pfnDliFailureHook2 = FailureHook;
}

bool RestrictDllSearchToSystem32() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  // Without it, at least take the current directory out of the search.
  SetDllDirectoryW(L"");
  g_searchRestricted = setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  return g_searchRestricted;
}

}  // namespace sys
