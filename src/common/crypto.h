// The cryptographic functions the installer needs: the AES block cipher (stored-string cipher,
// WinZip AES counter mode), MD5 (device code), SHA-256 (package check), HMAC-SHA1 and
// PBKDF2-HMAC-SHA1 (WinZip AES). Windows build: CNG (bcrypt.dll, part of the system); host
// build: libcrypto. Both give the same bytes, proven by the same tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace crypto {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// AES with one key (16, 24 or 32 bytes) applied to whole 16-byte blocks, each on its own (ECB).
class Aes {
 public:
  static constexpr std::size_t kBlockSize = 16;

  explicit Aes(ByteSpan key);
  ~Aes();
  Aes(Aes&&) noexcept;
  Aes& operator=(Aes&&) noexcept;

  // False when the key had an unsupported length or the back-end refused it.
  bool Valid() const { return impl_ != nullptr; }

  // in and out have the same size, a multiple of 16, and may be the same buffer.
  bool Encrypt(ByteSpan in, std::span<std::uint8_t> out) const;
  bool Decrypt(ByteSpan in, std::span<std::uint8_t> out) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

Bytes Md5(ByteSpan data);

// Incremental digests, for data that streams through.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  void Update(ByteSpan data);
  Bytes Final();  // 32 bytes; the object is spent afterwards

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class HmacSha1 {
 public:
  explicit HmacSha1(ByteSpan key);
  ~HmacSha1();
  void Update(ByteSpan data);
  Bytes Final();  // 20 bytes; the object is spent afterwards

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

Bytes Pbkdf2HmacSha1(ByteSpan password, ByteSpan salt, unsigned iterations, std::size_t length);

}  // namespace crypto
