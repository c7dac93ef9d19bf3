// Decrypting sources for the two password schemes of ZIP entries: the traditional PKWARE stream
// cipher and WinZip AES (AES in counter mode, authenticated with HMAC-SHA1).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/crypto.h"
#include "zip/zip_stream.h"

namespace zip {

class ZipTraditionalSource : public ZipByteSource {
 public:
  ZipTraditionalSource(ZipByteSource& in, std::string_view password);
  enum class HeaderCheck { Passed, WrongPassword, Truncated };
  // Reads and deciphers the 12-byte encryption header and compares its last byte with check (the
  // high byte of the CRC, or of the modification time for entries with a data descriptor).
  HeaderCheck CheckHeader(std::uint8_t check);
  std::size_t Read(std::span<std::uint8_t> out) override;

 private:
  void Update(std::uint8_t plain);  // for the password's bytes

  ZipByteSource& in_;
  std::uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

class ZipAesSource : public ZipByteSource {
 public:
  static constexpr std::size_t kVerifierSize = 2;
  static constexpr std::size_t kMacSize = 10;
  static constexpr int kIterations = 1000;

  // strength 1, 2, 3 for 128, 192, 256-bit keys; 0 for any other value.
  static std::size_t SaltSize(std::uint8_t strength);

  // Derives the cipher key, the authentication key and the password verifier. The keystream is
  // made in blocks of up to 64 KiB, no larger than the ciphertext (of size bytes) needs.
  ZipAesSource(ZipByteSource& ciphertext, std::uint64_t size, std::string_view password, crypto::ByteSpan salt);
  bool Valid() const { return aes_.Valid(); }
  bool VerifierMatches(crypto::ByteSpan stored) const;
  std::size_t Read(std::span<std::uint8_t> out) override;
  // The first 10 bytes of the HMAC over all ciphertext read; the source is spent afterwards.
  crypto::Bytes Mac();

 private:
  ZipAesSource(ZipByteSource& ciphertext, std::size_t keystreamSize, const crypto::Bytes& material, std::size_t keySize);
  void RefillKeystream();

  ZipByteSource& in_;
  crypto::Aes aes_;
  crypto::HmacSha1 hmac_;
  std::array<std::uint8_t, kVerifierSize> verifier_{};
  std::uint64_t counter_ = 0;
  std::vector<std::uint8_t> counters_;
  std::vector<std::uint8_t> keystream_;
  std::size_t keystreamPos_ = 0;
};

}  // namespace zip
