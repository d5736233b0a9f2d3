// YCbCr to RGB conversion of whole MCUs.
#pragma once

#include <cstdint>
#include <vector>

#include "decode/idct.h"

namespace vorn {

// Converts one sample triple to 0x00RRGGBB. Returns false when a value is outside
// the 16-bit range or a chroma value is below -32640.
bool YccToRgb(int32_t y, int32_t cb, int32_t cr, uint32_t& rgb);

// Writes the pixels of MCU (column, row) that lie inside the X x Y picture into
// pixels (bottom-up rows). h0, v0: sampling factors of component 0 (1 or 2).
// Luma blocks come first, row by row; blocks h0*v0 and h0*v0+1 are Cb and Cr,
// upsampled by repetition. Returns false on a range failure.
bool StoreMcuPixels(std::vector<uint32_t>& pixels, int32_t X, int32_t Y, const SampleBlocks& samples,
                    int32_t h0, int32_t v0, int32_t column, int32_t row);

// Converts the whole MCU, without clipping, into out (8*h0 x 8*v0 pixels, rows
// top-down). Returns false on a range failure.
bool ConvertMcu(const SampleBlocks& samples, int32_t h0, int32_t v0, uint32_t* out);

}  // namespace vorn
