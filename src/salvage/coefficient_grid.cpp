#include "salvage/coefficient_grid.h"

#include <algorithm>

#include "repair/scan_pass.h"

namespace vorn {

void CoefficientGrid::Reset(const ScanModel& model) {
  blockCount = model.blockCount;
  totalMcus = model.totalMcus;
  blocks.assign(static_cast<size_t>(totalMcus) * static_cast<size_t>(blockCount), CoefficientBlock{});
  known.assign(static_cast<size_t>(totalMcus), 0);
}

BlockPlace PlaceOf(const ScanModel& model, int32_t mcu, int block) {
  const ScanModel::Block& b = model.blocks[static_cast<size_t>(block)];
  const int32_t perRow = model.geometry.McusPerRow;
  return BlockPlace{b.component, (mcu % perRow) * model.h[static_cast<size_t>(b.component)] + b.x,
                    (mcu / perRow) * model.v[static_cast<size_t>(b.component)] + b.y};
}

int32_t PlaneBlocksWide(const ScanModel& model, int c) {
  return model.geometry.McusPerRow * model.h[static_cast<size_t>(c)];
}

int32_t PlaneBlocksHigh(const ScanModel& model, int c) {
  return model.geometry.McuRows * model.v[static_cast<size_t>(c)];
}

bool BlockAt(const ScanModel& model, int c, int32_t x, int32_t y, int32_t& mcu, int& block) {
  if (x < 0 || y < 0 || x >= PlaneBlocksWide(model, c) || y >= PlaneBlocksHigh(model, c)) return false;
  const int h = model.h[static_cast<size_t>(c)], v = model.v[static_cast<size_t>(c)];
  mcu = (y / v) * model.geometry.McusPerRow + x / h;
  for (int b = 0; b < model.blockCount; ++b) {
    const ScanModel::Block& k = model.blocks[static_cast<size_t>(b)];
    if (k.component == c && k.x == x % h && k.y == y % v) {
      block = b;
      return true;
    }
  }
  return false;
}

int32_t DecodeGrid(const ScanModel& model, std::span<const uint8_t> bytes, CoefficientGrid& grid) {
  grid.Reset(model);
  const PatchedBytes patched(bytes.data(), static_cast<int64_t>(bytes.size()));
  StrictDecoder decoder(model);
  ScanPoint start;
  start.next = MakeBitPos(model.scanStart, 0);
  for (int32_t i = 0; i < model.intervals; ++i) {
    GridSink sink(grid, model.IntervalStart(i));
    const DecodeStop stop = i == 0 ? decoder.Run(patched, start, model.IntervalEnd(i), sink)
                                   : decoder.PassMarker(model.IntervalStart(i), model.IntervalEnd(i), sink);
    if (!IntervalComplete(model, i, stop)) return std::min(stop.mcu, model.IntervalEnd(i));
  }
  return model.totalMcus;
}

}  // namespace vorn
