#include "system/shortcuts_fake.h"

#include <unistd.h>

#include <map>

#include "common/strings.h"
#include "system/files.h"

namespace sys {

namespace {

struct Shell {
  std::wstring desktop;
  std::wstring programs;
  std::map<std::wstring, platform::ShellLinkProperties> links;
};

Shell& TheShell() {
  static Shell shell;
  if (shell.desktop.empty()) {
    const std::wstring root = GetTempDir() + L"fake-shell-" + common::DecimalText(::getpid());
    shell.desktop = root + L"/Desktop";
    shell.programs = root + L"/Programs";
  }
  return shell;
}

// Characters that Windows does not allow in file names (a drive's colon aside).
bool ValidWindowsPath(std::wstring_view path) {
  if (path.size() > 2 && path[1] == L':') path.remove_prefix(2);
  return path.find_first_of(L"<>:\"|?*") == std::wstring_view::npos;
}

}  // namespace

namespace fake_shell {

void SetFolders(std::wstring_view desktop, std::wstring_view programs) {
  TheShell().desktop = desktop;
  TheShell().programs = programs;
}

std::optional<platform::ShellLinkProperties> LinkAt(std::wstring_view linkPath) {
  const auto& links = TheShell().links;
  const auto found = links.find(std::wstring(linkPath));
  if (found == links.end() || !FileExists(linkPath)) return std::nullopt;
  return found->second;
}

}  // namespace fake_shell

namespace platform {

std::wstring DesktopFolder() {
  ForceDirectories(TheShell().desktop);
  return TheShell().desktop;
}

std::wstring ProgramsFolder() {
  ForceDirectories(TheShell().programs);
  return TheShell().programs;
}

bool SaveShellLink(const ShellLinkProperties& link, std::wstring_view linkPath) {
  if (!ValidWindowsPath(linkPath)) return false;
  const std::wstring path(linkPath);
  DeleteFileForce(path);
  // WriteNewFile is the file system's own creation; the content only marks the file as a link.
  if (!WriteNewFile(path, "[fake shell link]\n")) return false;
  TheShell().links[path] = link;
  return true;
}

}  // namespace platform

}  // namespace sys
