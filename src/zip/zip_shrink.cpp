// Shrink: LZW with codes of 9 to 13 bits. Code 256 announces a control code: 1 widens the codes
// by one bit, 2 frees every entry that no other entry extends (a partial clear); freed codes are
// reused lowest first.
#include <algorithm>
#include <vector>

#include "zip/zip_legacy.h"
#include "zip/zip_legacy_io.h"

namespace zip {
namespace {

constexpr int kFirstWidth = 9;
constexpr int kLastWidth = 13;
constexpr std::uint32_t kControl = 256;
constexpr std::uint32_t kFirstFree = 257;
constexpr std::uint32_t kCodes = 1u << kLastWidth;
constexpr std::int32_t kFree = -1;

class ShrinkTable {
 public:
  ShrinkTable() : prefix_(kCodes, kFree), suffix_(kCodes, 0) {}

  bool InUse(std::uint32_t code) const { return code < kControl || prefix_[code] != kFree; }

  // The lowest free code, or kCodes when the table is full.
  std::uint32_t NextFree() {
    while (nextFree_ < kCodes && prefix_[nextFree_] != kFree) ++nextFree_;
    return nextFree_;
  }

  void Add(std::uint32_t prefix, std::uint8_t suffix) {
    const std::uint32_t code = NextFree();
    if (code == kCodes) return;
    prefix_[code] = static_cast<std::int32_t>(prefix);
    suffix_[code] = suffix;
  }

  void PartialClear() {
    std::vector<bool> extended(kCodes, false);
    for (std::uint32_t c = kFirstFree; c < kCodes; ++c) {
      if (prefix_[c] != kFree) extended[static_cast<std::size_t>(prefix_[c])] = true;
    }
    for (std::uint32_t c = kFirstFree; c < kCodes; ++c) {
      if (!extended[c]) prefix_[c] = kFree;
    }
    nextFree_ = kFirstFree;
  }

  // The string of a code in use, into out (reused); false for a chain that breaks or loops.
  bool Expand(std::uint32_t code, std::vector<std::uint8_t>& out) const {
    out.clear();
    while (code >= kControl) {
      if (prefix_[code] == kFree || out.size() >= kCodes) return false;
      out.push_back(suffix_[code]);
      code = static_cast<std::uint32_t>(prefix_[code]);
    }
    out.push_back(static_cast<std::uint8_t>(code));
    std::reverse(out.begin(), out.end());
    return true;
  }

 private:
  std::vector<std::int32_t> prefix_;
  std::vector<std::uint8_t> suffix_;
  std::uint32_t nextFree_ = kFirstFree;
};

}  // namespace

ZipDecodeResult Unshrink(ZipByteSource& in, std::uint64_t size, ZipByteSink& out) {
  ZipBitReader bits(in);
  ZipWindowWriter window(out, size);
  ShrinkTable table;
  int width = kFirstWidth;
  std::vector<std::uint8_t> previous;
  std::vector<std::uint8_t> current;
  std::uint32_t previousCode = 0;
  bool first = true;

  while (!window.Done()) {
    std::uint32_t code = 0;
    if (!bits.Bits(width, code)) break;
    if (code == kControl) {
      std::uint32_t control = 0;
      if (!bits.Bits(width, control)) break;
      if (control == 1 && width < kLastWidth) {
        ++width;
      } else if (control == 2) {
        table.PartialClear();
      } else {
        break;
      }
      continue;
    }
    if (first) {
      if (code >= kControl) break;
      current.assign(1, static_cast<std::uint8_t>(code));
      first = false;
    } else if (table.InUse(code)) {
      if (!table.Expand(code, current)) break;
      table.Add(previousCode, current.front());
    } else {
      // The code being defined right now: the previous string and its own first byte.
      if (code != table.NextFree()) break;
      current = previous;
      current.push_back(previous.front());
      table.Add(previousCode, previous.front());
    }
    for (std::uint8_t b : current) window.Put(b);
    previous.swap(current);
    previousCode = code;
  }
  return window.Finish();
}

}  // namespace zip
