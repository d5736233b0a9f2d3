#include "decode/idct.h"

#include <bit>
#include <limits>

#include "decode/simd.h"

namespace vorn {

namespace {

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
bool Fits32(int64_t v) {
  return v >= kInt32Min && v <= kInt32Max;
}

// Sum over the non-zero coefficients in 32-bit lanes. Only called when
// sum |c_k| * columnMax[k] fits in 32 bits: that sum bounds every product and
// every partial sum of every sample, in any order, so nothing here can overflow
// and no check is needed.
void UncheckedProductScalar(const int32_t* columns, const int32_t* natural, uint64_t nonZero,
                            int32_t* samples) {
  int32_t sum[64] = {};
  for (; nonZero != 0; nonZero &= nonZero - 1) {
    const int k = std::countr_zero(nonZero);
    const int32_t c = natural[k];
    const int32_t* column = columns + k * 64;
    for (int h = 0; h < 64; ++h) sum[h] += c * column[h];
  }
  // 4000000 = 4 x 1000000: the 1/4 of the 2-D inverse DCT and the matrix's scale.
  for (int h = 0; h < 64; ++h) samples[h] = sum[h] / 4000000 + 128;
}

#if VORN_X86
// samples[h] = sum[h] div 4000000 + 128 (truncating) for all 64, eight at a time:
// |s| div 4000000 is |s| x M div 2^53 with M = ceil(2^53 / 4000000) = 2251799814,
// exact for every |s| <= 2^31 (the product's excess |s| x 1259008 / 2^53 stays below
// the 1 / 4000000 that separates a quotient from the next integer); the sign is put
// back after.
__attribute__((target("avx2"))) inline void LevelSamplesAvx2(const int32_t* sum, int32_t* samples) {
  const __m256i magic = _mm256_set1_epi64x(2251799814);
  const __m256i level = _mm256_set1_epi32(128);
  for (int h = 0; h < 64; h += 8) {
    const __m256i s = _mm256_load_si256(reinterpret_cast<const __m256i*>(sum + h));
    const __m256i magnitude = _mm256_abs_epi32(s);  // INT32_MIN gives 2^31, read unsigned
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(magnitude, magic), 53);
    const __m256i odd = _mm256_slli_epi64(
        _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(magnitude, 32), magic), 53), 32);
    const __m256i quotient = _mm256_sign_epi32(_mm256_blend_epi32(even, odd, 0xAA), s);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + h), _mm256_add_epi32(quotient, level));
  }
}

// The same with the 64 sums in eight AVX2 registers: per coefficient eight
// 8-lane multiplies and adds.
__attribute__((target("avx2"))) void UncheckedProductAvx2(const int32_t* columns, const int32_t* natural,
                                                          uint64_t nonZero, int32_t* samples) {
  __m256i s0 = _mm256_setzero_si256(), s1 = s0, s2 = s0, s3 = s0, s4 = s0, s5 = s0, s6 = s0, s7 = s0;
  for (; nonZero != 0; nonZero &= nonZero - 1) {
    const int k = std::countr_zero(nonZero);
    const __m256i c = _mm256_set1_epi32(natural[k]);
    const __m256i* column = reinterpret_cast<const __m256i*>(columns + k * 64);
    s0 = _mm256_add_epi32(s0, _mm256_mullo_epi32(c, _mm256_load_si256(column + 0)));
    s1 = _mm256_add_epi32(s1, _mm256_mullo_epi32(c, _mm256_load_si256(column + 1)));
    s2 = _mm256_add_epi32(s2, _mm256_mullo_epi32(c, _mm256_load_si256(column + 2)));
    s3 = _mm256_add_epi32(s3, _mm256_mullo_epi32(c, _mm256_load_si256(column + 3)));
    s4 = _mm256_add_epi32(s4, _mm256_mullo_epi32(c, _mm256_load_si256(column + 4)));
    s5 = _mm256_add_epi32(s5, _mm256_mullo_epi32(c, _mm256_load_si256(column + 5)));
    s6 = _mm256_add_epi32(s6, _mm256_mullo_epi32(c, _mm256_load_si256(column + 6)));
    s7 = _mm256_add_epi32(s7, _mm256_mullo_epi32(c, _mm256_load_si256(column + 7)));
  }
  alignas(32) int32_t sum[64];
  __m256i* out = reinterpret_cast<__m256i*>(sum);
  _mm256_store_si256(out + 0, s0);
  _mm256_store_si256(out + 1, s1);
  _mm256_store_si256(out + 2, s2);
  _mm256_store_si256(out + 3, s3);
  _mm256_store_si256(out + 4, s4);
  _mm256_store_si256(out + 5, s5);
  _mm256_store_si256(out + 6, s6);
  _mm256_store_si256(out + 7, s7);
  LevelSamplesAvx2(sum, samples);
}

