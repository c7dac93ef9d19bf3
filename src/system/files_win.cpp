#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
#include <winternl.h>

#include <string>

#include "common/strings.h"
#include "system/files.h"
#include "system/files_platform.h"
#include "system/private_folder_win.h"
#include "system/win_handle.h"

namespace sys {

namespace {

DWORD Attributes(std::wstring_view path) { return GetFileAttributesW(std::wstring(path).c_str()); }

std::wstring FolderPath(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, 0, buffer);
  return buffer;
}

std::wstring AppDataFolder(int csidl) {
  std::wstring path = FolderPath(csidl | CSIDL_FLAG_CREATE);
  if (path.empty()) common::RaiseError(L"Error get getSysAppDataDir");
  return path;
}

}  // namespace

std::wstring GetTempDir() {
  // GetTempPathW gives nothing for a folder longer than MAX_PATH, and an empty temporary folder
  // would mean the current one: then the same places it tries are read directly, in its order.
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
  if (n > 0 && n < MAX_PATH + 2) return buffer;
  for (const wchar_t* name : {L"TMP", L"TEMP", L"USERPROFILE"}) {
    std::wstring value(GetEnvironmentVariableW(name, nullptr, 0), L'\0');
    if (value.empty()) continue;
    value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
    const DWORD attributes = GetFileAttributesW((L"\\\\?\\" + value).c_str());
    if (value.size() < 3 || value[1] != L':' || attributes == INVALID_FILE_ATTRIBUTES ||
        !(attributes & FILE_ATTRIBUTE_DIRECTORY))
      continue;
    if (value.back() != L'\\') value += L'\\';
    return value;
  }
  wchar_t windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(windows) + L"\\" : std::wstring();
}

std::wstring GetAppDataDir() { return AppDataFolder(CSIDL_APPDATA); }

std::wstring GetLocalAppDataDir() { return AppDataFolder(CSIDL_LOCAL_APPDATA); }

bool GetDiskFreeMB(std::wstring_view path, std::int32_t& megabytes) {
  megabytes = 0;
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  if (!GetDiskFreeSpaceExW(std::wstring(path).c_str(), &available, &total, nullptr)) return false;
  megabytes = static_cast<std::int32_t>(available.QuadPart / 1024 / 1024);
  return true;
}

bool FileExists(std::wstring_view path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(std::wstring_view path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ForceDirectories(std::wstring_view path) {
  std::wstring folder(path);
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  if (folder.empty()) return false;
  if (DirectoryExists(folder)) return true;
  const std::size_t slash = folder.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 0) ForceDirectories(folder.substr(0, slash));
  return CreateDirectoryW(folder.c_str(), nullptr) || DirectoryExists(folder);
}

bool RemoveFolder(std::wstring_view path) { return RemoveDirectoryW(std::wstring(path).c_str()) != FALSE; }

bool CopyFileTo(std::wstring_view source, std::wstring_view destination) {
  return CopyFileW(std::wstring(source).c_str(), std::wstring(destination).c_str(), FALSE) != FALSE;
}

namespace platform {

std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}


bool ListFolder(std::wstring_view folder, std::vector<FolderEntry>& entries) {
  std::wstring pattern(folder);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data{};
  const win::FindHandle find(FindFirstFileW(pattern.c_str(), &data));
  if (!find) return false;
  do {
    entries.push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
  } while (FindNextFileW(find.Get(), &data));
  return true;
}

void ClearAttributes(std::wstring_view path) { SetFileAttributesW(std::wstring(path).c_str(), 0x10); }

bool DeleteOneFile(std::wstring_view path) { return DeleteFileW(std::wstring(path).c_str()) != FALSE; }

std::wstring FullPath(std::wstring_view path) {
  const std::wstring given(path);
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length);
    length = GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) return given;
  full.resize(length);
  // An existing path as the file system resolves it: links, junctions and short names followed.
  const win::FileHandle file(CreateFileW(full.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return full;
  std::wstring final(32768, L'\0');
  const DWORD finalLength = GetFinalPathNameByHandleW(file.Get(), final.data(), static_cast<DWORD>(final.size()),
                                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (finalLength == 0 || finalLength >= final.size()) return full;
  final.resize(finalLength);
  return final;
}

std::vector<std::wstring> ProtectedFolders() {
  const std::wstring profile = FolderPath(CSIDL_PROFILE);
  std::vector<std::wstring> folders{profile, profile + L"\\Downloads"};
  for (const int csidl : {CSIDL_WINDOWS, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_DESKTOPDIRECTORY,
                          CSIDL_PERSONAL, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA}) {
    folders.push_back(FolderPath(csidl));
  }
  wchar_t* downloads = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &downloads))) folders.push_back(downloads);
  CoTaskMemFree(downloads);
  // A 32-bit process is shown the x86 Program Files folder; the native one is in the environment.
  wchar_t native[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"ProgramW6432", native, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.push_back(native);
  return folders;
}

bool CreatePrivateFolder(std::wstring_view path) { return static_cast<bool>(win::CreateHeldPrivateFolder(FullPath(path))); }

bool WriteNewFile(std::wstring_view path, const std::string& bytes) {
  const win::FileHandle file(CreateFileW(std::wstring(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace platform

namespace win {

FileHandle CreateHeldPrivateFolder(const std::wstring& path) {
  LocalMemory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", SDDL_REVISION_1,
                                                            descriptor.Receive(), nullptr)) {
    return FileHandle();
  }
  // CreateDirectoryW cannot return the folder it made: the native call can.
  std::wstring native;
  if (path.starts_with(L"\\\\?\\")) {
    native = L"\\??\\" + path.substr(4);
  } else if (path.starts_with(L"\\\\")) {
    native = L"\\??\\UNC\\" + path.substr(2);
  } else {
    native = L"\\??\\" + path;
  }
  UNICODE_STRING name{};
  name.Buffer = native.data();
  name.Length = static_cast<USHORT>(native.size() * sizeof(wchar_t));
  name.MaximumLength = name.Length;
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, descriptor.Get());
  IO_STATUS_BLOCK io{};
  HANDLE folder = nullptr;
  const NTSTATUS status =
      NtCreateFile(&folder, kFolderHoldAccess, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, kFolderHoldSharing,
                   FILE_CREATE, FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT, nullptr, 0);
  return status >= 0 ? FileHandle(folder) : FileHandle();
}

}  // namespace win

}  // namespace sys
