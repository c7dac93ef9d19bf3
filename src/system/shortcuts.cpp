#include "system/shortcuts.h"

#include "system/files.h"
#include "system/shortcuts_platform.h"

namespace sys {

namespace {

std::size_t LastSeparator(std::wstring_view path) { return path.find_last_of(L"\\/"); }

// The target's folder with its trailing separator (empty for a bare file name).
std::wstring FolderOf(std::wstring_view target) {
  const std::size_t slash = LastSeparator(target);
  return slash == std::wstring_view::npos ? std::wstring() : std::wstring(target.substr(0, slash + 1));
}

std::wstring LinkName(std::wstring_view target, std::wstring_view name) {
  if (!name.empty()) return std::wstring(name);
  const std::size_t slash = LastSeparator(target);
  std::wstring file(slash == std::wstring_view::npos ? target : target.substr(slash + 1));
  const std::size_t dot = file.rfind(L'.');
  if (dot != std::wstring::npos) file.erase(dot);
  return file;
}

}  // namespace

std::wstring DesktopShortcutPath(std::wstring_view target, std::wstring_view name) {
  return platform::DesktopFolder() + L"/" + LinkName(target, name) + L".lnk";
}

std::wstring StartMenuShortcutPath(std::wstring_view target, std::wstring_view folder, std::wstring_view name) {
  return platform::ProgramsFolder() + L"\\" + std::wstring(folder) + L"\\" + LinkName(target, name) + L".lnk";
}

bool CreateDesktopShortcut(std::wstring_view target, std::wstring_view arguments, std::wstring_view name,
                           std::wstring& linkPath) {
  if (!FileExists(target)) return false;
  platform::ShellLinkProperties link{std::wstring(target), std::wstring(arguments), FolderOf(target), {}};
  // The folder keeps its trailing separator, so the icon path holds a doubled one; Windows accepts it.
  const std::wstring icon = link.workingDirectory + L"\\default.ico";
  if (FileExists(icon)) link.iconLocation = icon;
  const std::wstring path = DesktopShortcutPath(target, name);
  if (!platform::SaveShellLink(link, path)) return false;
  linkPath = path;
  return true;
}

bool CreateStartMenuShortcut(std::wstring_view target, std::wstring_view folder, std::wstring_view name) {
  if (!FileExists(target)) return false;
  const platform::ShellLinkProperties link{std::wstring(target), {}, FolderOf(target), {}};
  const std::wstring path = StartMenuShortcutPath(target, folder, name);
  ForceDirectories(path.substr(0, LastSeparator(path)));
  return platform::SaveShellLink(link, path);
}

bool DeleteDesktopShortcut(std::wstring_view target, std::wstring_view name) {
  DeleteFileForce(DesktopShortcutPath(target, name));
  return true;
}

bool DeleteStartMenuShortcut(std::wstring_view target, std::wstring_view folder, std::wstring_view name) {
  DeleteFileForce(StartMenuShortcutPath(target, folder, name));
  return true;
}

}  // namespace sys
