#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "decode/idct.h"

namespace vorn {

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
      matrix[h * 64 + k] =
          static_cast<int32_t>(std::nearbyint(cosine[k / 8][h / 8] * cosine[k % 8][h % 8] * 1000000.0));
}

void PrepareIdctKernel(const IdctMatrixTable& matrix, IdctKernel& kernel) {
  for (int k = 0; k < 64; ++k) {
    int64_t largest = 0;
    for (int h = 0; h < 64; ++h) {
      const int32_t m = matrix[h * 64 + k];
      kernel.columns[k * 64 + h] = m;
      largest = std::max(largest, std::abs(static_cast<int64_t>(m)));
    }
    kernel.columnMax[k] = largest;
  }
  kernel.flatColumn0 = std::all_of(kernel.columns.begin(), kernel.columns.begin() + 64,
                                   [&](int32_t m) { return m == kernel.columns[0]; });
  // The cosine table mirrors exactly and rounding keeps signs, so the matrix built
  // here always mirrors; checked anyway, as the kernel takes any matrix.
  kernel.mirrored = true;
  for (int k = 0; k < 64; ++k) {
    const int32_t uSign = k % 2 == 0 ? 1 : -1, vSign = (k / 8) % 2 == 0 ? 1 : -1;
    const int32_t* column = kernel.columns.data() + k * 64;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        const int32_t m = column[y * 8 + x];
        if (column[y * 8 + 7 - x] != uSign * m || column[(7 - y) * 8 + x] != vSign * m)
          kernel.mirrored = false;
      }
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) kernel.quarters[k * 16 + y * 4 + x] = column[y * 8 + x];
  }
}

}  // namespace vorn
