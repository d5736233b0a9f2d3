#include "decode/colour.h"

#include <algorithm>
#include <cmath>

#include "decode/simd.h"

namespace vorn {

namespace {

constexpr int32_t kSampleMin = -32768;
constexpr int32_t kSampleMax = 32767;
// Chroma - 128 must stay 16-bit as well.
constexpr int32_t kChromaMin = -32640;

uint32_t Limit(double v) {
  const double r = std::nearbyint(v);  // halves to even
  return static_cast<uint32_t>(std::clamp(r, 0.0, 255.0));
}

// Adding and taking away 1.5 x 2^52 leaves v rounded to an integer, halves to even,
// for |v| < 2^51 (far beyond any value here): the sum's last mantissa bit is worth
// exactly 1. The same result as nearbyint, without a library call.
constexpr double kRoundingShift = 6755399441055744.0;
inline uint32_t LimitRounded(double v) {
  const double r = (v + kRoundingShift) - kRoundingShift;
  return static_cast<uint32_t>(static_cast<int32_t>(std::clamp(r, 0.0, 255.0)));
}

// n pixels (at most 8) of one luma block row; chroma sample j / repeat feeds pixel
// j (repeat 2: horizontal upsampling by repetition). The formula of YccToRgb term
// by term, so every pixel is bit-for-bit what YccToRgb gives.
void ConvertSegmentScalar(const int32_t* luma, const int32_t* cb, const int32_t* cr, int repeat, int first,
                          int n, uint32_t* out) {
  for (int j = first; j < n; ++j) {
    const double yv = luma[j];
    const double b = cb[j / repeat] - 128;
    const double r = cr[j / repeat] - 128;
    const uint32_t red = LimitRounded(yv + 1.402 * r);
    const uint32_t green = LimitRounded((yv - 0.34414 * b) - 0.71414 * r);
    const uint32_t blue = LimitRounded(yv + 1.772 * b);
    out[j] = (red << 16) | (green << 8) | blue;
  }
}

// Segment `segment` (8 pixels wide) of MCU row i: its luma and chroma samples, and
// how many of its pixels lie within the first `width` of the row.
struct Segment {
  const int32_t* luma;
  const int32_t* cb;
  const int32_t* cr;
  int pixels;  // samples across the segment: 8, fewer at the right edge
};
inline Segment SegmentOf(const SampleBlocks& samples, int h0, int v0, int i, int segment, int width) {
  const int o = h0 * v0, chroma = (i / v0) * 8 + segment * (8 / h0);
  return {samples[(i / 8) * h0 + segment].data() + (i % 8) * 8, samples[o].data() + chroma,
          samples[o + 1].data() + chroma, std::min(8, width - segment * 8)};
}

#if VORN_X86
__attribute__((target("avx2"))) inline __m128i LimitRoundedAvx2(__m256d v) {
  const __m256d r = _mm256_round_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  return _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(r, _mm256_setzero_pd()), _mm256_set1_pd(255.0)));
}

// Four pixels from luma and chroma - 128 as doubles. Every operation is the IEEE
// double operation of the scalar formula, in the same order; AVX2 brings no fused
// multiply-add, so no product is contracted into a sum, and vroundpd in nearest
// mode rounds halves to even as nearbyint does.
__attribute__((target("avx2"))) inline __m128i FourPixelsAvx2(__m256d yv, __m256d b, __m256d r) {
  const __m128i red = LimitRoundedAvx2(_mm256_add_pd(yv, _mm256_mul_pd(_mm256_set1_pd(1.402), r)));
  const __m128i green =
      LimitRoundedAvx2(_mm256_sub_pd(_mm256_sub_pd(yv, _mm256_mul_pd(_mm256_set1_pd(0.34414), b)),
                                     _mm256_mul_pd(_mm256_set1_pd(0.71414), r)));
  const __m128i blue = LimitRoundedAvx2(_mm256_add_pd(yv, _mm256_mul_pd(_mm256_set1_pd(1.772), b)));
  return _mm_or_si128(_mm_or_si128(_mm_slli_epi32(red, 16), _mm_slli_epi32(green, 8)), blue);
}

__attribute__((target("avx2"))) inline __m256d LoadAvx2(const int32_t* p, int32_t bias) {
  return _mm256_cvtepi32_pd(
      _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi32(bias)));
}

