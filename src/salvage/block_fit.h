// How the blocks of a coefficient grid fit the picture around them: where a decode
// that lost its track (or found it again at another place) leaves the picture.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "repair/scan_model.h"
#include "salvage/coefficient_grid.h"

namespace vorn {

// A block's samples, row by row, unclamped and without the level shift.
using BlockSamples = std::array<double, 64>;
BlockSamples SamplesOf(const CoefficientBlock& block, const std::array<int32_t, 64>& quant);

// The quantisation table of component c, in natural order.
const std::array<int32_t, 64>& QuantOf(const ScanModel& model, int c);

// Rates each MCU by how badly its luma blocks' top and left edges continue the blocks
// above and to the left of them: the mean |r| of the steps across those edges, less
// what the slopes on both sides predict (3b - b2 - 3a + a2).
class EdgeBreaks {
 public:
  EdgeBreaks(const ScanModel& model, const CoefficientGrid& grid) : model_(model), grid_(grid) {}

  // The rating of mcu against the neighbours whose flag in usable is set (or that lie
  // in [from, mcu)); -1 when it has no such neighbour.
  double Cost(int32_t mcu, const std::vector<uint8_t>& usable, int32_t from);

  // The first MCU of [first, end) from which the edges break (the MCU before the first
  // of several that fit far worse than the picture's own MCUs, which rate the usual
  // fit), end when none does: the decoded MCUs before it can be kept. lost: MCUs are
  // known to be lost in the stretch, and fewer broken edges tell where.
  int32_t FirstBreak(int32_t first, int32_t end, const std::vector<uint8_t>& usable, bool lost = false);

 private:
  const ScanModel& model_;
  const CoefficientGrid& grid_;
};

}  // namespace vorn
