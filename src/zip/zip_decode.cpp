#include "zip/zip_decode.h"

#include <algorithm>
#include <vector>
#include <zlib.h>

#include "zip/zip_legacy.h"

namespace zip {
namespace {

constexpr std::size_t kInputSize = 64 * 1024;
// Stored content goes on in blocks that stay in the processor's cache from the read to the write,
// through the CRC and the copy into the file: on a busy machine 1 MiB blocks, which do not, made
// both take up to twice as long. A divisor of the output block, so both meet the same boundaries.
constexpr std::size_t kStoredBlock = 128 * 1024;
static_assert(kZipOutputBlock % kStoredBlock == 0);

ZipDecodeResult CopyStored(ZipByteSource& in, std::uint64_t size, ZipByteSink& out, std::size_t outputBlock) {
  // One byte more than the content, so that content running long shows.
  const std::size_t block = std::min(outputBlock, kStoredBlock);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(size + 1, block)));
  std::uint64_t written = 0;
  for (bool end = false; !end;) {
    std::size_t filled = 0;
    while (filled < buffer.size()) {
      const std::size_t n = in.Read(std::span(buffer).subspan(filled));
      if (n == 0) {
        end = true;
        break;
      }
      filled += n;
    }
    if (filled > size - written) return ZipDecodeResult::BadData;
    if (filled > 0 && !out.Write(std::span(buffer).first(filled))) return ZipDecodeResult::WriteFailed;
    written += filled;
  }
  return written == size ? ZipDecodeResult::Ok : ZipDecodeResult::BadData;
}

class Inflater {
 public:
  Inflater() { ok_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ok_) inflateEnd(&z_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool ok() const { return ok_; }
  z_stream* get() { return &z_; }

 private:
  z_stream z_{};
  bool ok_ = false;
};

ZipDecodeResult Inflate(ZipByteSource& in, std::uint64_t size, ZipByteSink& out, std::size_t outputBlock) {
  Inflater inflater;
  if (!inflater.ok()) return ZipDecodeResult::BadData;
  z_stream* z = inflater.get();
  std::vector<std::uint8_t> input(kInputSize);
  // No larger than the content: many small entries must not each cost a large buffer.
  std::vector<std::uint8_t> output(static_cast<std::size_t>(std::clamp<std::uint64_t>(size, 1, outputBlock)));
  std::uint64_t written = 0;
  // zlib can hold output back after it has taken all of its input, when a call fills the output
  // buffer: more input is wanted only once a call stalls (Z_BUF_ERROR) or leaves room unfilled.
  bool wantInput = true;
  for (int status = Z_OK; status != Z_STREAM_END;) {
    if (wantInput) {
      const std::size_t n = in.Read(input);
      if (n == 0) return ZipDecodeResult::BadData;
      z->next_in = input.data();
      z->avail_in = static_cast<uInt>(n);
    }
    z->next_out = output.data();
    z->avail_out = static_cast<uInt>(output.size());
    status = inflate(z, Z_NO_FLUSH);
    if (status == Z_BUF_ERROR && z->avail_in == 0) {
      wantInput = true;  // no progress possible with room to write: all input is spent
      continue;
    }
    if (status != Z_OK && status != Z_STREAM_END) return ZipDecodeResult::BadData;
    const std::size_t produced = output.size() - z->avail_out;
    if (produced > size - written) return ZipDecodeResult::BadData;
    if (produced > 0 && !out.Write(std::span(output).first(produced))) return ZipDecodeResult::WriteFailed;
    written += produced;
    wantInput = z->avail_in == 0 && z->avail_out != 0;
  }
  return written == size ? ZipDecodeResult::Ok : ZipDecodeResult::BadData;
}

}  // namespace

ZipDecodeResult DecodeZipData(std::uint16_t method, std::uint16_t flags, ZipByteSource& in, std::uint64_t size,
                              ZipByteSink& out, std::size_t outputBlock) {
  outputBlock = std::max<std::size_t>(outputBlock, 1);
  switch (method) {
    case zip_method::kStored: return CopyStored(in, size, out, outputBlock);
    case zip_method::kDeflated: return Inflate(in, size, out, outputBlock);
    case zip_method::kShrunk: return Unshrink(in, size, out);
    case zip_method::kImploded: return Explode(in, size, flags, out);
    default:
      if (method >= zip_method::kReducedFirst && method <= zip_method::kReducedLast) {
        return Unreduce(in, size, method - zip_method::kReducedFirst + 1, out);
      }
      return ZipDecodeResult::Unsupported;
  }
}

}  // namespace zip
