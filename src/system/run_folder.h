// What one run of the installer keeps in the temporary folder (the product package), out of reach
// of every program that runs without administrator rights: a private folder made new for the run,
// and the package opened there so that nothing can change it between its check and its use.
//
// The user's temporary folder is the user's: a program running as the user may delete, rename and
// replace anything in it. So the run's folder is not only closed to the user by its access list
// (owner Administrators; Administrators and SYSTEM only), it is also held open for the whole run
// without delete sharing, which makes renaming it away and putting another in its place fail.
// The host build keeps the same shape with POSIX means: mode 0700 and an exclusive advisory lock.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "system/file_io.h"

namespace sys {

class RunFolder {
 public:
  // A new folder GetTempDir() + prefix + 16 random hexadecimal digits, held until the object goes.
  // Null when no such folder could be made.
  static std::unique_ptr<RunFolder> Create(std::wstring_view prefix);
  // Removes what killed runs left behind: the folders of the temporary folder whose names begin
  // with prefix. A folder is left alone when a running instance still holds it or when it is a
  // link; links inside are removed, never followed. Returns how many went.
  static int RemoveAbandoned(std::wstring_view prefix);

  // Deletes the files in the folder, then the folder itself.
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::wstring& Path() const { return path_; }
  // A path in the folder for a new file: 16 random hexadecimal digits followed by extension.
  std::wstring NewFilePath(std::wstring_view extension) const;

  struct Hold;
  struct HoldDeleter {
    void operator()(Hold* hold) const;
  };
  using HoldPtr = std::unique_ptr<Hold, HoldDeleter>;

 private:
  RunFolder(std::wstring path, HoldPtr hold);
  // Makes path a new private folder and holds it; null when it exists already or cannot be made.
  static HoldPtr HoldNewFolder(const std::wstring& path);
  // Removes one folder left by a killed run; false when it is held or a link.
  static bool RemoveIfAbandoned(const std::wstring& path);
  // Deletes the files of a held folder; links are removed, never followed; sub-folders stay.
  static void DeleteFiles(const std::wstring& path);

  std::wstring path_;
  HoldPtr hold_;
};

// A file opened for reading only, that nobody (this process included) can write, replace or delete
// while the object lives: whatever reads through it reads the same bytes. The host cannot keep
// writers out; it opens the file without following links.
class SealedFile {
 public:
  // Null when the file cannot be opened so (missing, a link, or already open for writing).
  static std::unique_ptr<SealedFile> Open(std::wstring_view path);

  std::uint64_t Size() const { return file_.Size(); }
  // Reads exactly out.size() bytes at offset; false when they are not all there.
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) { return file_.ReadAt(offset, out); }

 private:
  SealedFile() = default;
  InputFile file_;
};

}  // namespace sys
