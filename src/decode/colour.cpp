#include "decode/colour.h"

#include <algorithm>
#include <cmath>

namespace vorn {

namespace {
uint32_t Limit(double v) {
  const double r = std::nearbyint(v);  // halves to even
  return static_cast<uint32_t>(std::clamp(r, 0.0, 255.0));
}
}  // namespace

bool YccToRgb(int32_t y, int32_t cb, int32_t cr, uint32_t& rgb) {
  // All three are 16-bit values, and chroma - 128 must stay 16-bit as well.
  if (y < -32768 || y > 32767 || cb < -32640 || cb > 32767 || cr < -32640 || cr > 32767) return false;
  const double r = y + 1.402 * (cr - 128);
  const double g = (y - 0.34414 * (cb - 128)) - 0.71414 * (cr - 128);
  const double b = y + 1.772 * (cb - 128);
  rgb = (Limit(r) << 16) | (Limit(g) << 8) | Limit(b);
  return true;
}

bool StoreMcuPixels(std::vector<uint32_t>& pixels, int32_t X, int32_t Y, const SampleBlocks& samples,
                    int32_t h0, int32_t v0, int32_t column, int32_t row) {
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

bool ConvertMcu(const SampleBlocks& samples, int32_t h0, int32_t v0, uint32_t* out) {
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

}  // namespace vorn
