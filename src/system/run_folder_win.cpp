#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "system/files.h"
#include "system/files_platform.h"
#include "system/private_folder_win.h"
#include "system/run_folder.h"
#include "system/win_handle.h"

namespace sys {

namespace {

win::FileHandle Open(const std::wstring& path, DWORD access, DWORD sharing) {
  return win::FileHandle(CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Lets an emptied folder go and removes it. In between, a program of the user can at most put an
// empty folder or a link of its own there, which is removed instead: harmless.
void LetGoAndRemove(const std::wstring& path, win::FileHandle& hold) {
  hold.Reset();
  RemoveFolder(path);
}

}  // namespace

struct RunFolder::Hold {
  win::FileHandle folder;
};

RunFolder::HoldPtr RunFolder::HoldNewFolder(const std::wstring& path) {
  win::FileHandle folder = win::CreateHeldPrivateFolder(path);
  return folder ? HoldPtr(new Hold{std::move(folder)}) : nullptr;
}

void RunFolder::HoldDeleter::operator()(Hold* hold) const { delete hold; }

RunFolder::~RunFolder() {
  if (!hold_) return;
  DeleteFiles(path_);
  LetGoAndRemove(path_, hold_->folder);
}

bool RunFolder::RemoveIfAbandoned(const std::wstring& path) {
  {
    // An open for deleting fails with a sharing violation while a running instance holds it.
    const win::FileHandle probe = Open(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!probe || !win::IsPlainFolder(probe.Get())) return false;
  }
  win::FileHandle hold = win::HoldPlainFolder(path);
  if (!hold) return false;
  DeleteFiles(path);
  LetGoAndRemove(path, hold);
  return !DirectoryExists(path);
}

struct SealedFile::Impl {
  win::FileHandle file;
  std::uint64_t size = 0;
};

SealedFile::SealedFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SealedFile::~SealedFile() = default;

std::unique_ptr<SealedFile> SealedFile::Open(std::wstring_view path) {
  auto impl = std::make_unique<Impl>();
  // Read sharing only: an open for writing or deleting fails while this handle lives, and this
  // open fails when someone has the file open for writing.
  impl->file = win::FileHandle(CreateFileW(std::wstring(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN,
                                           nullptr));
  if (!impl->file) return nullptr;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(impl->file.Get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return nullptr;
  }
  impl->size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return std::unique_ptr<SealedFile>(new SealedFile(std::move(impl)));
}

std::uint64_t SealedFile::Size() const { return impl_->size; }

bool SealedFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  while (!out.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size(), 1u << 30));
    DWORD got = 0;
    if (!ReadFile(impl_->file.Get(), out.data(), want, &got, &at) || got == 0) return false;
    offset += got;
    out = out.subspan(got);
  }
  return true;
}

}  // namespace sys
