#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
#include <winternl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/strings.h"
#include "system/files.h"
#include "system/files_platform.h"
#include "system/folder_access.h"
#include "system/private_folder_win.h"
#include "system/registry.h"
#include "system/registry_strings.h"
#include "system/registry_values.h"
#include "system/win_handle.h"

namespace sys {

namespace {

// The path of an open file or folder as the file system resolves it; fallback when it cannot tell.
std::wstring FinalPathOf(HANDLE handle, const std::wstring& fallback) {
  std::wstring final(32768, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()),
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= final.size()) return fallback;
  final.resize(length);
  return final;
}

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


// The string form of the SID of the user who owns the desktop shell, or empty.
std::wstring DesktopUserSid() {
  DWORD processId = 0;
  const HWND shell = GetShellWindow();
  if (shell == nullptr || GetWindowThreadProcessId(shell, &processId) == 0) return {};
  const win::Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  win::Handle token;
  if (!process || !OpenProcessToken(process.Get(), TOKEN_QUERY, token.Receive())) return {};
  DWORD size = 0;
  GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  std::vector<std::uint8_t> buffer(size);
  win::LocalPointer<wchar_t> text;
  if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, text.Receive())) {
    return {};
  }
  return text.Get();
}

// SID and folder of every user profile that Windows lists.
std::vector<std::pair<std::wstring, std::wstring>> MachineProfiles() {
  std::vector<std::pair<std::wstring, std::wstring>> profiles;
  RegKey list;
  if (RegKey::Open(RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                   reg::kKeyRead | reg::kWow64_64Key, list) != reg::kSuccess) {
    return profiles;
  }
  std::wstring sid;
  for (std::uint32_t index = 0; list.EnumSubKey(index, sid) == reg::kSuccess; ++index) {
    RegKey profile;
    std::wstring path;
    if (RegKey::Open(list, sid, reg::kKeyRead, profile) != reg::kSuccess ||
        QueryStringValue(profile, L"ProfileImagePath", path) != reg::kSuccess) {
      continue;
    }
    wchar_t expanded[MAX_PATH] = {};
    const DWORD size = ExpandEnvironmentStringsW(path.c_str(), expanded, MAX_PATH);
    if (size > 1 && size <= MAX_PATH) profiles.emplace_back(sid, expanded);
  }
  return profiles;
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

bool IsLink(std::wstring_view path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
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


namespace {

constexpr DWORD kNoFollow = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

std::wstring Join(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path + std::wstring(name);
}

// A folder held by a handle opened without delete sharing: nobody can rename, move or delete it,
// or put a junction in its place, while the handle is open. Names below it are used as paths,
// which stay put for the same reason.
class WinHeldFolder : public HeldFolder {
 public:
  WinHeldFolder(win::FileHandle handle, std::wstring path) : handle_(std::move(handle)), path_(std::move(path)) {}

  static std::unique_ptr<HeldFolder> Open(std::wstring path) {
    win::FileHandle handle = win::HoldPlainFolder(path);
    if (!handle) return nullptr;
    return std::make_unique<WinHeldFolder>(std::move(handle), std::move(path));
  }

  std::wstring FinalPath() const override { return FinalPathOf(handle_.Get(), path_); }

  bool List(std::vector<FolderEntry>& entries) const override {
    WIN32_FIND_DATAW data{};
    const win::FindHandle find(FindFirstFileW(Join(path_, L"*").c_str(), &data));
    if (!find) return false;
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                         (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (FindNextFileW(find.Get(), &data));
    return true;
  }

  std::unique_ptr<HeldFolder> OpenChild(std::wstring_view name) const override { return Open(Join(path_, name)); }

  bool DeleteChild(std::wstring_view name) const override {
    // Everything through one handle of the entry itself, a link never followed.
    const win::FileHandle entry(CreateFileW(Join(path_, name).c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, kNoFollow, nullptr));
    if (!entry) return false;
    BY_HANDLE_FILE_INFORMATION identity{};
    if (GetFileInformationByHandle(entry.Get(), &identity) && identity.nNumberOfLinks > 1) {
      // A file that has another name keeps its attributes: they are that name's too, wherever it
      // is (a user's hard link to a file outside). Where the system can, such a read-only name goes
      // without them; elsewhere it stays.
      // FILE_DISPOSITION_INFO_EX of Windows 10 1809 with FILE_DISPOSITION_FLAG_DELETE,
      // _POSIX_SEMANTICS and _IGNORE_READONLY_ATTRIBUTE; the headers offer it only to programs that
      // need that Windows, and older ones refuse the call.
      constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
      DWORD ignoringReadOnly = 0x1 | 0x2 | 0x10;
      if (SetFileInformationByHandle(entry.Get(), kFileDispositionInfoEx, &ignoringReadOnly, sizeof(ignoringReadOnly))) {
        return true;
      }
    } else {
      FILE_BASIC_INFO basic{};
      constexpr DWORD kBlocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
      if (GetFileInformationByHandleEx(entry.Get(), FileBasicInfo, &basic, sizeof(basic)) &&
          (basic.FileAttributes & kBlocking) != 0) {
        FILE_BASIC_INFO cleared{};  // zero times: left as they are
        cleared.FileAttributes = basic.FileAttributes & ~kBlocking;
        if (cleared.FileAttributes == 0) cleared.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        SetFileInformationByHandle(entry.Get(), FileBasicInfo, &cleared, sizeof(cleared));
      }
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(entry.Get(), FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
  }

 private:
  win::FileHandle handle_;
  std::wstring path_;
};

}  // namespace

std::unique_ptr<HeldFolder> HoldFolder(std::wstring_view path) {
  std::wstring folder(path);
  // "C:\" keeps its separator; any other folder is opened without one.
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return WinHeldFolder::Open(std::move(folder));
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
  // The longest existing part as the file system resolves it (links, junctions and short names
  // followed), then the rest as written: a junction above a folder yet to be made leads there too.
  std::wstring existing = full;
  std::wstring rest;
  for (;;) {
    const win::FileHandle file(CreateFileW(existing.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file) return FinalPathOf(file.Get(), existing) + rest;
    const std::size_t slash = existing.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash <= 2) return full;  // down to the drive's root
    rest.insert(0, existing, slash);
    existing.resize(slash);
  }
}

GuardedFolders ProtectedFolders() {
  GuardedFolders folders;
  folders.subtrees.push_back(FolderPath(CSIDL_WINDOWS));
  for (const int csidl :
       {CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_MYPICTURES, CSIDL_MYMUSIC, CSIDL_MYVIDEO,
        CSIDL_FAVORITES, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_STARTUP,
        CSIDL_SENDTO, CSIDL_RECENT, CSIDL_TEMPLATES, CSIDL_INTERNET_CACHE, CSIDL_COOKIES, CSIDL_HISTORY,
        CSIDL_COMMON_APPDATA, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_STARTMENU,
        CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTUP, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
        CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86}) {
    folders.known.push_back(FolderPath(csidl));
  }
  for (const KNOWNFOLDERID& id : {FOLDERID_Downloads, FOLDERID_SkyDrive, FOLDERID_SavedGames, FOLDERID_Public,
                                  FOLDERID_UserProfiles, FOLDERID_Contacts, FOLDERID_Links}) {
    win::CoTaskPointer<wchar_t> path;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, path.Receive()))) folders.known.push_back(path.Get());
  }
  folders.known.push_back(GetTempDir());
  // A 32-bit process is shown the x86 Program Files and Common Files folders by their folder ids, a
  // 64-bit one the native Common Files: the native folders too, from the machine's 64-bit view.
  for (std::wstring& programFiles : GetProgramFilesDirs()) folders.known.push_back(std::move(programFiles));
  if (std::wstring common = ReadRegStringQuiet(RegRoot::LocalMachine, kCurrentVersionKey, L"CommonFilesDir");
      !common.empty()) {
    folders.known.push_back(std::move(common));
  }

  // Every profile on the machine keeps its usual folders; those of users other than the current
  // and the desktop user are refused with everything in them.
  const std::wstring own = FolderPath(CSIDL_PROFILE);
  const std::wstring desktopUser = DesktopUserSid();
  for (const auto& [sid, profile] : MachineProfiles()) {
    for (const wchar_t* below : {L"", L"\\Desktop", L"\\Documents", L"\\Downloads", L"\\Pictures", L"\\Music",
                                 L"\\Videos", L"\\Favorites", L"\\OneDrive", L"\\Saved Games", L"\\AppData",
                                 L"\\AppData\\Roaming", L"\\AppData\\Local", L"\\AppData\\LocalLow"}) {
      folders.known.push_back(profile + below);
    }
    if (!SameFolder(profile, own) && (desktopUser.empty() || _wcsicmp(sid.c_str(), desktopUser.c_str()) != 0)) {
      folders.subtrees.push_back(profile);
    }
  }
  return folders;
}

bool IsLocalFixedPath(std::wstring_view path) {
  if (path.size() < 3 || path[1] != L':' || (path[2] != L'\\' && path[2] != L'/')) return false;
  const wchar_t letter = static_cast<wchar_t>(path[0] & ~0x20);
  if (letter < L'A' || letter > L'Z') return false;
  const wchar_t root[] = {letter, L':', L'\\', L'\0'};
  return GetDriveTypeW(root) == DRIVE_FIXED;
}

bool CreatePrivateFolder(std::wstring_view path) { return static_cast<bool>(win::CreateHeldPrivateFolder(FullPath(path))); }
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
