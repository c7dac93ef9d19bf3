#include "installer/install_folder.h"

#include <optional>

#include "common/text.h"
#include "system/files.h"
#include "system/folder_access.h"
#include "system/uninstall_registration.h"

namespace installer {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices, with any extension.
bool IsDeviceName(std::wstring_view name) {
  std::wstring base;
  for (const wchar_t c : name.substr(0, name.find(L'.'))) base += AsciiUpper(c);
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"}) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.starts_with(L"COM") || base.starts_with(L"LPT")) && base[3] >= L'1' &&
         base[3] <= L'9';
}

// One folder name: no reserved characters, no "." or "..", no trailing dot or blank (the system
// would drop them and so name another folder), no device name.
bool IsValidName(std::wstring_view name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (const wchar_t c : name) {
    if (c < 0x20 || std::wstring_view(L"<>:\"|?*").find(c) != std::wstring_view::npos) return false;
  }
  return name.back() != L'.' && name.back() != L' ' && !IsDeviceName(name);
}

// The names after the drive ("C:") or the leading separator.
bool HasValidNames(std::wstring_view path) {
  std::size_t pos = (path.size() >= 2 && path[1] == L':') ? 2 : 0;
  while (pos < path.size() && IsSeparator(path[pos])) ++pos;
  while (pos < path.size()) {
    std::size_t end = pos;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (!IsValidName(path.substr(pos, end - pos))) return false;
    pos = end + 1;
  }
  return true;
}

// A link at path, or a file at path or in place of its nearest existing parent.
bool BlockedByFile(const std::wstring& path) {
  if (sys::IsLink(path)) return true;
  for (std::wstring at = path; !at.empty(); at = sys::ParentFolder(at)) {
    if (sys::DirectoryExists(at)) return false;
    if (sys::FileExists(at)) return true;
  }
  return false;
}

}  // namespace

InstallDirRefusal CheckInstallDir(const std::wstring& path, const std::wstring& softId, bool forSystemProgram) {
  if (path.empty() || !sys::IsLocalFixedPath(path)) return InstallDirRefusal::kNotLocal;
  if (!HasValidNames(path)) return InstallDirRefusal::kInvalidName;
  if (path.size() > kMaxInstallDirLength) return InstallDirRefusal::kTooLong;
  if (BlockedByFile(path)) return InstallDirRefusal::kNotFolder;
  if (sys::IsProtectedFolder(path)) return InstallDirRefusal::kProtected;
  if (forSystemProgram && !sys::IsOutOfUsersReach(path)) return InstallDirRefusal::kUsersReach;
  if (sys::DirectoryExists(path) && !sys::IsEmptyFolder(path) && !IsOwnInstallDir(path, softId)) {
    return InstallDirRefusal::kNotEmpty;
  }
  return InstallDirRefusal::kNone;
}

std::wstring_view InstallDirRefusalMessage(InstallDirRefusal refusal) {
  switch (refusal) {
    case InstallDirRefusal::kNone: break;
    case InstallDirRefusal::kNotLocal: return L"请填写本地磁盘上的完整安装路径！";
    case InstallDirRefusal::kInvalidName: return L"安装路径含有无效的字符或名称，请修改！";
    case InstallDirRefusal::kTooLong: return L"安装路径太长，请选择较短的路径！";
    case InstallDirRefusal::kNotFolder: return L"安装路径已被文件或链接占用，请重新选择！";
    case InstallDirRefusal::kProtected: return L"不能安装到系统目录或个人文件夹，请重新选择！";
    case InstallDirRefusal::kNotEmpty: return L"所选文件夹中已有其他文件，请选择空文件夹或新建文件夹！";
    case InstallDirRefusal::kUsersReach: return L"本软件含系统服务，只能安装到仅管理员可修改的文件夹（如 Program Files），请重新选择！";
    case InstallDirRefusal::kNotProtectable: return L"无法设置安装文件夹的访问权限，请重新选择！";
  }
  return {};
}

bool IsOwnInstallDir(const std::wstring& folder, const std::wstring& softId) {
  if (softId.empty() || !sys::DirectoryExists(folder)) return false;
  if (sys::SameFolder(folder, sys::GetRegisteredInstallDir(softId))) return true;
  const std::string expected = common::WideToUtf8(softId);
  const std::optional<std::string> marker = sys::ReadSmallFile(folder + L"\\" + kInstallMarkerName, expected.size() + 1);
  return marker == expected;
}

bool WriteInstallMarker(const std::wstring& folder, const std::wstring& softId) {
  return sys::ReplaceWithNewFile(folder + L"\\" + kInstallMarkerName, common::WideToUtf8(softId));
}

bool IsUserSettingsFolder(const std::wstring& folder) {
  return (sys::IsFolderBelow(folder, sys::GetAppDataDir()) || sys::IsFolderBelow(folder, sys::GetLocalAppDataDir())) &&
         !sys::IsProtectedFolder(folder);
}

}  // namespace installer
