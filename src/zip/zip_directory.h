// The archive's table of contents: the end-of-central-directory record (and its ZIP64 form), the
// central directory's file headers and, per entry, the local header that precedes its data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zip/zip_stream.h"

namespace zip {

struct ZipEntry {
  std::string rawName;  // the name's bytes as stored
  std::wstring name;    // decoded: UTF-8, the Unicode path field, or the OEM code page
  std::uint16_t versionMadeBy = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t dosTime = 0;
  std::uint16_t dosDate = 0;
  std::uint32_t crc32 = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t uncompressedSize = 0;
  std::uint64_t localHeaderOffset = 0;
  std::uint32_t externalAttributes = 0;
  // WinZip AES (method 99): its extra field, when present.
  std::uint16_t aesVersion = 0;   // 1 (AE-1, CRC kept) or 2 (AE-2, no CRC)
  std::uint8_t aesStrength = 0;   // 1, 2, 3: 128, 192, 256 bits
  std::uint16_t aesMethod = 0;    // the compression method under the encryption

  bool Encrypted() const { return (flags & 1) != 0; }
  bool IsFolder() const;
  // Attributes in the Windows sense, from the DOS byte or the Unix mode bits.
  bool ReadOnly() const;
  bool Hidden() const;
  bool System() const;
};

enum class ZipDirectoryStatus { Ok, NotZip, Damaged };

// Reads every central directory entry of the archive.
ZipDirectoryStatus ReadZipDirectory(ZipInput& input, std::vector<ZipEntry>& entries);

// Offset of the entry's data (after its local header), or false when the local header is missing
// or the data would run past the end of the archive.
bool LocateZipEntryData(ZipInput& input, const ZipEntry& entry, std::uint64_t& dataOffset);

}  // namespace zip
