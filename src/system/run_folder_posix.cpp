// The run's folder on the host: mode 0700, held by an exclusive lock on an open descriptor of the
// folder, which a killed run's descriptor releases; removal opens folders without following links.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "system/files.h"
#include "system/files_platform.h"
#include "system/run_folder.h"

namespace sys {

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_;
};

// The folder opened and locked; an empty descriptor when it is a link or locked by a running
// instance.
int OpenAndLock(const std::wstring& path) {
  const int fd = ::open(platform::NativePath(path).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

struct RunFolder::Hold {
  explicit Hold(int fd) : folder(fd) {}
  Descriptor folder;
};

RunFolder::HoldPtr RunFolder::HoldNewFolder(const std::wstring& path) {
  if (!platform::CreatePrivateFolder(path)) return nullptr;
  const int fd = OpenAndLock(path);
  return fd < 0 ? nullptr : HoldPtr(new Hold(fd));
}

void RunFolder::HoldDeleter::operator()(Hold* hold) const { delete hold; }

RunFolder::~RunFolder() {
  if (!hold_) return;
  DeleteFiles(path_);
  RemoveFolder(path_);
}

bool RunFolder::RemoveIfAbandoned(const std::wstring& path) {
  const Descriptor folder(OpenAndLock(path));
  if (!folder) return false;
  DeleteFiles(path);
  RemoveFolder(path);
  return !DirectoryExists(path);
}

struct SealedFile::Impl {
  Descriptor file;
  std::uint64_t size = 0;
  explicit Impl(int fd) : file(fd) {}
};

SealedFile::SealedFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SealedFile::~SealedFile() = default;

std::unique_ptr<SealedFile> SealedFile::Open(std::wstring_view path) {
  auto impl = std::make_unique<Impl>(::open(platform::NativePath(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (!impl->file || ::fstat(impl->file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  impl->size = static_cast<std::uint64_t>(info.st_size);
  return std::unique_ptr<SealedFile>(new SealedFile(std::move(impl)));
}

std::uint64_t SealedFile::Size() const { return impl_->size; }

bool SealedFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  while (!out.empty()) {
    const ssize_t got = ::pread(impl_->file.Get(), out.data(), out.size(), static_cast<off_t>(offset));
    if (got <= 0) return false;
    offset += static_cast<std::uint64_t>(got);
    out = out.subspan(static_cast<std::size_t>(got));
  }
  return true;
}

}  // namespace sys
