#include "decode/scan_fixture.h"

#include <gtest/gtest.h>

#include <utility>

#include "decode/decode_scan.h"
#include "decode/simd.h"
#include "reference/reference_decoder.h"
#include "support/analysed_jpeg.h"

namespace vorn::testing {

HuffCodeTable CodeTable(const HuffmanSpec& spec) {
  HuffCodeTable t;
  int32_t code = 0;
  size_t i = 0;
  for (int n = 0; n < 16; ++n) {
    t.Count[n] = spec.counts[n];
    for (int k = 0; k < spec.counts[n]; ++k, ++i, ++code) {
      t.Code[n][k] = code;
      const uint8_t symbol = i < spec.symbols.size() ? spec.symbols[i] : 0;
      t.Run[n][k] = symbol >> 4;
      t.Size[n][k] = symbol & 15;
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
  CreateDecodeStores(rec, d);
  return d;
}

void FillWithLeftovers(DecodeState& d) {
  std::fill(d.ImagePixels.begin(), d.ImagePixels.end(), 0xDEADBEEF);
  for (McuStart& e : d.McuStarts.Entries) e = McuStart{{7, 7, 7}, 77, 7};
}

namespace {

// Whether every pixel of the MCU rows in pixelRows is the reference's, and every other
// pixel still the leftover.
bool SamePixelsInRows(const DecodeState& fast, const DecodeState& slow, const FrameRecord& frame,
                      const McuGeometry& g, PixelRows pixelRows) {
  if (fast.ImagePixels.size() != slow.ImagePixels.size()) return false;
  for (int32_t y = 0; y < frame.FrameHeight; ++y) {
    const bool made = pixelRows.Contains(y / g.McuHeight);
    const size_t row = static_cast<size_t>(frame.FrameHeight - 1 - y) * frame.FrameWidth;
    for (size_t i = row; i < row + static_cast<size_t>(frame.FrameWidth); ++i)
      if (fast.ImagePixels[i] != (made ? slow.ImagePixels[i] : 0xDEADBEEF)) return false;
  }
  return true;
}

}  // namespace

DecodeStatus ExpectSameDecode(const FileImage& file, const Records& rec, int32_t end, DecodeState& fast) {
  DecodeState slow = FreshDecodeState(rec);
  const int want = reference::DecodeScan(file, rec, end, slow);
  const McuGeometry g = ComputeMcuGeometry(rec.frame);
  DecodeStatus status = DecodeStatus::Ok;
  // Both ways of converting the MCUs, each into stores that still hold another
  // picture: every pixel and entry the decode does not reach must end as zero.
  // The plain kernels are those a processor without vector units gets. Without
  // pixels (no picture store at all) and with the two MCU rows a bit search rates
  // against, everything but the pixels left out must be the same.
  enum class Rows { All, None, Two };
  struct Mode {
    DecodeThreads threads;
    SimdLevel simd;
    Rows rows;
    const char* name;
  };
  // The last mode leaves fast with the whole picture, for the caller to look at.
  const Mode modes[] = {{DecodeThreads::Two, SimdLevel::Avx512, Rows::None, "no pixels"},
                        {DecodeThreads::Two, SimdLevel::Avx512, Rows::Two, "two rows of pixels"},
                        {DecodeThreads::Two, SimdLevel::Avx512, Rows::All, "two threads"},
                        {DecodeThreads::One, SimdLevel::Avx512, Rows::All, "one thread"},
                        {DecodeThreads::One, SimdLevel::Plain, Rows::All, "one thread, plain kernels"}};
  for (const Mode& mode : modes) {
    fast = FreshDecodeState(rec);
    FillWithLeftovers(fast);
    const PixelRows pixelRows = mode.rows == Rows::All    ? PixelRows{}
                                : mode.rows == Rows::None ? PixelRows::None()
                                                          : PixelRows{g.McuRows / 2 - 1, g.McuRows / 2};
    if (mode.rows == Rows::None) PixelStore().swap(fast.ImagePixels);
    SimdCeiling() = mode.simd;
    status = DecodeScan(file, rec, end, fast, mode.threads, pixelRows);
    SimdCeiling() = SimdLevel::Avx512;
    EXPECT_EQ(static_cast<int>(status), want) << mode.name;
    if (mode.rows == Rows::All) {
      EXPECT_TRUE(fast.ImagePixels == slow.ImagePixels) << "pixels differ, " << mode.name;
    } else if (mode.rows == Rows::Two) {
      EXPECT_TRUE(SamePixelsInRows(fast, slow, rec.frame, g, pixelRows)) << "pixels differ, " << mode.name;
    }
    EXPECT_EQ(fast.Plan.McuBlockCount, slow.Plan.McuBlockCount);
    EXPECT_EQ(fast.Plan.McuBlockTable, slow.Plan.McuBlockTable);
    for (size_t i = 0; i < fast.McuStarts.Entries.size(); ++i) {
      const McuStart& a = fast.McuStarts.Entries[i];
      const McuStart& b = slow.McuStarts.Entries[i];
      if (a.BytePos != b.BytePos || a.BitIndex != b.BitIndex || a.Dc[0] != b.Dc[0] || a.Dc[1] != b.Dc[1] ||
          a.Dc[2] != b.Dc[2]) {
        ADD_FAILURE() << "McuStarts entry " << i << ": " << a.BytePos << "/" << a.BitIndex << " against "
                      << b.BytePos << "/" << b.BitIndex << ", " << mode.name;
        break;
      }
    }
  }
  return status;
}

}  // namespace vorn::testing
