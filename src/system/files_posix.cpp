// The file functions on the host's own file system, for native runs of the install and uninstall
// sequences: "\" reads as "/", the per-user folders come from the environment (HOME, XDG_*,
// TMPDIR), and the "Administrators and SYSTEM" folder is one that only its owner may use.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/strings.h"
#include "common/text.h"
#include "system/files.h"
#include "system/files_platform.h"

namespace sys {

namespace {


std::wstring Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? common::Utf8ToWide(value) : std::wstring();
}

std::wstring Home() { return Environment("HOME"); }

std::wstring AppDataFolder(const char* variable, const wchar_t* belowHome) {
  std::wstring path = Environment(variable);
  if (path.empty() && !Home().empty()) path = Home() + belowHome;
  if (path.empty() || !ForceDirectories(path)) common::RaiseError(L"Error get getSysAppDataDir");
  return path;
}


bool Stat(std::wstring_view path, struct stat& info) { return ::stat(platform::NativePath(path).c_str(), &info) == 0; }

}  // namespace

std::wstring GetTempDir() {
  std::wstring dir = Environment("TMPDIR");
  if (dir.empty()) dir = L"/tmp";
  if (dir.back() != L'/') dir += L'/';
  return dir;
}

std::wstring GetAppDataDir() { return AppDataFolder("XDG_CONFIG_HOME", L"/.config"); }

std::wstring GetLocalAppDataDir() { return AppDataFolder("XDG_DATA_HOME", L"/.local/share"); }

bool GetDiskFreeMB(std::wstring_view path, std::int32_t& megabytes) {
  megabytes = 0;
  struct statvfs info{};
  if (path.empty() || ::statvfs(platform::NativePath(path).c_str(), &info) != 0) return false;
  megabytes = static_cast<std::int32_t>(static_cast<unsigned long long>(info.f_bavail) * info.f_frsize / 1024 / 1024);
  return true;
}

bool FileExists(std::wstring_view path) {
  struct stat info{};
  return Stat(path, info) && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(std::wstring_view path) {
  struct stat info{};
  return Stat(path, info) && S_ISDIR(info.st_mode);
}

bool ForceDirectories(std::wstring_view path) {
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(platform::NativePath(path), error);
  return DirectoryExists(path);
}

bool RemoveFolder(std::wstring_view path) {
  const std::string native = platform::NativePath(path);
  struct stat info{};
  if (::lstat(native.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) return ::unlink(native.c_str()) == 0;
  return ::rmdir(native.c_str()) == 0;
}

bool CopyFileTo(std::wstring_view source, std::wstring_view destination) {
  std::error_code error;
  return std::filesystem::copy_file(platform::NativePath(source), platform::NativePath(destination),
                                    std::filesystem::copy_options::overwrite_existing, error);
}

namespace platform {

std::string NativePath(std::wstring_view path) {
  std::string native = common::WideToUtf8(path);
  for (auto& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

std::wstring ExecutablePath() {
  std::error_code error;
  return common::Utf8ToWide(std::filesystem::read_symlink("/proc/self/exe", error).string());
}

bool ListFolder(std::wstring_view folder, std::vector<FolderEntry>& entries) {
  const std::string native = platform::NativePath(folder);
  DIR* dir = ::opendir(native.c_str());
  if (dir == nullptr) return false;
  while (const dirent* entry = ::readdir(dir)) {
    struct stat info{};
    const std::string path = native + "/" + entry->d_name;
    if (::lstat(path.c_str(), &info) != 0) continue;
    bool isFolder = S_ISDIR(info.st_mode);
    const bool isLink = S_ISLNK(info.st_mode);
    if (isLink) {
      struct stat target{};
      isFolder = ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    }
    entries.push_back({common::Utf8ToWide(entry->d_name), isFolder, isLink});
  }
  ::closedir(dir);
  return true;
}

void ClearAttributes(std::wstring_view path) {
  const std::string native = platform::NativePath(path);
  struct stat info{};
  if (::lstat(native.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) ::chmod(native.c_str(), info.st_mode | S_IWUSR);
}

bool DeleteOneFile(std::wstring_view path) {
  const std::string native = platform::NativePath(path);
  struct stat info{};
  return ::lstat(native.c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && ::unlink(native.c_str()) == 0;
}

std::wstring FullPath(std::wstring_view path) {
  std::wstring full(path);
  for (auto& c : full) {
    if (c == L'\\') c = L'/';
  }
  std::error_code error;
  if (!full.starts_with(L'/')) full = common::Utf8ToWide(std::filesystem::current_path(error).string()) + L"/" + full;
  // The existing part as the file system resolves it, links followed.
  const auto resolved = std::filesystem::weakly_canonical(common::WideToUtf8(full), error);
  return error ? full : common::Utf8ToWide(resolved.string());
}

std::vector<std::wstring> ProtectedFolders() {
  // The host's counterparts of the Windows, Program Files and user folders.
  std::vector<std::wstring> folders{L"/usr", L"/etc", L"/opt", L"/var"};
  const std::wstring home = Home();
  if (!home.empty()) {
    for (const wchar_t* below : {L"", L"/Desktop", L"/Documents", L"/Downloads"}) folders.push_back(home + below);
  }
  for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) folders.push_back(Environment(variable));
  if (!home.empty()) {
    folders.push_back(home + L"/.config");
    folders.push_back(home + L"/.local/share");
  }
  return folders;
}

bool CreatePrivateFolder(std::wstring_view path) { return ::mkdir(platform::NativePath(path).c_str(), 0700) == 0; }

bool WriteNewFile(std::wstring_view path, const std::string& bytes) {
  const int fd = ::open(platform::NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  return ::close(fd) == 0 && written;
}

}  // namespace platform

}  // namespace sys
