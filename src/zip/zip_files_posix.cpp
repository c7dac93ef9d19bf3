// Host back-end of the extraction's files: POSIX calls on UTF-8 paths.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "common/text.h"
#include "zip/zip_files.h"

namespace zip {
namespace {

std::string Native(const std::wstring& path) { return common::WideToUtf8(path); }

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes the descriptor; false when the close reported an error.
  bool Reset() {
    bool ok = true;
    if (fd_ >= 0) ok = close(fd_) == 0;
    fd_ = -1;
    return ok;
  }
  void Attach(int fd) {
    Reset();
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

constexpr int kTemporaryNameTries = 100;

}  // namespace

struct ZipFileInput::Impl {
  Fd fd;
  std::uint64_t size = 0;
};

ZipFileInput::ZipFileInput() : impl_(std::make_unique<Impl>()) {}
ZipFileInput::~ZipFileInput() = default;

bool ZipFileInput::Open(const std::wstring& path) {
  impl_->fd.Attach(open(Native(path).c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (impl_->fd.get() < 0 || fstat(impl_->fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    impl_->fd.Reset();
    return false;
  }
  impl_->size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

std::uint64_t ZipFileInput::Size() const { return impl_->size; }

bool ZipFileInput::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (impl_->fd.get() < 0 || offset > impl_->size || out.size() > impl_->size - offset) return false;
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = pread(impl_->fd.get(), out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

struct ZipOutputFile::Impl {
  std::wstring target;
  std::string temporary;
  Fd fd;
};

ZipOutputFile::ZipOutputFile(std::wstring target) : impl_(std::make_unique<Impl>()) { impl_->target = std::move(target); }

ZipOutputFile::~ZipOutputFile() {
  if (impl_->fd.get() >= 0) {
    impl_->fd.Reset();
    unlink(impl_->temporary.c_str());
  }
}

bool ZipOutputFile::Create() {
  const std::string target = Native(impl_->target);
  for (int i = 0; i < kTemporaryNameTries; ++i) {
    const std::string name = target + ".~" + std::to_string(i) + ".part";
    // A name taken is first the leftover of an extraction that was killed half-way: it goes, so
    // that a run started again leaves none behind.
    for (int attempt = 0; attempt < 2; ++attempt) {
      const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) {
        impl_->fd.Attach(fd);
        impl_->temporary = name;
        return true;
      }
      if (errno != EEXIST) return false;
      if (attempt == 0 && unlink(name.c_str()) != 0) break;
    }
  }
  return false;
}

bool ZipOutputFile::Write(std::span<const std::uint8_t> data) {
  while (!data.empty()) {
    const ssize_t n = write(impl_->fd.get(), data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data = data.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

// A rename replaces a file that is open or running here, so a target is never in use.
ZipCommitResult ZipOutputFile::Commit(const ZipFileAttributes& attributes) {
  bool ok = impl_->fd.get() >= 0;
  if (ok && attributes.readOnly) {
    struct stat st {};
    ok = fstat(impl_->fd.get(), &st) == 0 && fchmod(impl_->fd.get(), st.st_mode & ~0222) == 0;
  }
  ok = impl_->fd.Reset() && ok;
  ok = ok && rename(impl_->temporary.c_str(), Native(impl_->target).c_str()) == 0;
  if (!ok) unlink(impl_->temporary.c_str());
  return ok ? ZipCommitResult::Committed : ZipCommitResult::Failed;
}

ZipTargetState ProbeZipTarget(const std::wstring& path) {
  struct stat st {};
  if (lstat(Native(path).c_str(), &st) != 0) return ZipTargetState::Missing;
  if (S_ISDIR(st.st_mode)) return ZipTargetState::Folder;
  return (st.st_mode & 0222) == 0 ? ZipTargetState::ReadOnly : ZipTargetState::Writable;
}

struct ZipHeldFolder::Impl {
  Fd folder;
  std::string path;
};

ZipHeldFolder::ZipHeldFolder() : impl_(std::make_unique<Impl>()) {}
ZipHeldFolder::~ZipHeldFolder() = default;
ZipHeldFolder::ZipHeldFolder(ZipHeldFolder&&) noexcept = default;
ZipHeldFolder& ZipHeldFolder::operator=(ZipHeldFolder&&) noexcept = default;

bool ZipHeldFolder::Hold(const std::wstring& path) {
  impl_->path = Native(path);
  if (mkdir(impl_->path.c_str(), 0777) != 0 && errno != EEXIST) return false;
  // A link is not followed: entries go into real folders below the destination only.
  impl_->folder.Attach(open(impl_->path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  return impl_->folder.get() >= 0;
}

bool ZipHeldFolder::StillInPlace() const {
  struct stat held {};
  struct stat now {};
  return impl_->folder.get() >= 0 && fstat(impl_->folder.get(), &held) == 0 &&
         lstat(impl_->path.c_str(), &now) == 0 && held.st_dev == now.st_dev && held.st_ino == now.st_ino;
}

}  // namespace zip
