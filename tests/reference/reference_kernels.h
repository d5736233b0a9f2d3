// Literal reference kernels: the decoder's numeric back end and code matching
// written exactly as they are defined, one step at a time, with no shortcut. The
// fast kernels in src/decode must give the same results and the same failures.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "decode/decode_state.h"
#include "jpeg/records.h"

namespace vorn::reference {

using Block = std::array<int32_t, 64>;
using Blocks = std::array<Block, 6>;

// The zig-zag map (natural position v*8+u -> zig-zag position).
extern const std::array<uint8_t, 64> kZigZag;

// The integer matrix, entry by entry, derived independently of the production one.
void BuildIdctMatrix(IdctMatrixTable& matrix);

// Dequantisation in zig-zag order, then for every sample the full product over all
// 64 frequencies in natural order with every product and partial sum checked
// against 32 bits, S div 4000000 + 128.
bool InverseTransformBlock(const IdctMatrixTable& matrix, std::array<int32_t, 64>& coefficients,
                           const std::array<int16_t, 64>& quant, Block& samples);

// One pixel: range checks, the three double formulas, nearbyint, limit to 0..255.
bool YccToRgb(int32_t y, int32_t cb, int32_t cr, uint32_t& rgb);

// The pixel loop of one MCU into a bottom-up X x Y picture, pixel by pixel.
bool StoreMcuPixels(PixelStore& pixels, int32_t X, int32_t Y, const Blocks& samples, int32_t h0, int32_t v0,
                    int32_t column, int32_t row);

// The whole MCU, rows top-down, no clipping.
bool ConvertMcu(const Blocks& samples, int32_t h0, int32_t v0, uint32_t* out);

// Linear search of the codes of one length in stored order.
int MatchCode(const HuffCodeTable& table, int length, int32_t codeValue);

}  // namespace vorn::reference
