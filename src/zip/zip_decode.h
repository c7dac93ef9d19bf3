// Turns an entry's compressed bytes into its content: Stored and Deflate here, the legacy
// methods (Shrink, Reduce, Implode) in zip_legacy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zip/zip_stream.h"

namespace zip {

enum class ZipDecodeResult { Ok, BadData, Unsupported, WriteFailed };

namespace zip_method {
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kShrunk = 1;
constexpr std::uint16_t kReducedFirst = 2;  // factor 1; 3, 4, 5 are factors 2 to 4
constexpr std::uint16_t kReducedLast = 5;
constexpr std::uint16_t kImploded = 6;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kAes = 99;
}  // namespace zip_method

// Deflate content reaches the sink in blocks of up to this many bytes, Stored content in blocks of
// a divisor of it: fewer calls to the file system for the same bytes.
inline constexpr std::size_t kZipOutputBlock = 1024 * 1024;

// Writes exactly size bytes of content to out; BadData when the data ends early, runs long or
// does not decode. flags are the entry's general-purpose flags (Implode reads its options there).
// outputBlock (at least 1) bounds the blocks of Stored and Deflate content.
ZipDecodeResult DecodeZipData(std::uint16_t method, std::uint16_t flags, ZipByteSource& in, std::uint64_t size,
                              ZipByteSink& out, std::size_t outputBlock = kZipOutputBlock);

}  // namespace zip
