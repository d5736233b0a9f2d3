#include "cli/press_mcu.h"

#include <algorithm>
#include <string>

namespace vorn::cli {

namespace {

// The view position (in MCUs) that shows MCU `index`: the MCU itself at the view's
// edge, or the scroll maximum, where the window already reaches past the picture.
int32_t ScrollTo(window::ScrollBar& bar, int32_t index) {
  bar.SetValue(std::min(index, bar.max));
  return bar.value;
}

// Middle of the part [start, start + unit) of a cell that lies in a picture of
// `size` pixels.
int32_t CellMiddle(int32_t start, int32_t unit, int32_t size) {
  const int32_t end = std::min(start + unit, size);
  return start + (end - start) / 2;
}

}  // namespace

int PressMcu(CliSession& session, int32_t column, int32_t row) {
  AppState& app = session.state;
  const McuGeometry geometry = ComputeMcuGeometry(app.rec.frame);
  if (!geometry.Valid() || column < 0 || row < 0 || column >= geometry.McusPerRow ||
      row >= geometry.McuRows) {
    return UsageError("MCU (" + std::to_string(column) + ", " + std::to_string(row) +
                      ") is outside the picture of " + std::to_string(geometry.McusPerRow) + " x " +
                      std::to_string(geometry.McuRows) + " MCUs");
  }
  const int32_t hv = ScrollTo(app.form.HScroll1, column);
  const int32_t vv = ScrollTo(app.form.VScroll1, row);
  const int32_t x = CellMiddle(column * geometry.McuWidth, geometry.McuWidth, app.rec.frame.FrameWidth) -
                    hv * geometry.McuWidth;
  const int32_t y = CellMiddle(row * geometry.McuHeight, geometry.McuHeight, app.rec.frame.FrameHeight) -
                    vv * geometry.McuHeight;
  if (!app.form.Picture1.onMouseDown) return UsageError("the picture takes no presses");
  app.form.MCUX.text.clear();
  app.form.Picture1.onMouseDown(1, 0, static_cast<float>(x), static_cast<float>(y));
  if (app.form.MCUX.text.empty()) return UsageError("the press on the picture chose no MCU");
  return kExitOk;
}

}  // namespace vorn::cli