__attribute__((target("avx2"))) inline void ConvertSegmentAvx2(const int32_t* luma, const int32_t* cb,
                                                               const int32_t* cr, int repeat, int n,
                                                               uint32_t* out) {
  int j = 0;
  if (repeat == 1) {
    for (; j + 4 <= n; j += 4)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j),
                       FourPixelsAvx2(LoadAvx2(luma + j, 0), LoadAvx2(cb + j, 128), LoadAvx2(cr + j, 128)));
  } else if (n >= 4) {
    // Chroma 0..3 feed pixels 0 0 1 1 | 2 2 3 3.
    const __m256d b = LoadAvx2(cb, 128), r = LoadAvx2(cr, 128);
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(out),
        FourPixelsAvx2(LoadAvx2(luma, 0), _mm256_permute4x64_pd(b, 0x50), _mm256_permute4x64_pd(r, 0x50)));
    j = 4;
    if (n == 8) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4),
                       FourPixelsAvx2(LoadAvx2(luma + 4, 0), _mm256_permute4x64_pd(b, 0xFA),
                                      _mm256_permute4x64_pd(r, 0xFA)));
      j = 8;
    }
  }
  ConvertSegmentScalar(luma, cb, cr, repeat, j, n, out);
}

// GCC 12's AVX-512 headers build their "undefined" registers from themselves, which
// its own uninitialised-use check reports once inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// Eight pixels from luma and chroma - 128 as doubles: the operations of
// FourPixelsAvx2 on eight lanes. Compiled for AVX-512 F without FMA, and with
// contraction off, so that no product is fused into a sum either way.
__attribute__((target("avx512f"), optimize("fp-contract=off"))) inline __m256i LimitRoundedAvx512(__m512d v) {
  const __m512d r = _mm512_roundscale_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  return _mm512_cvttpd_epi32(_mm512_min_pd(_mm512_max_pd(r, _mm512_setzero_pd()), _mm512_set1_pd(255.0)));
}

__attribute__((target("avx512f"), optimize("fp-contract=off"))) inline __m256i EightPixelsAvx512(__m512d yv,
                                                                                                 __m512d b,
                                                                                                 __m512d r) {
  const __m256i red = LimitRoundedAvx512(_mm512_add_pd(yv, _mm512_mul_pd(_mm512_set1_pd(1.402), r)));
  const __m256i green =
      LimitRoundedAvx512(_mm512_sub_pd(_mm512_sub_pd(yv, _mm512_mul_pd(_mm512_set1_pd(0.34414), b)),
                                       _mm512_mul_pd(_mm512_set1_pd(0.71414), r)));
  const __m256i blue = LimitRoundedAvx512(_mm512_add_pd(yv, _mm512_mul_pd(_mm512_set1_pd(1.772), b)));
  return _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(red, 16), _mm256_slli_epi32(green, 8)), blue);
}

// Eight samples less bias as doubles; with repeat 2 the first four, each twice.
__attribute__((target("avx512f"), optimize("fp-contract=off"))) inline __m512d LoadAvx512(const int32_t* p,
                                                                                          int32_t bias,
                                                                                          int repeat) {
  __m256i v = repeat == 1 ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))
                          : _mm256_permutevar8x32_epi32(
                                _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
  return _mm512_cvtepi32_pd(_mm256_sub_epi32(v, _mm256_set1_epi32(bias)));
}

// Rows 0 .. height - 1 of the MCU, their first `width` pixels, row i at out + i * step.
__attribute__((target("avx512f"), optimize("fp-contract=off"))) void ConvertRowsAvx512(
    const SampleBlocks& samples, int h0, int v0, int height, int width, uint32_t* out, ptrdiff_t step) {
  for (int i = 0; i < height; ++i, out += step)
    for (int segment = 0; segment < h0 && segment * 8 < width; ++segment) {
      const Segment g = SegmentOf(samples, h0, v0, i, segment, width);
      if (g.pixels < 8) {
        ConvertSegmentAvx2(g.luma, g.cb, g.cr, h0, g.pixels, out + segment * 8);
        continue;
      }
      _mm256_storeu_si256(
          reinterpret_cast<__m256i*>(out + segment * 8),
          EightPixelsAvx512(LoadAvx512(g.luma, 0, 1), LoadAvx512(g.cb, 128, h0), LoadAvx512(g.cr, 128, h0)));
    }
}
#pragma GCC diagnostic pop

