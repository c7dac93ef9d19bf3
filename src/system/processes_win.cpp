#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <optional>
#include <string>
#include <vector>

#include "system/processes.h"
#include "system/win_handle.h"

namespace sys {

namespace {

using CreateProcessWithTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                               LPSTARTUPINFOW, LPPROCESS_INFORMATION);

// The running processes with their sessions, in snapshot order.
std::vector<ProcessEntry> Snapshot(DWORD flags) {
  std::vector<ProcessEntry> entries;
  const win::FileHandle snapshot(CreateToolhelp32Snapshot(flags, 0));
  if (!snapshot) return entries;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    DWORD session = 0;
    entries.push_back({entry.th32ProcessID, entry.szExeFile,
                       ProcessIdToSessionId(entry.th32ProcessID, &session) ? std::optional<std::uint32_t>(session)
                                                                             : std::nullopt});
  }
  return entries;
}

std::uint32_t OwnSession() {
  DWORD session = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &session);
  return session;
}

STARTUPINFOW StartupInfo(WORD show) {
  STARTUPINFOW info{};
  info.cb = sizeof(info);
  info.dwFlags = STARTF_USESHOWWINDOW;
  info.wShowWindow = show;
  return info;
}

// CreateProcessWithTokenW, found in Advapi32 at run time; false when it cannot be had or fails.
bool CreateWithToken(HANDLE token, std::wstring& commandLine, const wchar_t* currentDir, STARTUPINFOW& startup,
                     PROCESS_INFORMATION& process) {
  const win::Library advapi(LoadLibraryW(L"Advapi32.dll"));
  if (!advapi) return false;
  const auto create = reinterpret_cast<CreateProcessWithTokenFn>(
      reinterpret_cast<void*>(GetProcAddress(advapi.Get(), "CreateProcessWithTokenW")));
  if (create == nullptr) return false;
  return create(token, 0, nullptr, commandLine.data(), 0, nullptr, currentDir, &startup, &process) != FALSE;
}

// The value of GetCurrentProcess()'s pseudo handle, which is never closed.
constexpr std::intptr_t kCurrentProcessHandle = -1;

Process Owning(HANDLE process) { return Process(reinterpret_cast<std::intptr_t>(process)); }

// The start shared by both launchers. error receives the Windows error of the failing step.
Process Launch(std::wstring_view commandLine, bool useOwnToken, DWORD& error, WORD show, std::wstring_view currentDir,
               bool wait) {
  error = 0;
  STARTUPINFOW startup = StartupInfo(show);
  PROCESS_INFORMATION process{};
  std::wstring line(commandLine);
  const std::wstring dir(currentDir);
  const wchar_t* dirOrNone = dir.empty() ? nullptr : dir.c_str();
  if (IsVistaOrLater()) {
    const Process source = useOwnToken ? CurrentProcess() : OpenProcessByName(L"Explorer.exe");
    win::Handle token;
    OpenProcessToken(reinterpret_cast<HANDLE>(source.Handle()), MAXIMUM_ALLOWED, token.Receive());
    win::Handle primary;
    if (!DuplicateTokenEx(token.Get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                          primary.Receive())) {
      error = GetLastError();
      return {};
    }
    if (!CreateWithToken(primary.Get(), line, dirOrNone, startup, process)) error = GetLastError();
  } else if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                             dirOrNone, &startup, &process)) {
    error = GetLastError();
  }
  const win::Handle thread(process.hThread);
  if (process.hProcess == nullptr || !wait) return Owning(process.hProcess);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  return Process(reinterpret_cast<std::intptr_t>(process.hProcess), exitCode);
}

}  // namespace

void Process::Close() {
  if (handle_ != 0 && handle_ != kCurrentProcessHandle) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = 0;
}

Process CurrentProcess() { return Process(kCurrentProcessHandle); }

bool IsVistaOrLater() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  GetVersionExW(&version);
  return version.dwMajorVersion > 5;
}

std::wstring SystemProgramPath(std::wstring_view fileName) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, length < MAX_PATH ? length : 0) + L"\\" + std::wstring(fileName);
}

Process RunAsDesktopUser(std::wstring_view commandLine, bool useOwnToken, std::uint32_t& errorCode, bool show,
                         std::wstring_view currentDir, bool wait) {
  DWORD error = 0;
  Process result = Launch(commandLine, useOwnToken, error, show ? SW_SHOWNORMAL : SW_HIDE, currentDir, wait);
  errorCode = error;
  return result;
}

Process RunWithOwnToken(std::wstring_view commandLine, bool show, std::wstring_view currentDir, bool wait) {
  DWORD ignored = 0;
  return Launch(commandLine, true, ignored, show ? SW_SHOWNORMAL : SW_HIDE, currentDir, wait);
}

Process StartProgramWithArgs(std::wstring_view program, std::wstring_view argument, std::wstring_view extra) {
  std::wstring line = ProgramArgsCommandLine(program, argument, extra);
  const std::wstring application(program);
  const std::wstring folder = ProgramFolder(program);
  STARTUPINFOW startup = StartupInfo(SW_SHOW);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    return {};
  }
  const win::Handle thread(process.hThread);
  return Owning(process.hProcess);
}

std::intptr_t ShellOpen(void* owner, std::wstring_view file, std::wstring_view parameters, std::wstring_view directory,
                        int showCmd) {
  const std::wstring path(file);
  const std::wstring arguments(parameters);
  const std::wstring folder(directory);
  return reinterpret_cast<std::intptr_t>(ShellExecuteW(static_cast<HWND>(owner), L"open", path.c_str(),
                                                       arguments.empty() ? nullptr : arguments.c_str(),
                                                       folder.empty() ? nullptr : folder.c_str(), showCmd));
}

void OpenWebPage(std::wstring_view url) {
  DWORD ignored = 0;
  Launch(WebPageCommandLine(url), false, ignored, SW_SHOWMAXIMIZED, L"", false);
}

Process OpenProcessByName(std::wstring_view exeName) {
  const std::vector<std::uint32_t> ids =
      ProcessesInSession(Snapshot(TH32CS_SNAPALL), exeName, NameComparison::IgnoringAsciiCase, OwnSession());
  if (ids.empty()) return {};
  return Owning(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, ids.front()));
}

bool KillProcessByName(std::wstring_view exeName) {
  bool result = true;
  for (const std::uint32_t id :
       ProcessesInSession(Snapshot(TH32CS_SNAPPROCESS), exeName, NameComparison::TrimmedIgnoringAsciiCase, OwnSession())) {
    EnablePrivilege(CurrentProcess(), L"SeDebugPrivilege");
    const win::Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    if (!TerminateProcess(process.Get(), 1)) result = false;
  }
  return result;
}

bool EnablePrivilege(const Process& process, std::wstring_view privilegeName) {
  win::Handle token;
  LUID luid{};
  const std::wstring name(privilegeName);
  if (!OpenProcessToken(reinterpret_cast<HANDLE>(process.Handle()), TOKEN_ADJUST_PRIVILEGES, token.Receive()) ||
      !LookupPrivilegeValueW(nullptr, name.c_str(), &luid)) {
    return false;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid = luid;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  return AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr) != FALSE;
}

}  // namespace sys
