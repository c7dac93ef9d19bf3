#include "net/zip_crypt.h"

#include <algorithm>
#include <zlib.h>

namespace net {
namespace {

constexpr std::size_t kTraditionalHeaderSize = 12;
// Keystream made per call of the block cipher: 4096 counter blocks.
constexpr std::size_t kKeystreamSize = 64 * 1024;

crypto::ByteSpan AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
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

void ZipTraditionalSource::Update(std::uint8_t plain) {
  static const z_crc_t* table = get_crc_table();
  keys_[0] = table[(keys_[0] ^ plain) & 0xFF] ^ (keys_[0] >> 8);
  keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
  keys_[2] = table[(keys_[2] ^ (keys_[1] >> 24)) & 0xFF] ^ (keys_[2] >> 8);
}

std::uint8_t ZipTraditionalSource::NextKeyByte() const {
  const std::uint32_t t = (keys_[2] | 2) & 0xFFFF;
  return static_cast<std::uint8_t>((t * (t ^ 1)) >> 8);
}

bool ZipTraditionalSource::CheckHeader(std::uint8_t check) {
  std::array<std::uint8_t, kTraditionalHeaderSize> header{};
  std::size_t got = 0;
  while (got < header.size()) {
    const std::size_t n = Read(std::span(header).subspan(got));
    if (n == 0) return false;
    got += n;
  }
  return header.back() == check;
}

std::size_t ZipTraditionalSource::Read(std::span<std::uint8_t> out) {
  const std::size_t n = in_.Read(out);
  for (std::size_t i = 0; i < n; ++i) {
    const auto plain = static_cast<std::uint8_t>(out[i] ^ NextKeyByte());
    Update(plain);
    out[i] = plain;
  }
  return n;
}

std::size_t ZipAesSource::SaltSize(std::uint8_t strength) {
  return strength >= 1 && strength <= 3 ? 4 + 4 * static_cast<std::size_t>(strength) : 0;
}

ZipAesSource::ZipAesSource(ZipByteSource& ciphertext, std::string_view password, crypto::ByteSpan salt)
    : ZipAesSource(ciphertext, DeriveAesMaterial(password, salt), salt.size() * 2) {}

ZipAesSource::ZipAesSource(ZipByteSource& ciphertext, const crypto::Bytes& material, std::size_t keySize)
    : in_(ciphertext),
      aes_(crypto::ByteSpan(material).first(keySize)),
      hmac_(crypto::ByteSpan(material).subspan(keySize, keySize)),
      keystream_(kKeystreamSize),
      keystreamPos_(kKeystreamSize) {
  std::copy_n(material.begin() + static_cast<std::ptrdiff_t>(2 * keySize), kVerifierSize, verifier_.begin());
}

bool ZipAesSource::VerifierMatches(crypto::ByteSpan stored) const {
  return stored.size() == kVerifierSize && std::equal(stored.begin(), stored.end(), verifier_.begin());
}

void ZipAesSource::RefillKeystream() {
  // Counter blocks hold a little-endian block number starting at 1; AES of them is the keystream.
  std::fill(keystream_.begin(), keystream_.end(), 0);
  for (std::size_t at = 0; at < keystream_.size(); at += crypto::Aes::kBlockSize) {
    std::uint64_t c = ++counter_;
    for (int i = 0; i < 8; ++i, c >>= 8) keystream_[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(c);
  }
  aes_.Encrypt(keystream_, keystream_);
  keystreamPos_ = 0;
}

std::size_t ZipAesSource::Read(std::span<std::uint8_t> out) {
  const std::size_t n = in_.Read(out);
  hmac_.Update(out.first(n));
  for (std::size_t i = 0; i < n;) {
    if (keystreamPos_ == keystream_.size()) RefillKeystream();
    const std::size_t k = std::min(n - i, keystream_.size() - keystreamPos_);
    const std::uint8_t* ks = keystream_.data() + keystreamPos_;
    std::uint8_t* p = out.data() + i;
    for (std::size_t j = 0; j < k; ++j) p[j] ^= ks[j];
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

}  // namespace net
