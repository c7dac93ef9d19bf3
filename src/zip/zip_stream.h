// The byte pipes that an entry's data flows through on its way out of an archive: compressed
// bytes come from a source (the archive file, possibly behind a decrypting source), a decoder
// turns them into the entry's content and hands it to a sink (a file, a checksum, nothing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <utility>

namespace zip {

// Random-access read-only bytes: an archive file or an archive in memory.
class ZipInput {
 public:
  virtual ~ZipInput() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads exactly out.size() bytes at offset; false when they are not all there. Called from
  // several threads at once (entries are decoded side by side).
  virtual bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// An archive held in memory (the caller keeps the bytes alive).
class ZipMemoryInput : public ZipInput {
 public:
  explicit ZipMemoryInput(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  std::span<const std::uint8_t> bytes_;
};

class ZipByteSource {
 public:
  virtual ~ZipByteSource() = default;
  // Fills the start of out and returns how many bytes it gave; 0 means the end (or a read error,
  // which the source's owner learns from its own state).
  virtual std::size_t Read(std::span<std::uint8_t> out) = 0;
};

class ZipByteSink {
 public:
  virtual ~ZipByteSink() = default;
  virtual bool Write(std::span<const std::uint8_t> data) = 0;
};

// A sink that keeps nothing: checking an archive without writing it.
class ZipDiscardSink : public ZipByteSink {
 public:
  bool Write(std::span<const std::uint8_t>) override { return true; }
};

// The compressed bytes of one entry: a window of a ZipInput, read in blocks no larger than
// chunkLimit, each block reported to onRead (for progress) before it is handed on.
class ZipRangeSource : public ZipByteSource {
 public:
  using ReadObserver = std::function<void(std::size_t bytes)>;

  ZipRangeSource(ZipInput& input, std::uint64_t offset, std::uint64_t size, std::size_t chunkLimit,
                 ReadObserver onRead = {})
      : input_(input), offset_(offset), left_(size), chunkLimit_(chunkLimit), onRead_(std::move(onRead)) {}

  std::size_t Read(std::span<std::uint8_t> out) override;
  bool Failed() const { return failed_; }
  std::uint64_t Left() const { return left_; }

 private:
  ZipInput& input_;
  std::uint64_t offset_;
  std::uint64_t left_;
  std::size_t chunkLimit_;
  ReadObserver onRead_;
  bool failed_ = false;
};

}  // namespace zip
