// Windows back-end of the extraction's files: Win32 file calls on wide paths.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "common/strings.h"
#include "zip/zip_files.h"

namespace zip {
namespace {

class Handle {
 public:
  Handle() = default;
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  bool Reset() {
    bool ok = true;
    if (valid()) ok = CloseHandle(h_) != FALSE;
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }
  void Attach(HANDLE h) {
    Reset();
    h_ = h;
  }

 private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

constexpr int kTemporaryNameTries = 100;
constexpr DWORD kMaxIo = 1u << 30;

}  // namespace

struct ZipFileInput::Impl {
  Handle file;
  std::uint64_t size = 0;
};

ZipFileInput::ZipFileInput() : impl_(std::make_unique<Impl>()) {}
ZipFileInput::~ZipFileInput() = default;

bool ZipFileInput::Open(const std::wstring& path) {
  impl_->file.Attach(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!impl_->file.valid() || !GetFileSizeEx(impl_->file.get(), &size) ||
      GetFileType(impl_->file.get()) != FILE_TYPE_DISK) {
    impl_->file.Reset();
    return false;
  }
  impl_->size = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}

std::uint64_t ZipFileInput::Size() const { return impl_->size; }

bool ZipFileInput::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (!impl_->file.valid() || offset > impl_->size || out.size() > impl_->size - offset) return false;
  std::size_t done = 0;
  while (done < out.size()) {
    OVERLAPPED at{};
    const std::uint64_t position = offset + done;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, kMaxIo));
    DWORD got = 0;
    if (!ReadFile(impl_->file.get(), out.data() + done, want, &got, &at) || got == 0) return false;
    done += got;
  }
  return true;
}

struct ZipOutputFile::Impl {
  std::wstring target;
  std::wstring temporary;
  Handle file;
};

ZipOutputFile::ZipOutputFile(std::wstring target) : impl_(std::make_unique<Impl>()) { impl_->target = std::move(target); }

ZipOutputFile::~ZipOutputFile() {
  if (impl_->file.valid()) {
    impl_->file.Reset();
    DeleteFileW(impl_->temporary.c_str());
  }
}

bool ZipOutputFile::Create() {
  for (int i = 0; i < kTemporaryNameTries; ++i) {
    const std::wstring name = impl_->target + L".~" + common::DecimalText(i) + L".part";
    // A name taken is first the leftover of an extraction that was killed half-way: it goes
    // (unless something still holds it open), so that a run started again leaves none behind.
    for (int attempt = 0; attempt < 2; ++attempt) {
      HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        impl_->file.Attach(h);
        impl_->temporary = name;
        return true;
      }
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
      if (attempt == 0 && !DeleteFileW(name.c_str())) break;
    }
  }
  return false;
}

bool ZipOutputFile::Write(std::span<const std::uint8_t> data) {
  while (!data.empty()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(data.size(), kMaxIo));
    DWORD wrote = 0;
    if (!WriteFile(impl_->file.get(), data.data(), want, &wrote, nullptr) || wrote == 0) return false;
    data = data.subspan(wrote);
  }
  return true;
}

ZipCommitResult ZipOutputFile::Commit(const ZipFileAttributes& attributes) {
  bool ok = impl_->file.valid();
  ok = impl_->file.Reset() && ok;
  if (!ok) {
    DeleteFileW(impl_->temporary.c_str());
    return ZipCommitResult::Failed;
  }
  // MoveFileEx refuses to replace a read-only file, as extraction must.
  if (!MoveFileExW(impl_->temporary.c_str(), impl_->target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const DWORD error = GetLastError();
    const DWORD target = GetFileAttributesW(impl_->target.c_str());
    const bool fileThere = target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY) == 0;
    DeleteFileW(impl_->temporary.c_str());
    // A file open without delete sharing fails with a sharing or lock violation; a running program's
    // image, with access denied. A folder that took the target's place since it was looked at
    // is no file in use.
    const bool inUse = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                       (error == ERROR_ACCESS_DENIED && fileThere);
    return inUse ? ZipCommitResult::TargetInUse : ZipCommitResult::Failed;
  }
  // The content is in place; attributes are applied as far as the system lets them be.
  DWORD flags = 0;
  if (attributes.readOnly) flags |= FILE_ATTRIBUTE_READONLY;
  if (attributes.hidden) flags |= FILE_ATTRIBUTE_HIDDEN;
  if (attributes.system) flags |= FILE_ATTRIBUTE_SYSTEM;
  if (flags != 0) SetFileAttributesW(impl_->target.c_str(), flags);
  return ZipCommitResult::Committed;
}

ZipTargetState ProbeZipTarget(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ZipTargetState::Missing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ZipTargetState::Folder;
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? ZipTargetState::ReadOnly : ZipTargetState::Writable;
}

struct ZipHeldFolder::Impl {
  Handle folder;
};

ZipHeldFolder::ZipHeldFolder() : impl_(std::make_unique<Impl>()) {}
ZipHeldFolder::~ZipHeldFolder() = default;
ZipHeldFolder::ZipHeldFolder(ZipHeldFolder&&) noexcept = default;
ZipHeldFolder& ZipHeldFolder::operator=(ZipHeldFolder&&) noexcept = default;

bool ZipHeldFolder::Hold(const std::wstring& path) {
  CreateDirectoryW(path.c_str(), nullptr);
  // Opened on the folder itself, never through a junction or link, and without delete sharing.
  impl_->folder.Attach(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!impl_->folder.valid() || !GetFileInformationByHandle(impl_->folder.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    impl_->folder.Reset();
    return false;
  }
  return true;
}

// Held without delete sharing, the folder cannot have left its path.
bool ZipHeldFolder::StillInPlace() const { return impl_->folder.valid(); }

}  // namespace zip
