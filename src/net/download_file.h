// The file a download streams into: created (or truncated) for writing while others may still read
// and write it, written piece by piece, removed again when the download fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace net {

class DownloadFile {
 public:
  DownloadFile();
  ~DownloadFile();
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;

  // Creates path, replacing (truncating) an existing file. False when it cannot be opened.
  bool Create(const std::wstring& path);
  bool Write(const std::uint8_t* data, std::size_t size);
  // Empties the file and writes from its start again.
  bool Restart();
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Creates every missing folder of the folder part of filePath (up to its last "\" or "/").
// True when the folder exists afterwards (or the path has no folder part).
bool CreateFoldersFor(const std::wstring& filePath);

bool RemoveFile(const std::wstring& path);

}  // namespace net
