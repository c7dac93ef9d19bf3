// libFuzzer target that compares the ZIP reader's Deflate decoding with zlib. Each input describes
// some content (its bytes as they are, or runs of them that grow to megabytes) and how zlib is to
// compress it: level, strategy, window, memory level and flushes at chosen points. The compressed
// stream becomes the one entry of an archive in memory, possibly traditionally encrypted, possibly
// with one byte altered. The reader extracts it reading blocks of a chosen size and handing the
// content on in blocks of a chosen size: mostly small ones, so that short content meets the
// boundaries that megabytes meet at the real 1 MiB, sometimes the real one. zlib's own raw inflate
// of the same stream is the arbiter: the reader must give the content exactly when zlib gives it
// back, and refuse the entry otherwise. Built and run by scripts/fuzz-zip inflate.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "zip/zip_decode.h"
#include "zip/zip_reader.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The harness's own byte loops stay out of the coverage that guides the fuzzer (they would also
// cost most of its time).
#define HARNESS __attribute__((no_sanitize("coverage")))

// With the reader's own output block, content runs to a few of those blocks; with the small blocks
// that most inputs choose, to 16 KiB, which keeps the runs fast.
constexpr std::size_t kMaxContentOwnBlock = 3 * zip::kZipOutputBlock;
constexpr std::size_t kMaxContent = 16 * 1024;
constexpr std::string_view kPassword = "402615";
constexpr int kStrategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
constexpr int kFlushes[] = {Z_NO_FLUSH, Z_SYNC_FLUSH, Z_FULL_FLUSH, Z_PARTIAL_FLUSH, Z_BLOCK};

// Reads the input front to back; past its end every value is 0.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
  std::size_t Left() const { return size_ - pos_; }
  const std::uint8_t* Rest() const { return data_ + pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

[[noreturn]] void Fail(const char* what, std::size_t size) {
  std::fprintf(stderr, "%s (content of %zu bytes)\n", what, size);
  std::abort();
}

// The rest of the input as it is, or read as runs: a byte pair and a count of 1 to 65536 pairs.
HARNESS Bytes MakeContent(InputReader& in, bool runs, std::size_t limit) {
  if (!runs) return Bytes(in.Rest(), in.Rest() + in.Left());
  Bytes content;
  while (in.Left() >= 4 && content.size() < limit) {
    const std::uint8_t a = in.Byte();
    const std::uint8_t b = in.Byte();
    const std::size_t at = content.size();
    content.resize(std::min(limit, at + 2 * (std::size_t{in.Word()} + 1)));
    // The pair, then the filled part doubled until the run is full.
    const std::size_t run = content.size() - at;
    std::uint8_t* p = content.data() + at;
    p[0] = a;
    if (run > 1) p[1] = b;
    for (std::size_t filled = std::min<std::size_t>(run, 2); filled < run;) {
      const std::size_t n = std::min(filled, run - filled);
      std::memcpy(p + filled, p, n);
      filled += n;
    }
  }
  return content;
}

// Raw Deflate of content, with the given flush after every `every` bytes of input.
HARNESS Bytes Deflate(const Bytes& content, int level, int strategy, int windowBits, int memLevel, int flush,
              std::size_t every) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -windowBits, memLevel, strategy) != Z_OK) std::abort();
  Bytes out;
  std::uint8_t block[65536];
  std::size_t at = 0;
  int mode = Z_NO_FLUSH;
  int status = Z_OK;
  while (mode != Z_FINISH) {
    const std::size_t n = std::min(every, content.size() - at);
    z.next_in = const_cast<Bytes::value_type*>(content.data()) + at;
    z.avail_in = static_cast<uInt>(n);
    at += n;
    mode = at == content.size() ? Z_FINISH : flush;
    do {
      z.next_out = block;
      z.avail_out = sizeof block;
      status = deflate(&z, mode);
      out.insert(out.end(), block, block + (sizeof block - z.avail_out));
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  if (status != Z_STREAM_END) std::abort();
  return out;
}

// zlib's own reading of a raw Deflate stream: the content when the stream ends properly.
HARNESS bool ZlibInflate(const Bytes& stream, Bytes& content) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) std::abort();
  z.next_in = const_cast<Bytes::value_type*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  std::uint8_t block[65536];
  int status = Z_OK;
  while (status == Z_OK && content.size() <= kMaxContentOwnBlock) {
    z.next_out = block;
    z.avail_out = sizeof block;
    status = inflate(&z, Z_NO_FLUSH);
    content.insert(content.end(), block, block + (sizeof block - z.avail_out));
  }
  inflateEnd(&z);
  return status == Z_STREAM_END;
}

// The traditional PKWARE cipher, enciphering.
class TraditionalCipher {
 public:
  explicit TraditionalCipher(std::string_view password) {
    for (char c : password) Update(static_cast<std::uint8_t>(c));
  }
  HARNESS std::uint8_t Encipher(std::uint8_t plain) {
    const std::uint32_t t = (keys_[2] | 2) & 0xFFFF;
    const auto cipher = static_cast<std::uint8_t>(plain ^ ((t * (t ^ 1)) >> 8));
    Update(plain);
    return cipher;
  }

