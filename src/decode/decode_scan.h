// The baseline scan decoder.
#pragma once

#include <cstdint>

#include "analysis/file_image.h"
#include "analysis/records.h"
#include "decode/decode_state.h"

namespace vorn {

enum DecodeStatus : int {
  kDecodeOk = 0,            // ScanDataEnd passed (however many MCUs were decoded)
  kDecodeForeignMarker = 1, // a marker other than RST0..RST7 inside the data
  kDecodeFailure = 2,       // bad code word, overflow, too many blocks or rows ...
};

// Decodes the scan from ScanDataStart to scanDataEnd into decode.ImagePixels and
// decode.McuStarts, which the caller has created (all zero) for the frame's size and
// MCU geometry. Builds decode.plan, decode.BitMask and decode.IdctMatrix, which stay
// for the tracer. Never reads outside the file image.
int DecodeScan(const FileImage& file, const Records& rec, int32_t scanDataEnd, DecodeState& decode);

}  // namespace vorn
