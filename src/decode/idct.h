// Dequantisation and the integer inverse DCT of one block.
#pragma once

#include <array>
#include <cstdint>

#include "decode/decode_state.h"

namespace vorn {

// Natural position k = v*8 + u -> zig-zag position.
extern const std::array<uint8_t, 64> kZigZag;

// Samples of one block, natural order: index y*8 + x.
using SampleBlock = std::array<int32_t, 64>;
// The six blocks of one MCU, in block-plan order.
using SampleBlocks = std::array<SampleBlock, 6>;

// Fills the 64 x 64 matrix of cosine products scaled by 1000000.
void BuildIdctMatrix(IdctMatrixTable& matrix);

// Dequantises coefficients (zig-zag order, DC already predicted) in place with
// quant (zig-zag order) and transforms them into samples: S div 4000000 + 128,
// truncating, unclamped. Returns false when a dequantised coefficient, a product
// or a partial sum (natural k order) leaves the 32-bit signed range.
bool InverseTransformBlock(const IdctMatrixTable& matrix, std::array<int32_t, 64>& coefficients,
                           const std::array<int16_t, 64>& quant, SampleBlock& samples);

}  // namespace vorn
