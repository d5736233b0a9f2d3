// The baseline scan decoder.
#pragma once

#include <cstdint>

#include "analysis/file_image.h"
#include "analysis/records.h"
#include "decode/decode_state.h"

namespace vorn {

// Decodes the scan from ScanDataStart to scanDataEnd into decode.ImagePixels and
// decode.McuStarts.
//
// Precondition: the caller has created both, all zero, for the frame in rec:
// ImagePixels with FrameWidth x FrameHeight values and
// McuStarts.Reset(McusPerRow, McuRows + 1) of ComputeMcuGeometry(rec.frame).
// Stores that do not fit, or a geometry without MCUs (a zero sampling factor of
// component 0), give status 2 with nothing decoded.
//
// Builds decode.BitMask, decode.IdctMatrix and decode.plan, which stay for the
// tracer; a plan that cannot be built (more than three components, more than six
// blocks, no block at all) is left empty (McuBlockCount 0) and gives status 2.
// Whatever was decoded before a failure or a foreign marker stays in ImagePixels and
// McuStarts. Never reads outside the file image.
DecodeStatus DecodeScan(const FileImage& file, const Records& rec, int32_t scanDataEnd, DecodeState& decode);

}  // namespace vorn
