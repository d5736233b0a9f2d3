// The bit-level tools as the window runs them: a press on the picture chooses an
// MCU, "MCU調査" traces it, "1ﾋﾞｯﾄ補正" searches for a repairing bit, and a
// candidate line previews its correction.
#pragma once

#include <cstdint>

#include "app/app_state.h"

namespace vorn {

// A press on Picture1 at view coordinates (x, y), any button and shift state:
// frames the MCU cell under it, sets McuPointer to the MCU's first bit as the last
// decode recorded it, shows it in the dump and the MCU fields, enables MCUCHK and
// BITCHK and empties LOG. Ignored while ImageInvalid is set, at or beyond the
// picture's width or height, and where the view shows no MCU of the last decode.
void Picture1_MouseDown(AppState& app, int button, int shift, float x, float y);

// Scrolls MCU (column, row) of geometry g into view (at the view's edge, or as far
// as the scroll bars reach) and presses the middle of the part of its cell inside
// the picture, as a user would. The caller checks that the MCU lies in g.
void PressMcuCell(AppState& app, const McuGeometry& g, int32_t column, int32_t row);

// Traces the chosen MCU with listing on and reports "正常！" when it decoded
// completely, "異常！" when the trace met a marker, failed or ran out of data.
void MCUCHK_Click(AppState& app);

// Runs the single-bit search from the chosen MCU and lists the best candidates in
// LOG (tag "1").
void BITCHK_Click(AppState& app);

// Traces three MCUs from the MCU pointer as if `bitIndex` of the byte at `position`
// were set, and draws them into Picture2 when the trace completes. The trial byte is
// handed to the tracer as an override, so the file image is never written.
void PreviewCorrection(AppState& app, int32_t position, int32_t bitIndex);

}  // namespace vorn
