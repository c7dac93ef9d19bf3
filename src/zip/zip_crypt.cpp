#include "zip/zip_crypt.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <zlib.h>

namespace zip {
namespace {

constexpr std::size_t kTraditionalHeaderSize = 12;
// Keystream made per call of the block cipher: 4096 counter blocks.
constexpr std::size_t kKeystreamSize = 64 * 1024;

crypto::ByteSpan AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// dst ^= src, eight bytes at a time (the buffers never overlap).
void XorInto(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t a;
    std::uint64_t b;
    std::memcpy(&a, dst + i, 8);
    std::memcpy(&b, src + i, 8);
    a ^= b;
    std::memcpy(dst + i, &a, 8);
  }
  for (; i < n; ++i) dst[i] ^= src[i];
}

// The key derivation gives the two keys and the verifier in one run.
crypto::Bytes DeriveAesMaterial(std::string_view password, crypto::ByteSpan salt) {
  const std::size_t keySize = salt.size() * 2;
  return crypto::Pbkdf2HmacSha1(AsBytes(password), salt, ZipAesSource::kIterations,
                                2 * keySize + ZipAesSource::kVerifierSize);
}

}  // namespace

ZipTraditionalSource::ZipTraditionalSource(ZipByteSource& in, std::string_view password) : in_(in) {
  for (char c : password) Update(static_cast<std::uint8_t>(c));
}

namespace {

// The cipher's state; kept in locals while a block is deciphered, so that the compiler need not
// assume that the bytes written change it.
struct TraditionalKeys {
  std::uint32_t k0, k1, k2;

  void Update(const z_crc_t* table, std::uint8_t plain) {
    k0 = table[(k0 ^ plain) & 0xFF] ^ (k0 >> 8);
    k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
    k2 = table[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
  }
  std::uint8_t KeyByte() const {
    const std::uint32_t t = (k2 | 2) & 0xFFFF;
    return static_cast<std::uint8_t>((t * (t ^ 1)) >> 8);
  }
};

}  // namespace

void ZipTraditionalSource::Update(std::uint8_t plain) {
  TraditionalKeys keys{keys_[0], keys_[1], keys_[2]};
  keys.Update(get_crc_table(), plain);
  keys_[0] = keys.k0, keys_[1] = keys.k1, keys_[2] = keys.k2;
}

ZipTraditionalSource::HeaderCheck ZipTraditionalSource::CheckHeader(std::uint8_t check) {
  std::array<std::uint8_t, kTraditionalHeaderSize> header{};
  std::size_t got = 0;
  while (got < header.size()) {
    const std::size_t n = Read(std::span(header).subspan(got));
    if (n == 0) return HeaderCheck::Truncated;
    got += n;
  }
  return header.back() == check ? HeaderCheck::Passed : HeaderCheck::WrongPassword;
}

std::size_t ZipTraditionalSource::Read(std::span<std::uint8_t> out) {
  const std::size_t n = in_.Read(out);
  const z_crc_t* table = get_crc_table();
  TraditionalKeys keys{keys_[0], keys_[1], keys_[2]};
  std::uint8_t* p = out.data();
  for (std::size_t i = 0; i < n; ++i) {
    const auto plain = static_cast<std::uint8_t>(p[i] ^ keys.KeyByte());
    keys.Update(table, plain);
    p[i] = plain;
  }
  keys_[0] = keys.k0, keys_[1] = keys.k1, keys_[2] = keys.k2;
  return n;
}

std::size_t ZipAesSource::SaltSize(std::uint8_t strength) {
  return strength >= 1 && strength <= 3 ? 4 + 4 * static_cast<std::size_t>(strength) : 0;
}

ZipAesSource::ZipAesSource(ZipByteSource& ciphertext, std::uint64_t size, std::string_view password,
                           crypto::ByteSpan salt)
    : ZipAesSource(ciphertext,
                   static_cast<std::size_t>(std::min<std::uint64_t>(kKeystreamSize, (size + 15) / 16 * 16)),
                   DeriveAesMaterial(password, salt), salt.size() * 2) {}

ZipAesSource::ZipAesSource(ZipByteSource& ciphertext, std::size_t keystreamSize, const crypto::Bytes& material,
                           std::size_t keySize)
    : in_(ciphertext),
      aes_(crypto::ByteSpan(material).first(keySize)),
      hmac_(crypto::ByteSpan(material).subspan(keySize, keySize)),
      counters_(keystreamSize),
      keystream_(keystreamSize),
      keystreamPos_(keystreamSize) {
  std::copy_n(material.begin() + static_cast<std::ptrdiff_t>(2 * keySize), kVerifierSize, verifier_.begin());
}

bool ZipAesSource::VerifierMatches(crypto::ByteSpan stored) const {
  return stored.size() == kVerifierSize && std::equal(stored.begin(), stored.end(), verifier_.begin());
}

void ZipAesSource::RefillKeystream() {
  // Counter blocks hold a little-endian block number starting at 1 (the upper half stays zero);
  // AES of them is the keystream.
  std::uint64_t counter = counter_;
  std::uint8_t* block = counters_.data();
  for (std::size_t at = 0; at < counters_.size(); at += crypto::Aes::kBlockSize) {
    std::uint64_t c = ++counter;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(block + at, &c, sizeof c);
    } else {
      for (std::size_t i = 0; i < 8; ++i, c >>= 8) block[at + i] = static_cast<std::uint8_t>(c);
    }
  }
  counter_ = counter;
  aes_.Encrypt(counters_, keystream_);
  keystreamPos_ = 0;
}

std::size_t ZipAesSource::Read(std::span<std::uint8_t> out) {
  const std::size_t n = in_.Read(out);
  hmac_.Update(out.first(n));
  for (std::size_t i = 0; i < n;) {
    if (keystreamPos_ == keystream_.size()) RefillKeystream();
    if (keystream_.empty()) break;
    const std::size_t k = std::min(n - i, keystream_.size() - keystreamPos_);
    XorInto(out.data() + i, keystream_.data() + keystreamPos_, k);
    keystreamPos_ += k;
    i += k;
  }
  return n;
}

crypto::Bytes ZipAesSource::Mac() {
  crypto::Bytes mac = hmac_.Final();
  mac.resize(kMacSize);
  return mac;
}

}  // namespace zip
