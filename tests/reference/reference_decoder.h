// The scan decoder exactly as it is described: one bit at a time, a linear search
// of the codes of the current length after every bit of a code word, the full
// checked matrix product per block and the pixel-by-pixel colour conversion. Slow,
// obviously right, and the measure for the fast DecodeScan: the same pixels, the
// same McuStarts, the same status.
#pragma once

#include <cstdint>

#include "analysis/file_image.h"
#include "decode/decode_state.h"
#include "jpeg/records.h"

namespace vorn::reference {

// Same contract as DecodeScan: decode.ImagePixels and decode.McuStarts created by
// the caller for the frame; fills decode.plan as well.
int DecodeScan(const FileImage& file, const Records& rec, int32_t scanDataEnd, DecodeState& decode);

}  // namespace vorn::reference
