// Reduce: each byte is coded against the follower set of the byte before it; the bytes so coded
// form a run of literals and (DLE, length, distance) references.
#include <array>

#include "zip/zip_legacy.h"
#include "zip/zip_legacy_io.h"

namespace zip {
namespace {

constexpr std::uint8_t kDle = 144;

// Bits needed for an index into a follower set of n entries (at least one).
int IndexBits(std::size_t n) {
  int bits = 1;
  while ((std::size_t{1} << bits) < n) ++bits;
  return bits;
}

struct FollowerSets {
  std::array<std::array<std::uint8_t, 64>, 256> bytes{};
  std::array<std::uint8_t, 256> count{};
};

bool ReadFollowerSets(ZipBitReader& bits, FollowerSets& sets) {
  for (int j = 255; j >= 0; --j) {
    std::uint32_t n = 0;
    if (!bits.Bits(6, n)) return false;
    sets.count[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(n);
    for (std::uint32_t i = 0; i < n; ++i) {
      std::uint32_t b = 0;
      if (!bits.Bits(8, b)) return false;
      sets.bytes[static_cast<std::size_t>(j)][i] = static_cast<std::uint8_t>(b);
    }
  }
  return true;
}

}  // namespace

ZipDecodeResult Unreduce(ZipByteSource& in, std::uint64_t size, int factor, ZipByteSink& out) {
  ZipBitReader bits(in);
  ZipWindowWriter window(out, size);
  FollowerSets sets;
  if (!ReadFollowerSets(bits, sets)) return ZipDecodeResult::BadData;

  const std::uint32_t lengthMask = 0xFFu >> factor;
  std::uint8_t last = 0;
  int state = 0;
  std::uint32_t length = 0;
  std::uint32_t high = 0;
  while (!window.Done()) {
    // The probabilistic layer: one byte of the reference layer.
    std::uint32_t c = 0;
    const std::size_t n = sets.count[last];
    if (n == 0) {
      if (!bits.Bits(8, c)) break;
    } else {
      std::uint32_t literal = 0;
      if (!bits.Bits(1, literal)) break;
      if (literal != 0) {
        if (!bits.Bits(8, c)) break;
      } else {
        std::uint32_t index = 0;
        if (!bits.Bits(IndexBits(n), index) || index >= n) break;
        c = sets.bytes[last][index];
      }
    }
    last = static_cast<std::uint8_t>(c);

    switch (state) {
      case 0:
        if (c == kDle) {
          state = 1;
        } else {
          window.Put(static_cast<std::uint8_t>(c));
        }
        break;
      case 1:
        if (c == 0) {
          window.Put(kDle);
          state = 0;
        } else {
          high = c >> (8 - factor);
          length = c & lengthMask;
          state = length == lengthMask ? 2 : 3;
        }
        break;
      case 2:
        length += c;
        state = 3;
        break;
      default:
        window.Copy(high * 256 + c + 1, length + 3);
        state = 0;
        break;
    }
  }
  return window.Finish();
}

}  // namespace zip
