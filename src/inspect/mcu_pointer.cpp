#include "inspect/mcu_pointer.h"

#include <cmath>
#include <string>

#include "analysis/hex.h"
#include "dump/editing.h"

namespace vorn {

namespace {

// Inverts each pixel of the cell's outline once, where the view shows the picture.
void FrameCell(window::Picture& view, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t X, int32_t Y) {
  const auto invert = [&](int32_t px, int32_t py) {
    if (px < X && py < Y) view.SetPixel(px, py, view.Pixel(px, py) ^ 0xFFFFFFu);
  };
  for (int32_t px = x0; px <= x1; ++px) {
    invert(px, y0);
    invert(px, y1);
  }
  for (int32_t py = y0 + 1; py <= y1 - 1; ++py) {
    invert(x0, py);
    invert(x1, py);
  }
}

// Black where the scrolled window reaches past the picture. At the scroll maximum,
// (size - view) mod unit + view - unit is the picture's edge in view coordinates.
void PaintStrips(AppState& app, int32_t X, int32_t Y, int32_t mcuWidth, int32_t mcuHeight, int32_t hv,
                 int32_t vv) {
  window::WindowModel& form = app.form;
  const int32_t viewWidth = app.decode.ViewWidth;
  const int32_t viewHeight = app.decode.ViewHeight;
  if (form.HScroll1.max != 0 && X < hv * mcuWidth + viewWidth)
    form.Picture1.FillRect(((X - viewWidth) % mcuWidth) + viewWidth - mcuWidth, 0, viewWidth, viewHeight,
                           window::kBlack);
  if (form.VScroll1.max != 0 && Y < vv * mcuHeight + viewHeight)
    form.Picture1.FillRect(0, ((Y - viewHeight) % mcuHeight) + viewHeight - mcuHeight, viewWidth, viewHeight,
                           window::kBlack);
}

}  // namespace

McuPointerState PointerToMcu(const McuStart& start, int32_t column, int32_t row) {
  // McuStarts names the last bit consumed before the MCU; its first bit is the next.
  const int32_t bitIndex = (start.BitIndex + 1) & 7;
  return McuPointerState{bitIndex == 0 ? start.BytePos + 1 : start.BytePos, bitIndex, column, row};
}

void Picture1_MouseDown(AppState& app, int /*button*/, int /*shift*/, float x, float y) {
  if (app.analysis.ImageInvalid) return;
  const int32_t X = app.rec.frame.FrameWidth;
  const int32_t Y = app.rec.frame.FrameHeight;
  if (!std::isfinite(x) || !std::isfinite(y) || x >= X || y >= Y) return;
  const McuGeometry geometry = ComputeMcuGeometry(app.rec.frame);
  if (!geometry.Valid()) return;
  const int32_t mcuWidth = geometry.McuWidth;
  const int32_t mcuHeight = geometry.McuHeight;

  // Nearest integer, halves to even (the default rounding mode).
  const auto xi = static_cast<int32_t>(std::nearbyint(x));
  const auto yi = static_cast<int32_t>(std::nearbyint(y));
  // A press left of or above the view has no cell.
  if (xi < 0 || yi < 0) return;
  const int32_t hv = app.form.HScroll1.value;
  const int32_t vv = app.form.VScroll1.value;
  const int32_t column = xi / mcuWidth + hv;
  const int32_t row = yi / mcuHeight + vv;
  // Near the right or bottom edge a press in the black strip names no MCU.
  if (!app.decode.McuStarts.Contains(column, row)) return;

  window::Picture& view = app.form.Picture1;
  // The copy removes the frame of an earlier press.
  view.CopyFrom(app.form.Picture3, hv * mcuWidth, vv * mcuHeight, app.decode.ViewWidth, app.decode.ViewHeight,
                0, 0);
  view.Repaint();
  const int32_t x0 = (xi / mcuWidth) * mcuWidth;
  const int32_t y0 = (yi / mcuHeight) * mcuHeight;
  FrameCell(view, x0, y0, x0 + mcuWidth - 1, y0 + mcuHeight - 1, X, Y);
  PaintStrips(app, X, Y, mcuWidth, mcuHeight, hv, vv);

  const McuStart& start = app.decode.McuStarts.At(column, row);
  const McuPointerState pointer = PointerToMcu(start, column, row);
  JumpToPosition(app.file, app.dump, app.form, pointer.BytePos);

  app.inspect.McuPointer = pointer;
  app.form.MCUBYTE.text = HexNoZeros(static_cast<uint32_t>(pointer.BytePos));
  app.form.MCUBIT.text = std::to_string(pointer.BitIndex);
  app.form.MCUX.text = std::to_string(column);
  app.form.MCUY.text = std::to_string(row);
  for (int k = 0; k < 3; ++k) app.form.DCV[k].text = std::to_string(start.Dc[k]);
  app.form.MCUCHK.enabled = true;
  app.form.BITCHK.enabled = true;
  app.form.LOG.tag = "";
  app.form.LOG.Clear();
  app.analysis.LogLineCount = 0;
}

}  // namespace vorn
