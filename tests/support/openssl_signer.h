// A maker's key made by libcrypto itself, for host tests that check our verification against
// signatures we did not make. Host build only.
#pragma once

#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

class OpensslSigner {
 public:
  OpensslSigner() : key_(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"), &EVP_PKEY_free) {
    if (!key_) throw std::runtime_error("EC key generation failed");
  }

  // X then Y, 32 bytes each.
  std::vector<std::uint8_t> PublicKey() const {
    std::vector<std::uint8_t> out;
    for (const char* name : {OSSL_PKEY_PARAM_EC_PUB_X, OSSL_PKEY_PARAM_EC_PUB_Y}) {
      BIGNUM* n = nullptr;
      EVP_PKEY_get_bn_param(key_.get(), name, &n);
      std::vector<std::uint8_t> part(32);
      BN_bn2binpad(n, part.data(), 32);
      BN_free(n);
      out.insert(out.end(), part.begin(), part.end());
    }
    return out;
  }

  // r then s of libcrypto's signature of the SHA-256 digest of data.
  std::vector<std::uint8_t> Sign(std::string_view data) const {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    std::size_t length = 0;
    if (EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key_.get()) != 1 ||
        EVP_DigestSign(ctx.get(), nullptr, &length, reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
      throw std::runtime_error("signing failed");
    }
    std::vector<unsigned char> der(length);
    EVP_DigestSign(ctx.get(), der.data(), &length, reinterpret_cast<const unsigned char*>(data.data()), data.size());
    const unsigned char* p = der.data();
    std::unique_ptr<ECDSA_SIG, decltype(&ECDSA_SIG_free)> sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(length)),
                                                              &ECDSA_SIG_free);
    std::vector<std::uint8_t> out(64);
    BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), out.data(), 32);
    BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), out.data() + 32, 32);
    return out;
  }

 private:
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_;
};

}  // namespace testing_support
