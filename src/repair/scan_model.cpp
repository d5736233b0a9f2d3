#include "repair/scan_model.h"

#include "analysis/zigzag.h"
#include "jpeg/marker_codes.h"
#include "jpeg/mcu_sampling.h"

namespace vorn {

std::string ScanModelProblem(const Records& rec) {
  const FrameRecord& frame = rec.frame;
  if (!ComputeMcuGeometry(frame).Valid() || frame.FrameWidth < 1 || frame.FrameHeight < 1)
    return "the frame has no MCU grid";
  const int components = frame.ComponentCount;
  if (components < 1 || components > 3) return "the frame has " + std::to_string(components) + " components";
  int blocks = 0;
  for (int c = 0; c < components; ++c) {
    // As the scan codes it: a grey frame one block per MCU, whatever its header says.
    const McuSampling s = ComponentSampling(frame, c);
    const int dc = rec.scan.DcTableSelector[c], ac = rec.scan.AcTableSelector[c], q = frame.QuantSelector[c];
    if (s.h < 1 || s.v < 1 || s.h > 4 || s.v > 4) return "a sampling factor is out of range";
    if (dc < 0 || dc > 3 || ac < 0 || ac > 3 || q < 0 || q > 2) return "a table selector names no table";
    blocks += s.h * s.v;
    if (blocks > kMaxRepairBlocks) return "more than ten blocks per MCU";
  }
  return "";
}

bool BuildScanModel(const Records& rec, int32_t restartInterval, ScanModel& model, std::string& why) {
  why = ScanModelProblem(rec);
  if (!why.empty()) return false;
  const FrameRecord& frame = rec.frame;
  model.scanStart = rec.scan.ScanDataStart;
  model.geometry = ComputeMcuGeometry(frame);
  model.frameWidth = frame.FrameWidth;
  model.frameHeight = frame.FrameHeight;
  model.totalMcus = model.geometry.McusPerRow * model.geometry.McuRows;
  model.restartInterval = restartInterval > 0 ? restartInterval : 0;
  model.intervals =
      model.restartInterval > 0 ? (model.totalMcus + model.restartInterval - 1) / model.restartInterval : 1;
  model.components = frame.ComponentCount;
  std::array<bool, 4> dcBuilt{}, acBuilt{};
  model.blockCount = 0;
  model.hMax = model.vMax = 1;
  for (int c = 0; c < model.components; ++c) {
    const McuSampling s = ComponentSampling(frame, c);
    const int h = s.h, v = s.v;
    const int dc = rec.scan.DcTableSelector[c], ac = rec.scan.AcTableSelector[c], q = frame.QuantSelector[c];
    model.h[c] = h;
    model.v[c] = v;
    model.hMax = std::max(model.hMax, h);
    model.vMax = std::max(model.vMax, v);
    if (!dcBuilt[dc]) {
      model.dcTables[dc].Build(rec.huff.HuffTable[0][dc]);
      model.dcTables[dc].BuildValues(false);
    }
    if (!acBuilt[ac]) {
      model.acTables[ac].Build(rec.huff.HuffTable[1][ac]);
      model.acTables[ac].BuildValues(true);
    }
    dcBuilt[dc] = acBuilt[ac] = true;
    for (int y = 0; y < v; ++y) {
      for (int x = 0; x < h; ++x) {
        ScanModel::Block& b = model.blocks[model.blockCount++];
        b = ScanModel::Block{c,
                             x,
                             y,
                             q,
                             &model.dcTables[dc],
                             &model.acTables[ac],
                             &model.largest[static_cast<size_t>(q)],
                             &model.overflowWeightZigZag[static_cast<size_t>(q)]};
      }
    }
  }
  model.quant = rec.quant.QuantValues;
  for (size_t q = 0; q < 3; ++q)
    for (size_t p = 0; p < 64; ++p) {
      const int32_t step = std::max<int32_t>(1, model.quant[q][p]);
      model.largest[q][p] = 1024 / step + 1;
    }
  for (int q = 0; q < 3; ++q)
    for (int p = 0; p < 64; ++p)
      model.quantNatural[static_cast<size_t>(q)][static_cast<size_t>(kNaturalOrder[static_cast<size_t>(p)])] =
          model.quant[static_cast<size_t>(q)][static_cast<size_t>(p)];
  IdctMatrixTable matrix;
  BuildIdctMatrix(matrix);
  PrepareIdctKernel(matrix, model.kernel);
  for (size_t q = 0; q < 3; ++q)
    for (size_t k = 0; k < 64; ++k)
      model.overflowWeight[q][k] = model.quantNatural[q][k] * model.kernel.columnMax[k];
  for (size_t q = 0; q < 3; ++q)
    for (size_t z = 0; z < 64; ++z)
      model.overflowWeightZigZag[q][z] = model.overflowWeight[q][static_cast<size_t>(kNaturalOrder[z])];
  return true;
}

int64_t FirstScanData(std::span<const uint8_t> bytes, uint8_t* frameCode) {
  if (frameCode) *frameCode = 0;
  const auto size = static_cast<int64_t>(bytes.size());
  const auto at = [&](int64_t i) { return bytes[static_cast<size_t>(i)]; };
  if (size < 4 || at(0) != marker::kFill || at(1) != marker::kSOI) return -1;
  int64_t p = 2;
  while (p + 1 < size) {
    if (at(p) != marker::kFill) return -1;
    const uint8_t code = at(p + 1);
    if (code == marker::kFill) {  // a fill byte before a marker
      ++p;
      continue;
    }
    if (code == marker::kSOI || code == marker::kEOI || marker::IsRestartMarker(code) || code == 0x01 ||
        code == marker::kStuffedZero)
      return -1;  // no marker without a length belongs before the first scan
    if (p + 3 >= size) return -1;
    const int64_t length = at(p + 2) * 256 + at(p + 3);
    if (length < 2) return -1;
    if (code == marker::kSOS) return p + 2 + length <= size ? p + 2 + length : -1;
    if (frameCode && *frameCode == 0 && marker::IsFrameMarker(code)) *frameCode = code;
    p += 2 + length;
  }
  return -1;
}

std::unique_ptr<ScanModel> ScanModelOf(const JpegDocument& doc, std::string& problem) {
  auto model = std::make_unique<ScanModel>();
  if (!BuildScanModel(doc, doc.RestartInterval, *model, problem)) return nullptr;
  return model;
}

}  // namespace vorn
