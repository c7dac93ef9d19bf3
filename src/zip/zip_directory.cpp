#include "zip/zip_directory.h"

#include <algorithm>
#include <array>

#include "zip/zip_names.h"

namespace zip {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kLocatorSize = 20;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kMaxComment = 0xFFFF;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t Le64(const std::uint8_t* p) { return Le32(p) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32); }

struct EndRecord {
  std::uint64_t entries = 0;
  std::uint64_t directorySize = 0;
  std::uint64_t directoryOffset = 0;
};

// Finds the end record from the back of the file: the last signature whose comment length
// reaches exactly to the end, else the last signature whose comment fits in the file.
bool FindEndRecord(ZipInput& input, std::uint64_t& endOffset, std::array<std::uint8_t, kEndSize>& record) {
  const std::uint64_t size = input.Size();
  if (size < kEndSize) return false;
  const std::size_t tail = static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndSize + kMaxComment));
  std::vector<std::uint8_t> buffer(tail);
  if (!input.ReadAt(size - tail, buffer)) return false;
  std::int64_t fallback = -1;
  for (std::size_t i = tail - kEndSize + 1; i-- > 0;) {
    if (Le32(&buffer[i]) != kEndSignature) continue;
    const std::size_t commentEnd = i + kEndSize + Le16(&buffer[i + 20]);
    if (commentEnd == tail) {
      fallback = static_cast<std::int64_t>(i);
      break;
    }
    if (commentEnd < tail && fallback < 0) fallback = static_cast<std::int64_t>(i);
  }
  if (fallback < 0) return false;
  endOffset = size - tail + static_cast<std::uint64_t>(fallback);
  std::copy_n(buffer.begin() + fallback, kEndSize, record.begin());
  return true;
}

// Applies the ZIP64 records when the end record points to them; false when they are damaged.
// directoryEnd becomes the offset of the ZIP64 end record, which follows the directory.
bool ReadZip64End(ZipInput& input, std::uint64_t endOffset, EndRecord& end, std::uint64_t& directoryEnd) {
  if (endOffset < kLocatorSize) return true;
  std::array<std::uint8_t, kLocatorSize> locator{};
  if (!input.ReadAt(endOffset - kLocatorSize, locator) || Le32(locator.data()) != kZip64LocatorSignature) return true;
  const std::uint64_t recordOffset = Le64(&locator[8]);
  std::array<std::uint8_t, kZip64EndSize> record{};
  if (recordOffset > input.Size() || !input.ReadAt(recordOffset, record) || Le32(record.data()) != kZip64EndSignature) {
    return false;
  }
  end.entries = Le64(&record[32]);
  end.directorySize = Le64(&record[40]);
  end.directoryOffset = Le64(&record[48]);
  directoryEnd = recordOffset;
  return true;
}

bool CentralHeaderAt(ZipInput& input, std::uint64_t offset) {
  std::array<std::uint8_t, 4> signature{};
  return offset <= input.Size() && input.ReadAt(offset, signature) && Le32(signature.data()) == kCentralSignature;
}

// Where the central directory starts, and by how much every offset that the archive states is
// to be moved: 0, unless bytes were put before the archive (a self-extractor's stub) without
// correcting its offsets; the directory then stands its stated size before its end, not at its
// stated offset. False when no directory is found.
bool LocateDirectory(ZipInput& input, const EndRecord& end, std::uint64_t directoryEnd, std::uint64_t& start,
                     std::uint64_t& shift) {
  shift = 0;
  start = end.directoryOffset;
  if (start <= directoryEnd && CentralHeaderAt(input, start)) return true;
  if (end.directorySize > directoryEnd) return false;
  const std::uint64_t moved = directoryEnd - end.directorySize;
  if (moved <= end.directoryOffset || !CentralHeaderAt(input, moved)) return false;
  shift = moved - end.directoryOffset;
  start = moved;
  return true;
}

// Reads the central directory sequentially in blocks, so that its size never decides memory.
class DirectoryReader {
 public:
  DirectoryReader(ZipInput& input, std::uint64_t offset, std::uint64_t size) : input_(input), offset_(offset), left_(size) {}

  bool Take(std::size_t n, std::uint8_t* out) {
    while (n > 0) {
      if (pos_ == buffer_.size() && !Refill()) return false;
      const std::size_t k = std::min(n, buffer_.size() - pos_);
      std::copy_n(buffer_.begin() + static_cast<std::ptrdiff_t>(pos_), k, out);
      pos_ += k;
      out += k;
      n -= k;
    }
    return true;
  }
  bool Take(std::size_t n, std::string& out) {
    out.resize(n);
    return Take(n, reinterpret_cast<std::uint8_t*>(out.data()));
  }
  bool AtEnd() const { return left_ == 0 && pos_ == buffer_.size(); }

 private:
  bool Refill() {
    if (left_ == 0) return false;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left_, 64 * 1024));
    buffer_.resize(n);
    if (!input_.ReadAt(offset_, buffer_)) return false;
    offset_ += n;
    left_ -= n;
    pos_ = 0;
    return true;
  }

  ZipInput& input_;
  std::uint64_t offset_;
  std::uint64_t left_;
  std::vector<std::uint8_t> buffer_;
  std::size_t pos_ = 0;
};

