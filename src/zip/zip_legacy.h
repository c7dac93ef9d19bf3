// Decoders of the legacy compression methods, from before Deflate: Shrink (dynamic LZW with
// partial clearing), Reduce (follower sets over a run-length/LZ77 layer, factors 1 to 4) and
// Implode (LZ77 with Shannon-Fano coded literals, lengths and distances; 4K or 8K window).
#pragma once

#include <cstdint>

#include "zip/zip_decode.h"
#include "zip/zip_stream.h"

namespace zip {

ZipDecodeResult Unshrink(ZipByteSource& in, std::uint64_t size, ZipByteSink& out);
ZipDecodeResult Unreduce(ZipByteSource& in, std::uint64_t size, int factor, ZipByteSink& out);
// flags bit 1: 8K window (else 4K); bit 2: three trees, with literals coded (else two).
ZipDecodeResult Explode(ZipByteSource& in, std::uint64_t size, std::uint16_t flags, ZipByteSink& out);

}  // namespace zip
