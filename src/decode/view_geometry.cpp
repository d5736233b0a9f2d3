#include "decode/view_geometry.h"

namespace vorn {

int32_t ScrollMaximum(int32_t size, int32_t view, int32_t unit) {
  if (unit <= 0 || size <= view) return 0;
  return (size - view) / unit + 1;
}

std::optional<ViewRect> RightStrip(int32_t width, int32_t left, int32_t viewWidth, int32_t viewHeight) {
  if (width >= left + viewWidth) return std::nullopt;
  return ViewRect{width - left, 0, viewWidth, viewHeight};
}

std::optional<ViewRect> BottomStrip(int32_t height, int32_t top, int32_t viewWidth, int32_t viewHeight) {
  if (height >= top + viewHeight) return std::nullopt;
  return ViewRect{0, height - top, viewWidth, viewHeight};
}

}  // namespace vorn
