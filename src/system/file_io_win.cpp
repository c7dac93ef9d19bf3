// The file layer on the Win32 file calls, on wide paths.
#include <windows.h>

#include <algorithm>
#include <string>

#include "system/file_io.h"
#include "system/file_io_platform.h"
#include "system/private_folder_win.h"

namespace sys {

namespace {

constexpr DWORD kMaxIo = 1u << 30;

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t Value(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

DWORD Attributes(std::wstring_view path) { return GetFileAttributesW(std::wstring(path).c_str()); }

}  // namespace

const wchar_t kPathSeparator = L'\\';

bool CreateFolder(std::wstring_view path) {
  return CreateDirectoryW(std::wstring(path).c_str(), nullptr) || file_io_platform::FolderExists(path);
}

bool RemoveFile(std::wstring_view path) { return DeleteFileW(std::wstring(path).c_str()) != FALSE; }

CreateResult OutputFile::Create(std::wstring_view path, FileCreation creation, FileSharing sharing) {
  Close();
  const std::wstring name(path);
  const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE,
                                  sharing == FileSharing::ReadWrite ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0, nullptr,
                                  creation == FileCreation::New ? CREATE_NEW : CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    handle_ = OpenHandle(Value(file));
    return CreateResult::Created;
  }
  const DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::Exists : CreateResult::Failed;
}

bool OutputFile::Write(std::span<const std::uint8_t> data) {
  if (!IsOpen()) return false;
  while (!data.empty()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(data.size(), kMaxIo));
    DWORD wrote = 0;
    if (!WriteFile(Native(handle_.Get()), data.data(), want, &wrote, nullptr) || wrote == 0) return false;
    data = data.subspan(wrote);
  }
  return true;
}

bool OutputFile::Restart() {
  return IsOpen() && SetFilePointer(Native(handle_.Get()), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
         SetEndOfFile(Native(handle_.Get()));
}

bool InputFile::Open(std::wstring_view path, LinkRule links) {
  handle_.Close();
  // Read sharing only: an open for writing or deleting fails while this handle lives, and this
  // open fails when someone has the file open for writing.
  const DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (links == LinkRule::Refused ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  const HANDLE file =
      CreateFileW(std::wstring(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = OpenHandle(Value(file));
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | (links == LinkRule::Refused ? FILE_ATTRIBUTE_REPARSE_POINT : 0);
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & refused) != 0) {
    handle_.Close();
    return false;
  }
  size_ = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return true;
}

bool InputFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (!handle_ || offset > size_ || out.size() > size_ - offset) return false;
  while (!out.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size(), kMaxIo));
    DWORD got = 0;
    if (!ReadFile(Native(handle_.Get()), out.data(), want, &got, &at) || got == 0) return false;
    offset += got;
    out = out.subspan(got);
  }
  return true;
}

PathState ProbePath(std::wstring_view path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathState::Missing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return PathState::Folder;
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? PathState::ReadOnly : PathState::Writable;
}

MoveResult MoveFileOver(std::wstring_view source, std::wstring_view target) {
  const std::wstring from(source);
  const std::wstring to(target);
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return MoveResult::Moved;
  const DWORD error = GetLastError();
  const DWORD attributes = Attributes(to);
  const bool fileThere = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  // A file open without delete sharing fails with a sharing or lock violation; a running program's
  // image, and a read-only file, with access denied: either stays as it is. A folder that took the
  // target's place since it was looked at is no file in use.
  const bool inUse = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                     (error == ERROR_ACCESS_DENIED && fileThere);
  return inUse ? MoveResult::TargetInUse : MoveResult::Failed;
}

// Set through a handle to the file as it stands: a link or junction put in its place is not
// opened through, and a file that has another name too (a hard link put in its place) is left
// alone, since the attributes would reach it under that name, wherever that is.
void ApplyFileAttributes(std::wstring_view path, const FileAttributes& attributes) {
  FILE_BASIC_INFO basic{};  // times of zero stay as they are
  if (attributes.readOnly) basic.FileAttributes |= FILE_ATTRIBUTE_READONLY;
  if (attributes.hidden) basic.FileAttributes |= FILE_ATTRIBUTE_HIDDEN;
  if (attributes.system) basic.FileAttributes |= FILE_ATTRIBUTE_SYSTEM;
  if (basic.FileAttributes == 0) return;
  const win::FileHandle file(CreateFileW(std::wstring(path).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.Get(), &info) || info.nNumberOfLinks != 1 ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return;
  }
  SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic);
}

bool PinnedFolder::Hold(std::wstring_view path) {
  handle_.Close();
  path_ = path;
  CreateFolder(path_);
  win::FileHandle folder = win::HoldPlainFolder(path_);
  if (!folder) return false;
  handle_ = OpenHandle(Value(folder.Release()));
  return true;
}

// Held without delete sharing, the folder cannot have left its path.
bool PinnedFolder::StillInPlace() const { return static_cast<bool>(handle_); }

namespace win {

bool IsPlainFolder(HANDLE folder) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(folder, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

FileHandle HoldPlainFolder(const std::wstring& path) {
  FileHandle folder(CreateFileW(path.c_str(), kFolderHoldAccess, kFolderHoldSharing, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  return folder && IsPlainFolder(folder.Get()) ? std::move(folder) : FileHandle();
}

}  // namespace win

namespace file_io_platform {

bool CloseHandleValue(std::intptr_t handle) { return CloseHandle(Native(handle)) != FALSE; }

bool FolderExists(std::wstring_view path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace file_io_platform

}  // namespace sys