// Chroma shared by two pixels across (4:2:2, 4:2:0) is converted once: per chroma
// pair, the integers dR, dG, dB with
//   nearbyint(y + 1.402 r) = y + dR,  nearbyint((y - 0.34414 b) - 0.71414 r) = y + dG,
//   nearbyint(y + 1.772 b) = y + dB
// for every luma y, each term the double of the formula. With |y| <= 32767 and
// chroma - 128 within 16 bits every sum stays below 2^17, so each double operation
// is off by at most 2^-36, and the exact sum lies within 2^-34 of y + P, where P is
// the product (for green the double sum of the two products, rounded once more).
// When P lies more than 2^-30 from a half-integer, rounding y + P and its doubles
// gives y + nearbyint(P); a pair with P nearer a half (1.402 x 250 is exactly 350.5
// as a double, and then the parity of y decides) leaves the MCU to the pixel-wise
// doubles. The pixels are then integer sums, eight at a time.
struct ChromaTerms {
  alignas(32) int32_t red[64];
  alignas(32) int32_t green[64];
  alignas(32) int32_t blue[64];
};

// nearbyint(p) as 32-bit integers, and in `unsafe` all ones for a lane whose p lies
// within 2^-30 of a half-integer.
__attribute__((target("avx2"))) inline __m128i RoundedTerm(__m256d p, __m256d& unsafe) {
  const __m256d rounded = _mm256_round_pd(p, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  const __m256d distance = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(p, rounded));
  unsafe = _mm256_or_pd(unsafe, _mm256_cmp_pd(distance, _mm256_set1_pd(0.5 - 0x1p-30), _CMP_GE_OQ));
  return _mm256_cvtpd_epi32(rounded);
}

// The terms of the 64 chroma pairs of an MCU's chroma blocks; false when one of them
// is too near a half.
__attribute__((target("avx2"))) bool BuildChromaTerms(const int32_t* cb, const int32_t* cr, ChromaTerms& t) {
  __m256d unsafe = _mm256_setzero_pd();
  for (int j = 0; j < 64; j += 4) {
    const __m256d b = LoadAvx2(cb + j, 128), r = LoadAvx2(cr + j, 128);
    _mm_store_si128(reinterpret_cast<__m128i*>(t.red + j),
                    RoundedTerm(_mm256_mul_pd(_mm256_set1_pd(1.402), r), unsafe));
    _mm_store_si128(reinterpret_cast<__m128i*>(t.blue + j),
                    RoundedTerm(_mm256_mul_pd(_mm256_set1_pd(1.772), b), unsafe));
    // y - Pb - Pr = y - (Pb + Pr): the negated rounding of the sum.
    const __m256d sum =
        _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(0.34414), b), _mm256_mul_pd(_mm256_set1_pd(0.71414), r));
    _mm_store_si128(reinterpret_cast<__m128i*>(t.green + j),
                    _mm_sub_epi32(_mm_setzero_si128(), RoundedTerm(sum, unsafe)));
  }
  return _mm256_movemask_pd(unsafe) == 0;
}

// Eight chroma terms from four, each twice.
__attribute__((target("avx2"))) inline __m256i Doubled(const int32_t* p) {
  return _mm256_permutevar8x32_epi32(
      _mm256_castsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(p))),
      _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
}

__attribute__((target("avx2"))) inline __m256i Limited(__m256i v) {
  return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

// Rows 0 .. height - 1 of an MCU with h0 = 2, all 16 pixels across, row i at
// out + i * step; false (nothing written) when a chroma pair needs the doubles.
__attribute__((target("avx2"))) bool ConvertUpsampledRowsAvx2(const SampleBlocks& samples, int v0, int height,
                                                              uint32_t* out, ptrdiff_t step) {
  ChromaTerms t;
  if (!BuildChromaTerms(samples[2 * v0].data(), samples[2 * v0 + 1].data(), t)) return false;
  for (int i = 0; i < height; ++i, out += step)
    for (int segment = 0; segment < 2; ++segment) {
      const int32_t* luma = samples[(i / 8) * 2 + segment].data() + (i % 8) * 8;
      const int chroma = (i / v0) * 8 + segment * 4;
      const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma));
      const __m256i red = Limited(_mm256_add_epi32(y, Doubled(t.red + chroma)));
      const __m256i green = Limited(_mm256_add_epi32(y, Doubled(t.green + chroma)));
      const __m256i blue = Limited(_mm256_add_epi32(y, Doubled(t.blue + chroma)));
      _mm256_storeu_si256(
          reinterpret_cast<__m256i*>(out + segment * 8),
          _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(red, 16), _mm256_slli_epi32(green, 8)), blue));
    }
  return true;
}

