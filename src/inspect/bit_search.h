// The single-bit correction search of the command "1ﾋﾞｯﾄ補正": from the chosen
// MCU's first bit onward, every 0 bit is tried set to 1, and the trials that decode
// three MCUs are rated against the picture around them.
#pragma once

#include <array>
#include <cstdint>

#include "inspect/candidates.h"
#include "inspect/ratings.h"
#include "inspect/tracer.h"

namespace vorn {

// Runs the search from start.pointer (start.trial is ignored) and fills table with
// the best-rated trials, the farthest-reaching one kept. mcuEnd[0] is where the
// window of tried bits ends: it starts 160 bytes past the pointer and follows each
// trial that completes its first MCU. Nothing is tried when pointerKnown is false
// (the last decode has no such MCU). The file image is never changed: each trial
// byte is only shown to the tracer.
void SearchSingleBits(const TraceInputs& start, bool pointerKnown, const RatingContext& context,
                      std::array<int32_t, 3>& mcuEnd, CandidateTable& table);

}  // namespace vorn
