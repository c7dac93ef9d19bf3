// Download target file on POSIX files (host build).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/text.h"
#include "net/download_file.h"

namespace net {

struct DownloadFile::Impl {
  int fd = -1;
};

DownloadFile::DownloadFile() : impl_(std::make_unique<Impl>()) {}

DownloadFile::~DownloadFile() { Close(); }

bool DownloadFile::Create(const std::wstring& path) {
  Close();
  impl_->fd = ::open(common::WideToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return impl_->fd >= 0;
}

bool DownloadFile::Write(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(impl_->fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool DownloadFile::Restart() { return ::ftruncate(impl_->fd, 0) == 0 && ::lseek(impl_->fd, 0, SEEK_SET) == 0; }

void DownloadFile::Close() {
  if (impl_->fd >= 0) ::close(impl_->fd);
  impl_->fd = -1;
}

bool CreateFoldersFor(const std::wstring& filePath) {
  const std::size_t end = filePath.find_last_of(L"\\/");
  if (end == std::wstring::npos || end == 0) return true;
  const std::wstring folder = filePath.substr(0, end);
  struct stat st;
  if (::stat(common::WideToUtf8(folder).c_str(), &st) == 0) return true;
  if (!CreateFoldersFor(folder)) return false;
  return ::mkdir(common::WideToUtf8(folder).c_str(), 0755) == 0 || errno == EEXIST;
}

bool RemoveFile(const std::wstring& path) { return ::unlink(common::WideToUtf8(path).c_str()) == 0; }

}  // namespace net
