#include "decode/idct.h"

#include <cmath>
#include <limits>

namespace vorn {

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
  // pi to 15 significant digits, as the matrix has always been built; the entries
  // are rounded to integers, so the last digit never shows.
  const double step = 3.14159265358979 / 16.0;
  double cosine[8][8];  // [u][x]
  for (int u = 0; u < 8; ++u) {
    const double cu = u == 0 ? 1.0 / std::pow(2.0, 0.5) : 1.0;
    for (int x = 0; x < 8; ++x) cosine[u][x] = cu * std::cos((2 * x + 1) * u * step);
  }
  for (int h = 0; h < 64; ++h)
    for (int k = 0; k < 64; ++k)
      matrix[h * 64 + k] = static_cast<int32_t>(
          std::nearbyint(cosine[k / 8][h / 8] * cosine[k % 8][h % 8] * 1000000.0));
}

namespace {
bool Fits32(int64_t v) {
  return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}
}  // namespace

bool InverseTransformBlock(const IdctMatrixTable& matrix, std::array<int32_t, 64>& coefficients,
                           const std::array<int16_t, 64>& quant, SampleBlock& samples) {
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

}  // namespace vorn
