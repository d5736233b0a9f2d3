// Where the image view's window lies on the picture: scroll ranges in whole MCUs
// and the black strips where the window reaches past the picture's edge.
#pragma once

#include <cstdint>
#include <optional>

namespace vorn {

// Maximum of a scroll bar counted in MCUs of `unit` pixels: enough steps that the
// window of `view` pixels reaches past the edge of a picture of `size` pixels (by 1
// pixel to one whole MCU); 0 when the picture fits (size <= view) or unit is not
// positive.
int32_t ScrollMaximum(int32_t size, int32_t view, int32_t unit);

// A rectangle [x0, x1) x [y0, y1) of the view.
struct ViewRect {
  int32_t x0 = 0;
  int32_t y0 = 0;
  int32_t x1 = 0;
  int32_t y1 = 0;
  bool operator==(const ViewRect&) const = default;
};

// The strip right of a picture `width` pixels wide when the view's window starts at
// picture column `left`: none while the window ends inside the picture.
std::optional<ViewRect> RightStrip(int32_t width, int32_t left, int32_t viewWidth, int32_t viewHeight);
// The strip below a picture `height` lines high when the window starts at line `top`.
std::optional<ViewRect> BottomStrip(int32_t height, int32_t top, int32_t viewWidth, int32_t viewHeight);

}  // namespace vorn
