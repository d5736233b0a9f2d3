// Re-decoding the scan from the chosen MCU, optionally listing every code word.
#pragma once

#include <cstdint>

#include "app/app_state.h"
#include "inspect/tracer.h"

namespace vorn {

// Traces MCUs 0 .. lastMcu from app.inspect.McuPointer into pixels (which must hold
// at least lastMcu + 1 MCUs of McuWidth x McuHeight). With listing on, refills LOG
// and LineAddress. Writes McuEnd for completed MCUs before the last.
int16_t TraceScan(AppState& app, McuBuffer& pixels, int16_t lastMcu, bool listing, ByteOverride trial = {});

}  // namespace vorn
