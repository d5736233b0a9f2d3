#include "inspect/correction_preview.h"

#include <algorithm>

namespace vorn {

int PreviewScale(const std::string& limageCaption) {
  return !limageCaption.empty() && limageCaption.back() == '1' ? 1 : 2;
}

void DrawCorrectionPreview(const McuBuffer& buffer, window::Picture& picture, int scale) {
  const int32_t w = buffer.width;
  const int32_t h = buffer.height;
  const int32_t mcus = std::min(buffer.count, kPreviewMcus);
  if (w <= 0 || h <= 0 || buffer.pixels.size() < static_cast<size_t>(w) * h * mcus) return;
  for (int32_t m = 0; m < mcus; ++m)
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t colour = buffer.At(x, y, m);
        const int32_t px = m * w + x;
        if (scale == 1) {
          picture.SetPixel(px, y, colour);
          continue;
        }
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) picture.SetPixel(2 * px + dx, 2 * y + dy, colour);
      }
}

}  // namespace vorn
