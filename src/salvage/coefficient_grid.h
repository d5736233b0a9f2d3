// The quantised coefficients of every MCU of a scan, as the salvage reads them from
// the file and as the baseline encoder writes them back.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "repair/scan_model.h"
#include "repair/strict_decoder.h"

namespace vorn {

using CoefficientBlock = std::array<int16_t, 64>;  // natural order, the DC value itself

struct CoefficientGrid {
  int blockCount = 0;
  int32_t totalMcus = 0;
  std::vector<CoefficientBlock> blocks;  // MCU by MCU, blockCount each
  std::vector<uint8_t> known;            // per MCU: 1 when its blocks are the file's own

  void Reset(const ScanModel& model);
  CoefficientBlock& Block(int32_t mcu, int block) {
    return blocks[static_cast<size_t>(mcu) * static_cast<size_t>(blockCount) + static_cast<size_t>(block)];
  }
  const CoefficientBlock& Block(int32_t mcu, int block) const {
    return blocks[static_cast<size_t>(mcu) * static_cast<size_t>(blockCount) + static_cast<size_t>(block)];
  }
};

// Where block `block` of MCU `mcu` lies in its component's plane of blocks, and back.
struct BlockPlace {
  int component = 0;
  int32_t x = 0, y = 0;  // in blocks
};
BlockPlace PlaceOf(const ScanModel& model, int32_t mcu, int block);
// The MCU and block at (x, y) of component c's plane; false outside the MCU grid.
bool BlockAt(const ScanModel& model, int c, int32_t x, int32_t y, int32_t& mcu, int& block);
// Blocks of component c across and down the MCU grid.
int32_t PlaneBlocksWide(const ScanModel& model, int c);
int32_t PlaneBlocksHigh(const ScanModel& model, int c);

// Decodes the whole scan of bytes strictly, interval by interval, into grid (Reset
// first): the MCU before which it stops, totalMcus when every interval is whole.
int32_t DecodeGrid(const ScanModel& model, std::span<const uint8_t> bytes, CoefficientGrid& grid);

// Records what a strict decode completes into a grid: each MCU once all its blocks are
// decoded, at its index plus `shift`, and (when asked) the bit each MCU ends at.
class GridSink {
 public:
  static constexpr bool kSymbols = false;
  static constexpr bool kCoefficients = true;

  GridSink(CoefficientGrid& grid, int32_t firstMcu, int32_t shift = 0, std::vector<BitPos>* ends = nullptr)
      : grid_(grid), mcu_(firstMcu), shift_(shift), ends_(ends) {}
  void OnSymbol(const ScanPoint&) {}
  bool OnBlock(int block, std::array<int32_t, 64>& natural, uint64_t /*nonZero*/) {
    CoefficientBlock& out = pending_[static_cast<size_t>(block)];
    for (size_t i = 0; i < 64; ++i) out[i] = static_cast<int16_t>(natural[i]);
    return true;
  }
  bool OnMcu(int32_t mcu, BitPos mark, const std::array<int16_t, 3>&) {
    const int32_t at = mcu - 1 + shift_;
    if (at >= 0 && at < grid_.totalMcus) {
      for (int b = 0; b < grid_.blockCount; ++b) grid_.Block(at, b) = pending_[static_cast<size_t>(b)];
      grid_.known[static_cast<size_t>(at)] = 1;
    }
    if (ends_) ends_->push_back(mark);
    mcu_ = mcu;
    return true;
  }

 private:
  CoefficientGrid& grid_;
  int32_t mcu_;
  int32_t shift_;
  std::vector<BitPos>* ends_;
  std::array<CoefficientBlock, kMaxRepairBlocks> pending_{};
};

}  // namespace vorn
