// The cryptographic functions the installer needs: the AES block cipher (stored-string cipher,
// WinZip AES counter mode), MD5 (device code), SHA-256 (package check), ECDSA P-256 verification
// (the maker's package signature), HMAC-SHA1 and PBKDF2-HMAC-SHA1 (WinZip AES). Windows build: CNG
// (bcrypt.dll, part of the system); host build: libcrypto. Both give the same answers, proven by
// the same tests.
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

// ECDSA on the NIST curve P-256 (FIPS 186-4) over SHA-256 digests. Keys and signatures are raw
// big-endian numbers of 32 bytes each: a public key is X then Y, a signature r then s.
inline constexpr std::size_t kEcdsaP256KeySize = 64;
inline constexpr std::size_t kEcdsaP256SignatureSize = 64;
inline constexpr std::size_t kSha256Size = 32;

// True when publicKey is a point of P-256: 64 bytes, X and Y below the field prime, y^2 = x^3 - 3x + b.
// Checked here rather than left to the back-end, so that both builds refuse the same keys.
bool IsEcdsaP256PublicKey(ByteSpan publicKey);

// True when signature is a valid signature of the SHA-256 digest under publicKey. False for a key
// that IsEcdsaP256PublicKey refuses, a digest or a signature of another size, and r or s that is
// zero or not below the group order n. Like FIPS 186-4, both s and n - s verify.
bool VerifyEcdsaP256Sha256(ByteSpan publicKey, ByteSpan sha256Digest, ByteSpan signature);

// count bytes from the system's cryptographic random generator; empty when it fails.
Bytes RandomBytes(std::size_t count);

}  // namespace crypto
