// The file layer on POSIX calls, for native runs on the host: paths in UTF-8 with "\" read as "/".
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "common/text.h"
#include "system/file_io.h"
#include "system/file_io_platform.h"
#include "system/file_io_posix.h"

namespace sys {

namespace {

int Descriptor(std::intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

const wchar_t kPathSeparator = L'/';

namespace platform {

std::string NativePath(std::wstring_view path) {
  std::string native = common::WideToUtf8(path);
  for (auto& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

}  // namespace platform

bool CreateFolder(std::wstring_view path) {
  return ::mkdir(platform::NativePath(path).c_str(), 0777) == 0 || file_io_platform::FolderExists(path);
}

bool RemoveFile(std::wstring_view path) { return ::unlink(platform::NativePath(path).c_str()) == 0; }

CreateResult OutputFile::Create(std::wstring_view path, FileCreation creation, FileSharing /*sharing*/) {
  Close();
  const std::string native = platform::NativePath(path);
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (creation == FileCreation::New ? O_EXCL : O_TRUNC);
  const int fd = ::open(native.c_str(), flags, 0666);
  if (fd >= 0) {
    handle_ = OpenHandle(fd);
    return CreateResult::Created;
  }
  return errno == EEXIST ? CreateResult::Exists : CreateResult::Failed;
}

bool OutputFile::Write(std::span<const std::uint8_t> data) {
  if (!IsOpen()) return false;
  while (!data.empty()) {
    const ssize_t n = ::write(Descriptor(handle_.Get()), data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data = data.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

bool OutputFile::Restart() {
  const int fd = Descriptor(handle_.Get());
  return IsOpen() && ::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0;
}

bool InputFile::Open(std::wstring_view path, LinkRule links) {
  handle_.Close();
  const int flags = O_RDONLY | O_CLOEXEC | (links == LinkRule::Refused ? O_NOFOLLOW : 0);
  const int fd = ::open(platform::NativePath(path).c_str(), flags);
  if (fd < 0) return false;
  handle_ = OpenHandle(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    handle_.Close();
    return false;
  }
  size_ = static_cast<std::uint64_t>(info.st_size);
  return true;
}

bool InputFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (!handle_ || offset > size_ || out.size() > size_ - offset) return false;
  while (!out.empty()) {
    const ssize_t n = ::pread(Descriptor(handle_.Get()), out.data(), out.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    offset += static_cast<std::uint64_t>(n);
    out = out.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

PathState ProbePath(std::wstring_view path) {
  struct stat info {};
  if (::lstat(platform::NativePath(path).c_str(), &info) != 0) return PathState::Missing;
  if (S_ISDIR(info.st_mode)) return PathState::Folder;
  return (info.st_mode & 0222) == 0 ? PathState::ReadOnly : PathState::Writable;
}

// A rename replaces a file that is open or running here, so a target is never in use.
MoveResult MoveFileOver(std::wstring_view source, std::wstring_view target) {
  return ::rename(platform::NativePath(source).c_str(), platform::NativePath(target).c_str()) == 0 ? MoveResult::Moved
                                                                                                   : MoveResult::Failed;
}

// Only read-only has a meaning here: every write permission goes. The file is changed through a
// descriptor opened without following a link, so a link put in its place is left alone, and so
// is what it points at; so is a file that has another name too (a hard link put in its place).
void ApplyFileAttributes(std::wstring_view path, const FileAttributes& attributes) {
  if (!attributes.readOnly) return;
  const int fd = ::open(platform::NativePath(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1) ::fchmod(fd, info.st_mode & ~0222);
  ::close(fd);
}

bool PinnedFolder::Hold(std::wstring_view path) {
  handle_.Close();
  path_ = path;
  CreateFolder(path_);
  // A link is not followed: files go into real folders only.
  const int fd = ::open(platform::NativePath(path_).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  handle_ = OpenHandle(fd);
  return true;
}

bool PinnedFolder::StillInPlace() const {
  struct stat held {};
  struct stat now {};
  return handle_ && ::fstat(Descriptor(handle_.Get()), &held) == 0 &&
         ::lstat(platform::NativePath(path_).c_str(), &now) == 0 && held.st_dev == now.st_dev &&
         held.st_ino == now.st_ino;
}

namespace file_io_platform {

bool CloseHandleValue(std::intptr_t handle) { return ::close(Descriptor(handle)) == 0; }

bool FolderExists(std::wstring_view path) {
  struct stat info {};
  return ::stat(platform::NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace file_io_platform

}  // namespace sys
