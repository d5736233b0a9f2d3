#include "inspect/mcu_pointer.h"

namespace vorn {

McuPointerState PointerToMcu(const McuStart& start, int32_t column, int32_t row) {
  // McuStarts names the last bit consumed before the MCU; its first bit is the next.
  const int32_t bitIndex = (start.BitIndex + 1) & 7;
  return McuPointerState{bitIndex == 0 ? start.BytePos + 1 : start.BytePos, bitIndex, column, row};
}

bool McuBeforeByte(const McuStartTable& starts, int32_t position, int32_t& column, int32_t& row) {
  const int64_t changedBit = int64_t{position} * 8;
  int64_t previous = -1;
  bool found = false;
  // The last row of the table is a surplus one, after the picture's MCUs.
  for (int32_t r = 0; r + 1 < starts.Rows; ++r) {
    for (int32_t c = 0; c < starts.Columns; ++c) {
      const McuStart& start = starts.At(c, r);
      const McuPointerState pointer = PointerToMcu(start, c, r);
      const int64_t first = int64_t{pointer.BytePos} * 8 + pointer.BitIndex;
      // An MCU the decode never reached has an empty start, before its predecessor.
      if (start.BytePos <= 0 || first < previous || first > changedBit) return found;
      previous = first;
      column = c;
      row = r;
      found = true;
    }
  }
  return found;
}

void FrameCell(window::Picture& view, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t pictureWidth,
               int32_t pictureHeight) {
  const auto invert = [&](int32_t px, int32_t py) {
    if (px < pictureWidth && py < pictureHeight) view.SetPixel(px, py, view.Pixel(px, py) ^ 0xFFFFFFu);
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

void PaintPastPicture(window::Picture& view, int32_t viewWidth, int32_t viewHeight, int32_t pictureWidth,
                      int32_t pictureHeight, int32_t mcuWidth, int32_t mcuHeight, int32_t firstColumn,
                      int32_t firstRow, int32_t hMax, int32_t vMax) {
  // At the scroll maximum, (size - view) mod unit + view - unit is the picture's
  // edge in view coordinates.
  if (hMax != 0 && pictureWidth < firstColumn * mcuWidth + viewWidth)
    view.FillRect(((pictureWidth - viewWidth) % mcuWidth) + viewWidth - mcuWidth, 0, viewWidth, viewHeight,
                  window::kBlack);
  if (vMax != 0 && pictureHeight < firstRow * mcuHeight + viewHeight)
    view.FillRect(0, ((pictureHeight - viewHeight) % mcuHeight) + viewHeight - mcuHeight, viewWidth,
                  viewHeight, window::kBlack);
}

}  // namespace vorn
