// Implode: LZ77 over a 4K or 8K window whose literals (optionally), match lengths and the upper
// six bits of match distances are coded with Shannon-Fano trees stored at the start of the data.
#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

#include "zip/zip_legacy.h"
#include "zip/zip_legacy_io.h"

namespace zip {
namespace {

constexpr int kMaxCodeLength = 16;

class ShannonFanoTree {
 public:
  // Reads the tree's compressed description: a byte count, then bytes of (count-1, length-1).
  bool Read(ZipBitReader& bits, std::size_t values) {
    std::uint32_t bytes = 0;
    if (!bits.Bits(8, bytes)) return false;
    std::vector<int> lengths;
    for (std::uint32_t i = 0; i <= bytes; ++i) {
      std::uint32_t b = 0;
      if (!bits.Bits(8, b)) return false;
      lengths.insert(lengths.end(), (b >> 4) + 1, static_cast<int>(b & 0x0F) + 1);
      if (lengths.size() > values) return false;
    }
    if (lengths.size() != values) return false;
    return Build(lengths);
  }

  // Reads one value; the first bit of a code in the data is its most significant one.
  bool Decode(ZipBitReader& bits, std::uint32_t& value) const {
    std::uint32_t code = 0;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
      std::uint32_t bit = 0;
      if (!bits.Bits(1, bit)) return false;
      code = (code << 1) | (bit ^ 1);
      const Range& r = ranges_[static_cast<std::size_t>(length)];
      if (r.count > 0 && code >= r.firstCode && code - r.firstCode < r.count) {
        value = sorted_[r.firstIndex + (code - r.firstCode)];
        return true;
      }
    }
    return false;
  }

 private:
  // The codes of one length are consecutive: firstCode belongs to sorted_[firstIndex].
  struct Range {
    std::uint32_t firstCode = 0;
    std::uint32_t count = 0;
    std::size_t firstIndex = 0;
  };

  // The codes are given out from the longest length up: the last value in sorted order gets all
  // zeros and each next one the previous code plus one unit of the previous value's length. The
  // data holds these codes' complements, which is what Decode compares against.
  bool Build(const std::vector<int>& lengths) {
    sorted_.resize(lengths.size());
    std::iota(sorted_.begin(), sorted_.end(), 0u);
    std::stable_sort(sorted_.begin(), sorted_.end(), [&](std::uint32_t a, std::uint32_t b) { return lengths[a] < lengths[b]; });
    ranges_ = {};
    std::uint32_t code = 0;  // left-aligned in 16 bits
    std::uint32_t increment = 0;
    int lastLength = 0;
    for (std::size_t i = sorted_.size(); i-- > 0;) {
      code += increment;
      if (code > 0xFFFF) return false;
      const int length = lengths[sorted_[i]];
      if (length != lastLength) {
        lastLength = length;
        increment = 1u << (kMaxCodeLength - length);
      }
      // Walking down, the first value met of each length has the largest complement; the
      // range's start is the last one met.
      Range& r = ranges_[static_cast<std::size_t>(length)];
      r.firstCode = (~code & 0xFFFF) >> (kMaxCodeLength - length);
      r.firstIndex = i;
      ++r.count;
    }
    return true;
  }

  std::vector<std::uint32_t> sorted_;
  std::array<Range, kMaxCodeLength + 1> ranges_{};
};

}  // namespace

ZipDecodeResult Explode(ZipByteSource& in, std::uint64_t size, std::uint16_t flags, ZipByteSink& out) {
  const bool bigWindow = (flags & 2) != 0;
  const bool literalTree = (flags & 4) != 0;
  ZipBitReader bits(in);
  ZipWindowWriter window(out, size);
  ShannonFanoTree literals;
  ShannonFanoTree lengths;
  ShannonFanoTree distances;
  if ((literalTree && !literals.Read(bits, 256)) || !lengths.Read(bits, 64) || !distances.Read(bits, 64)) {
    return ZipDecodeResult::BadData;
  }
  const std::uint32_t minMatch = literalTree ? 3 : 2;
  const int lowBits = bigWindow ? 7 : 6;
  while (!window.Done()) {
    std::uint32_t isLiteral = 0;
    if (!bits.Bits(1, isLiteral)) break;
    if (isLiteral != 0) {
      std::uint32_t c = 0;
      if (!(literalTree ? literals.Decode(bits, c) : bits.Bits(8, c))) break;
      window.Put(static_cast<std::uint8_t>(c));
      continue;
    }
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    std::uint32_t length = 0;
    if (!bits.Bits(lowBits, low) || !distances.Decode(bits, high) || !lengths.Decode(bits, length)) break;
    if (length == 63) {
      std::uint32_t extra = 0;
      if (!bits.Bits(8, extra)) break;
      length += extra;
    }
    window.Copy(((high << lowBits) | low) + 1, length + minMatch);
  }
  return window.Finish();
}

}  // namespace zip
