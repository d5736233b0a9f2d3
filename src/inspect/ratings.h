// How well three traced MCUs fit the picture around them: the four ratings of a
// single-bit trial. Lower is better; each is 0 when it had nothing to compare.
#pragma once

#include <cstdint>
#include <vector>

#include "base/large_buffer.h"
#include "inspect/tracer.h"

namespace vorn {

// The decoded picture and where the traced MCUs lie in it.
struct RatingContext {
  const PixelStore* imagePixels = nullptr;  // X x Y, rows bottom-up, 0x00RRGGBB
  int32_t width = 0;                        // X
  int32_t height = 0;                       // Y
  int32_t mcuWidth = 0;                     // McuWidth
  int32_t mcuHeight = 0;                    // McuHeight
  int32_t column = 0;                       // MCU column of traced MCU 0
  int32_t row = 0;                          // MCU row of traced MCU 0
};

// Picture position (MCU column and row) of traced MCU m: consecutive columns,
// wrapping to column 0 of the next row after the last column of the picture.
struct McuCell {
  int32_t column = 0;
  int32_t row = 0;
};
McuCell TracedMcuCell(const RatingContext& context, int32_t m);

// Top row of each traced MCU against the picture line just above it.
int32_t TopEdgeScore(const McuBuffer& buffer, const RatingContext& context);
// Right column of MCU m - 1 against the left column of MCU m, m = 1, 2.
int32_t SeamScore(const McuBuffer& buffer, const RatingContext& context);
// Left column of MCU 0 against the picture column just left of it.
int32_t LeftEdgeScore(const McuBuffer& buffer, const RatingContext& context);
// Across the luma block boundaries inside MCU 0 (only with sampling factor 2).
int32_t BlockSeamScore(const McuBuffer& buffer, const RatingContext& context);

// The sum of the four.
int32_t TrialScore(const McuBuffer& buffer, const RatingContext& context);

}  // namespace vorn
