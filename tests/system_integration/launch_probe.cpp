// A child program for the launcher and file tests. Started with "sleep" it waits a minute; with
// "rename FROM TO" it renames FROM and exits with the Win32 error of that (0 on success); otherwise it
// writes its command line, current folder and token elevation type to "<its own path>.out" and
// exits with 7 when one of its arguments is "exit7", else 0.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(size > 0 ? size - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

DWORD ElevationType() {
  HANDLE token = nullptr;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size);
    CloseHandle(token);
  }
  return type;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"rename") {
    return MoveFileW(argv[2], argv[3]) ? 0 : static_cast<int>(GetLastError());
  }
  bool exit7 = false;
  for (int i = 1; i < argc; ++i) {
    if (std::wstring(argv[i]) == L"sleep") {
      Sleep(60000);
      return 0;
    }
    exit7 = exit7 || std::wstring(argv[i]) == L"exit7";
  }
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  const std::string report = "cmd=" + Utf8(GetCommandLineW()) + "\ncwd=" + Utf8(current) +
                             "\nelevation=" + std::to_string(ElevationType()) + "\n";
  // Written under another name first, so a reader never sees half a report.
  const std::wstring out = std::wstring(self) + L".out";
  const std::wstring partial = out + L".part";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
  CloseHandle(file);
  MoveFileExW(partial.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING);
  return exit7 ? 7 : 0;
}
