// A run of MCUs out of step. A decode that lost or gained whole MCUs and then found
// its way again puts every later MCU `shift` places off its own: each MCU shows the
// one `shift` places further on (MCUs lost) or back (gained). Where the run begins,
// the MCUs' top edges fit the picture above far better when that is taken `shift`
// MCU columns to the side, for a whole row of MCUs, until the rows above are out of
// step alike. The syntax may be intact: a second fault or a later edit that makes up
// for the MCUs lost leaves the picture between the two displaced.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "repair/scan_model.h"
#include "repair/scan_pass.h"

namespace vorn {

struct ShiftedRun {
  int32_t mcu = 0;    // the first MCU of the row of MCUs that fits best taken aside
  int32_t shift = 0;  // MCU columns: > 0 MCUs lost, < 0 gained
  double share = 0;   // how much of the straight misfit taking it aside mends
};

// A run stands out when taking the rows above aside mends this share of the misfit
// of a whole row of MCUs' top edges: |r| (as the picture's fit measures it, see
// picture_fit.h) summed over all components' sample pairs, with a floor of
// kShiftedFloor levels per pair. Over 435 undamaged files of cjpeg, Pillow,
// ImageMagick and others (grey, 4:4:4, 4:2:2, 4:2:0, qualities 30 to 95, the test
// fixtures) no row of MCUs came above 0.42 (a grey picture of coins laid out in
// rows, two MCUs aside); the damaged pictures that show such runs, 0.55 to 0.82.
inline constexpr double kShiftedRunStandsOut = 0.55;
inline constexpr int32_t kShiftedFloor = 4;
// A window is a row's worth of MCUs: in clean strips 11 to 37 samples wide (two to five
// MCUs a row) a window of so few taken aside mended more than half its misfit. No run
// is looked for in a picture less than 8 MCUs wide.
inline constexpr int32_t kLeastRunMcus = 8;
bool ShiftedRunStandsOut(double share);

// Weighs MCU rows as they come, in order from row 1, each window of a row's worth of
// consecutive MCUs at every shift of one or two MCUs, and keeps the one that mends
// most. Windows that reach past lastMcu (the last MCU decoded) are not weighed.
class ShiftedRunFinder {
 public:
  ShiftedRunFinder(const ScanModel& model, int32_t lastMcu);
  // Row `row`'s top edges; the planes must hold its first two sample rows and the two
  // above them.
  template <class Planes>
  void AddRow(const Planes& planes, int32_t row);
  // The best run when it stands out.
  std::optional<ShiftedRun> Found() const;

 private:
  static constexpr std::array<int32_t, 4> kShifts = {-2, -1, 1, 2};
  void Weigh(int32_t row);

  const ScanModel& model_;
  int32_t lastMcu_;
  int32_t perRow_;
  // Per shift and MCU of this row and of the row before: the gain of taking the rows
  // above aside, and the straight misfit plus the floor.
  std::vector<int32_t> gain_, base_, gainBefore_, baseBefore_;
  int32_t lastRow_ = -1;                // the row the sums are of
  std::vector<int16_t> above_, below_;  // along the edge: 3a - a2 and 3b - b2
  std::vector<int32_t> straight_;       // per MCU of the row: its straight |r| sum
  ShiftedRun best_;
  bool any_ = false;
};

// The run over a whole decoded picture (MCUs up to lastMcu).
std::optional<ShiftedRun> FindShiftedRun(const ScanModel& model, const ComponentPlanes& planes,
                                         int32_t lastMcu);

}  // namespace vorn
