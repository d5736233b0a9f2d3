// YCbCr to RGB conversion of whole MCUs.
//
// Every pixel is computed exactly as the single-pixel formula YccToRgb does (the
// same double operations in the same order, rounding half to even, limiting to
// 0..255); the MCU functions only do it many pixels at a time.
#pragma once

#include <cstdint>

#include "base/large_buffer.h"
#include "decode/decode_state.h"
#include "decode/idct.h"

namespace vorn {

// Converts one sample triple to 0x00RRGGBB. Returns false when a value is outside
// the 16-bit range or a chroma value is below -32640.
bool YccToRgb(int32_t y, int32_t cb, int32_t cr, uint32_t& rgb);

// Writes the pixels of MCU (column, row) that lie inside the picture into pixels
// (pictureWidth * pictureHeight values, bottom-up rows). h0, v0: sampling factors of
// component 0 (1 or 2). Luma blocks come first, row by row; blocks h0*v0 and h0*v0+1
// are Cb and Cr, upsampled by repetition. Returns false on a range failure, which
// only pixels inside the picture can cause; the pixels before the failing one (row
// by row within the MCU) are then already written.
bool StoreMcuPixels(PixelStore& pixels, int32_t pictureWidth, int32_t pictureHeight,
                    const SampleBlocks& samples, int32_t h0, int32_t v0, int32_t column, int32_t row);

// StoreMcuPixels for samples that all lie within -32640 .. 32767, as every sample
// of the transform does (S div 4000000 + 128 with S in 32 bits lies within
// -408 .. 664) and the fixed chroma of 0 or 128: no pixel can fail, so none is
// checked. The decoder's path.
void StoreMcuPixelsInRange(PixelStore& pixels, int32_t pictureWidth, int32_t pictureHeight,
                           const SampleBlocks& samples, int32_t h0, int32_t v0, int32_t column, int32_t row);

// Sets to 0 (black) every pixel of the picture (bottom-up rows) that MCU (column,
// row) and the MCUs after it in raster order up to the end of MCU row lastRow cover:
// what a decode that stopped before that MCU never wrote. An MCU position past the
// picture's last MCU row or past lastRow leaves the pixels as they are.
void BlackenMcusFrom(PixelStore& pixels, int32_t pictureWidth, int32_t pictureHeight,
                     const McuGeometry& geometry, int32_t column, int32_t row, int32_t lastRow = INT32_MAX);

// Converts the whole MCU, without clipping, into out (8*h0 x 8*v0 pixels, rows
// top-down). Returns false on a range failure (out is then partly written).
bool ConvertMcu(const SampleBlocks& samples, int32_t h0, int32_t v0, uint32_t* out);

}  // namespace vorn
