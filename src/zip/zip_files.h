// The files that extraction reads and writes, over the system's file layer: the archive, and each
// entry's output, written aside and moved into place only once it checks out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "system/file_io.h"
#include "zip/zip_stream.h"

namespace zip {

// An archive on disk; a link at its path is opened through.
class ZipFileInput : public ZipInput {
 public:
  bool Open(const std::wstring& path) { return file_.Open(path, sys::LinkRule::Followed); }
  std::uint64_t Size() const override { return file_.Size(); }
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override { return file_.ReadAt(offset, out); }

 private:
  sys::InputFile file_;
};

// One entry's file, written under a fresh temporary name beside the target. Commit moves it over
// the target; a file not committed is deleted, so a failed entry leaves the target as it was.
class ZipOutputFile : public ZipByteSink {
 public:
  explicit ZipOutputFile(std::wstring target);
  ~ZipOutputFile() override;
  ZipOutputFile(const ZipOutputFile&) = delete;
  ZipOutputFile& operator=(const ZipOutputFile&) = delete;

  // Says whether the package itself puts a file or folder at a path.
  using PackagePathTest = std::function<bool(const std::wstring& path)>;
  // Opens the temporary file under the first free name that is none of the package's paths.
  bool Create(const PackagePathTest& isPackagePath);
  bool Write(std::span<const std::uint8_t> data) override { return file_.Write(data); }
  // Moved: the content is in place, with the attributes as far as the system lets them be.
  sys::MoveResult Commit(const sys::FileAttributes& attributes);

 private:
  std::wstring target_;
  std::wstring temporary_;
  sys::OutputFile file_;
};

}  // namespace zip