 private:
  HARNESS void Update(std::uint8_t plain) {
    const z_crc_t* table = get_crc_table();
    keys_[0] = table[(keys_[0] ^ plain) & 0xFF] ^ (keys_[0] >> 8);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = table[(keys_[2] ^ (keys_[1] >> 24)) & 0xFF] ^ (keys_[2] >> 8);
  }
  std::uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

HARNESS void Put16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
HARNESS void Put32(Bytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A one-entry archive: local header, data, central header, end record.
HARNESS Bytes Archive(std::uint16_t method, bool encrypted, std::uint32_t crc, const Bytes& data,
                      std::size_t contentSize) {
  const std::string_view name = "entry.bin";
  auto header = [&](Bytes& out, bool central) {
    Put32(out, central ? 0x02014b50 : 0x04034b50);
    if (central) Put16(out, 20);
    Put16(out, 20);
    Put16(out, encrypted ? 1 : 0);
    Put16(out, method);
    Put32(out, 0);  // time and date
    Put32(out, crc);
    Put32(out, static_cast<std::uint32_t>(data.size()));
    Put32(out, static_cast<std::uint32_t>(contentSize));
    Put16(out, static_cast<std::uint32_t>(name.size()));
    Put16(out, 0);
    if (central) {
      Put32(out, 0);  // comment length, disk
      Put16(out, 0);  // internal attributes
      Put32(out, 0);  // external attributes
      Put32(out, 0);  // local header offset
    }
    out.insert(out.end(), name.begin(), name.end());
  };
  Bytes archive;
  header(archive, false);
  archive.insert(archive.end(), data.begin(), data.end());
  const std::size_t directory = archive.size();
  header(archive, true);
  Put32(archive, 0x06054b50);
  Put32(archive, 0);
  Put16(archive, 1);
  Put16(archive, 1);
  Put32(archive, static_cast<std::uint32_t>(archive.size() - directory - 4 - 4 - 2 - 2));
  Put32(archive, static_cast<std::uint32_t>(directory));
  Put16(archive, 0);
  return archive;
}

// The encryption header (its last byte the CRC's high byte, the password check) and the data.
HARNESS Bytes Encrypt(const Bytes& data, std::uint32_t crc) {
  TraditionalCipher cipher(kPassword);
  Bytes out;
  out.reserve(12 + data.size());
  for (int i = 0; i < 11; ++i) out.push_back(cipher.Encipher(static_cast<std::uint8_t>(i * 37)));
  out.push_back(cipher.Encipher(static_cast<std::uint8_t>(crc >> 24)));
  for (std::uint8_t b : data) out.push_back(cipher.Encipher(b));
  return out;
}

class CollectingSink : public zip::ZipByteSink {
 public:
  HARNESS bool Write(std::span<const std::uint8_t> data) override {
    bytes.insert(bytes.end(), data.begin(), data.end());
    return true;
  }
  Bytes bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  const std::uint8_t options = in.Byte();
  const int level = in.Byte() % 10;
  const int strategy = kStrategies[in.Byte() % 5];
  const int windowBits = 9 + in.Byte() % 7;
  const int memLevel = 1 + in.Byte() % 9;
  const int flush = kFlushes[in.Byte() % 5];
  std::size_t every = std::size_t{in.Word()} * 64 + 1;
  const std::size_t chunkLimit = std::size_t{in.Word()} + 1;
  const std::size_t smallBlock = std::size_t{in.Word()} + 1;
  const std::uint16_t alterAt = in.Word();
  const std::uint8_t alterBy = in.Byte();
  const bool runs = (options & 1) != 0;
  const bool encrypted = (options & 2) != 0;
  const bool altered = (options & 4) != 0 && alterBy != 0;
  const bool ownBlock = (options & 0x18) == 0x18;
  const std::size_t outputBlock = ownBlock ? zip::kZipOutputBlock : smallBlock;
  // Megabytes read a byte at a time would take minutes; extraction reads at least 4 KiB a block.
  const std::size_t readBlock = ownBlock ? std::max<std::size_t>(chunkLimit, 4096) : chunkLimit;

  const Bytes content = MakeContent(in, runs, ownBlock ? kMaxContentOwnBlock : kMaxContent);
  // At most 256 flushes, however large the content.
  every = std::max(every, content.size() / 256 + 1);
  Bytes stream = Deflate(content, level, strategy, windowBits, memLevel, flush, every);
  if (altered) stream[alterAt % stream.size()] ^= alterBy;
  const std::uint32_t crc = static_cast<std::uint32_t>(crc32_z(0, content.data(), content.size()));

  const Bytes entryData = encrypted ? Encrypt(stream, crc) : stream;
  const Bytes archive = Archive(zip::zip_method::kDeflated, encrypted, crc, entryData, content.size());

  zip::ZipMemoryInput input(archive);
  zip::ZipReader reader(input, outputBlock);
  if (reader.Open() != zip::ZipDirectoryStatus::Ok || reader.Entries().size() != 1) {
    Fail("directory not read", content.size());
  }
  CollectingSink sink;
  const zip::ZipEntryOutcome outcome = reader.Extract(reader.Entries()[0], kPassword, sink, {}, readBlock);
  const bool readerGaveContent = outcome == zip::ZipEntryOutcome::Extracted && sink.bytes == content;
  if (readerGaveContent) return 0;

  Bytes arbiter;
  const bool zlibGaveContent = ZlibInflate(stream, arbiter) && arbiter == content;
  if (zlibGaveContent) Fail("the reader lost content that zlib reads", content.size());
  if (outcome == zip::ZipEntryOutcome::Extracted) {
    Fail("the reader accepted content that zlib does not give", content.size());
  }
  if (!altered) Fail("zlib does not read back its own stream", content.size());
  return 0;
}
