#include "decode/colour.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>

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

// n pixels from per-pixel luma and chroma: the formula of YccToRgb term by term, so
// every pixel is bit-for-bit what YccToRgb gives.
void ConvertRowScalar(const int32_t* luma, const int32_t* cb, const int32_t* cr, int n, uint32_t* out) {
  for (int j = 0; j < n; ++j) {
    const double yv = luma[j];
    const double b = cb[j] - 128;
    const double r = cr[j] - 128;
    const uint32_t red = LimitRounded(yv + 1.402 * r);
    const uint32_t green = LimitRounded((yv - 0.34414 * b) - 0.71414 * r);
    const uint32_t blue = LimitRounded(yv + 1.772 * b);
    out[j] = (red << 16) | (green << 8) | blue;
  }
}

__attribute__((target("avx2"))) inline __m128i LimitRoundedAvx2(__m256d v) {
  const __m256d r = _mm256_round_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  return _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(r, _mm256_setzero_pd()), _mm256_set1_pd(255.0)));
}

// The same four pixels at a time. Every operation is the IEEE double operation of
// the scalar formula, in the same order; AVX2 brings no fused multiply-add, so no
// product is contracted into a sum, and vroundpd in nearest mode rounds halves to
// even as nearbyint does.
__attribute__((target("avx2"))) void ConvertRowAvx2(const int32_t* luma, const int32_t* cb, const int32_t* cr,
                                                    int n, uint32_t* out) {
  const __m128i bias = _mm_set1_epi32(128);
  const __m256d kCrRed = _mm256_set1_pd(1.402), kCbGreen = _mm256_set1_pd(0.34414),
                kCrGreen = _mm256_set1_pd(0.71414), kCbBlue = _mm256_set1_pd(1.772);
  int j = 0;
  for (; j + 4 <= n; j += 4) {
    const __m256d yv = _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + j)));
    const __m256d b =
        _mm256_cvtepi32_pd(_mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + j)), bias));
    const __m256d r =
        _mm256_cvtepi32_pd(_mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + j)), bias));
    const __m128i red = LimitRoundedAvx2(_mm256_add_pd(yv, _mm256_mul_pd(kCrRed, r)));
    const __m128i green = LimitRoundedAvx2(
        _mm256_sub_pd(_mm256_sub_pd(yv, _mm256_mul_pd(kCbGreen, b)), _mm256_mul_pd(kCrGreen, r)));
    const __m128i blue = LimitRoundedAvx2(_mm256_add_pd(yv, _mm256_mul_pd(kCbBlue, b)));
    const __m128i rgb = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(red, 16), _mm_slli_epi32(green, 8)), blue);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), rgb);
  }
  ConvertRowScalar(luma + j, cb + j, cr + j, n - j, out + j);
}

void ConvertRow(const int32_t* luma, const int32_t* cb, const int32_t* cr, int n, uint32_t* out) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2)
    ConvertRowAvx2(luma, cb, cr, n, out);
  else
    ConvertRowScalar(luma, cb, cr, n, out);
}

bool ValidSampling(int32_t h0, int32_t v0) {
  return h0 >= 1 && h0 <= 2 && v0 >= 1 && v0 <= 2;
}

// True when no pixel of the MCU can fail the range check: then the fast rows give
// exactly the single-pixel results. Samples that come from the transform always pass
// (S / 4000000 + 128 with S in 32 bits lies within -408 .. 664).
bool AllInRange(const SampleBlocks& samples, int blocks) {
  int32_t low = 0, high = 0;
  for (int b = 0; b < blocks; ++b)
    for (int32_t v : samples[b]) {
      low = std::min(low, v);
      high = std::max(high, v);
    }
  return low >= kChromaMin && high <= kSampleMax;
}

// One MCU row of n pixels starting at MCU column 0: luma and upsampled chroma.
void GatherRow(const SampleBlocks& samples, int32_t h0, int32_t v0, int i, int n, int32_t* luma, int32_t* cb,
               int32_t* cr) {
  const int o = h0 * v0;
  const int32_t* chromaB = samples[o].data() + (i / v0) * 8;
  const int32_t* chromaR = samples[o + 1].data() + (i / v0) * 8;
  for (int j = 0; j < n; ++j) {
    luma[j] = samples[(i / 8) * h0 + (j / 8)][(i % 8) * 8 + (j % 8)];
    cb[j] = chromaB[j / h0];
    cr[j] = chromaR[j / h0];
  }
}

void ConvertMcuRow(const SampleBlocks& samples, int32_t h0, int32_t v0, int i, int n, uint32_t* out) {
  int32_t luma[16], cb[16], cr[16];
  GatherRow(samples, h0, v0, i, n, luma, cb, cr);
  ConvertRow(luma, cb, cr, n, out);
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

bool StoreMcuPixels(std::vector<uint32_t>& pixels, int32_t X, int32_t Y, const SampleBlocks& samples,
                    int32_t h0, int32_t v0, int32_t column, int32_t row) {
  if (!ValidSampling(h0, v0)) return false;
  if (static_cast<int64_t>(X) * Y > static_cast<int64_t>(pixels.size())) return false;
  const int32_t x0 = column * h0 * 8;
  const int32_t y0 = row * v0 * 8;
  if (x0 < 0 || y0 < 0) return false;
  if (x0 >= X || y0 >= Y) return true;  // wholly outside: nothing stored, nothing checked
  const int width = std::min(8 * h0, X - x0);
  const int height = std::min(8 * v0, Y - y0);
  auto line = [&](int i) { return &pixels[static_cast<size_t>(Y - 1 - (y0 + i)) * X + x0]; };
  if (!AllInRange(samples, h0 * v0 + 2))
    return PixelByPixel(samples, h0, v0, height, width,
                        [&](int i, int j, uint32_t rgb) { line(i)[j] = rgb; });
  for (int i = 0; i < height; ++i) ConvertMcuRow(samples, h0, v0, i, width, line(i));
  return true;
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