// The coefficients k = v*8 + u of one parity class (u odd or not, v odd or not).
constexpr uint64_t ParityClass(int uOdd, int vOdd) {
  uint64_t mask = 0;
  for (int k = 0; k < 64; ++k)
    if (k % 2 == uOdd && (k / 8) % 2 == vOdd) mask |= uint64_t{1} << k;
  return mask;
}

// The 16 sums of the upper left quarter (rows 0, 1 in top, rows 2, 3 in bottom,
// four samples each) over the non-zero coefficients of one parity class.
struct Quarter {
  __m256i top, bottom;
};
__attribute__((target("avx2"))) inline Quarter QuarterSums(const int32_t* quarters, const int32_t* natural,
                                                           uint64_t nonZero) {
  Quarter q{_mm256_setzero_si256(), _mm256_setzero_si256()};
  for (; nonZero != 0; nonZero &= nonZero - 1) {
    const int k = std::countr_zero(nonZero);
    const __m256i c = _mm256_set1_epi32(natural[k]);
    const __m256i* weights = reinterpret_cast<const __m256i*>(quarters + k * 16);
    q.top = _mm256_add_epi32(q.top, _mm256_mullo_epi32(c, _mm256_load_si256(weights)));
    q.bottom = _mm256_add_epi32(q.bottom, _mm256_mullo_epi32(c, _mm256_load_si256(weights + 1)));
  }
  return q;
}

// Two rows of the upper quarter sums of each class (rows y and y + 1, or 7 - y and
// 6 - y) into the four mirrored places: with E = S00 + S01 and O = S10 + S11 (first
// digit u odd, second v odd) the upper left samples are E + O and the upper right
// E - O (x mirrored, reversed); with E' = S00 - S01, O' = S10 - S11 the lower ones.
__attribute__((target("avx2"))) inline void MirrorRows(__m256i s00, __m256i s10, __m256i s01, __m256i s11,
                                                       int32_t* upperRow, int32_t* lowerRow) {
  const __m256i even = _mm256_add_epi32(s00, s01), odd = _mm256_add_epi32(s10, s11);
  const __m256i evenLow = _mm256_sub_epi32(s00, s01), oddLow = _mm256_sub_epi32(s10, s11);
  const __m256i upperLeft = _mm256_add_epi32(even, odd);
  const __m256i upperRight = _mm256_shuffle_epi32(_mm256_sub_epi32(even, odd), 0x1B);
  const __m256i lowerLeft = _mm256_add_epi32(evenLow, oddLow);
  const __m256i lowerRight = _mm256_shuffle_epi32(_mm256_sub_epi32(evenLow, oddLow), 0x1B);
  // Lanes 0..3 hold the first of the two rows, 4..7 the second.
  _mm256_store_si256(reinterpret_cast<__m256i*>(upperRow),
                     _mm256_permute2x128_si256(upperLeft, upperRight, 0x20));
  _mm256_store_si256(reinterpret_cast<__m256i*>(upperRow + 8),
                     _mm256_permute2x128_si256(upperLeft, upperRight, 0x31));
  _mm256_store_si256(reinterpret_cast<__m256i*>(lowerRow),
                     _mm256_permute2x128_si256(lowerLeft, lowerRight, 0x20));
  _mm256_store_si256(reinterpret_cast<__m256i*>(lowerRow - 8),
                     _mm256_permute2x128_si256(lowerLeft, lowerRight, 0x31));
}

