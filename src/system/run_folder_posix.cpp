// The run's folder on the host: mode 0700, held by an exclusive lock on an open descriptor of the
// folder, which a killed run's descriptor releases; removal opens folders without following links.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "system/files.h"
#include "system/file_io_posix.h"
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

}  // namespace sys
