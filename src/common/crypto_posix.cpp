// Host back-end of the crypto facade: libcrypto's EVP interfaces.
#include <algorithm>

#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include "common/crypto.h"
#include "common/crypto_backend.h"

namespace crypto {
namespace {

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

const EVP_CIPHER* EcbFor(std::size_t keyLength) {
  switch (keyLength) {
    case 16: return EVP_aes_128_ecb();
    case 24: return EVP_aes_192_ecb();
    case 32: return EVP_aes_256_ecb();
    default: return nullptr;
  }
}

CipherCtx MakeCipher(const EVP_CIPHER* cipher, ByteSpan key, bool encrypt) {
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx || EVP_CipherInit_ex(ctx.get(), cipher, nullptr, key.data(), nullptr, encrypt ? 1 : 0) != 1) return nullptr;
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  return ctx;
}

bool RunBlocks(EVP_CIPHER_CTX* ctx, ByteSpan in, std::span<std::uint8_t> out) {
  if (in.size() % Aes::kBlockSize != 0 || out.size() != in.size()) return false;
  int written = 0;
  return in.empty() ||
         EVP_CipherUpdate(ctx, out.data(), &written, in.data(), static_cast<int>(in.size())) == 1;
}

}  // namespace

struct Aes::Impl {
  CipherCtx encrypt;
  CipherCtx decrypt;
};

Aes::Aes(ByteSpan key) {
  const EVP_CIPHER* cipher = EcbFor(key.size());
  if (!cipher) return;
  auto impl = std::make_unique<Impl>();
  impl->encrypt = MakeCipher(cipher, key, true);
  impl->decrypt = MakeCipher(cipher, key, false);
  if (impl->encrypt && impl->decrypt) impl_ = std::move(impl);
}
Aes::~Aes() = default;
Aes::Aes(Aes&&) noexcept = default;
Aes& Aes::operator=(Aes&&) noexcept = default;

bool Aes::Encrypt(ByteSpan in, std::span<std::uint8_t> out) const {
  return impl_ && RunBlocks(impl_->encrypt.get(), in, out);
}
bool Aes::Decrypt(ByteSpan in, std::span<std::uint8_t> out) const {
  return impl_ && RunBlocks(impl_->decrypt.get(), in, out);
}

Bytes Md5(ByteSpan data) {
  Bytes digest(16);
  unsigned int size = 0;
  EVP_Digest(data.data(), data.size(), digest.data(), &size, EVP_md5(), nullptr);
  return digest;
}

struct Sha256::Impl {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx{EVP_MD_CTX_new(), &EVP_MD_CTX_free};
};
Sha256::Sha256() : impl_(std::make_unique<Impl>()) { EVP_DigestInit_ex(impl_->ctx.get(), EVP_sha256(), nullptr); }
Sha256::~Sha256() = default;
void Sha256::Update(ByteSpan data) { EVP_DigestUpdate(impl_->ctx.get(), data.data(), data.size()); }
Bytes Sha256::Final() {
  Bytes digest(32);
  unsigned int size = 0;
  EVP_DigestFinal_ex(impl_->ctx.get(), digest.data(), &size);
  return digest;
}

struct HmacSha1::Impl {
  std::unique_ptr<EVP_MAC, decltype(&EVP_MAC_free)> mac{EVP_MAC_fetch(nullptr, "HMAC", nullptr), &EVP_MAC_free};
  std::unique_ptr<EVP_MAC_CTX, decltype(&EVP_MAC_CTX_free)> ctx{nullptr, &EVP_MAC_CTX_free};
};
HmacSha1::HmacSha1(ByteSpan key) : impl_(std::make_unique<Impl>()) {
  impl_->ctx.reset(EVP_MAC_CTX_new(impl_->mac.get()));
  char digest[] = "SHA1";
  OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0), OSSL_PARAM_construct_end()};
  EVP_MAC_init(impl_->ctx.get(), key.data(), key.size(), params);
}
HmacSha1::~HmacSha1() = default;
void HmacSha1::Update(ByteSpan data) { EVP_MAC_update(impl_->ctx.get(), data.data(), data.size()); }
Bytes HmacSha1::Final() {
  Bytes mac(20);
  std::size_t size = 0;
  EVP_MAC_final(impl_->ctx.get(), mac.data(), &size, mac.size());
  return mac;
}

Bytes Pbkdf2HmacSha1(ByteSpan password, ByteSpan salt, unsigned iterations, std::size_t length) {
  Bytes out(length);
  PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(password.data()), static_cast<int>(password.size()),
                         salt.data(), static_cast<int>(salt.size()), static_cast<int>(iterations),
                         static_cast<int>(length), out.data());
  return out;
}

namespace backend {

bool VerifyEcdsaP256Digest(ByteSpan publicKey, ByteSpan digest, ByteSpan signature) {
  unsigned char point[1 + kEcdsaP256KeySize] = {0x04};  // uncompressed: 04 X Y
  std::copy(publicKey.begin(), publicKey.end(), point + 1);
  char group[] = "prime256v1";
  OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
                         OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point),
                         OSSL_PARAM_construct_end()};
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> fromData(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr),
                                                                       &EVP_PKEY_CTX_free);
  EVP_PKEY* rawKey = nullptr;
  if (!fromData || EVP_PKEY_fromdata_init(fromData.get()) != 1 ||
      EVP_PKEY_fromdata(fromData.get(), &rawKey, EVP_PKEY_PUBLIC_KEY, params) != 1) {
    return false;
  }
  const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(rawKey, &EVP_PKEY_free);

  // libcrypto takes the signature in its DER form.
  const std::unique_ptr<ECDSA_SIG, decltype(&ECDSA_SIG_free)> sig(ECDSA_SIG_new(), &ECDSA_SIG_free);
  BIGNUM* r = BN_bin2bn(signature.data(), 32, nullptr);
  BIGNUM* s = BN_bin2bn(signature.data() + 32, 32, nullptr);
  if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return false;
  }
  unsigned char* der = nullptr;
  const int derLength = i2d_ECDSA_SIG(sig.get(), &der);
  const std::unique_ptr<unsigned char, void (*)(unsigned char*)> derOwner(
      der, [](unsigned char* p) { OPENSSL_free(p); });
  if (derLength <= 0) return false;

  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> verify(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr),
                                                                     &EVP_PKEY_CTX_free);
  return verify && EVP_PKEY_verify_init(verify.get()) == 1 &&
         EVP_PKEY_verify(verify.get(), der, static_cast<std::size_t>(derLength), digest.data(), digest.size()) == 1;
}

}  // namespace backend
Bytes RandomBytes(std::size_t count) {
  Bytes bytes(count);
  if (RAND_bytes(bytes.data(), static_cast<int>(count)) != 1) return {};
  return bytes;
}

}  // namespace crypto