// The product for a mirrored matrix: per coefficient two 8-lane multiplies and adds
// instead of eight. The sums are the same integers (every partial sum, in any
// order, is bounded as in UncheckedProductAvx2).
__attribute__((target("avx2"))) void MirroredProductAvx2(const int32_t* quarters, const int32_t* natural,
                                                         uint64_t nonZero, int32_t* samples) {
  const Quarter s00 = QuarterSums(quarters, natural, nonZero & ParityClass(0, 0));
  const Quarter s10 = QuarterSums(quarters, natural, nonZero & ParityClass(1, 0));
  const Quarter s01 = QuarterSums(quarters, natural, nonZero & ParityClass(0, 1));
  const Quarter s11 = QuarterSums(quarters, natural, nonZero & ParityClass(1, 1));
  alignas(32) int32_t sum[64];
  MirrorRows(s00.top, s10.top, s01.top, s11.top, sum + 0 * 8, sum + 7 * 8);              // rows 0, 1 and 7, 6
  MirrorRows(s00.bottom, s10.bottom, s01.bottom, s11.bottom, sum + 2 * 8, sum + 5 * 8);  // 2, 3 and 5, 4
  LevelSamplesAvx2(sum, samples);
}

// The zig-zag positions whose natural coefficient is of parity class (uOdd, vOdd).
constexpr uint64_t ZigZagClass(int uOdd, int vOdd) {
  uint64_t mask = 0;
  for (int p = 0; p < 64; ++p)
    if ((ParityClass(uOdd, vOdd) >> kNaturalOrder[p]) & 1) mask |= uint64_t{1} << p;
  return mask;
}

// QuarterSums over packed values: those of the positions of zigZag, in zig-zag
// order, the one of position p at the count of positions below it.
__attribute__((target("avx2,popcnt,bmi,bmi2"))) inline Quarter PackedQuarterSums(
    const int32_t* quarters, const int32_t* values, uint64_t zigZag, uint64_t positions, Quarter q) {
  for (uint64_t rest = zigZag & positions; rest != 0; rest &= rest - 1) {
    const unsigned p = static_cast<unsigned>(__builtin_ctzll(rest));
    const __m256i c = _mm256_set1_epi32(values[__builtin_popcountll(_bzhi_u64(zigZag, p))]);
    const __m256i* weights = reinterpret_cast<const __m256i*>(quarters + kNaturalOrder[p] * 16);
    q.top = _mm256_add_epi32(q.top, _mm256_mullo_epi32(c, _mm256_load_si256(weights)));
    q.bottom = _mm256_add_epi32(q.bottom, _mm256_mullo_epi32(c, _mm256_load_si256(weights + 1)));
  }
  return q;
}

// MirroredProductAvx2 straight from the packed block, without gathering the
// natural order first; returns the count of values.
__attribute__((target("avx2,popcnt,bmi,bmi2"))) int PackedMirroredProductAvx2(const int32_t* quarters,
                                                                              int32_t dc, uint64_t zigZag,
                                                                              const int32_t* values,
                                                                              int32_t* samples) {
  const __m256i c = _mm256_set1_epi32(dc);
  const __m256i* dcWeights = reinterpret_cast<const __m256i*>(quarters);
  const Quarter dcSums{_mm256_mullo_epi32(c, _mm256_load_si256(dcWeights)),
                       _mm256_mullo_epi32(c, _mm256_load_si256(dcWeights + 1))};
  const Quarter zero{_mm256_setzero_si256(), _mm256_setzero_si256()};
  const Quarter s00 = PackedQuarterSums(quarters, values, zigZag, ZigZagClass(0, 0), dcSums);
  const Quarter s10 = PackedQuarterSums(quarters, values, zigZag, ZigZagClass(1, 0), zero);
  const Quarter s01 = PackedQuarterSums(quarters, values, zigZag, ZigZagClass(0, 1), zero);
  const Quarter s11 = PackedQuarterSums(quarters, values, zigZag, ZigZagClass(1, 1), zero);
  alignas(32) int32_t sum[64];
  MirrorRows(s00.top, s10.top, s01.top, s11.top, sum + 0 * 8, sum + 7 * 8);
  MirrorRows(s00.bottom, s10.bottom, s01.bottom, s11.bottom, sum + 2 * 8, sum + 5 * 8);
  LevelSamplesAvx2(sum, samples);
  return __builtin_popcountll(zigZag);
}
#endif

void UncheckedProduct(const IdctKernel& kernel, const int32_t* natural, uint64_t nonZero, int32_t* samples) {
#if VORN_X86
  if (HasAvx2()) {
    if (kernel.mirrored) return MirroredProductAvx2(kernel.quarters.data(), natural, nonZero, samples);
    return UncheckedProductAvx2(kernel.columns.data(), natural, nonZero, samples);
  }
#endif
  UncheckedProductScalar(kernel.columns.data(), natural, nonZero, samples);
}

