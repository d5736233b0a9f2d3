#include "decode/decode_scan.h"

#include <memory>

#include "decode/block_plan.h"
#include "decode/idct.h"
#include "decode/scan_decoder.h"

namespace vorn {

namespace {

// The stores the caller created must fit the frame: X x Y pixels, and McuStarts of
// McusPerRow x (McuRows + 1) entries.
bool StoresFit(const FrameRecord& frame, const McuGeometry& geometry, const DecodeState& decode) {
  const size_t pixels = static_cast<size_t>(frame.FrameWidth) * frame.FrameHeight;
  return geometry.Valid() && decode.ImagePixels.size() == pixels &&
         decode.McuStarts.Columns == geometry.McusPerRow && decode.McuStarts.Rows == geometry.McuRows + 1 &&
         decode.McuStarts.Entries.size() ==
             static_cast<size_t>(geometry.McusPerRow) * static_cast<size_t>(geometry.McuRows + 1);
}

void BuildTables(const Records& rec, const McuBlockPlan& plan, const IdctMatrixTable& matrix,
                 ScanTables& tables) {
  PrepareIdctKernel(matrix, tables.kernel);
  for (int q = 0; q < 3; ++q)
    for (int p = 0; p < 64; ++p) tables.quant[q][kNaturalOrder[p]] = rec.quant.QuantValues[q][p];
  std::array<std::array<bool, 4>, 2> built{};
  for (int b = 0; b < plan.McuBlockCount; ++b) {
    for (int cls = 0; cls < 2; ++cls) {
      const int selector = plan.McuBlockTable[cls * 6 + b];
      const HuffmanLookup* table = nullptr;
      if (selector >= 0 && selector <= 3) {
        if (!built[cls][selector]) tables.huffman[cls][selector].Build(rec.huff.HuffTable[cls][selector]);
        built[cls][selector] = true;
        table = &tables.huffman[cls][selector];
      }
      (cls == 0 ? tables.dc : tables.ac)[b] = table;
    }
  }
}

}  // namespace

DecodeStatus DecodeScan(const FileImage& file, const Records& rec, int32_t scanDataEnd, DecodeState& decode) {
  // The tracer reads these as this decode leaves them, so they are set first,
  // whatever happens after.
  decode.BitMask = {128, 64, 32, 16, 8, 4, 2, 1};
  BuildIdctMatrix(decode.IdctMatrix);
  if (!BuildBlockPlan(rec.frame, rec.scan, decode.Plan)) return DecodeStatus::Failure;
  const McuGeometry geometry = ComputeMcuGeometry(rec.frame);
  if (!StoresFit(rec.frame, geometry, decode)) return DecodeStatus::Failure;

  McuStart& first = decode.McuStarts.At(0, 0);
  first = McuStart{};
  first.BytePos = rec.scan.ScanDataStart - 1;
  first.BitIndex = 7;

  // About 40 KB of tables: on the heap, not the stack.
  auto tables = std::make_unique<ScanTables>();
  BuildTables(rec, decode.Plan, decode.IdctMatrix, *tables);
  ScanDecoder decoder(file, rec, scanDataEnd, *tables, geometry, decode);
  return decoder.Run();
}

}  // namespace vorn
