// The baseline scan decoder.
#pragma once

#include <cstdint>

#include "analysis/file_image.h"
#include "decode/decode_state.h"
#include "jpeg/records.h"

namespace vorn {

// Whether the transform and colour conversion run on a second thread beside the
// Huffman decoding. The result is the same either way.
enum class DecodeThreads {
  Automatic,  // two for a large picture on a machine with two cores or more
  One,
  Two,
};

// Whether work over mcus MCUs (none: nothing for a second thread to do) runs on two
// threads.
bool UseTwoThreads(DecodeThreads threads, int64_t mcus);

// Decodes the scan from ScanDataStart to scanDataEnd into decode.ImagePixels and
// decode.McuStarts.
//
// Precondition: the caller has sized both for the frame in rec (ImagePixels only
// when pixels are wanted, see pixelRows below): ImagePixels with
// FrameWidth x FrameHeight values and McuStarts with McusPerRow x (McuRows + 1)
// entries of ComputeMcuGeometry(rec.frame). What they hold does not matter (a
// store may be reused from the last picture of the same size): every pixel that no
// MCU reaches is set to 0 (black) and every McuStarts entry that no MCU reaches to
// all 0, so that they end exactly as if they had been created all zero.
// Stores that do not fit, or a geometry without MCUs (a zero sampling factor of
// component 0), give status 2 with nothing decoded and the stores left as they are.
//
// Builds decode.BitMask, decode.IdctMatrix and decode.plan, which stay for the
// tracer; a plan that cannot be built (more than three components, more than six
// blocks, no block at all) is left empty (McuBlockCount 0) and gives status 2.
// Whatever was decoded before a failure or a foreign marker stays in ImagePixels and
// McuStarts. Never reads outside the file image.
//
// pixelRows other than all: only the pixels of those MCU rows are written (decoded,
// or black where the decode did not reach), the rest of ImagePixels is left as it
// was, and the other MCUs skip the transform and colour conversion. With no rows,
// ImagePixels is neither needed nor touched. McuStarts, the plan and the status are
// the same whatever rows are chosen: every block is still decoded and checked.
DecodeStatus DecodeScan(const FileImage& file, const Records& rec, int32_t scanDataEnd, DecodeState& decode,
                        DecodeThreads threads = DecodeThreads::Automatic, PixelRows pixelRows = {});

}  // namespace vorn
