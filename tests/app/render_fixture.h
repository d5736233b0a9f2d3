// A window state whose analysis records are filled by hand, so that rendering can
// be tested on scans written bit by bit, without the marker analysis.
#pragma once

#include <cstdint>
#include <vector>

#include "app/app_state.h"
#include "app/wiring.h"
#include "decode/scan_fixture.h"
#include "support/jpeg_builder.h"
#include "support/test_app.h"
#include "window/dialogs.h"

namespace vorn::testing {

// Grey of a flat block whose dequantised DC is 8: every sum is 8 x 500000, so every
// sample is 4000000 div 4000000 + 128 = 129, and with neutral chroma R = G = B.
inline constexpr uint32_t kGrey129 = 0x818181;

// The scan of every render test: DC code 00 for size 0 and 01 for size 4, AC code
// 0 for end of block. A block of DC difference 8 is 01 1000 0 (7 bits).
inline HuffmanSpec TinyDc() {
  HuffmanSpec t;
  t.tc = 0;
  t.counts[1] = 2;
  t.symbols = {0x00, 0x04};
  return t;
}
inline HuffmanSpec TinyAc() {
  HuffmanSpec t;
  t.tc = 1;
  t.counts[0] = 1;
  t.symbols = {0x00};
  return t;
}

struct RenderFixture : TestApp {
  static constexpr int32_t kScanStart = 4;  // the scan follows four bytes of anything

  RenderFixture() {
    WireDecodeHandlers(app);
    rec.huff.HuffTable[0][0] = CodeTable(TinyDc());
    rec.huff.HuffTable[1][0] = CodeTable(TinyAc());
    rec.quant.QuantValues[0].fill(1);
    SetFrame(16, 16, 1, 1, 1);
    SetScan({});
  }

  // Components 1 .. 2 are 1 x 1; every component uses tables 0 and quant slot 0.
  void SetFrame(int width, int height, int h0, int v0, int components) {
    FrameRecord& f = rec.frame;
    f.FrameWidth = static_cast<uint16_t>(width);
    f.FrameHeight = static_cast<uint16_t>(height);
    f.ComponentCount = static_cast<int16_t>(components);
    f.HSampling = {static_cast<int16_t>(h0), 1, 1};
    f.VSampling = {static_cast<int16_t>(v0), 1, 1};
    f.QuantSelector = {0, 0, 0};
    rec.scan.ScanComponentCount = static_cast<int16_t>(components);
    rec.scan.DcTableSelector = {0, 0, 0};
    rec.scan.AcTableSelector = {0, 0, 0};
  }

  // The file: four filler bytes, then data as the whole entropy-coded segment
  // (empty data gives ScanDataEnd below ScanDataStart).
  void SetScan(const std::vector<uint8_t>& data) {
    file.bytes.assign(kScanStart, 0xAA);
    file.bytes.insert(file.bytes.end(), data.begin(), data.end());
    rec.scan.ScanDataStart = kScanStart;
    analysis.ScanDataEnd = kScanStart + static_cast<int32_t>(data.size()) - 1;
  }

  // n grey MCUs of one block each (DC 8, then unchanged), padded with 1 bits.
  static std::vector<uint8_t> GreyMcus(int n) {
    BitWriter bits;
    for (int i = 0; i < n; ++i) bits.PutBlock(TinyDc(), TinyAc(), i == 0 ? 8 : 0);
    return bits.Finish();
  }

  // Pixel of image line y (from the top) in ImagePixels.
  uint32_t ImagePixel(int x, int y) const {
    const DecodeState& d = decode;
    return d.ImagePixels[static_cast<size_t>(d.ImageHeight - 1 - y) * d.ImageWidth + x];
  }
};

}  // namespace vorn::testing
