// What the legacy decoders share: a bit reader (least significant bit first) and an output window
// that serves back-references and passes the content on in large blocks.
#pragma once

#include <cstdint>
#include <vector>

#include "zip/zip_decode.h"
#include "zip/zip_stream.h"

namespace zip {

class ZipBitReader {
 public:
  explicit ZipBitReader(ZipByteSource& in) : in_(in), buffer_(4096) {}

  // Reads n bits (at most 24), the first one read being the least significant; false at the end.
  bool Bits(int n, std::uint32_t& value) {
    while (count_ < n) {
      if (pos_ == end_) {
        end_ = in_.Read(buffer_);
        pos_ = 0;
        if (end_ == 0) return false;
      }
      bits_ |= static_cast<std::uint32_t>(buffer_[pos_++]) << count_;
      count_ += 8;
    }
    value = bits_ & ((1u << n) - 1);
    bits_ >>= n;
    count_ -= n;
    return true;
  }

 private:
  ZipByteSource& in_;
  std::vector<std::uint8_t> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint32_t bits_ = 0;
  int count_ = 0;
};

// Writes at most size bytes; back-references reach up to 64 KiB back, and bytes before the start
// of the content read as zeros.
class ZipWindowWriter {
 public:
  ZipWindowWriter(ZipByteSink& out, std::uint64_t size) : out_(out), size_(size), ring_(kRingSize) {}

  bool Done() const { return written_ == size_ || failed_; }
  bool Failed() const { return failed_; }

  void Put(std::uint8_t b) {
    if (Done()) return;
    ring_[pos_++] = b;
    ++written_;
    if (pos_ == kRingSize) Flush();
  }

  // Copies length bytes from distance bytes back (distance >= 1), overlapping as LZ77 does.
  void Copy(std::uint32_t distance, std::uint32_t length) {
    for (; length > 0 && !Done(); --length) {
      Put(distance > written_ ? 0 : ring_[(pos_ + kRingSize - distance) & (kRingSize - 1)]);
    }
  }

  // Hands the content not yet written to the sink; the result the decoder returns.
  ZipDecodeResult Finish() {
    Flush();
    if (failed_) return ZipDecodeResult::WriteFailed;
    return written_ == size_ ? ZipDecodeResult::Ok : ZipDecodeResult::BadData;
  }

 private:
  static constexpr std::size_t kRingSize = 64 * 1024;

  void Flush() {
    if (pos_ > flushed_ && !failed_) {
      failed_ = !out_.Write(std::span<const std::uint8_t>(ring_).subspan(flushed_, pos_ - flushed_));
    }
    flushed_ = pos_;
    if (pos_ == kRingSize) pos_ = flushed_ = 0;
  }

  ZipByteSink& out_;
  std::uint64_t size_;
  std::vector<std::uint8_t> ring_;
  std::size_t pos_ = 0;
  std::size_t flushed_ = 0;
  std::uint64_t written_ = 0;
  bool failed_ = false;
};

}  // namespace zip
