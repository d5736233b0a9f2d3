#include "dump/correction_preview.h"

#include <algorithm>

namespace vorn {

namespace {

// Sampling factors are at most 2, so an MCU is at most 16 x 16 pixels and three of
// them at scale 2 fill the 96 x 32 preview exactly.
constexpr int32_t kMaxMcuSide = 16;
constexpr int kPreviewMcus = 3;

}  // namespace

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

void PreviewCorrection(AppState& app, int32_t position, int32_t bitIndex) {
  const McuGeometry& g = app.decode.Geometry;
  if (!g.Valid() || g.McuWidth > kMaxMcuSide || g.McuHeight > kMaxMcuSide) return;
  if (!app.file.Contains(position) || bitIndex < 0 || bitIndex > 7) return;
  McuBuffer buffer;
  buffer.Reset(g.McuWidth, g.McuHeight, kPreviewMcus);
  const auto trial = static_cast<uint8_t>(app.file.At(position) | (0x80u >> bitIndex));
  if (TraceScan(app, buffer, kPreviewMcus - 1, false, ByteOverride{position, trial}) != kTraceDone) return;
  DrawCorrectionPreview(buffer, app.form.Picture2, PreviewScale(app.form.LIMAGE.caption));
}

}  // namespace vorn
