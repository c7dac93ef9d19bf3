// What each back-end of the crypto facade adds to the checks that common/ecdsa_p256.cpp makes the
// same way in both builds. Private to src/common.
#pragma once

#include "common/crypto.h"

namespace crypto::backend {

// The back-end's own ECDSA verification; called only with a checked key (64 bytes, on the curve),
// a 32-byte digest and a 64-byte signature whose r and s lie in [1, n - 1].
bool VerifyEcdsaP256Digest(ByteSpan publicKey, ByteSpan digest, ByteSpan signature);

}  // namespace crypto::backend
