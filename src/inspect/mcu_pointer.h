// Choosing an MCU on the image view: the MCU's first bit, and what the press draws.
#pragma once

#include <cstdint>

#include "decode/decode_state.h"
#include "inspect/inspect_state.h"
#include "window/elements.h"

namespace vorn {

// The pointer to MCU (column, row) whose McuStarts entry is start: the bit after the
// last bit consumed before the MCU, without looking at the file (a stuffed byte or
// a marker there is not skipped).
McuPointerState PointerToMcu(const McuStart& start, int32_t column, int32_t row);

// The last MCU, in raster order, whose data begins at or before the first bit of
// byte `position`: a trace from it takes in a change of that byte. Only the MCUs the
// last decode reached count (their starts follow each other; an MCU it never reached
// has no start). False when no MCU begins that early.
bool McuBeforeByte(const McuStartTable& starts, int32_t position, int32_t& column, int32_t& row);

// Inverts each pixel of the outline of the cell [x0, x1] x [y0, y1] of the view
// once, where the view shows a picture of pictureWidth x pictureHeight.
void FrameCell(window::Picture& view, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t pictureWidth,
               int32_t pictureHeight);

// Paints black where the view's window, scrolled to MCU (firstColumn, firstRow),
// reaches past the picture: right of it when the horizontal bar can scroll
// (hMax != 0), below it when the vertical one can.
void PaintPastPicture(window::Picture& view, int32_t viewWidth, int32_t viewHeight, int32_t pictureWidth,
                      int32_t pictureHeight, int32_t mcuWidth, int32_t mcuHeight, int32_t firstColumn,
                      int32_t firstRow, int32_t hMax, int32_t vMax);

}  // namespace vorn
