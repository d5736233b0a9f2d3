// The single-bit correction search of the command "1ﾋﾞｯﾄ補正".
#pragma once

#include "app/app_state.h"

namespace vorn {

// From the chosen MCU's first bit onward, tries every 0 bit set to 1, rates three
// traced MCUs against the picture and lists the best candidates in LOG (tag "1").
// The file image is never changed: each trial byte is only shown to the tracer.
void BITCHK_Click(AppState& app);

}  // namespace vorn
