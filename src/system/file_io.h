// The file system as every layer uses it: paths joined with the system's separator, folders
// created, files written (created new or replaced, restartable), read at offsets, moved over a
// target and deleted, and a folder pinned while files go into it. Only common is below it, so the
// ZIP reader uses it as the installer does. The Windows build maps it to the Win32 file calls, the
// host build to the POSIX ones, where "\" reads as "/".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace sys {

// "\" on Windows, "/" on the host: the path reaches code that does not read "\" as "/" there.
extern const wchar_t kPathSeparator;

// folder + separator + name; a separator ending folder is not doubled.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

// Creates one folder; true when it was made or a folder (or a link to one) stands there already.
bool CreateFolder(std::wstring_view path);
// Creates the folder and every missing parent; true when the folder exists afterwards.
bool ForceDirectories(std::wstring_view path);

// Deletes the file at path, or the link itself; never a folder. True when it went.
bool RemoveFile(std::wstring_view path);
// Creates a new file holding bytes; false when the name is taken or the file cannot be written.
bool WriteNewFile(std::wstring_view path, std::string_view bytes);
// The first maxBytes bytes of the regular file at path (a link followed); nothing when it cannot
// be read.
std::optional<std::string> ReadFileHead(std::wstring_view path, std::size_t maxBytes);

// The owner of one open file or folder of the system (a handle on Windows, a descriptor on the
// host): move-only, closed when it goes.
class OpenHandle {
 public:
  static constexpr std::intptr_t kNone = -1;  // INVALID_HANDLE_VALUE, and no descriptor

  OpenHandle() = default;
  explicit OpenHandle(std::intptr_t value) : value_(value) {}
  ~OpenHandle() { Close(); }
  OpenHandle(OpenHandle&& other) noexcept : value_(std::exchange(other.value_, kNone)) {}
  OpenHandle& operator=(OpenHandle&& other) noexcept {
    if (this != &other) {
      Close();
      value_ = std::exchange(other.value_, kNone);
    }
    return *this;
  }
  OpenHandle(const OpenHandle&) = delete;
  OpenHandle& operator=(const OpenHandle&) = delete;

  std::intptr_t Get() const { return value_; }
  explicit operator bool() const { return value_ != kNone; }
  // False when nothing was open or the system reported an error closing it.
  bool Close();

 private:
  std::intptr_t value_ = kNone;
};

enum class FileCreation {
  New,      // fails with CreateResult::Exists when anything stands at the name
  Replace,  // an existing file is emptied and written again
};
enum class FileSharing {
  None,       // nobody else may open the file while it is open here
  ReadWrite,  // others may read and write it meanwhile (not delete or rename it)
};
enum class CreateResult { Created, Exists, Failed };

// A file open for writing, written from its start; closed when the object goes.
class OutputFile {
 public:
  CreateResult Create(std::wstring_view path, FileCreation creation, FileSharing sharing = FileSharing::None);
  bool IsOpen() const { return static_cast<bool>(handle_); }
  // Writes all of data; false when the system took less (a full disk) or refused.
  bool Write(std::span<const std::uint8_t> data);
  // Empties the file and writes from its start again.
  bool Restart();
  // False when the file was not open or the system reported an error closing it (the last bytes
  // may not have reached the disk).
  bool Close() { return handle_.Close(); }

 private:
  OpenHandle handle_;
};

enum class LinkRule {
  Followed,  // a link at path is opened through
  Refused,   // a link at path is not opened
};

// A regular file open for reading only, at any offset. While it is open nobody (this process
// included) can write, replace or delete it on Windows, and an open fails when someone has the
// file open for writing; the host cannot keep writers out.
class InputFile {
 public:
  // False when path is missing, no regular file, a link refused, or cannot be opened so.
  bool Open(std::wstring_view path, LinkRule links);
  // 0 when nothing is open.
  std::uint64_t Size() const { return handle_ ? size_ : 0; }
  // Reads exactly out.size() bytes at offset; false when they are not all there.
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out);

 private:
  OpenHandle handle_;
  std::uint64_t size_ = 0;
};

enum class PathState { Missing, Writable, ReadOnly, Folder };
// What stands at path now, a link not followed. A file without any write permission counts as
// read-only on the host whoever runs the program, as the read-only attribute stops administrators
// on Windows.
PathState ProbePath(std::wstring_view path);

// TargetInUse: the target is held open by someone (a running program) and stays as it was.
enum class MoveResult { Moved, TargetInUse, Failed };
// Moves the file source over target, replacing a file there. On Windows a target in use (open
// without delete sharing, a running program) is not replaced (TargetInUse), nor is a read-only one,
// which Wine replaces; the host replaces a file that is open or running, so a target is never in
// use there.
MoveResult MoveFileOver(std::wstring_view source, std::wstring_view target);

struct FileAttributes {
  bool readOnly = false;
  bool hidden = false;  // Windows only, like system
  bool system = false;
};
// Gives the file at path the attributes set in attributes, as far as the system lets it (only
// read-only means anything on the host). A link, and a file that has another name too, are left
// alone: the attributes are meant for the file just moved to path, which has no other name.
void ApplyFileAttributes(std::wstring_view path, const FileAttributes& attributes);

// A folder held open while files go into it. On Windows it is held without delete sharing, so
// that nobody can rename it or put a junction in its place until it is let go; the host cannot
// pin a folder so, and checks instead that the held folder still stands at its path. A link is
// never held.
class PinnedFolder {
 public:
  // Creates the folder when missing and holds it; false when a link, a file or nothing usable
  // stands there.
  bool Hold(std::wstring_view path);
  // Whether the folder held is still the one at its path.
  bool StillInPlace() const;

 private:
  OpenHandle handle_;
  std::wstring path_;
};

}  // namespace sys
