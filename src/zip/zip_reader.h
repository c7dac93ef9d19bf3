// Reads a ZIP archive: its directory, then any entry's content, checked against its password
// (traditional or WinZip AES), its CRC-32 and, for AES, its authentication code.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "zip/zip_decode.h"
#include "zip/zip_directory.h"
#include "zip/zip_stream.h"

namespace zip {

enum class ZipEntryOutcome { Extracted, WrongPassword, Unsupported, Damaged, WriteFailed };

class ZipReader {
 public:
  static constexpr std::size_t kMaxChunk = 64 * 1024;

  // outputBlock: see DecodeZipData.
  explicit ZipReader(ZipInput& input, std::size_t outputBlock = kZipOutputBlock)
      : input_(input), outputBlock_(outputBlock) {}

  ZipDirectoryStatus Open() { return ReadZipDirectory(input_, entries_); }
  const std::vector<ZipEntry>& Entries() const { return entries_; }

  // Claims the archive bytes of the entry's local header and data; false when they overlap bytes
  // that an entry claimed before. Entries that share data let a few kilobytes of archive write
  // gigabytes; each is refused after the first.
  bool ClaimData(const ZipEntry& entry);

  // Decodes the entry's content into out. The archive is read in blocks of at most chunkLimit
  // bytes, each reported to onRead. Whatever reached out before a failure is not to be trusted.
  // Entries may be extracted on several threads at once; the directory and the claims are the
  // calling thread's.
  ZipEntryOutcome Extract(const ZipEntry& entry, std::string_view password, ZipByteSink& out,
                          const ZipRangeSource::ReadObserver& onRead = {}, std::size_t chunkLimit = kMaxChunk);

 private:
  ZipEntryOutcome ExtractAes(const ZipEntry& entry, std::uint64_t dataOffset, std::string_view password,
                             ZipByteSink& out, const ZipRangeSource::ReadObserver& onRead, std::size_t chunkLimit);

  ZipInput& input_;
  std::size_t outputBlock_;
  std::vector<ZipEntry> entries_;
  std::map<std::uint64_t, std::uint64_t> claimed_;  // start -> end, disjoint
};

}  // namespace zip
