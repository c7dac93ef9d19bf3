// Published test vectors: the same binary runs on the host (libcrypto) and under Wine (CNG), so
// both back-ends are proven to give the same bytes.
#include "common/crypto.h"

#include <gtest/gtest.h>

#include "support/hex.h"

using testing_support::Bytes;
using testing_support::FromHex;
using testing_support::ToHex;

struct AesCase {
  const char* key;
  const char* plain;
  const char* cipher;
};

class AesVectors : public ::testing::TestWithParam<AesCase> {};

// FIPS-197 appendix C.1, C.2 and C.3.
INSTANTIATE_TEST_SUITE_P(Fips197, AesVectors,
                         ::testing::Values(AesCase{"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
                                                   "69c4e0d86a7b0430d8cdb78070b4c55a"},
                                           AesCase{"000102030405060708090a0b0c0d0e0f1011121314151617",
                                                   "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"},
                                           AesCase{"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
                                                   "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"}));

TEST_P(AesVectors, EncryptsAndDecryptsEveryBlockOnItsOwn) {
  const auto& c = GetParam();
  const crypto::Aes aes(FromHex(c.key));
  ASSERT_TRUE(aes.Valid());
  // Two identical blocks: ECB gives two identical cipher blocks.
  auto plain = FromHex(c.plain);
  plain.insert(plain.end(), plain.begin(), plain.end());
  std::vector<std::uint8_t> cipher(plain.size());
  ASSERT_TRUE(aes.Encrypt(plain, cipher));
  EXPECT_EQ(ToHex(cipher), std::string(c.cipher) + c.cipher);
  std::vector<std::uint8_t> back(cipher.size());
  ASSERT_TRUE(aes.Decrypt(cipher, back));
  EXPECT_EQ(back, plain);
}

TEST(Aes, RefusesBadKeysAndPartialBlocks) {
  EXPECT_FALSE(crypto::Aes(std::vector<std::uint8_t>(15)).Valid());
  const crypto::Aes aes(std::vector<std::uint8_t>(16));
  std::vector<std::uint8_t> odd(20), out(20);
  EXPECT_FALSE(aes.Encrypt(odd, out));
  std::vector<std::uint8_t> inPlace(32, 7);
  EXPECT_TRUE(aes.Encrypt(inPlace, inPlace));
  EXPECT_TRUE(aes.Decrypt(inPlace, inPlace));
  EXPECT_EQ(inPlace, std::vector<std::uint8_t>(32, 7));
}

TEST(Md5, Rfc1321) {
  EXPECT_EQ(ToHex(crypto::Md5(Bytes(""))), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(ToHex(crypto::Md5(Bytes("abc"))), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(ToHex(crypto::Md5(Bytes("message digest"))), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(Sha256, StreamsInPieces) {
  crypto::Sha256 sha;
  sha.Update(Bytes("a"));
  sha.Update(Bytes("bc"));
  EXPECT_EQ(ToHex(sha.Final()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(RandomBytes, FreshBytesEveryCall) {
  const crypto::Bytes first = crypto::RandomBytes(32);
  const crypto::Bytes second = crypto::RandomBytes(32);
  ASSERT_EQ(first.size(), 32u);
  ASSERT_EQ(second.size(), 32u);
  // Two equal 256-bit draws, or an all-zero one, mean no random source at all.
  EXPECT_NE(first, second);
  EXPECT_NE(first, crypto::Bytes(32, 0));
  EXPECT_EQ(crypto::RandomBytes(0).size(), 0u);
}

TEST(HmacSha1, Rfc2202) {
  struct Case {
    std::vector<std::uint8_t> key;
    std::string data;
    const char* mac;
  };
  const Case cases[] = {
      {std::vector<std::uint8_t>(20, 0x0b), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {Bytes("Jefe"), "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {std::vector<std::uint8_t>(80, 0xaa), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
  };
  for (const auto& c : cases) {
    crypto::HmacSha1 hmac(c.key);
    hmac.Update(Bytes(std::string_view(c.data).substr(0, 3)));
    hmac.Update(Bytes(std::string_view(c.data).substr(3)));
    EXPECT_EQ(ToHex(hmac.Final()), c.mac) << c.data;
  }
}

TEST(Pbkdf2HmacSha1, Rfc6070) {
  struct Case {
    std::string password;
    std::string salt;
    unsigned iterations;
    std::size_t length;
    const char* key;
  };
  const Case cases[] = {
      {"password", "salt", 1, 20, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
      {"password", "salt", 2, 20, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
      {"password", "salt", 4096, 20, "4b007901b765489abead49d926f721d065a429c1"},
      {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25,
       "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
      {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16, "56fa6aa75548099dcc37d7f03425e0c3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToHex(crypto::Pbkdf2HmacSha1(Bytes(c.password), Bytes(c.salt), c.iterations, c.length)), c.key)
        << c.password << " " << c.iterations;
  }
}