// The definition itself: every product and every partial sum in natural k order
// checked. Zero coefficients add nothing and cannot fail, so only the non-zero
// ones are visited (in ascending k, which is natural order).
bool CheckedProduct(const int32_t* columns, const int32_t* natural, uint64_t nonZero, int32_t* samples) {
  for (int h = 0; h < 64; ++h) {
    int64_t sum = 0;
    for (uint64_t rest = nonZero; rest != 0; rest &= rest - 1) {
      const int k = std::countr_zero(rest);
      const int64_t product = static_cast<int64_t>(columns[k * 64 + h]) * natural[k];
      if (!Fits32(product)) return false;
      sum += product;
      if (!Fits32(sum)) return false;
    }
    samples[h] = static_cast<int32_t>(sum / 4000000 + 128);
  }
  return true;
}

// Dequantises in place (zig-zag order) and gathers the natural order.
bool Dequantise(std::array<int32_t, 64>& coefficients, const std::array<int16_t, 64>& quant,
                std::array<int32_t, 64>& natural, uint64_t& nonZero) {
  nonZero = 0;
  for (int p = 0; p < 64; ++p) {
    const int64_t v = static_cast<int64_t>(coefficients[p]) * quant[p];
    if (!Fits32(v)) return false;
    coefficients[p] = static_cast<int32_t>(v);
    const int k = kNaturalOrder[p];
    natural[k] = static_cast<int32_t>(v);
    if (v != 0) nonZero |= uint64_t{1} << k;
  }
  return true;
}

// sum |c_k| x columnMax[k] over the non-zero coefficients: at most
// 64 x 2^31 x 2^31, no overflow in 64 bits.
int64_t TransformBound(const IdctKernel& kernel, const std::array<int32_t, 64>& natural, uint64_t nonZero) {
  int64_t bound = 0;
  for (; nonZero != 0; nonZero &= nonZero - 1) {
    const int k = std::countr_zero(nonZero);
    const int64_t c = natural[k];
    bound += (c < 0 ? -c : c) * kernel.columnMax[k];
  }
  return bound;
}

}  // namespace

bool TransformNatural(const IdctKernel& kernel, const std::array<int32_t, 64>& natural, uint64_t nonZero,
                      int64_t bound, SampleBlock& samples) {
  if (bound > kInt32Max)
    return CheckedProduct(kernel.columns.data(), natural.data(), nonZero, samples.data());
  if (nonZero <= 1 && kernel.flatColumn0) {
    // Only the DC (or nothing): every sample has the same sum.
    samples.fill(natural[0] * kernel.columns[0] / 4000000 + 128);
    return true;
  }
  UncheckedProduct(kernel, natural.data(), nonZero, samples.data());
  return true;
}

int TransformPacked(const IdctKernel& kernel, int32_t dc, uint64_t zigZag, const int32_t* values,
                    SampleBlock& samples) {
#if VORN_X86
  if (kernel.mirrored && (zigZag != 0 || !kernel.flatColumn0) && HasAvx2())
    return PackedMirroredProductAvx2(kernel.quarters.data(), dc, zigZag, values, samples.data());
#endif
  std::array<int32_t, 64> natural{};
  natural[0] = dc;
  uint64_t nonZero = dc != 0 ? 1 : 0;
  int count = 0;
  for (uint64_t rest = zigZag; rest != 0; rest &= rest - 1, ++count) {
    const int k = kNaturalOrder[std::countr_zero(rest)];
    natural[k] = values[count];
    nonZero |= uint64_t{1} << k;
  }
  TransformNatural(kernel, natural, nonZero, 0, samples);
  return count;
}

bool InverseTransformBlock(const IdctKernel& kernel, std::array<int32_t, 64>& coefficients,
                           const std::array<int16_t, 64>& quant, SampleBlock& samples) {
  std::array<int32_t, 64> natural;
  uint64_t nonZero = 0;
  if (!Dequantise(coefficients, quant, natural, nonZero)) return false;
  return TransformNatural(kernel, natural, nonZero, TransformBound(kernel, natural, nonZero), samples);
}

}  // namespace vorn
