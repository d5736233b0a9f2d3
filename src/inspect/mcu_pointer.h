// Choosing an MCU with a press on the image view.
#pragma once

#include "app/app_state.h"

namespace vorn {

// A press on Picture1 at view coordinates (x, y), any button and shift state:
// frames the MCU cell under it, sets McuPointer to the MCU's first bit as the last
// decode recorded it, shows it in the dump and the MCU fields, enables MCUCHK and
// BITCHK and empties LOG. Ignored while ImageInvalid is set, at or beyond the
// picture's width or height, and where the view shows no MCU of the last decode.
void Picture1_MouseDown(AppState& app, int button, int shift, float x, float y);

// The pointer to MCU (column, row) whose McuStarts entry is start: the bit after the
// last bit consumed before the MCU, without looking at the file (a stuffed byte or
// a marker there is not skipped).
McuPointerState PointerToMcu(const McuStart& start, int32_t column, int32_t row);

}  // namespace vorn