__attribute__((target("avx2"))) void ConvertRowsAvx2(const SampleBlocks& samples, int h0, int v0, int height,
                                                     int width, uint32_t* out, ptrdiff_t step) {
  for (int i = 0; i < height; ++i, out += step)
    for (int segment = 0; segment < h0 && segment * 8 < width; ++segment) {
      const Segment g = SegmentOf(samples, h0, v0, i, segment, width);
      ConvertSegmentAvx2(g.luma, g.cb, g.cr, h0, g.pixels, out + segment * 8);
    }
}
#endif

// Rows 0 .. height - 1 of the MCU, their first `width` pixels (width <= 8 x h0),
// row i at out + i * step.
void ConvertMcuRows(const SampleBlocks& samples, int32_t h0, int32_t v0, int height, int width, uint32_t* out,
                    ptrdiff_t step) {
#if VORN_X86
  if (h0 == 2 && width == 16 && HasAvx2() && ConvertUpsampledRowsAvx2(samples, v0, height, out, step)) return;
  if (HasAvx512()) return ConvertRowsAvx512(samples, h0, v0, height, width, out, step);
  if (HasAvx2()) return ConvertRowsAvx2(samples, h0, v0, height, width, out, step);
#endif
  for (int i = 0; i < height; ++i, out += step)
    for (int segment = 0; segment < h0 && segment * 8 < width; ++segment) {
      const Segment g = SegmentOf(samples, h0, v0, i, segment, width);
      ConvertSegmentScalar(g.luma, g.cb, g.cr, h0, 0, g.pixels, out + segment * 8);
    }
}

bool ValidSampling(int32_t h0, int32_t v0) {
  return h0 >= 1 && h0 <= 2 && v0 >= 1 && v0 <= 2;
}

// True when no pixel of the MCU can fail the range check: then the fast rows give
// exactly the single-pixel results.
bool AllInRange(const SampleBlocks& samples, int blocks) {
  int32_t low = 0, high = 0;
  for (int b = 0; b < blocks; ++b)
    for (int32_t v : samples[b]) {
      low = std::min(low, v);
      high = std::max(high, v);
    }
  return low >= kChromaMin && high <= kSampleMax;
}

// The pixel loop as written down, one checked pixel at a time over rows
// 0 .. height - 1 and columns 0 .. width - 1 of the MCU: used when some sample is out
// of range, so that a failure stops at exactly the same pixel.
template <class Put>
bool PixelByPixel(const SampleBlocks& samples, int32_t h0, int32_t v0, int height, int width, Put put) {
  const int o = h0 * v0;
  for (int i = 0; i < height; ++i) {
    for (int j = 0; j < width; ++j) {
      const int32_t yv = samples[(i / 8) * h0 + (j / 8)][(i % 8) * 8 + (j % 8)];
      const int chroma = (i / v0) * 8 + (j / h0);
      uint32_t rgb;
      if (!YccToRgb(yv, samples[o][chroma], samples[o + 1][chroma], rgb)) return false;
      put(i, j, rgb);
    }
  }
  return true;
}

}  // namespace

bool YccToRgb(int32_t y, int32_t cb, int32_t cr, uint32_t& rgb) {
  if (y < kSampleMin || y > kSampleMax || cb < kChromaMin || cb > kSampleMax || cr < kChromaMin ||
      cr > kSampleMax)
    return false;
  const double r = y + 1.402 * (cr - 128);
  const double g = (y - 0.34414 * (cb - 128)) - 0.71414 * (cr - 128);
  const double b = y + 1.772 * (cb - 128);
  rgb = (Limit(r) << 16) | (Limit(g) << 8) | Limit(b);
  return true;
}

namespace {

// The part of MCU (column, row) inside the picture.
struct Placement {
  int32_t x0, y0, width, height;
};
enum class Where { kInside, kOutside, kInvalid };
Where Place(const PixelStore& pixels, int32_t pictureWidth, int32_t pictureHeight, int32_t h0, int32_t v0,
            int32_t column, int32_t row, Placement& p) {
  if (!ValidSampling(h0, v0) ||
      static_cast<int64_t>(pictureWidth) * pictureHeight > static_cast<int64_t>(pixels.size()) ||
      column < 0 || row < 0)
    return Where::kInvalid;
  const int64_t x0 = int64_t{column} * h0 * 8, y0 = int64_t{row} * v0 * 8;
  if (x0 >= pictureWidth || y0 >= pictureHeight) return Where::kOutside;  // nothing stored, nothing checked
  p.x0 = static_cast<int32_t>(x0);
  p.y0 = static_cast<int32_t>(y0);
  p.width = std::min(8 * h0, pictureWidth - p.x0);
  p.height = std::min(8 * v0, pictureHeight - p.y0);
  return Where::kInside;
}

uint32_t* Line(PixelStore& pixels, int32_t pictureWidth, int32_t pictureHeight, const Placement& p, int i) {
  return &pixels[static_cast<size_t>(pictureHeight - 1 - (p.y0 + i)) * pictureWidth + p.x0];
}

}  // namespace

