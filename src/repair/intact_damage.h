// Damage that keeps the syntax: the DC values of everything after a block moved,
// or one block at odds with its neighbours.
//
// A bit of a DC difference's extra bits can change without breaking a code word:
// the difference changes by a known amount, and so does the DC value of that block
// and of every later block of the component, up to the end of its restart interval.
// In the picture that is a step of a constant size over all those blocks, which
// their block edges with the blocks before them show and the picture's own edges
// rarely do. Every such bit of the scan is one hypothesis; the effect of undoing it
// on the block edges is known in closed form from the one decode, so all of them
// are scored at once and only the best is decoded to verify it. A bit of an AC
// coefficient adds a pattern of the DCT basis to one block, whose four edges show
// it; and a step of any size is what a decode that lost its track and found it again
// leaves behind.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "decode/decode_scan.h"
#include "repair/scan_edit.h"
#include "repair/scan_model.h"
#include "repair/scan_pass.h"

namespace vorn {

// One bit of a DC difference: flipping it moves the component's DC values of its
// block and of the rest of the interval by `step` (quantized units).
struct DcBit {
  ScanEdit edit;
  int32_t mcu = 0;
  int component = 0;
  int32_t step = 0;
};

// Whether a moved DC value can explain how the pass ended: it decoded cleanly, or it
// failed only because a DC value left the range that 8-bit samples give (a step
// that a later difference carried too far), with every block before that decoded.
bool DriftCanExplain(const ScanPass& pass);

// Every flippable extra bit of every DC difference that the pass decoded, when
// DriftCanExplain(pass), in scan order. A flip that would make a byte FF (a marker, or a
// stuffed byte more) is left out: it would not keep the syntax.
std::vector<DcBit> DcBitsOf(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass);

struct DcDrift {
  DcBit bit;          // the edit that undoes the drift
  double share = 0;   // how much of the largest possible gain it makes, 0..1
  double margin = 0;  // its gain over the best rival's, in broken sample pairs
  int32_t pairs = 0;  // sample pairs across the edges the step splits
};

// A step of the DC values of one component over the rest of a restart interval,
// whatever its cause: the later blocks moved by levels (what undoes it moves them
// back).
struct DcStep {
  int32_t mcu = 0;
  int component = 0;
  int32_t levels = 0;
  double share = 0;  // as DcDrift's
  int32_t pairs = 0;
  bool faint = false;  // found by the sign test of faint steps
};

// The DC bit whose flip makes the picture most clearly whole, when one stands out
// (see the thresholds below), verified by a clean strict decode with it.
// pass must hold the planes of its decode, and DriftCanExplain(pass).
// With step, also the step of any size that mends the largest share of what it
// splits, when it mends most of it.
std::optional<DcDrift> FindDcDrift(const ScanModel& model, std::span<const uint8_t> bytes,
                                   const ScanPass& pass, std::optional<DcStep>* step = nullptr);

// Only what a person can see is looked for, in levels of a sample: a DC step of fewer
// levels is within what the quantization itself leaves at block edges (and a wrong
// guess among faint steps costs more than the step), and an edit of a scan that
// decodes as it is must move some sample this far.
inline constexpr int32_t kLeastVisibleLevels = 8;

// The thresholds a hypothesis passes (their grounds beside them in the .cpp), one
// function each so that both sides of each are tested:
// a DC bit is weighed when its step moves samples by 8 levels or more (move: 8x the
// levels) and splits 64 sample pairs (eight block edges) or more;
bool DcBitCounts(int32_t move, int32_t pairs);
// the best is taken when it mends 45 % of what it could and 12 pairs more than any other;
bool DcDriftStandsOut(double share, double margin);
// a step of any size is weighed over 256 pairs or more, and taken when it mends half
// of what it could;
bool DcStepCounts(int32_t pairs);
bool DcStepStandsOut(double share);
// where the cleanly decoded picture shows no larger step, a faint one (a level or two:
// what a lost track that found its way again leaves behind its few MCUs of garbage)
// is taken when the share of the pairs it splits that lean its way, on balance,
// exceeds that of the same place a row of MCUs earlier or later by 0.6;
bool FaintStepStandsOut(double share);
// and on each of the two rows of block edges it splits, 60 % of 16 pairs or more.
bool FaintHalfLeans(int32_t pairs, double share);
// a block is weighed for one-block damage (an AC bit, an edit of its code words) only
// with 12 of its 32 pairs or more in the picture (a whole edge and half of two more):
// in pictures a few samples high or wide (28 x 1, 18 x 3, 7 x 11) one or two pairs a
// side decided, and a clean block's edit led every other block's by far; a block of a
// last row three samples high has 14 (one damaged there was found only with them);
inline constexpr int kLeastEdgePairs = 12;
// and only in a picture of 64 blocks or more: an edit stands out by how far it leads
// every other block's, and clean pictures of 10 x 10 to 40 x 12 samples, a few blocks
// each, had one block's edit lead by far.
inline constexpr int64_t kLeastOneBlockPicture = 64;
inline bool OneBlockWeighable(const ScanModel& model) {
  return static_cast<int64_t>(model.totalMcus) * model.blockCount >= kLeastOneBlockPicture;
}
// an AC bit is weighed when it moves some sample of its block by 16 levels or more;
bool AcBitCounts(double levels);
// and taken when it mends 90 % of what it could and 2.5 times the best of any other block.
bool AcFlipStandsOut(double gain, double most, double nextBlockGain);

// The AC coefficient bit whose flip makes one block fit its neighbours, when one
// stands out of the whole scan. pass must hold the planes of a clean decode.
std::optional<DcBit> FindAcFlip(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass);

// What the picture of a cleanly decoded scan shows, the scan decoded once for both:
// FindDcDrift with its step and, where no drift stands out, FindAcFlip. A pass that
// is not clean gets FindDcDrift's alone.
struct IntactDamage {
  std::optional<DcDrift> drift;
  std::optional<DcStep> step;
  std::optional<DcBit> flip;
};
IntactDamage FindIntactDamage(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass);

// Whether the strict pass over the scan would be clean and FindIntactDamage find
// nothing that stands out, before any verifying decode: then the scan is whole. The
// scan is decoded once, and only three MCU rows of the picture are held at a time.
// False also where the scan may be whole but this cannot tell (the full pass can).
// The picture's checks run beside the decode on a second thread where threads says so
// (Automatic: for a large scan on a machine with two cores or more); the answer is the
// same either way.
bool ScanLooksWhole(const ScanModel& model, std::span<const uint8_t> bytes,
                    DecodeThreads threads = DecodeThreads::Automatic);

}  // namespace vorn
