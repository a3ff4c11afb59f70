#include "image/Sha256.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace pelkaforge {

namespace {

constexpr std::array<std::uint32_t, 64> RoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1,
    0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3,
    0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786,
    0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147,
    0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13,
    0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a,
    0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
    0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t LoadBigEndian(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) << 24 |
         static_cast<std::uint32_t>(bytes[1]) << 16 |
         static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

// One round. The callers rotate the working variables by name rather than
// by moving them, so that the compiler keeps all eight in registers.
inline void Round(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                  std::uint32_t& d, std::uint32_t e, std::uint32_t f,
                  std::uint32_t g, std::uint32_t& h, std::uint32_t k,
                  std::uint32_t w) {
  const std::uint32_t t1 =
      h + (std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25)) +
      ((e & f) ^ (~e & g)) + k + w;
  const std::uint32_t t2 =
      (std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22)) +
      ((a & b) ^ (a & c) ^ (b & c));
  d += t1;
  h = t1 + t2;
}

void CompressInC(std::array<std::uint32_t, 8>& hash,
                 const std::uint8_t* block) {
  std::uint32_t w[64];
  for (std::size_t t = 0; t < 16; ++t) w[t] = LoadBigEndian(block + 4 * t);
  for (std::size_t t = 16; t < 64; ++t) {
    const std::uint32_t s0 =
        std::rotr(w[t - 15], 7) ^ std::rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
    const std::uint32_t s1 =
        std::rotr(w[t - 2], 17) ^ std::rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
    w[t] = w[t - 16] + s0 + w[t - 7] + s1;
  }
  std::uint32_t a = hash[0];
  std::uint32_t b = hash[1];
  std::uint32_t c = hash[2];
  std::uint32_t d = hash[3];
  std::uint32_t e = hash[4];
  std::uint32_t f = hash[5];
  std::uint32_t g = hash[6];
  std::uint32_t h = hash[7];
  for (std::size_t t = 0; t < 64; t += 8) {
    Round(a, b, c, d, e, f, g, h, RoundConstants[t], w[t]);
    Round(h, a, b, c, d, e, f, g, RoundConstants[t + 1], w[t + 1]);
    Round(g, h, a, b, c, d, e, f, RoundConstants[t + 2], w[t + 2]);
    Round(f, g, h, a, b, c, d, e, RoundConstants[t + 3], w[t + 3]);
    Round(e, f, g, h, a, b, c, d, RoundConstants[t + 4], w[t + 4]);
    Round(d, e, f, g, h, a, b, c, RoundConstants[t + 5], w[t + 5]);
    Round(c, d, e, f, g, h, a, b, RoundConstants[t + 6], w[t + 6]);
    Round(b, c, d, e, f, g, h, a, RoundConstants[t + 7], w[t + 7]);
  }
  hash[0] += a;
  hash[1] += b;
  hash[2] += c;
  hash[3] += d;
  hash[4] += e;
  hash[5] += f;
  hash[6] += g;
  hash[7] += h;
}

#if defined(__x86_64__) && defined(__GNUC__)

// x86-64 processors with the SHA extensions compute a block in a fraction
// of the time: four rounds an instruction pair, the message schedule in
// two more. The state is held as the instructions want it: ABEF and CDGH.
[[gnu::target("sha,sse4.1,ssse3")]] void CompressWithShaInstructions(
    std::array<std::uint32_t, 8>& hash, const std::uint8_t* block) {
  const __m128i byte_order =
      _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i cdab = _mm_shuffle_epi32(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(hash.data())), 0xB1);
  __m128i efgh = _mm_shuffle_epi32(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(&hash[4])), 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
  const __m128i abef_before = abef;
  const __m128i cdgh_before = cdgh;
  // The message words of the four groups of four rounds ahead, in turn.
  // A C array: std::array of __m128i would drop its alignment attribute.
  __m128i words[4];
  for (std::size_t group = 0; group < 16; ++group) {
    __m128i& current = words[group % 4];
    if (group < 4) {
      current = _mm_shuffle_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * group)),
          byte_order);
    }
    __m128i message =
        _mm_add_epi32(current, _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                   &RoundConstants[4 * group])));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
    if (group >= 3 && group < 15) {
      __m128i& next = words[(group + 1) % 4];
      next = _mm_add_epi32(next,
                           _mm_alignr_epi8(current, words[(group + 3) % 4], 4));
      next = _mm_sha256msg2_epu32(next, current);
    }
    message = _mm_shuffle_epi32(message, 0x0E);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
    if (group >= 1 && group < 13) {
      __m128i& previous = words[(group + 3) % 4];
      previous = _mm_sha256msg1_epu32(previous, current);
    }
  }
  abef = _mm_add_epi32(abef, abef_before);
  cdgh = _mm_add_epi32(cdgh, cdgh_before);
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(hash.data()),
                   _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&hash[4]),
                   _mm_alignr_epi8(dchg, feba, 8));
}

#endif

void Compress(Sha256State& state, const std::uint8_t* block) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (state.sha_instructions) {
    CompressWithShaInstructions(state.hash, block);
    return;
  }
#endif
  CompressInC(state.hash, block);
}

}  // namespace

void Sha256Update(Sha256State& state, const std::uint8_t* bytes,
                  std::size_t size) {
  std::size_t filled = state.length % 64;
  state.length += size;
  if (filled != 0) {
    const std::size_t taken = size < 64 - filled ? size : 64 - filled;
    std::memcpy(state.pending.data() + filled, bytes, taken);
    bytes += taken;
    size -= taken;
    if (filled + taken < 64) return;
    Compress(state, state.pending.data());
  }
  for (; size >= 64; size -= 64, bytes += 64) Compress(state, bytes);
  std::memcpy(state.pending.data(), bytes, size);
}

bool HasShaInstructions() {
#if defined(__x86_64__) && defined(__GNUC__)
  unsigned eax = 0;
  unsigned ebx = 0;
  unsigned ecx = 0;
  unsigned edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0 || (ecx & bit_SSSE3) == 0 ||
      (ecx & bit_SSE4_1) == 0) {
    return false;
  }
  return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0 &&
         (ebx & bit_SHA) != 0;
#else
  return false;
#endif
}

Sha256Digest Sha256Finish(Sha256State& state) {
  const std::uint64_t bits = state.length * 8;
  // A one bit, zeros up to 8 bytes short of a whole block, the length.
  std::array<std::uint8_t, 72> tail{};
  tail[0] = 0x80;
  const std::size_t zeros = (64 + 56 - 1 - state.length % 64) % 64;
  for (std::size_t i = 0; i < 8; ++i) {
    tail[1 + zeros + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  }
  Sha256Update(state, tail.data(), 1 + zeros + 8);
  Sha256Digest digest{};
  for (std::size_t i = 0; i < 32; ++i) {
    digest[i] =
        static_cast<std::uint8_t>(state.hash[i / 4] >> (24 - 8 * (i % 4)));
  }
  return digest;
}

}  // namespace pelkaforge
