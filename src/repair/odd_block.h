// One block at odds with its neighbours because a bit of its code words changed, or a
// byte was written into them: a code word read as another of its length (a
// coefficient moved to another place, or given another size), or a byte's bits read as
// codes until the decode falls in step again, can end the block where it ended, so the
// syntax holds and only that block shows it, its pattern ending at its four edges. No
// closed form gives such an edit's effect; but the blocks whose edges break most are
// few, and each bit of their code words is decoded flipped, and each byte removed.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "repair/intact_damage.h"
#include "repair/picture_fit.h"
#include "repair/scan_model.h"
#include "repair/scan_pass.h"

namespace vorn {

struct OddBlock {
  int32_t mcu = 0;
  int block = 0;      // within the MCU
  McuMark start;      // where its MCU begins
  double misfit = 0;  // |r| summed over the pairs across its four edges
  // The block's samples and two more on each side, 12 x 12, row by row.
  std::array<uint8_t, 144> patch{};
  uint32_t valid = 0;  // which of the 32 pairs lie in the picture (top, bottom, left, right: 8 each)
};

// The best edit of a block's code words (a bit flipped, a byte removed) that changes
// that block alone: how much of the misfit of its four edges it mends (gain) against
// how much it changes them (most).
struct BlockFlip {
  DcBit bit;  // the edit (a bit, or a byte removed); step 0
  double gain = 0, most = 0;
  int32_t levels = 0;  // the most it moves a sample of the block
};

// Keeps the blocks whose edges break most, fed MCU row by MCU row once the rows above
// and below are drawn.
class OddBlockFinder {
 public:
  // A damaged block ranks among the 32 worst-fitting in nearly every picture where
  // its edit stands out; each costs a decode of a block or two for every bit and byte
  // of its code words.
  static constexpr size_t kKept = 32;

  explicit OddBlockFinder(const ScanModel& model);
  // markOf(mcu): where MCU mcu of the row begins. sums (per component, when given):
  // the edges of the row's blocks as the DC weighing summed them, which spares reading
  // the samples of a block whose four edges are all there.
  template <class Planes>
  void AddRow(const Planes& planes, int32_t row, const std::function<McuMark(int32_t)>& markOf,
              const std::vector<EdgeSums>* sums = nullptr);
  // The best edit of the blocks kept, when it stands out (BlockFlipStandsOut) and moves
  // some sample by 16 levels or more (AcBitCounts), before it is verified. twoThreads:
  // the blocks are shared with a second thread (the same result).
  std::optional<BlockFlip> Best(std::span<const uint8_t> bytes, bool twoThreads = false) const;

 private:
  const ScanModel& model_;
  std::vector<OddBlock> kept_;  // a heap, the best-fitting first
  // Per component, y and x within the MCU: which of its blocks that is.
  std::array<std::array<std::array<int8_t, 4>, 4>, 3> blockAt_{};
};

// The best edit of one kept block's code words, if any changes it alone.
std::optional<BlockFlip> BestFlipOf(const ScanModel& model, std::span<const uint8_t> bytes,
                                    const OddBlock& block);

// An edit stands out when it mends half of what it could and 3.5 times the best edit
// of any other worst-fitting block.
bool BlockFlipStandsOut(double gain, double most, double nextGain);

// The block edit of a cleanly decoded scan (pass with planes) that stands out,
// verified by a clean strict decode with it.
std::optional<DcBit> FindBlockFlip(const ScanModel& model, std::span<const uint8_t> bytes,
                                   const ScanPass& pass);

}  // namespace vorn
