// One strict pass over the whole scan: where every MCU begins, how each restart
// interval ends, and (when asked) the decoded samples of every component.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "repair/scan_model.h"
#include "repair/strict_decoder.h"

namespace vorn {

// The decoded samples of each component over the whole MCU grid, limited to
// 0..255 as they are shown.
struct ComponentPlanes {
  int count = 0;
  std::array<int32_t, 3> width{}, height{};                // the MCU grid, in samples
  std::array<int32_t, 3> visibleWidth{}, visibleHeight{};  // the picture's part of it
  std::array<std::vector<uint8_t>, 3> samples;

  void Reset(const ScanModel& model);
  // The sizes alone, no samples.
  void SetShape(const ScanModel& model);
  uint8_t At(int c, int32_t x, int32_t y) const {
    return samples[static_cast<size_t>(c)][static_cast<size_t>(y) * width[static_cast<size_t>(c)] + x];
  }
  uint8_t* Row(int c, int32_t y) {
    return samples[static_cast<size_t>(c)].data() + static_cast<size_t>(y) * width[static_cast<size_t>(c)];
  }
  const uint8_t* Row(int c, int32_t y) const {
    return samples[static_cast<size_t>(c)].data() + static_cast<size_t>(y) * width[static_cast<size_t>(c)];
  }
};

// Where MCU m begins: the last bit before it (McuStarts' convention; for MCU 0 the
// bit before the scan) and the DC predictors in force. mark -1: never reached.
struct McuMark {
  BitPos mark = -1;
  std::array<int16_t, 3> dc{};
};

// How one stretch of data between markers decoded, as the interval it claims to be:
// decoded MCU after MCU up to the marker that ends it (or a failure).
struct SegmentOutcome {
  int32_t interval = 0;
  int32_t firstMcu = 0;
  BitPos start = 0;  // its first bit
  DecodeStop stop;
  bool ok = false;  // exactly the interval's MCUs, 1-padding, the interval's marker
};

// Whether a stretch of interval `interval` that stopped so is exactly that interval.
bool IntervalComplete(const ScanModel& model, int32_t interval, const DecodeStop& stop);

struct ScanPass {
  std::vector<McuMark> marks;  // MCUs 0 .. totalMcus (the last: the end of the data)
  std::vector<SegmentOutcome> segments;
  int firstFailure = -1;  // index into segments, -1 when every interval decoded
  ComponentPlanes planes;

  bool Clean() const { return firstFailure < 0 && !segments.empty(); }
  const SegmentOutcome* Failure() const {
    return firstFailure < 0 ? nullptr : &segments[static_cast<size_t>(firstFailure)];
  }
};

// Decodes the scan of bytes interval by interval. After an interval that fails the
// pass goes on at the next restart marker (numbered as the marker says), so that
// every later interval is known too. With planes, every decoded block is drawn.
void RunScanPass(const ScanModel& model, const PatchedBytes& bytes, bool withPlanes, ScanPass& out);

// Whether every restart interval of the scan decodes strictly and completely, one after
// the other, as an encoder writes them (each block's transform within range too):
// the syntax of the scan alone, without its picture or where each MCU begins. One
// decode, with nothing held but the decoder: what a check of the syntax pays.
bool ScanSyntaxWhole(const ScanModel& model, std::span<const uint8_t> bytes);

// Dequantises and transforms a block as the window's decoder does: same samples,
// same overflow failures. quantNatural: the block's table in natural order.
bool TransformBlock(const IdctKernel& kernel, const std::array<int32_t, 64>& quantNatural,
                    std::array<int32_t, 64>& natural, uint64_t nonZero, SampleBlock& samples);

// Whether the block transforms without overflow, as TransformBlock would find, at the
// cost of a sum over its non-zero coefficients in the usual case.
bool TransformFits(const ScanModel& model, int block, std::array<int32_t, 64>& natural, uint64_t nonZero);

// The picture's samples of three MCU rows at a time, in a ring (row y of a component
// at y modulo three MCU rows): what the edges of the blocks of one MCU row need, two
// sample rows above and below it, without the whole picture.
struct BandPlanes : ComponentPlanes {
  std::array<int32_t, 3> rows{};  // per component: three MCU rows of samples

