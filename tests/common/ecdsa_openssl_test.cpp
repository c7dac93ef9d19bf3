// Differential checks of the facade's ECDSA P-256 against libcrypto itself, on keys and signatures
// that libcrypto makes: the facade must accept exactly what libcrypto accepts. Host build only; the
// Wine run proves CNG against the fixed vectors of ecdsa_test.cpp.
#include <gtest/gtest.h>

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/obj_mac.h>

#include <random>

#include "common/crypto.h"
#include "support/openssl_signer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Sha256Of(std::string_view data) {
  crypto::Sha256 sha;
  sha.Update(crypto::ByteSpan(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
  return sha.Final();
}

struct GroupFree {
  void operator()(EC_GROUP* g) const { EC_GROUP_free(g); }
};
struct PointFree {
  void operator()(EC_POINT* p) const { EC_POINT_free(p); }
};
struct BnFree {
  void operator()(BIGNUM* n) const { BN_free(n); }
};
using Group = std::unique_ptr<EC_GROUP, GroupFree>;
using Point = std::unique_ptr<EC_POINT, PointFree>;
using Bn = std::unique_ptr<BIGNUM, BnFree>;

Group P256() { return Group(EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1)); }

// libcrypto's judgement of X then Y as a point of P-256.
bool LibcryptoTakesPoint(const EC_GROUP* group, const Bytes& key) {
  Bn x(BN_bin2bn(key.data(), 32, nullptr));
  Bn y(BN_bin2bn(key.data() + 32, 32, nullptr));
  Point point(EC_POINT_new(group));
  return EC_POINT_set_affine_coordinates(group, point.get(), x.get(), y.get(), nullptr) == 1;
}

TEST(EcdsaP256Differential, AcceptsLibcryptoSignaturesAndNothingNear) {
  std::mt19937 random(20261210);
  const Group group = P256();
  const BIGNUM* order = EC_GROUP_get0_order(group.get());
  for (int k = 0; k < 40; ++k) {
    const testing_support::OpensslSigner signer;
    const Bytes key = signer.PublicKey();
    ASSERT_TRUE(crypto::IsEcdsaP256PublicKey(key));
    for (int m = 0; m < 5; ++m) {
      std::string message(random() % 300, '\0');
      for (char& c : message) c = static_cast<char>(random());
      const Bytes digest = Sha256Of(message);
      const Bytes signature = signer.Sign(message);
      SCOPED_TRACE("key " + std::to_string(k) + " message " + std::to_string(m));
      EXPECT_TRUE(crypto::VerifyEcdsaP256Sha256(key, digest, signature));

      // The other s of the pair, n - s, which libcrypto accepts as well.
      Bn s(BN_bin2bn(signature.data() + 32, 32, nullptr));
      Bn other(BN_new());
      BN_sub(other.get(), order, s.get());
      Bytes flipped = signature;
      BN_bn2binpad(other.get(), flipped.data() + 32, 32);
      EXPECT_TRUE(crypto::VerifyEcdsaP256Sha256(key, digest, flipped));

      Bytes badSignature = signature;
      badSignature[random() % 64] ^= static_cast<std::uint8_t>(1u << (random() % 8));
      EXPECT_FALSE(crypto::VerifyEcdsaP256Sha256(key, digest, badSignature));
      Bytes badDigest = digest;
      badDigest[random() % 32] ^= static_cast<std::uint8_t>(1u << (random() % 8));
      EXPECT_FALSE(crypto::VerifyEcdsaP256Sha256(key, badDigest, signature));
    }
  }
}

// Points that libcrypto computes (a random x and the y that belongs to it), then the same with one
// bit changed, and random pairs: the facade's curve check agrees with libcrypto on every one.
TEST(EcdsaP256Differential, CurveCheckAgreesWithLibcrypto) {
  std::mt19937 random(7);
  const Group group = P256();
  int onCurve = 0;
  for (int i = 0; i < 600; ++i) {
    Bytes key(64);
    for (auto& b : key) b = static_cast<std::uint8_t>(random());
    if (i % 3 != 2) {
      Bn x(BN_bin2bn(key.data(), 32, nullptr));
      Point point(EC_POINT_new(group.get()));
      if (EC_POINT_set_compressed_coordinates(group.get(), point.get(), x.get(), static_cast<int>(random() & 1), nullptr) != 1) {
        continue;  // no point has this x
      }
      Bn y(BN_new());
      EC_POINT_get_affine_coordinates(group.get(), point.get(), x.get(), y.get(), nullptr);
      BN_bn2binpad(y.get(), key.data() + 32, 32);
      if (i % 3 == 1) key[random() % 64] ^= static_cast<std::uint8_t>(1u << (random() % 8));
    }
    const bool expected = LibcryptoTakesPoint(group.get(), key);
    onCurve += expected ? 1 : 0;
    EXPECT_EQ(crypto::IsEcdsaP256PublicKey(key), expected) << i;
  }
  EXPECT_GT(onCurve, 100);  // the table holds points of the curve as well as others
}

}  // namespace
