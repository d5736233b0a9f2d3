// A camera file's thumbnail shows the picture as it was before any damage, at a
// small scale: a witness that no edit of the scan can fake. Each 8 x 8 block's mean
// is compared with what the thumbnail shows over the block's place, in the file's
// own units: how far its undamaged blocks stray from the thumbnail.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "repair/picture_fit.h"
#include "repair/scan_model.h"
#include "repair/scan_pass.h"

namespace vorn {

class ThumbnailGuide {
 public:
  // The guide of the thumbnail that the first APPn segment carrying one holds, or null:
  // no thumbnail, one that does not decode cleanly, or one that the blocks of MCUs
  // 0 .. cleanMcus - 1 (pass.planes, taken as undamaged) do not follow closely (a
  // thumbnail left from before an edit, a letterboxed or cropped one, too few blocks
  // to tell).
  static std::unique_ptr<ThumbnailGuide> Make(const ScanModel& model, std::span<const uint8_t> bytes,
                                              const ScanPass& pass, int32_t cleanMcus);

  // How unlikely the rated MCUs (firstMcu on, their samples kept) are by the
  // thumbnail: a sum over their blocks of the negative log-likelihood of each block
  // mean's difference from the thumbnail, in nats.
  double Misfit(const RatedMcus& rated, int32_t firstMcu) const;

  // How much likelier by the thumbnail the picture of a is than that of b (ratings of
  // the same MCUs), in nats: the misfits of the blocks whose means differ by
  // kLeastMeanDifference or more. Pictures a level apart are beyond what a thumbnail
  // tells: where a picture's blocks lie a level off the thumbnail over some area (its
  // downscaling, its own quantization), a DC value moved by a quarter of a level over
  // hundreds of blocks would otherwise weigh like a block of garbage.
  double Preference(const RatedMcus& a, const RatedMcus& b, int32_t firstMcu) const;
  static constexpr double kLeastMeanDifference = 2;

  // The misfit of the least likely of those MCUs alone.
  double WorstMcu(const RatedMcus& rated, int32_t firstMcu) const;
  // The same over the undamaged MCUs the guide was calibrated on: a picture whose
  // MCUs are each as likely as those is as natural as the file's undamaged part.
  double WorstUndamagedMcu() const { return worstUndamaged_; }

  // The misfit of one block mean of component c at block (gx, gy) of its grid: 0 where
  // the block is not compared (not wholly inside the picture).
  double BlockMisfit(int c, int32_t gx, int32_t gy, double mean) const;

 private:
  explicit ThumbnailGuide(const ScanModel& model) : model_(model) {}
  // Each block's place and mean, in order, of MCUs firstMcu on whose samples (as
  // PictureFit keeps them) `samples` holds: visit(mcu, component, gx, gy, mean).
  template <class Visit>
  void ForEachBlock(std::span<const uint8_t> samples, int32_t firstMcu, int32_t mcus, Visit visit) const;
  // Each MCU's misfit, in order: visit(misfit).
  template <class Visit>
  void ForEachMcu(std::span<const uint8_t> samples, int32_t firstMcu, int32_t mcus, Visit visit) const;

  const ScanModel& model_;
  int components_ = 0;                          // compared: the main picture's, or luma alone
  std::array<int32_t, 3> blocksPerRow_{};       // per component, the grid's blocks a row
  std::array<std::vector<float>, 3> expected_;  // per block: the thumbnail's mean there; NaN: not compared
  std::array<double, 3> offset_{};              // the undamaged blocks' median difference
  std::array<std::vector<float>, 3> sigma_;     // per block: their spread about it where
                                                // the thumbnail changes as much (robust)
  double worstUndamaged_ = 0;
};

}  // namespace vorn
