#include "reference/reference_kernels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace vorn::reference {

const std::array<uint8_t, 64> kZigZag = {
    0,  1,  5,  6,  14, 15, 27, 28,  //
    2,  4,  7,  13, 16, 26, 29, 42,  //
    3,  8,  12, 17, 25, 30, 41, 43,  //
    9,  11, 18, 24, 31, 40, 44, 53,  //
    10, 19, 23, 32, 39, 45, 52, 54,  //
    20, 22, 33, 38, 46, 51, 55, 60,  //
    21, 34, 37, 47, 50, 56, 59, 61,  //
    35, 36, 48, 49, 57, 58, 62, 63,
};

void BuildIdctMatrix(IdctMatrixTable& matrix) {
  // Derived apart from the production table on purpose: full long double pi,
  // c(0) as sqrt(1/2), and the product of the two cosines written as half the sum
  // of the cosines of the sum and the difference of the angles. No entry lies near
  // a half, so the rounded integers agree with the product of 15-digit pi; a
  // mistake in the indices, the angles or the scaling would not.
  const long double pi = std::numbers::pi_v<long double>;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
          const long double cv = v == 0 ? std::sqrt(0.5L) : 1.0L;
          const long double cu = u == 0 ? std::sqrt(0.5L) : 1.0L;
          const long double a = (2 * y + 1) * v * pi / 16;
          const long double b = (2 * x + 1) * u * pi / 16;
          const long double product = (std::cos(a + b) + std::cos(a - b)) / 2;
          matrix[(y * 8 + x) * 64 + (v * 8 + u)] =
              static_cast<int32_t>(std::llround(cv * cu * product * 1000000.0L));
        }
}

namespace {
bool Fits32(int64_t v) {
  return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}
uint32_t Limit(double v) {
  const double r = std::nearbyint(v);
  return static_cast<uint32_t>(std::clamp(r, 0.0, 255.0));
}
}  // namespace

bool InverseTransformBlock(const IdctMatrixTable& matrix, std::array<int32_t, 64>& coefficients,
                           const std::array<int16_t, 64>& quant, Block& samples) {
  for (int p = 0; p < 64; ++p) {
    const int64_t v = static_cast<int64_t>(coefficients[p]) * quant[p];
    if (!Fits32(v)) return false;
    coefficients[p] = static_cast<int32_t>(v);
  }
  for (int h = 0; h < 64; ++h) {
    int64_t sum = 0;
    for (int k = 0; k < 64; ++k) {
      const int64_t product = static_cast<int64_t>(matrix[h * 64 + k]) * coefficients[kZigZag[k]];
      if (!Fits32(product)) return false;
      sum += product;
      if (!Fits32(sum)) return false;
    }
    samples[h] = static_cast<int32_t>(sum / 4000000 + 128);
  }
  return true;
}

bool YccToRgb(int32_t y, int32_t cb, int32_t cr, uint32_t& rgb) {
  if (y < -32768 || y > 32767 || cb < -32640 || cb > 32767 || cr < -32640 || cr > 32767) return false;
  const double r = y + 1.402 * (cr - 128);
  const double g = (y - 0.34414 * (cb - 128)) - 0.71414 * (cr - 128);
  const double b = y + 1.772 * (cb - 128);
  rgb = (Limit(r) << 16) | (Limit(g) << 8) | Limit(b);
  return true;
}

bool StoreMcuPixels(PixelStore& pixels, int32_t X, int32_t Y, const Blocks& samples, int32_t h0, int32_t v0,
                    int32_t column, int32_t row) {
  const int32_t x0 = column * h0 * 8;
  const int32_t y0 = row * v0 * 8;
  const int o = h0 * v0;
  for (int i = 0; i < 8 * v0; ++i) {
    for (int j = 0; j < 8 * h0; ++j) {
      if (y0 + i >= Y || x0 + j >= X) continue;
      const int32_t yv = samples[(i / 8) * h0 + (j / 8)][(i % 8) * 8 + (j % 8)];
      const int chroma = (i / v0) * 8 + (j / h0);
      uint32_t rgb;
      if (!YccToRgb(yv, samples[o][chroma], samples[o + 1][chroma], rgb)) return false;
      pixels[static_cast<size_t>(Y - 1 - (y0 + i)) * X + (x0 + j)] = rgb;
    }
  }
  return true;
}

bool ConvertMcu(const Blocks& samples, int32_t h0, int32_t v0, uint32_t* out) {
  const int o = h0 * v0;
  const int width = 8 * h0;
  for (int i = 0; i < 8 * v0; ++i) {
    for (int j = 0; j < width; ++j) {
      const int32_t yv = samples[(i / 8) * h0 + (j / 8)][(i % 8) * 8 + (j % 8)];
      const int chroma = (i / v0) * 8 + (j / h0);
      if (!YccToRgb(yv, samples[o][chroma], samples[o + 1][chroma], out[i * width + j])) return false;
    }
  }
  return true;
}

int MatchCode(const HuffCodeTable& table, int length, int32_t codeValue) {
  if (length < 1 || length > 16) return -1;
  const int n = length - 1;
  for (int k = 0; k < table.Count[n] && k < 256; ++k)
    if (table.Code[n][k] == codeValue) return k;
  return -1;
}

}  // namespace vorn::reference
