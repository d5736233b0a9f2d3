// How well decoded MCUs fit the picture around them: the measure by which verified
// edits are ranked and faint-looking damage is told from the picture's own edges.
//
// The measure is taken across block edges, in each component's own samples: for a
// pair of samples a | b on either side of an edge, with a2 and b2 the next ones
// outward, r = 3b - b2 - 3a + a2 is the step across the edge less what the slope on
// both sides predicts. Natural content changes smoothly or keeps its edges across
// the block grid; a wrong coefficient adds a pattern that ends at the block's edges.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "repair/scan_edit.h"
#include "repair/scan_model.h"
#include "repair/scan_pass.h"

namespace vorn {

// The rating of a run of MCUs: per MCU, the fit of its top edge, of its left edge and
// of the block edges inside it (lower fits better), and a hash of its samples.
struct RatedMcus {
  static constexpr int kParts = 3;  // top, left, inside
  int64_t fit = 0;                  // the sum over all of them
  uint64_t hash = 0;
  std::vector<int64_t> partFit;  // kParts per MCU
  std::vector<uint64_t> mcuHash;
  std::vector<uint8_t> samples;  // when kept: every MCU's samples, component by component
  std::vector<int16_t> steps;    // when kept: every rated step r, in a fixed order
};

// The largest difference of a sample between two ratings with samples kept (0 when
// either has none).
int32_t LargestDifference(const RatedMcus& a, const RatedMcus& b);

// How much better a fits than b, step by step where they differ: each such step
// votes between -1 and 1 by how much larger it is in one of them, so that the
// picture's own strong edges (large in both) count for little.
double FitVotes(const RatedMcus& a, const RatedMcus& b);

// Votes worth a few broken steps. At 2, a byte removed next to a byte that was
// overwritten fitted better by 3.7 and was written for the repair; at 4, two of
// the original's repairs in a few hundred damaged photos are refused too, a price
// worth paying for never writing another picture.
inline constexpr double kClearVotes = 4.0;

// Whether a fits clearly better than b: votes worth a few broken steps.
bool ClearlyBetter(const RatedMcus& a, const RatedMcus& b);

// Rates MCUs firstMcu .. firstMcu + span - 1 (fewer at the last MCU), decoded with an
// edit, against the picture the pass decoded before firstMcu: their top and left
// edges and the block edges inside them.
class PictureFit {
 public:
  PictureFit(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass, int32_t firstMcu,
             int32_t span);

  // Rates the MCUs decoded with edit (null: the file as it is) into out, keeping
  // their samples when asked.
  void Rate(const ScanEdit* edit, RatedMcus& out, bool keepSamples = false);

  int32_t Span() const { return span_; }

 private:
  const ScanModel& model_;
  std::span<const uint8_t> bytes_;
  const ScanPass& pass_;
  int32_t firstMcu_;
  int32_t span_;
  int32_t firstRow_;
  std::array<int32_t, 3> top_{};  // per component, the first sample row held
  ComponentPlanes local_;  // the picture's rows from top_ over the span, the span decoded with the edit
};

// The first bit of MCU mcu's data, as the pass found it (after a restart marker for
// the first MCU of an interval).
ScanPoint StartPointOf(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                       int32_t mcu);
// The same from the mark where the MCU before mcu ends.
ScanPoint StartPointOf(const ScanModel& model, std::span<const uint8_t> bytes, const McuMark& m, int32_t mcu);

// r across the edge between samples a2 a | b b2.
inline int32_t EdgeStep(int32_t a2, int32_t a, int32_t b, int32_t b2) {
  return 3 * b - b2 - 3 * a + a2;
}

// Per block of one component, |r| summed over the pairs across its right edge and
// across its lower edge, for a ring of `rows` block rows (block row by at by % rows):
// what the DC weighing sums anyway, kept so that the check of odd blocks need not
// read those samples again. -1 where an edge was not summed.
struct EdgeSums {
  int32_t width = 0, rows = 0;
  std::vector<int32_t> right, below;

  EdgeSums(int32_t blocksWide, int32_t heldRows)
      : width(blocksWide),
        rows(heldRows),
        right(static_cast<size_t>(blocksWide) * static_cast<size_t>(std::max(heldRows, 0)), -1),
        below(right.size(), -1) {}
  size_t Slot(int32_t bx, int32_t by) const {
    return static_cast<size_t>(by % rows) * static_cast<size_t>(width) + static_cast<size_t>(bx);
  }
  // The block's four edges, when all were summed (the left one is the right edge of
  // the block before it, the top one the lower edge of the block above): -1 otherwise.
  int32_t AroundBlock(int32_t bx, int32_t by) const {
    if (bx < 1 || by < 1) return -1;
    const int32_t parts[4] = {below[Slot(bx, by - 1)], below[Slot(bx, by)], right[Slot(bx - 1, by)],
                              right[Slot(bx, by)]};
    int32_t sum = 0;
    for (const int32_t part : parts) {
      if (part < 0) return -1;
      sum += part;
    }
    return sum;
  }
  // Forgets block rows [from, to), whose slots the rows `rows` later take.
  void Clear(int32_t from, int32_t to) {
    if (rows <= 0) return;
    for (int32_t by = from; by < to; ++by) {
      std::fill_n(right.begin() + static_cast<ptrdiff_t>(Slot(0, by)), width, -1);
      std::fill_n(below.begin() + static_cast<ptrdiff_t>(Slot(0, by)), width, -1);
    }
  }
};

}  // namespace vorn
