// Dequantisation and the integer inverse DCT of one block.
//
// The transform is defined as a full 64 x 64 product with the integer matrix
// IdctMatrix, every product and every partial sum (natural k order) checked
// against the 32-bit signed range, then S div 4000000 + 128, truncating and
// unclamped. The functions here give exactly those samples and exactly those
// failures while doing only the work the non-zero coefficients need.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "analysis/zigzag.h"
#include "decode/decode_state.h"
#include "decode/simd.h"

namespace vorn {

// Samples of one block, natural order: index y*8 + x.
using SampleBlock = std::array<int32_t, 64>;
// The six blocks of one MCU, in block-plan order.
using SampleBlocks = std::array<SampleBlock, 6>;

// Eight samples of a block row, each clamped to 0..255, into bytes. Saturating to
// 16 bits and then to unsigned 8 bits is the clamp for every 32-bit value.
inline void ClampRowToBytes(const int32_t* row, uint8_t* out) {
#if VORN_X86
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4));
  const __m128i words = _mm_packs_epi32(lo, hi);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
#else
  for (int x = 0; x < 8; ++x) out[x] = static_cast<uint8_t>(std::clamp(row[x], 0, 255));
#endif
}

// Fills the 64 x 64 matrix of cosine products scaled by 1000000.
void BuildIdctMatrix(IdctMatrixTable& matrix);

// The matrix rearranged for the fast product: column k (the weights of frequency k
// for the 64 samples) is contiguous, and its largest magnitude is kept as the
// overflow bound of that column. Prepare it once per matrix (about a microsecond)
// and keep it as long as the matrix does; the tracer prepares one from the
// IdctMatrix the last decode left behind.
struct IdctKernel {
  alignas(64) std::array<int32_t, 64 * 64> columns{};  // [k * 64 + h]
  std::array<int64_t, 64> columnMax{};
  bool flatColumn0 = false;  // every entry of column 0 the same (half of 1000000)
  // Every column k = v*8 + u mirrors as the cosines do: the entry of sample
  // (7 - x, y) is (-1)^u times that of (x, y), and of (x, 7 - y) (-1)^v times. Then
  // a coefficient adds to the 16 sums of the upper left quarter of its parity
  // class, and the 64 samples come from those four quarters with signs.
  bool mirrored = false;
  alignas(64) std::array<int32_t, 64 * 16> quarters{};  // [k * 16 + y * 4 + x], x, y < 4
};
void PrepareIdctKernel(const IdctMatrixTable& matrix, IdctKernel& kernel);

// Dequantises coefficients (zig-zag order, DC already predicted) in place with
// quant (zig-zag order) and transforms them into samples: S div 4000000 + 128,
// truncating, unclamped. Returns false when a dequantised coefficient, a product
// or a partial sum (natural k order) leaves the 32-bit signed range; samples and
// coefficients are then partly written and must not be used.
bool InverseTransformBlock(const IdctKernel& kernel, std::array<int32_t, 64>& coefficients,
                           const std::array<int16_t, 64>& quant, SampleBlock& samples);

// The transform proper, for callers that already hold dequantised coefficients in
// natural order and their overflow bound: nonZero has bit k set for every k whose
// coefficient is not 0 (other coefficients must be 0), and bound is
// sum |c_k| x columnMax[k] over those. Below 2^31 nothing can overflow and the
// product runs unchecked; above, every step is checked. Same results and failures
// as above.
bool TransformNatural(const IdctKernel& kernel, const std::array<int32_t, 64>& natural, uint64_t nonZero,
                      int64_t bound, SampleBlock& samples);

// TransformNatural for a block as the decoder packs it: dc (natural position 0)
// and, in zig-zag order, the values of the positions 1..63 set in zigZag (values of
// 0 allowed), with the bound within 32 bits. Returns the count of values read.
int TransformPacked(const IdctKernel& kernel, int32_t dc, uint64_t zigZag, const int32_t* values,
                    SampleBlock& samples);

}  // namespace vorn
