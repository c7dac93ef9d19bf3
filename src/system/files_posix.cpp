// The file functions on the host's own file system, for native runs of the install and uninstall
// sequences: "\" reads as "/", the per-user folders come from the environment (HOME, XDG_*,
// TMPDIR), and the "Administrators and SYSTEM" folder is one that only its owner may use.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <filesystem>
#include <system_error>

#include "common/strings.h"
#include "common/text.h"
#include "system/files.h"
#include "system/file_io_posix.h"
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

bool IsLink(std::wstring_view path) {
  struct stat info{};
  std::string native = platform::NativePath(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  return ::lstat(native.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
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

std::wstring ExecutablePath() {
  std::error_code error;
  return common::Utf8ToWide(std::filesystem::read_symlink("/proc/self/exe", error).string());
}

namespace {

// A folder held by its descriptor: every call below it goes through openat and friends, so a
// folder renamed or swapped for a link meanwhile is never followed.
class PosixHeldFolder : public HeldFolder {
 public:
  PosixHeldFolder(int fd, std::wstring path) : fd_(fd), path_(std::move(path)) {}
  ~PosixHeldFolder() override { ::close(fd_); }
  PosixHeldFolder(const PosixHeldFolder&) = delete;
  PosixHeldFolder& operator=(const PosixHeldFolder&) = delete;

  static std::unique_ptr<HeldFolder> Open(int at, const std::string& name, std::wstring path) {
    const int fd = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixHeldFolder>(fd, std::move(path));
  }

  std::wstring FinalPath() const override {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd_), error);
    return error ? path_ : common::Utf8ToWide(path.string());
  }

  bool List(std::vector<FolderEntry>& entries) const override {
    const int listing = ::dup(fd_);
    DIR* dir = listing < 0 ? nullptr : ::fdopendir(listing);
    if (dir == nullptr) {
      if (listing >= 0) ::close(listing);
      return false;
    }
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      struct stat info{};
      if (::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
      bool isFolder = S_ISDIR(info.st_mode);
      const bool isLink = S_ISLNK(info.st_mode);
      if (isLink) {
        struct stat target{};
        isFolder = ::fstatat(fd_, name.c_str(), &target, 0) == 0 && S_ISDIR(target.st_mode);
      }
      entries.push_back({common::Utf8ToWide(name), isFolder, isLink});
    }
    ::closedir(dir);
    return true;
  }

  std::unique_ptr<HeldFolder> OpenChild(std::wstring_view name) const override {
    return Open(fd_, common::WideToUtf8(name), path_ + L"/" + std::wstring(name));
  }

  bool DeleteChild(std::wstring_view name) const override {
    // Unlinking needs no permission on the file itself, so nothing is changed on it first.
    const std::string native = common::WideToUtf8(name);
    struct stat info{};
    if (::fstatat(fd_, native.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    return ::unlinkat(fd_, native.c_str(), S_ISDIR(info.st_mode) ? AT_REMOVEDIR : 0) == 0;
  }

 private:
  int fd_;
  std::wstring path_;
};

}  // namespace

std::unique_ptr<HeldFolder> HoldFolder(std::wstring_view path) {
  std::string native = platform::NativePath(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  return PosixHeldFolder::Open(AT_FDCWD, native, std::wstring(path));
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

GuardedFolders ProtectedFolders() {
  // The host's counterparts of the Windows folder, the user folders and other users' profiles.
  GuardedFolders folders;
  folders.subtrees = {L"/usr", L"/etc", L"/bin", L"/sbin", L"/lib", L"/lib64", L"/boot", L"/proc", L"/sys", L"/dev"};
  folders.known = {L"/home", L"/root", L"/opt", L"/var", L"/tmp"};
  const std::wstring home = Home();
  if (!home.empty()) {
    for (const wchar_t* below : {L"", L"/Desktop", L"/Documents", L"/Downloads", L"/Pictures", L"/Music", L"/Videos",
                                 L"/.config", L"/.local/share"}) {
      folders.known.push_back(home + below);
    }
  }
  for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "TMPDIR"}) {
    folders.known.push_back(Environment(variable));
  }
  std::error_code error;
  for (const auto& profile : std::filesystem::directory_iterator("/home", error)) {
    const std::wstring path = common::Utf8ToWide(profile.path().string());
    if (home.empty() || !SameFolder(path, home)) folders.subtrees.push_back(path);
  }
  return folders;
}

bool IsLocalFixedPath(std::wstring_view path) { return path.starts_with(L'/'); }

bool CreatePrivateFolder(std::wstring_view path) { return ::mkdir(platform::NativePath(path).c_str(), 0700) == 0; }
}  // namespace platform

}  // namespace sys
