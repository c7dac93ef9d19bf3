// The files that extraction reads and writes, over the system's own file calls: the archive, each
// entry's output (written aside and moved into place only once it checks out) and its folders.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "zip/zip_stream.h"

namespace zip {

#ifdef _WIN32
inline constexpr wchar_t kZipPathSeparator = L'\\';
#else
inline constexpr wchar_t kZipPathSeparator = L'/';
#endif

class ZipFileInput : public ZipInput {
 public:
  ZipFileInput();
  ~ZipFileInput() override;
  ZipFileInput(const ZipFileInput&) = delete;
  ZipFileInput& operator=(const ZipFileInput&) = delete;

  bool Open(const std::wstring& path);
  std::uint64_t Size() const override;
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

struct ZipFileAttributes {
  bool readOnly = false;
  bool hidden = false;  // Windows only, like system
  bool system = false;
};

// TargetInUse: the target is held open by someone (a running program) and stays as it was.
enum class ZipCommitResult { Committed, TargetInUse, Failed };

// One entry's file, written under a fresh temporary name beside the target. Commit moves it over
// the target; a file not committed is deleted, so a failed entry leaves the target as it was.
class ZipOutputFile : public ZipByteSink {
 public:
  explicit ZipOutputFile(std::wstring target);
  ~ZipOutputFile() override;
  ZipOutputFile(const ZipOutputFile&) = delete;
  ZipOutputFile& operator=(const ZipOutputFile&) = delete;

  bool Create();
  bool Write(std::span<const std::uint8_t> data) override;
  ZipCommitResult Commit(const ZipFileAttributes& attributes);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

enum class ZipTargetState { Missing, Writable, ReadOnly, Folder };

// What stands at path now. A file without any write permission counts as read-only on the host
// whoever runs the program, as the read-only attribute stops administrators on Windows.
ZipTargetState ProbeZipTarget(const std::wstring& path);

// A folder of the destination, held open while entries are written into it. On Windows it is held
// without delete sharing, so that nobody can rename it or put a junction in its place until the
// extraction ends; the host cannot pin a folder so, and checks instead that the held folder still
// stands at its path before each use. A link is never held.
class ZipHeldFolder {
 public:
  ZipHeldFolder();
  ~ZipHeldFolder();
  ZipHeldFolder(ZipHeldFolder&&) noexcept;
  ZipHeldFolder& operator=(ZipHeldFolder&&) noexcept;
  ZipHeldFolder(const ZipHeldFolder&) = delete;
  ZipHeldFolder& operator=(const ZipHeldFolder&) = delete;

  // Creates the folder when missing and holds it; false when a link, a file or nothing usable
  // stands there.
  bool Hold(const std::wstring& path);
  // Whether the folder held is still the one at its path.
  bool StillInPlace() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zip
