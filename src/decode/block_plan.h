// The block plan of one MCU, built from the frame and scan records.
#pragma once

#include "decode/decode_state.h"
#include "jpeg/records.h"

namespace vorn {

// Plans the blocks component by component in frame order: component c gives the
// h x v blocks of its ComponentSampling (one for a grey frame), each carrying its
// DC, AC and quantization selectors and its index c. Selectors are copied as they are and
// checked only when a block uses them. Returns false, with an empty plan
// (McuBlockCount 0), for more than three components, a seventh block or no block
// at all: a scan without blocks cannot be decoded.
bool BuildBlockPlan(const FrameRecord& frame, const ScanRecord& scan, McuBlockPlan& plan);

}  // namespace vorn
