// Re-decoding the scan from the chosen MCU, optionally listing every code word.
#pragma once

#include <cstdint>

#include "app/app_state.h"
#include "inspect/tracer.h"

namespace vorn {

// What a trace from app.inspect.McuPointer reads. `known` is false when the last
// decode has no such MCU (a pointer left from an earlier decode): the inputs then
// hold DC predictors 0 and must not be traced.
struct PointerTrace {
  TraceInputs inputs;
  bool known = false;
};
PointerTrace TraceInputsOf(const AppState& app, ByteOverride trial = {});
// The same from another MCU than the pointer's.
PointerTrace TraceInputsAt(const AppState& app, const McuPointerState& pointer, ByteOverride trial = {});

// Traces MCUs 0 .. lastMcu from app.inspect.McuPointer into pixels (which must hold
// at least lastMcu + 1 MCUs of McuWidth x McuHeight). With listing on, refills LOG
// and LineAddress. Writes McuEnd for completed MCUs before the last.
TraceResult TraceScan(AppState& app, McuBuffer& pixels, int16_t lastMcu, bool listing,
                      ByteOverride trial = {});

}  // namespace vorn
