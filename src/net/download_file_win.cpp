// Download target file on Win32 files.
#include <windows.h>

#include "net/download_file.h"
#include "system/win_handle.h"

namespace net {

struct DownloadFile::Impl {
  sys::win::FileHandle file;
};

DownloadFile::DownloadFile() : impl_(std::make_unique<Impl>()) {}

DownloadFile::~DownloadFile() { Close(); }

bool DownloadFile::Create(const std::wstring& path) {
  Close();
  impl_->file = sys::win::FileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(impl_->file);
}

bool DownloadFile::Write(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(impl_->file.Get(), data, static_cast<DWORD>(size), &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool DownloadFile::Restart() {
  return SetFilePointer(impl_->file.Get(), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
         SetEndOfFile(impl_->file.Get());
}

void DownloadFile::Close() { impl_->file.Reset(); }

bool CreateFoldersFor(const std::wstring& filePath) {
  const std::size_t end = filePath.find_last_of(L"\\/");
  if (end == std::wstring::npos || end == 0) return true;
  const std::wstring folder = filePath.substr(0, end);
  if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  // Parents first; a drive root ("C:") or a UNC share is never created.
  if (!CreateFoldersFor(folder)) return false;
  return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool RemoveFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != 0; }

}  // namespace net
