// The parts of ECDSA P-256 verification that both builds do the same way: sizes, the ranges of r
// and s, and the public key's membership of the curve. Wine's CNG imports a key that is no point of
// the curve, libcrypto refuses it; checking here gives one answer in both builds.
// The arithmetic is plain and slow (about 0.2 ms a key here): it only ever sees public values.
#include <array>
#include <cstdint>

#include "common/crypto.h"
#include "common/crypto_backend.h"

namespace crypto {
namespace {

// A 256-bit number as eight 32-bit limbs, least significant first.
using Number = std::array<std::uint32_t, 8>;

Number FromBigEndian(ByteSpan bytes) {  // bytes: exactly 32
  Number n{};
  for (std::size_t i = 0; i < 32; ++i) {
    n[(31 - i) / 4] |= static_cast<std::uint32_t>(bytes[i]) << (8 * ((31 - i) % 4));
  }
  return n;
}

// Curve P-256 (FIPS 186-4, D.1.2.3): the field prime p, the coefficient b and the group order n.
const Number kP = {0xffffffff, 0xffffffff, 0xffffffff, 0x00000000, 0x00000000, 0x00000000, 0x00000001, 0xffffffff};
const Number kB = {0x27d2604b, 0x3bce3c3e, 0xcc53b0f6, 0x651d06b0, 0x769886bc, 0xb3ebbd55, 0xaa3a93e7, 0x5ac635d8};
const Number kN = {0xfc632551, 0xf3b9cac2, 0xa7179e84, 0xbce6faad, 0xffffffff, 0xffffffff, 0x00000000, 0xffffffff};

bool IsZero(const Number& a) {
  for (const std::uint32_t limb : a) {
    if (limb != 0) return false;
  }
  return true;
}

bool Less(const Number& a, const Number& b) {
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i];
  }
  return false;
}

// a + b modulo 2^256; the carry out of the top limb.
std::uint32_t AddInPlace(Number& a, const Number& b) {
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    carry += static_cast<std::uint64_t>(a[i]) + b[i];
    a[i] = static_cast<std::uint32_t>(carry);
    carry >>= 32;
  }
  return static_cast<std::uint32_t>(carry);
}

// a - b modulo 2^256; the borrow out of the top limb.
std::uint32_t SubtractInPlace(Number& a, const Number& b) {
  std::int64_t borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const std::int64_t d = static_cast<std::int64_t>(a[i]) - b[i] - borrow;
    a[i] = static_cast<std::uint32_t>(d);
    borrow = d < 0 ? 1 : 0;
  }
  return static_cast<std::uint32_t>(borrow);
}

// Field operations on numbers below p. A sum that passes 2^256 wraps, and taking p away in the
// same wrapping arithmetic gives the right residue.
Number AddMod(Number a, const Number& b) {
  const std::uint32_t carry = AddInPlace(a, b);
  if (carry != 0 || !Less(a, kP)) SubtractInPlace(a, kP);
  return a;
}

Number SubtractMod(Number a, const Number& b) {
  if (SubtractInPlace(a, b) != 0) AddInPlace(a, kP);
  return a;
}

// Double and add, from the top bit of a down.
Number MultiplyMod(const Number& a, const Number& b) {
  Number r{};
  for (std::size_t bit = 256; bit-- > 0;) {
    r = AddMod(r, r);
    if ((a[bit / 32] >> (bit % 32)) & 1) r = AddMod(r, b);
  }
  return r;
}

// r and s in [1, n - 1].
bool IsScalarInRange(ByteSpan bytes) {
  const Number v = FromBigEndian(bytes);
  return !IsZero(v) && Less(v, kN);
}

}  // namespace

bool IsEcdsaP256PublicKey(ByteSpan publicKey) {
  if (publicKey.size() != kEcdsaP256KeySize) return false;
  const Number x = FromBigEndian(publicKey.first(32));
  const Number y = FromBigEndian(publicKey.last(32));
  if (!Less(x, kP) || !Less(y, kP)) return false;
  // The point at infinity has no affine coordinates, so every pair that satisfies the equation
  // is a point of the group (P-256 has cofactor 1).
  const Number lhs = MultiplyMod(y, y);
  const Number threeX = AddMod(AddMod(x, x), x);
  const Number rhs = AddMod(SubtractMod(MultiplyMod(MultiplyMod(x, x), x), threeX), kB);
  return lhs == rhs;
}

bool VerifyEcdsaP256Sha256(ByteSpan publicKey, ByteSpan sha256Digest, ByteSpan signature) {
  if (sha256Digest.size() != kSha256Size || signature.size() != kEcdsaP256SignatureSize) return false;
  if (!IsScalarInRange(signature.first(32)) || !IsScalarInRange(signature.last(32))) return false;
  if (!IsEcdsaP256PublicKey(publicKey)) return false;
  return backend::VerifyEcdsaP256Digest(publicKey, sha256Digest, signature);
}

}  // namespace crypto
