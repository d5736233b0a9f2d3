// Steps across block edges, eight sample pairs at a time: r = 3b - b2 - 3a + a2 for
// the pairs a2 a | b b2, as the predictions 3b - b2 and 3a - a2 of either side.
#pragma once

#include <cstdint>
#include <cstdlib>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorn {

// |r| summed along `pairs` pairs of an edge: under holds 3b - b2 below it, over 3a - a2
// above it where the row above is taken from. Each lies in -255..765, so r fits 16
// bits, and 16 pairs of at most 1020 fit 32.
inline int32_t StepSum(const int16_t* under, const int16_t* over, int32_t pairs) {
  int32_t sum = 0;
  for (int32_t j = 0; j < pairs; ++j) sum += std::abs(under[j] - over[j]);
  return sum;
}

#if defined(__SSE2__)
// Eight pairs at once (SSE2, which every x86-64 has).
inline int32_t StepSum8(const int16_t* under, const int16_t* over) {
  const __m128i r = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(under)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(over)));
  const __m128i magnitude = _mm_max_epi16(r, _mm_sub_epi16(_mm_setzero_si128(), r));
  __m128i sum = _mm_madd_epi16(magnitude, _mm_set1_epi16(1));
  sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
  sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(sum);
}

// 3 * near - far for eight samples.
inline void Predict8(const uint8_t* near, const uint8_t* far, int16_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i n = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(near)), zero);
  const __m128i f = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(far)), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_sub_epi16(_mm_add_epi16(_mm_add_epi16(n, n), n), f));
}
#else
inline int32_t StepSum8(const int16_t* under, const int16_t* over) {
  return StepSum(under, over, 8);
}

inline void Predict8(const uint8_t* near, const uint8_t* far, int16_t* out) {
  for (int j = 0; j < 8; ++j) out[j] = static_cast<int16_t>(3 * near[j] - far[j]);
}
#endif

}  // namespace vorn