  void Reset(const ScanModel& model);
  uint8_t At(int c, int32_t x, int32_t y) const {
    const auto i = static_cast<size_t>(c);
    return samples[i][static_cast<size_t>(y % rows[i]) * width[i] + x];
  }
  uint8_t* Row(int c, int32_t y) {
    const auto i = static_cast<size_t>(c);
    return samples[i].data() + static_cast<size_t>(y % rows[i]) * width[i];
  }
  const uint8_t* Row(int c, int32_t y) const {
    const auto i = static_cast<size_t>(c);
    return samples[i].data() + static_cast<size_t>(y % rows[i]) * width[i];
  }
};

// Transforms block `block` of an MCU (its coefficients in natural order) into 8-bit
// samples, eight rows of eight at out, rows stride apart (out null: none are kept);
// false when the transform overflows.
inline bool BlockToBytes(const ScanModel& model, int block, std::array<int32_t, 64>& natural,
                         uint64_t nonZero, uint8_t* out, size_t stride) {
  const ScanModel::Block& b = model.blocks[static_cast<size_t>(block)];
  SampleBlock s;
  if (!TransformBlock(model.kernel, model.quantNatural[static_cast<size_t>(b.quant)], natural, nonZero, s))
    return false;
  if (out == nullptr) return true;
  for (size_t y = 0; y < 8; ++y, out += stride) ClampRowToBytes(s.data() + y * 8, out);
  return true;
}

// Draws decoded blocks into planes (ComponentPlanes or BandPlanes), MCU by MCU on the
// grid.
template <class Planes>
class PlaneSink {
 public:
  static constexpr bool kSymbols = false;
  static constexpr bool kCoefficients = true;

  PlaneSink(const ScanModel& model, Planes& planes, int32_t firstMcu)
      : model_(model), planes_(planes), mcu_(firstMcu) {}
  void OnSymbol(const ScanPoint&) {}
  bool OnBlock(int block, std::array<int32_t, 64>& natural, uint64_t nonZero) {
    size_t stride = 0;
    uint8_t* out = Origin(block, stride);
    return BlockToBytes(model_, block, natural, nonZero, out, stride);
  }
  // A block's samples made already, eight rows of eight bytes.
  void OnSamples(int block, const uint8_t* samples) {
    size_t stride = 0;
    uint8_t* out = Origin(block, stride);
    if (out == nullptr) return;
    for (size_t y = 0; y < 8; ++y, out += stride, samples += 8) std::memcpy(out, samples, 8);
  }
  bool OnMcu(int32_t mcu, BitPos, const std::array<int16_t, 3>&) {
    mcu_ = mcu;
    return true;
  }

 private:
  // Where the block of the MCU being drawn begins in planes, and the stride of its
  // rows; null below the picture's MCU rows.
  uint8_t* Origin(int block, size_t& stride) {
    if (mcu_ != placed_) Place();
    const ScanModel::Block& b = model_.blocks[static_cast<size_t>(block)];
    const auto c = static_cast<size_t>(b.component);
    uint8_t* const start = mcuStart_[c];
    if (start == nullptr) return nullptr;
    stride = static_cast<size_t>(planes_.width[c]);
    return start + static_cast<size_t>(b.y) * 8 * stride + static_cast<size_t>(b.x) * 8;
  }
  // Where the MCU being drawn begins in each component's plane: the divisions that
  // find its column, row and place in a band's ring, once an MCU rather than a block.
  void Place() {
    placed_ = mcu_;
    const int32_t column = mcu_ % model_.geometry.McusPerRow;
    const int32_t row = mcu_ / model_.geometry.McusPerRow;
    mcuStart_.fill(nullptr);
    if (row >= model_.geometry.McuRows) return;
    for (int c = 0; c < model_.components; ++c) {
      const auto i = static_cast<size_t>(c);
      // The MCU's first row of samples; its blocks' rows follow each other in either
      // planes (a band's ring holds whole MCU rows).
      mcuStart_[i] = planes_.Row(c, row * model_.v[i] * 8) + static_cast<size_t>(column * model_.h[i] * 8);
    }
  }

  const ScanModel& model_;
  Planes& planes_;
  int32_t mcu_;
  int32_t placed_ = -1;                 // the MCU mcuStart_ is for
  std::array<uint8_t*, 3> mcuStart_{};  // null below the picture's MCU rows
};

}  // namespace vorn