// The ZIP64 extended information (0x0001) and WinZip AES (0x9901) fields of the central header.
bool ApplyExtraFields(const std::string& extra, ZipEntry& e, bool wideUncompressed, bool wideCompressed, bool wideOffset) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(extra.data());
  std::size_t i = 0;
  while (i + 4 <= extra.size()) {
    const std::uint16_t id = Le16(p + i);
    const std::uint16_t size = Le16(p + i + 2);
    i += 4;
    if (i + size > extra.size()) break;
    const std::uint8_t* field = p + i;
    if (id == 0x0001) {
      std::size_t at = 0;
      auto take = [&](std::uint64_t& value) {
        if (at + 8 > size) return false;
        value = Le64(field + at);
        at += 8;
        return true;
      };
      if (wideUncompressed && !take(e.uncompressedSize)) return false;
      if (wideCompressed && !take(e.compressedSize)) return false;
      if (wideOffset && !take(e.localHeaderOffset)) return false;
      wideUncompressed = wideCompressed = wideOffset = false;
    } else if (id == 0x9901 && size >= 7) {
      e.aesVersion = Le16(field);
      e.aesStrength = field[4];
      e.aesMethod = Le16(field + 5);
    }
    i += size;
  }
  return !wideUncompressed && !wideCompressed && !wideOffset;
}

constexpr int kMadeByUnix = 3;
bool HasUnixMode(const ZipEntry& e) { return (e.versionMadeBy >> 8) == kMadeByUnix && (e.externalAttributes >> 16) != 0; }

}  // namespace

bool ZipEntry::IsFolder() const {
  // The DOS folder attribute makes a folder only of an entry without content: one with content is
  // a file, whatever its attribute says.
  return (!rawName.empty() && (rawName.back() == '/' || rawName.back() == '\\')) ||
         ((externalAttributes & 0x10) != 0 && uncompressedSize == 0);
}

bool ZipEntry::ReadOnly() const {
  if ((externalAttributes & 1) != 0) return true;
  return HasUnixMode(*this) && ((externalAttributes >> 16) & 0222) == 0;
}
bool ZipEntry::Hidden() const { return (externalAttributes & 2) != 0; }
bool ZipEntry::System() const { return (externalAttributes & 4) != 0; }

ZipDirectoryStatus ReadZipDirectory(ZipInput& input, std::vector<ZipEntry>& entries) {
  entries.clear();
  std::uint64_t endOffset = 0;
  std::array<std::uint8_t, kEndSize> record{};
  if (!FindEndRecord(input, endOffset, record)) return ZipDirectoryStatus::NotZip;
  EndRecord end{Le16(&record[10]), Le32(&record[12]), Le32(&record[16])};
  std::uint64_t directoryEnd = endOffset;
  if ((end.entries == 0xFFFF || end.directorySize == 0xFFFFFFFF || end.directoryOffset == 0xFFFFFFFF) &&
      !ReadZip64End(input, endOffset, end, directoryEnd)) {
    return ZipDirectoryStatus::Damaged;
  }
  if (end.entries == 0) {
    return end.directoryOffset <= directoryEnd ? ZipDirectoryStatus::Ok : ZipDirectoryStatus::Damaged;
  }
  std::uint64_t start = 0;
  std::uint64_t shift = 0;
  if (!LocateDirectory(input, end, directoryEnd, start, shift)) return ZipDirectoryStatus::Damaged;
  // The records are read up to the end record, whatever size the directory claims (peers read a
  // directory whose size field is wrong). Each takes at least 46 bytes of what is there, which
  // bounds a forged entry count.
  if (end.entries > (directoryEnd - start) / kCentralSize) return ZipDirectoryStatus::Damaged;

  DirectoryReader reader(input, start, directoryEnd - start);
  entries.reserve(static_cast<std::size_t>(end.entries));
  for (std::uint64_t n = 0; n < end.entries; ++n) {
    std::array<std::uint8_t, kCentralSize> h{};
    if (!reader.Take(h.size(), h.data()) || Le32(h.data()) != kCentralSignature) return ZipDirectoryStatus::Damaged;
    ZipEntry e;
    e.versionMadeBy = Le16(&h[4]);
    e.flags = Le16(&h[8]);
    e.method = Le16(&h[10]);
    e.dosTime = Le16(&h[12]);
    e.dosDate = Le16(&h[14]);
    e.crc32 = Le32(&h[16]);
    e.compressedSize = Le32(&h[20]);
    e.uncompressedSize = Le32(&h[24]);
    e.externalAttributes = Le32(&h[38]);
    e.localHeaderOffset = Le32(&h[42]);
    std::string extra;
    std::string comment;
    if (!reader.Take(Le16(&h[28]), e.rawName) || !reader.Take(Le16(&h[30]), extra) ||
        !reader.Take(Le16(&h[32]), comment)) {
      return ZipDirectoryStatus::Damaged;
    }
    if (!ApplyExtraFields(extra, e, e.uncompressedSize == 0xFFFFFFFF, e.compressedSize == 0xFFFFFFFF,
                          e.localHeaderOffset == 0xFFFFFFFF)) {
      return ZipDirectoryStatus::Damaged;
    }
    if (e.localHeaderOffset <= input.Size()) e.localHeaderOffset += shift;  // one past the end stays past it
    e.name = DecodeZipEntryName(e.rawName, (e.flags & 0x800) != 0, extra);
    entries.push_back(std::move(e));
  }
  return ZipDirectoryStatus::Ok;
}

bool LocateZipEntryData(ZipInput& input, const ZipEntry& entry, std::uint64_t& dataOffset) {
  std::array<std::uint8_t, kLocalSize> h{};
  if (entry.localHeaderOffset > input.Size() || !input.ReadAt(entry.localHeaderOffset, h) ||
      Le32(h.data()) != kLocalSignature) {
    return false;
  }
  dataOffset = entry.localHeaderOffset + kLocalSize + Le16(&h[26]) + Le16(&h[28]);
  return dataOffset <= input.Size() && entry.compressedSize <= input.Size() - dataOffset;
}

}  // namespace zip
