#include "zip/zip_crc.h"

#include <zlib.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define ZIP_CRC_FOLDING 1
#endif

namespace zip {
namespace {

#ifdef ZIP_CRC_FOLDING

// Folding with carry-less multiplication ("Fast CRC Computation for Generic Polynomials Using
// PCLMULQDQ", Intel, 2009), in the bit-reflected form of the CRC-32 polynomial 0x04C11DB7.
// Each constant is x^n mod P for the distance n that it folds across, reflected.
constexpr std::uint64_t kFold512[2] = {0x0154442bd4, 0x01c6e41596};  // four lanes: x^(4*128±32) mod P
constexpr std::uint64_t kFold128[2] = {0x01751997d0, 0x00ccaa009e};  // one lane: x^(128±32) mod P
constexpr std::uint64_t kFold64 = 0x0163cd6124;                      // x^64 mod P
constexpr std::uint64_t kBarrett[2] = {0x01db710641, 0x01f7011641};  // P and floor(x^64 / P)

// x * k, each half with its own constant: (low * k[0]) ^ (high * k[1]).
__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

__attribute__((target("pclmul,sse4.1"))) __m128i Load(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The CRC register (not inverted) after n bytes at p; n is a multiple of 16 and at least 64.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t FoldBlocks(std::uint32_t crc, const std::uint8_t* p,
                                                                   std::size_t n) {
  __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = Load(p + 16);
  __m128i x3 = Load(p + 32);
  __m128i x4 = Load(p + 48);
  p += 64;
  n -= 64;
  const __m128i k512 = _mm_set_epi64x(static_cast<long long>(kFold512[1]), static_cast<long long>(kFold512[0]));
  for (; n >= 64; p += 64, n -= 64) {
    x1 = _mm_xor_si128(Fold(x1, k512), Load(p));
    x2 = _mm_xor_si128(Fold(x2, k512), Load(p + 16));
    x3 = _mm_xor_si128(Fold(x3, k512), Load(p + 32));
    x4 = _mm_xor_si128(Fold(x4, k512), Load(p + 48));
  }
  const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128[1]), static_cast<long long>(kFold128[0]));
  x1 = _mm_xor_si128(Fold(x1, k128), x2);
  x1 = _mm_xor_si128(Fold(x1, k128), x3);
  x1 = _mm_xor_si128(Fold(x1, k128), x4);
  for (; n >= 16; p += 16, n -= 16) x1 = _mm_xor_si128(Fold(x1, k128), Load(p));

  // 128 bits to 64, then Barrett reduction to 32.
  const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k128, 0x10));
  const __m128i k64 = _mm_set_epi64x(0, static_cast<long long>(kFold64));
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k64, 0x00), _mm_srli_si128(x1, 4));
  const __m128i barrett = _mm_set_epi64x(static_cast<long long>(kBarrett[1]), static_cast<long long>(kBarrett[0]));
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
  return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, t), 1));
}

// Asked of the processor itself: the compiler's own feature test links its whole processor
// model table into the installer.
bool CanFold() {
  static const bool can = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_PCLMUL) && (ecx & bit_SSE4_1);
  }();
  return can;
}

#endif

constexpr std::size_t kFoldAtLeast = 64;

}  // namespace

std::uint32_t ZipCrc32(std::uint32_t crc, std::span<const std::uint8_t> data) {
#ifdef ZIP_CRC_FOLDING
  if (data.size() >= kFoldAtLeast && CanFold()) {
    const std::size_t folded = data.size() & ~std::size_t{15};
    crc = ~FoldBlocks(~crc, data.data(), folded);
    data = data.subspan(folded);
  }
#endif
  return static_cast<std::uint32_t>(crc32_z(crc, data.data(), data.size()));
}

bool ZipCrc32Folds() {
#ifdef ZIP_CRC_FOLDING
  return CanFold();
#else
  return false;
#endif
}

}  // namespace zip
