// Windows back-end of the crypto facade: CNG (bcrypt.dll). Algorithm providers are opened once per
// process and kept; keys and hash objects belong to the facade's objects.
#include <windows.h>
#include <bcrypt.h>

#include <cstring>

#include "common/crypto.h"
#include "common/crypto_backend.h"

namespace crypto {
namespace {

bool Ok(NTSTATUS status) { return status >= 0; }

// A provider opened on first use and closed when the program ends.
class Provider {
 public:
  Provider(const wchar_t* algorithm, ULONG flags, const wchar_t* chainingMode = nullptr) {
    if (!Ok(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, flags))) {
      handle_ = nullptr;
      return;
    }
    if (chainingMode &&
        !Ok(BCryptSetProperty(handle_, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(chainingMode)),
                              static_cast<ULONG>((wcslen(chainingMode) + 1) * sizeof(wchar_t)), 0))) {
      BCryptCloseAlgorithmProvider(handle_, 0);
      handle_ = nullptr;
    }
  }
  ~Provider() {
    if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

BCRYPT_ALG_HANDLE AesEcbProvider() {
  static Provider p(BCRYPT_AES_ALGORITHM, 0, BCRYPT_CHAIN_MODE_ECB);
  return p.get();
}
BCRYPT_ALG_HANDLE Md5Provider() {
  static Provider p(BCRYPT_MD5_ALGORITHM, 0);
  return p.get();
}
BCRYPT_ALG_HANDLE Sha256Provider() {
  static Provider p(BCRYPT_SHA256_ALGORITHM, 0);
  return p.get();
}
BCRYPT_ALG_HANDLE HmacSha1Provider() {
  static Provider p(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  return p.get();
}
BCRYPT_ALG_HANDLE EcdsaP256Provider() {
  static Provider p(BCRYPT_ECDSA_P256_ALGORITHM, 0);
  return p.get();
}

struct KeyDeleter {
  void operator()(void* key) const { BCryptDestroyKey(static_cast<BCRYPT_KEY_HANDLE>(key)); }
};
struct HashDeleter {
  void operator()(void* hash) const { BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(hash)); }
};
using KeyHandle = std::unique_ptr<void, KeyDeleter>;
using HashHandle = std::unique_ptr<void, HashDeleter>;

// A hash object (with an HMAC key when one is given) on the provider.
HashHandle MakeHash(BCRYPT_ALG_HANDLE provider, ByteSpan secret) {
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!provider || !Ok(BCryptCreateHash(provider, &hash, nullptr, 0, const_cast<PUCHAR>(secret.data()),
                                        static_cast<ULONG>(secret.size()), 0))) {
    return nullptr;
  }
  return HashHandle(hash);
}

void HashData(const HashHandle& hash, ByteSpan data) {
  if (hash && !data.empty()) BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(hash.get()), const_cast<PUCHAR>(data.data()), static_cast<ULONG>(data.size()), 0);
}

Bytes FinishHash(const HashHandle& hash, std::size_t size) {
  Bytes digest(size);
  if (!hash || !Ok(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(hash.get()), digest.data(), static_cast<ULONG>(size), 0))) return {};
  return digest;
}

}  // namespace

struct Aes::Impl {
  KeyHandle key;
};

Aes::Aes(ByteSpan key) {
  if (key.size() != 16 && key.size() != 24 && key.size() != 32) return;
  BCRYPT_ALG_HANDLE provider = AesEcbProvider();
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!provider || !Ok(BCryptGenerateSymmetricKey(provider, &handle, nullptr, 0, const_cast<PUCHAR>(key.data()),
                                                  static_cast<ULONG>(key.size()), 0))) {
    return;
  }
  impl_ = std::make_unique<Impl>();
  impl_->key.reset(handle);
}
Aes::~Aes() = default;
Aes::Aes(Aes&&) noexcept = default;
Aes& Aes::operator=(Aes&&) noexcept = default;

