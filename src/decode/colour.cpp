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

__attribute__((target("avx2"))) void ConvertSegmentAvx2(const int32_t* luma, const int32_t* cb,
                                                        const int32_t* cr, int repeat, int n, uint32_t* out) {
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
#endif

// Row i of the MCU, its first n pixels (n <= 8 x h0), into out.
void ConvertMcuRow(const SampleBlocks& samples, int32_t h0, int32_t v0, int i, int n, uint32_t* out) {
  const int o = h0 * v0;
  const int chromaRow = (i / v0) * 8;
  for (int segment = 0; segment < h0 && segment * 8 < n; ++segment) {
    const int32_t* luma = samples[(i / 8) * h0 + segment].data() + (i % 8) * 8;
    const int32_t* cb = samples[o].data() + chromaRow + segment * (8 / h0);
    const int32_t* cr = samples[o + 1].data() + chromaRow + segment * (8 / h0);
    const int width = std::min(8, n - segment * 8);
#if VORN_X86
    if (HasAvx2()) {
      ConvertSegmentAvx2(luma, cb, cr, h0, width, out + segment * 8);
      continue;
    }
#endif
    ConvertSegmentScalar(luma, cb, cr, h0, 0, width, out + segment * 8);
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
Where Place(const std::vector<uint32_t>& pixels, int32_t X, int32_t Y, int32_t h0, int32_t v0, int32_t column,
            int32_t row, Placement& p) {
  if (!ValidSampling(h0, v0) || static_cast<int64_t>(X) * Y > static_cast<int64_t>(pixels.size()) ||
      column < 0 || row < 0)
    return Where::kInvalid;
  const int64_t x0 = int64_t{column} * h0 * 8, y0 = int64_t{row} * v0 * 8;
  if (x0 >= X || y0 >= Y) return Where::kOutside;  // nothing stored, nothing checked
  p.x0 = static_cast<int32_t>(x0);
  p.y0 = static_cast<int32_t>(y0);
  p.width = std::min(8 * h0, X - p.x0);
  p.height = std::min(8 * v0, Y - p.y0);
  return Where::kInside;
}

uint32_t* Line(std::vector<uint32_t>& pixels, int32_t X, int32_t Y, const Placement& p, int i) {
  return &pixels[static_cast<size_t>(Y - 1 - (p.y0 + i)) * X + p.x0];
}

}  // namespace

bool StoreMcuPixels(std::vector<uint32_t>& pixels, int32_t X, int32_t Y, const SampleBlocks& samples,
                    int32_t h0, int32_t v0, int32_t column, int32_t row) {
  Placement p;
  const Where where = Place(pixels, X, Y, h0, v0, column, row, p);
  if (where != Where::kInside) return where == Where::kOutside;
  if (!AllInRange(samples, h0 * v0 + 2))
    return PixelByPixel(samples, h0, v0, p.height, p.width,
                        [&](int i, int j, uint32_t rgb) { Line(pixels, X, Y, p, i)[j] = rgb; });
  for (int i = 0; i < p.height; ++i) ConvertMcuRow(samples, h0, v0, i, p.width, Line(pixels, X, Y, p, i));
  return true;
}

void StoreMcuPixelsInRange(std::vector<uint32_t>& pixels, int32_t X, int32_t Y, const SampleBlocks& samples,
                           int32_t h0, int32_t v0, int32_t column, int32_t row) {
  Placement p;
  if (Place(pixels, X, Y, h0, v0, column, row, p) != Where::kInside) return;
  for (int i = 0; i < p.height; ++i) ConvertMcuRow(samples, h0, v0, i, p.width, Line(pixels, X, Y, p, i));
}

bool ConvertMcu(const SampleBlocks& samples, int32_t h0, int32_t v0, uint32_t* out) {
  if (!ValidSampling(h0, v0)) return false;
  const int width = 8 * h0;
  if (!AllInRange(samples, h0 * v0 + 2))
    return PixelByPixel(samples, h0, v0, 8 * v0, width,
                        [&](int i, int j, uint32_t rgb) { out[i * width + j] = rgb; });
  for (int i = 0; i < 8 * v0; ++i) ConvertMcuRow(samples, h0, v0, i, width, out + i * width);
  return true;
}

}  // namespace vorn
