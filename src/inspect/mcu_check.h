// The command "MCU調査": one traced MCU, listed code word by code word.
#pragma once

#include "app/app_state.h"

namespace vorn {

// Traces the chosen MCU with listing on and reports "正常！" when it decoded
// completely, "異常！" when the trace met a marker, failed or ran out of data.
void MCUCHK_Click(AppState& app);

}  // namespace vorn
