#include "decode/scan_fixture.h"

namespace vorn::testing {

HuffCodeTable CodeTable(const HuffmanSpec& spec) {
  HuffCodeTable t;
  int32_t code = 0;
  size_t i = 0;
  for (int n = 0; n < 16; ++n) {
    t.count[n] = spec.counts[n];
    for (int k = 0; k < spec.counts[n]; ++k, ++i, ++code) {
      t.code[n][k] = code;
      const uint8_t symbol = i < spec.symbols.size() ? spec.symbols[i] : 0;
      t.run[n][k] = symbol >> 4;
      t.size[n][k] = symbol & 15;
    }
    code *= 2;
  }
  return t;
}

const HuffmanSpec& DcTable(int id) {
  static const HuffmanSpec tables[2] = {StandardLuminanceDc(), StandardChrominanceDc()};
  return tables[id];
}

const HuffmanSpec& AcTable(int id) {
  static const HuffmanSpec tables[2] = {StandardLuminanceAc(), StandardChrominanceAc()};
  return tables[id];
}

Records MakeRecords(int width, int height, const std::vector<FrameComponent>& components) {
  Records rec;
  rec.frame.FramePrecision = 8;
  rec.frame.FrameWidth = static_cast<uint16_t>(width);
  rec.frame.FrameHeight = static_cast<uint16_t>(height);
  rec.frame.ComponentCount = static_cast<int16_t>(components.size());
  rec.scan.ScanComponentCount = static_cast<int16_t>(components.size());
  for (size_t c = 0; c < components.size() && c < 3; ++c) {
    rec.frame.ComponentId[c] = static_cast<int16_t>(components[c].id);
    rec.frame.HSampling[c] = static_cast<int16_t>(components[c].h);
    rec.frame.VSampling[c] = static_cast<int16_t>(components[c].v);
    rec.frame.QuantSelector[c] = static_cast<int16_t>(components[c].tq);
    rec.scan.DcTableSelector[c] = c == 0 ? 0 : 1;
    rec.scan.AcTableSelector[c] = c == 0 ? 0 : 1;
  }
  for (auto& q : rec.quant.QuantValues) q.fill(1);
  for (int id = 0; id < 2; ++id) {
    rec.huff.HuffTable[0][id] = CodeTable(DcTable(id));
    rec.huff.HuffTable[1][id] = CodeTable(AcTable(id));
  }
  return rec;
}

int32_t PlaceScan(FileImage& file, Records& rec, const std::vector<uint8_t>& scan, int lead) {
  file.bytes.assign(static_cast<size_t>(lead), 0x5A);
  file.bytes.insert(file.bytes.end(), scan.begin(), scan.end());
  file.bytes.push_back(0xFF);
  file.bytes.push_back(0xD9);
  rec.scan.ScanDataStart = lead;
  return lead + static_cast<int32_t>(scan.size()) - 1;
}

DecodeState FreshDecodeState(const Records& rec) {
  DecodeState d;
  const McuGeometry g = ComputeMcuGeometry(rec.frame);
  d.geometry = g;
  d.imageWidth = rec.frame.FrameWidth;
  d.imageHeight = rec.frame.FrameHeight;
  d.ImagePixels.assign(static_cast<size_t>(rec.frame.FrameWidth) * rec.frame.FrameHeight, 0);
  if (g.Valid()) d.McuStarts.Reset(g.McusPerRow, g.McuRows + 1);
  return d;
}

}  // namespace vorn::testing