bool StoreMcuPixels(PixelStore& pixels, int32_t pictureWidth, int32_t pictureHeight,
                    const SampleBlocks& samples, int32_t h0, int32_t v0, int32_t column, int32_t row) {
  Placement p;
  const Where where = Place(pixels, pictureWidth, pictureHeight, h0, v0, column, row, p);
  if (where != Where::kInside) return where == Where::kOutside;
  if (!AllInRange(samples, h0 * v0 + 2))
    return PixelByPixel(samples, h0, v0, p.height, p.width, [&](int i, int j, uint32_t rgb) {
      Line(pixels, pictureWidth, pictureHeight, p, i)[j] = rgb;
    });
  ConvertMcuRows(samples, h0, v0, p.height, p.width, Line(pixels, pictureWidth, pictureHeight, p, 0),
                 -static_cast<ptrdiff_t>(pictureWidth));
  return true;
}

void StoreMcuPixelsInRange(PixelStore& pixels, int32_t pictureWidth, int32_t pictureHeight,
                           const SampleBlocks& samples, int32_t h0, int32_t v0, int32_t column, int32_t row) {
  Placement p;
  if (Place(pixels, pictureWidth, pictureHeight, h0, v0, column, row, p) != Where::kInside) return;
  ConvertMcuRows(samples, h0, v0, p.height, p.width, Line(pixels, pictureWidth, pictureHeight, p, 0),
                 -static_cast<ptrdiff_t>(pictureWidth));
}

void BlackenMcusFrom(PixelStore& pixels, int32_t pictureWidth, int32_t pictureHeight,
                     const McuGeometry& geometry, int32_t column, int32_t row, int32_t lastRow) {
  if (pictureWidth < 1 || pictureHeight < 1 || !geometry.Valid() ||
      static_cast<int64_t>(pictureWidth) * pictureHeight > static_cast<int64_t>(pixels.size()) ||
      column < 0 || row < 0 || row > lastRow)
    return;
  const int64_t top = int64_t{row} * geometry.McuHeight;  // first image line of the MCU row
  if (top >= pictureHeight) return;
  const int32_t bottom = static_cast<int32_t>(std::min<int64_t>(top + geometry.McuHeight, pictureHeight));
  // Image lines bottom .. end - 1 (the whole MCU rows after this one, up to lastRow)
  // are the rows pictureHeight - end .. pictureHeight - 1 - bottom of the block.
  const auto end =
      static_cast<int32_t>(std::min<int64_t>((int64_t{lastRow} + 1) * geometry.McuHeight, pictureHeight));
  std::fill(
      pixels.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(pictureHeight - end) * pictureWidth),
      pixels.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(pictureHeight - bottom) * pictureWidth),
      0u);
  const int64_t left = int64_t{column} * geometry.McuWidth;
  if (left >= pictureWidth) return;
  for (int32_t y = static_cast<int32_t>(top); y < bottom; ++y)
    std::fill(pixels.begin() +
                  static_cast<ptrdiff_t>(static_cast<size_t>(pictureHeight - 1 - y) * pictureWidth + left),
              pixels.begin() + static_cast<ptrdiff_t>(
                                   static_cast<size_t>(pictureHeight - 1 - y) * pictureWidth + pictureWidth),
              0u);
}

bool ConvertMcu(const SampleBlocks& samples, int32_t h0, int32_t v0, uint32_t* out) {
  if (!ValidSampling(h0, v0)) return false;
  const int width = 8 * h0;
  if (!AllInRange(samples, h0 * v0 + 2))
    return PixelByPixel(samples, h0, v0, 8 * v0, width,
                        [&](int i, int j, uint32_t rgb) { out[i * width + j] = rgb; });
  ConvertMcuRows(samples, h0, v0, 8 * v0, width, out, width);
  return true;
}

}  // namespace vorn