bool Aes::Encrypt(ByteSpan in, std::span<std::uint8_t> out) const {
  if (!impl_ || in.size() % kBlockSize != 0 || out.size() != in.size()) return false;
  if (in.empty()) return true;
  ULONG written = 0;
  return Ok(BCryptEncrypt(static_cast<BCRYPT_KEY_HANDLE>(impl_->key.get()), const_cast<PUCHAR>(in.data()),
                          static_cast<ULONG>(in.size()), nullptr, nullptr, 0, out.data(),
                          static_cast<ULONG>(out.size()), &written, 0));
}

bool Aes::Decrypt(ByteSpan in, std::span<std::uint8_t> out) const {
  if (!impl_ || in.size() % kBlockSize != 0 || out.size() != in.size()) return false;
  if (in.empty()) return true;
  ULONG written = 0;
  return Ok(BCryptDecrypt(static_cast<BCRYPT_KEY_HANDLE>(impl_->key.get()), const_cast<PUCHAR>(in.data()),
                          static_cast<ULONG>(in.size()), nullptr, nullptr, 0, out.data(),
                          static_cast<ULONG>(out.size()), &written, 0));
}

Bytes Md5(ByteSpan data) {
  HashHandle hash = MakeHash(Md5Provider(), {});
  HashData(hash, data);
  return FinishHash(hash, 16);
}

struct Sha256::Impl {
  HashHandle hash;
};
Sha256::Sha256() : impl_(std::make_unique<Impl>()) { impl_->hash = MakeHash(Sha256Provider(), {}); }
Sha256::~Sha256() = default;
void Sha256::Update(ByteSpan data) { HashData(impl_->hash, data); }
Bytes Sha256::Final() { return FinishHash(impl_->hash, 32); }

struct HmacSha1::Impl {
  HashHandle hash;
};
HmacSha1::HmacSha1(ByteSpan key) : impl_(std::make_unique<Impl>()) { impl_->hash = MakeHash(HmacSha1Provider(), key); }
HmacSha1::~HmacSha1() = default;
void HmacSha1::Update(ByteSpan data) { HashData(impl_->hash, data); }
Bytes HmacSha1::Final() { return FinishHash(impl_->hash, 20); }

Bytes Pbkdf2HmacSha1(ByteSpan password, ByteSpan salt, unsigned iterations, std::size_t length) {
  Bytes out(length);
  BCRYPT_ALG_HANDLE provider = HmacSha1Provider();
  if (!provider || !Ok(BCryptDeriveKeyPBKDF2(provider, const_cast<PUCHAR>(password.data()), static_cast<ULONG>(password.size()),
                                             const_cast<PUCHAR>(salt.data()), static_cast<ULONG>(salt.size()), iterations,
                                             out.data(), static_cast<ULONG>(length), 0))) {
    return {};
  }
  return out;
}

namespace backend {

bool VerifyEcdsaP256Digest(ByteSpan publicKey, ByteSpan digest, ByteSpan signature) {
  // A BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
  unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + kEcdsaP256KeySize];
  const BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob, &header, sizeof header);
  std::memcpy(blob + sizeof header, publicKey.data(), kEcdsaP256KeySize);
  BCRYPT_ALG_HANDLE provider = EcdsaP256Provider();
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!provider || !Ok(BCryptImportKeyPair(provider, nullptr, BCRYPT_ECCPUBLIC_BLOB, &handle, blob, sizeof blob, 0))) {
    return false;
  }
  const KeyHandle key(handle);
  return Ok(BCryptVerifySignature(handle, nullptr, const_cast<PUCHAR>(digest.data()), static_cast<ULONG>(digest.size()),
                                  const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), 0));
}

}  // namespace backend
Bytes RandomBytes(std::size_t count) {
  Bytes bytes(count);
  if (!Ok(BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return {};
  return bytes;
}

}  // namespace crypto
