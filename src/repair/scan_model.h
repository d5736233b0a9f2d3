// What the repair engine reads of an analysed file: where the scan begins, the MCU
// grid, the blocks of one MCU with their tables, the restart interval. Built once
// per analysis; the engine never looks at the records again.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "decode/decode_state.h"
#include "decode/huffman_lookup.h"
#include "decode/idct.h"
#include "jpeg/document.h"

namespace vorn {

// A scan may hold up to ten blocks per MCU; the window's decoder stops at six.
inline constexpr int kMaxRepairBlocks = 10;

// Blocks point at the model's own tables: a model is built in place and never copied.
struct ScanModel {
  ScanModel() = default;
  ScanModel(const ScanModel&) = delete;
  ScanModel& operator=(const ScanModel&) = delete;

  struct Block {
    int component = 0;
    int x = 0;  // the block's place in the component's part of the MCU, in blocks
    int y = 0;
    int quant = 0;
    const HuffmanLookup* dc = nullptr;
    const HuffmanLookup* ac = nullptr;
    const std::array<int32_t, 64>* largest = nullptr;  // per zig-zag index: see largest
    const std::array<int64_t, 64>* weight = nullptr;   // per zig-zag index: see overflowWeight
  };

  int32_t scanStart = 0;        // first byte of the entropy-coded data
  McuGeometry geometry;         // the grid the window counts MCUs in
  int32_t totalMcus = 0;        // McusPerRow x McuRows
  int32_t restartInterval = 0;  // MCUs per interval; 0: none
  int32_t intervals = 1;
  int components = 0;
  std::array<int, 3> h{}, v{};  // sampling factors
  int hMax = 1, vMax = 1;
  int frameWidth = 0, frameHeight = 0;
  int blockCount = 0;
  std::array<Block, kMaxRepairBlocks> blocks{};
  std::array<std::array<int16_t, 64>, 3> quant{};         // zig-zag order
  std::array<std::array<int32_t, 64>, 3> quantNatural{};  // natural order
  // Per quantization slot and zig-zag index, the largest coefficient (in size) that a
  // block of 8-bit samples gives: every DCT coefficient of such a block lies within
  // +-1024, so a quantized one within 1024 / q and the rounding.
  std::array<std::array<int32_t, 64>, 3> largest{};
  std::array<HuffmanLookup, 4> dcTables, acTables;
  IdctKernel kernel;
  // Per quantization slot and natural position, the step times the kernel's column
  // bound: a block's transform cannot overflow while the sum of |coefficient| times
  // these stays within 32 bits (see TransformNatural).
  std::array<std::array<int64_t, 64>, 3> overflowWeight{};
  std::array<std::array<int64_t, 64>, 3> overflowWeightZigZag{};  // the same per zig-zag index

  // The interval that MCU m belongs to, and the MCU at which interval i ends.
  int32_t IntervalOf(int32_t m) const { return restartInterval > 0 ? m / restartInterval : 0; }
  int32_t IntervalEnd(int32_t i) const {
    return restartInterval > 0 ? std::min<int64_t>(int64_t{i + 1} * restartInterval, totalMcus) : totalMcus;
  }
  int32_t IntervalStart(int32_t i) const { return restartInterval > 0 ? i * restartInterval : 0; }
  // The marker that must follow interval i: RSTn in turn, EOI after the last.
  uint8_t MarkerAfter(int32_t i) const {
    return i + 1 >= intervals ? 0xD9 : static_cast<uint8_t>(0xD0 + (i & 7));
  }
  // Whether MCU pixels can be laid out on the grid (component 0 carries the largest
  // sampling factors, as every encoder writes it).
  bool GridMatchesSampling() const { return h[0] == hMax && v[0] == vMax; }
};

// Why the scan of an analysed file cannot be decoded at all (no MCU grid, a selector
// that names no table, more than ten blocks per MCU); empty when it can. Cheap: it
// builds nothing.
std::string ScanModelProblem(const Records& rec);

// The model of an analysed file: false (with ScanModelProblem's why) when the scan
// cannot be decoded at all.
bool BuildScanModel(const Records& rec, int32_t restartInterval, ScanModel& model, std::string& why);

// Where the entropy-coded data of the file's first scan begins, found by walking the
// segments by their lengths from the SOI at position 0 (so that a thumbnail inside
// an APPn segment is stepped over); -1 when the walk does not reach an SOS. With
// frameCode, the code of the first frame header (SOFn) the walk meets, 0 for none.
int64_t FirstScanData(std::span<const uint8_t> bytes, uint8_t* frameCode = nullptr);

// The model of the scan of the document as the last parse found it (with its restart
// interval); null (with the problem) when the scan cannot be decoded at all.
std::unique_ptr<ScanModel> ScanModelOf(const JpegDocument& doc, std::string& problem);

}  // namespace vorn
