#include "decode/decode_scan.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <thread>

#include "decode/block_plan.h"
#include "decode/colour.h"
#include "decode/idct.h"
#include "decode/mcu_pipeline.h"
#include "decode/scan_decoder.h"

namespace vorn {

namespace {

// The stores the caller created must fit the frame: X x Y pixels (when any are
// wanted), and McuStarts of McusPerRow x (McuRows + 1) entries.
bool StoresFit(const FrameRecord& frame, const McuGeometry& geometry, const DecodeState& decode,
               PixelRows pixelRows) {
  const size_t pixels = static_cast<size_t>(frame.FrameWidth) * frame.FrameHeight;
  return geometry.Valid() && (pixelRows.Empty() || decode.ImagePixels.size() == pixels) &&
         decode.McuStarts.Columns == geometry.McusPerRow && decode.McuStarts.Rows == geometry.McuRows + 1 &&
         decode.McuStarts.Entries.size() ==
             static_cast<size_t>(geometry.McusPerRow) * static_cast<size_t>(geometry.McuRows + 1);
}

// Below this many MCUs a picture decodes in a few milliseconds, and a second thread
// would cost more to start than it saves.
constexpr int64_t kMcusForTwoThreads = 4096;

// VORN_THREADS=1 in the environment keeps the automatic choice to one thread: for
// measuring the decoder on one core, and for a machine whose other cores are busy.
bool OneThreadAsked() {
  static const bool one = [] {
    const char* value = std::getenv("VORN_THREADS");
    return value != nullptr && std::string_view(value) == "1";
  }();
  return one;
}

}  // namespace

bool UseTwoThreads(DecodeThreads threads, int64_t mcus) {
  if (mcus == 0) return false;
  if (threads != DecodeThreads::Automatic) return threads == DecodeThreads::Two;
  return mcus >= kMcusForTwoThreads && std::thread::hardware_concurrency() > 1 && !OneThreadAsked();
}

namespace {

// What the decode did not reach ends as in stores created all zero: the pixels of
// the MCUs from (column, row) on (of the rows whose pixels are wanted), and the
// McuStarts entries after that MCU's.
void ClearUnreached(DecodeState& decode, const FrameRecord& frame, const McuGeometry& geometry,
                    int32_t column, int32_t row, PixelRows pixelRows) {
  if (!pixelRows.Empty()) {
    // A decode that stopped above the chosen rows reached none of their MCUs.
    const bool above = row < pixelRows.first;
    BlackenMcusFrom(decode.ImagePixels, frame.FrameWidth, frame.FrameHeight, geometry, above ? 0 : column,
                    above ? pixelRows.first : row, pixelRows.last);
  }
  auto& entries = decode.McuStarts.Entries;
  const int64_t next = int64_t{row} * geometry.McusPerRow + column + 1;
  if (next < static_cast<int64_t>(entries.size()))
    std::fill(entries.begin() + next, entries.end(), McuStart{});
}

void BuildTables(const Records& rec, const McuBlockPlan& plan, const IdctMatrixTable& matrix,
                 ScanTables& tables) {
  PrepareIdctKernel(matrix, tables.kernel);
  for (int q = 0; q < 3; ++q)
    std::copy(rec.quant.QuantValues[q].begin(), rec.quant.QuantValues[q].end(), tables.quant[q].begin());
  tables.quant[3].fill(1);
  for (int b = 0; b < plan.McuBlockCount; ++b) {
    const int q = plan.Quant(b);
    tables.blockQuant[b] = tables.quant[q >= 0 && q <= 2 ? q : 3].data();
  }
  const int64_t largest = *std::max_element(tables.kernel.columnMax.begin(), tables.kernel.columnMax.end());
  tables.uncheckedSum = largest > 0 ? INT32_MAX / largest : INT64_MAX;
  std::array<std::array<bool, 4>, 2> built{};
  for (int b = 0; b < plan.McuBlockCount; ++b) {
    for (int cls = 0; cls < 2; ++cls) {
      const int selector = plan.McuBlockTable[cls * 6 + b];
      const HuffmanLookup* table = nullptr;
      if (selector >= 0 && selector <= 3) {
        if (!built[cls][selector]) {
          tables.huffman[cls][selector].Build(rec.huff.HuffTable[cls][selector]);
          tables.huffman[cls][selector].BuildValues(cls == 1);
        }
        built[cls][selector] = true;
        table = &tables.huffman[cls][selector];
      }
      (cls == 0 ? tables.dc : tables.ac)[b] = table;
    }
  }
}

}  // namespace

DecodeStatus DecodeScan(const FileImage& file, const Records& rec, int32_t scanDataEnd, DecodeState& decode,
                        DecodeThreads threads, PixelRows pixelRows) {
  // The tracer reads these as this decode leaves them, so they are set first,
  // whatever happens after.
  decode.BitMask = {128, 64, 32, 16, 8, 4, 2, 1};
  BuildIdctMatrix(decode.IdctMatrix);
  const bool planned = BuildBlockPlan(rec.frame, rec.scan, decode.Plan);
  const McuGeometry geometry = ComputeMcuGeometry(rec.frame);
  if (!StoresFit(rec.frame, geometry, decode, pixelRows)) return DecodeStatus::Failure;

  McuStart& first = decode.McuStarts.At(0, 0);
  first = McuStart{};
  if (!planned) {
    // Nothing is decoded, and not even the first entry is recorded.
    ClearUnreached(decode, rec.frame, geometry, 0, 0, pixelRows);
    return DecodeStatus::Failure;
  }
  first.BytePos = rec.scan.ScanDataStart - 1;
  first.BitIndex = 7;

  // About 40 KB of tables: on the heap, not the stack.
  auto tables = std::make_unique<ScanTables>();
  BuildTables(rec, decode.Plan, decode.IdctMatrix, *tables);
  const int64_t pixelMcus = int64_t{geometry.McusPerRow} * pixelRows.Within(geometry.McuRows);
  McuPipeline pixels(tables->kernel, decode.ImagePixels, rec.frame, geometry, decode.Plan.McuBlockCount,
                     pixelRows, UseTwoThreads(threads, pixelMcus));
  ScanDecoder decoder(file, rec, scanDataEnd, *tables, geometry, decode, pixels);
  const DecodeStatus status = decoder.Run();
  pixels.Finish();
  ClearUnreached(decode, rec.frame, geometry, decoder.NextColumn(), decoder.NextRow(), pixelRows);
  return status;
}

}  // namespace vorn
