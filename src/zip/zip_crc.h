// CRC-32 of entry content, as ZIP stores it (zlib's crc32): by carry-less multiplication where the
// processor has it, sixteen bytes at a time, otherwise through zlib. Checking the CRC was a third
// of the time that Stored entries took.
#pragma once

#include <cstdint>
#include <span>

namespace zip {

// The CRC-32 of data following crc, the CRC of what came before (0 for nothing).
std::uint32_t ZipCrc32(std::uint32_t crc, std::span<const std::uint8_t> data);

// Whether ZipCrc32 folds by carry-less multiplication on this processor (data of 64 bytes and more);
// otherwise it is zlib's own crc32. Tests and benchmarks say which path they ran.
bool ZipCrc32Folds();

}  // namespace zip
