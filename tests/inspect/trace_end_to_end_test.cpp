// The pointer and the tracer on whole files, driven through the window model: a
// press on an MCU, then traces from it, compared with libjpeg's picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/trace_scan.h"
#include "support/jpeg_builder.h"
#include "support/libjpeg_peer.h"
#include "support/window_session.h"

namespace vorn {
namespace {

using Window = testing::WindowSession;

// Where the entropy-coded data begins: walking the segments from the SOI, after
// the SOS segment's length field and payload.
int32_t ScanDataStartOf(const std::vector<uint8_t>& jpeg) {
  size_t p = 2;
  while (p + 3 < jpeg.size()) {
    const size_t length = jpeg[p + 2] << 8 | jpeg[p + 3];
    if (jpeg[p + 1] == 0xDA) return static_cast<int32_t>(p + 2 + length);
    p += 2 + length;
  }
  return -1;
}

struct Layout {
  int h0, v0, components, restartInterval;
};

class TraceRealFiles : public ::testing::TestWithParam<Layout> {
 protected:
  void SetUp() override {
    const Layout layout = GetParam();
    testing::EncodeOptions options;
    options.width = 72;  // not a whole number of MCUs
    options.height = 40;
    options.h0 = layout.h0;
    options.v0 = layout.v0;
    options.components = layout.components;
    options.restartInterval = layout.restartInterval;
    jpeg_ = testing::EncodePhotoLike(options, 7);
    peer_ = testing::DecodeWithLibjpeg(jpeg_);
    ASSERT_TRUE(peer_.ok);
    ASSERT_TRUE(window_.Load(jpeg_));
    ASSERT_EQ(window_.decode.LastStatus, DecodeStatus::Ok);
  }

  // The largest channel difference between traced MCU m and libjpeg's picture at
  // MCU cell (column, row), over the part inside the picture.
  int MaxDiffToPeer(const McuBuffer& buffer, int m, int32_t column, int32_t row) const {
    int maxDiff = 0;
    for (int32_t y = 0; y < buffer.height; ++y) {
      for (int32_t x = 0; x < buffer.width; ++x) {
        const int32_t px = column * buffer.width + x;
        const int32_t py = row * buffer.height + y;
        if (px >= peer_.width || py >= peer_.height) continue;
        const uint32_t pixel = buffer.At(x, y, m);
        const size_t at = 3 * (static_cast<size_t>(py) * peer_.width + px);
        for (int c = 0; c < 3; ++c) {
          const int ours = static_cast<int>((pixel >> (16 - 8 * c)) & 0xFF);  // R, G, B
          maxDiff = std::max(maxDiff, std::abs(ours - peer_.rgb[at + c]));
        }
      }
    }
    return maxDiff;
  }

  std::vector<uint8_t> jpeg_;
  testing::DecodedPicture peer_;
  Window window_;
};

// The pointer's cell is component 0's blocks, and one 8 x 8 block in a grey frame
// whatever factors its header gives.
TEST_P(TraceRealFiles, TheMcuCellIsOneBlockInAGreyFrame) {
  const Layout layout = GetParam();
  const McuGeometry& g = window_.decode.Geometry;
  EXPECT_EQ(g.McuWidth, layout.components == 1 ? 8 : 8 * layout.h0);
  EXPECT_EQ(g.McuHeight, layout.components == 1 ? 8 : 8 * layout.v0);
  EXPECT_EQ(window_.form.SOF0Hi[0].text, std::to_string(layout.h0));  // shown as the header gives it
}

TEST_P(TraceRealFiles, FirstMcuPointsAtTheFirstScanByte) {
  window_.PressMcu(0, 0);
  const window::WindowModel& form = window_.form;
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", ScanDataStartOf(jpeg_));
  EXPECT_EQ(form.MCUBYTE.text, hex);
  EXPECT_EQ(form.MCUBIT.text, "0");
  EXPECT_EQ(form.DCV[0].text + form.DCV[1].text + form.DCV[2].text, "000");
}

TEST_P(TraceRealFiles, EveryMcuChecksCleanAndItsListStartsAtThePointer) {
  const McuGeometry& g = window_.decode.Geometry;
  for (int32_t row = 0; row < g.McuRows; ++row) {
    for (int32_t column = 0; column < g.McusPerRow; ++column) {
      window_.PressMcu(column, row);
      ASSERT_TRUE(window_.form.MCUCHK.Click());
      EXPECT_EQ(window_.LastMessage(), "正常！") << column << "," << row;
      const McuPointerState& p = window_.inspect.McuPointer;
      ASSERT_GT(window_.form.LOG.Count(), 0);
      char prefix[16];
      std::snprintf(prefix, sizeof prefix, "%08X-%d:", p.BytePos, p.BitIndex);
      EXPECT_EQ(window_.form.LOG.lines[0].substr(0, 11), prefix);
      EXPECT_EQ(window_.form.LOG.tag, "");
      EXPECT_EQ(window_.analysis.LineAddress[0], p.BytePos);
    }
  }
}

// Three MCUs from every MCU that has two more after it: the pixels are libjpeg's
// within the rounding of the integer transform (see the decode tests: samples
// truncate toward 128 where libjpeg rounds, at most 3 per channel after colour
// conversion), and McuEnd names the bytes where the decoder saw the MCUs end.
// With restart intervals the traces run across RSTn markers.
TEST_P(TraceRealFiles, ThreeTracedMcusMatchLibjpegAndEndWhereTheDecoderSaw) {
  const McuGeometry& g = window_.decode.Geometry;
  const int32_t count = g.McusPerRow * g.McuRows;
  McuBuffer buffer;
  buffer.Reset(g.McuWidth, g.McuHeight, 3);
  for (int32_t i = 0; i + 2 < count; ++i) {
    window_.PressMcu(i % g.McusPerRow, i / g.McusPerRow);
    ASSERT_EQ(TraceScan(window_.app, buffer, 2, false), TraceResult::Done) << i;
    for (int m = 0; m < 3; ++m) {
      const int32_t next = i + m;
      EXPECT_LE(MaxDiffToPeer(buffer, m, next % g.McusPerRow, next / g.McusPerRow), 3) << i << " " << m;
    }
    for (int m = 0; m < 2; ++m) {
      const int32_t after = i + m + 1;
      EXPECT_EQ(window_.inspect.McuEnd[m],
                window_.decode.McuStarts.At(after % g.McusPerRow, after / g.McusPerRow).BytePos)
          << i << " " << m;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, TraceRealFiles,
                         ::testing::Values(Layout{2, 2, 3, 0}, Layout{2, 1, 3, 0}, Layout{1, 1, 3, 2},
                                           Layout{1, 1, 1, 0}, Layout{2, 2, 3, 1}, Layout{2, 2, 1, 0},
                                           Layout{1, 2, 1, 3}));

TEST(TraceRestart, McuAfterAMarkerPointsBeforeItAndTracesFromZeroPredictors) {
  testing::EncodeOptions options;
  options.width = 64;
  options.height = 32;
  options.restartInterval = 1;
  const std::vector<uint8_t> jpeg = testing::EncodePhotoLike(options, 3);
  const testing::DecodedPicture peer = testing::DecodeWithLibjpeg(jpeg);
  Window window;
  ASSERT_TRUE(window.Load(jpeg));
  // RST markers in the data, in order: the one before MCU k is the (k-1)-th.
  std::vector<int32_t> markers;
  for (size_t p = static_cast<size_t>(ScanDataStartOf(jpeg)); p + 1 < jpeg.size(); ++p)
    if (jpeg[p] == 0xFF && jpeg[p + 1] >= 0xD0 && jpeg[p + 1] <= 0xD7)
      markers.push_back(static_cast<int32_t>(p));
  ASSERT_EQ(markers.size(), 7u);  // 4 x 2 MCUs
  for (int32_t k = 1; k < 8; ++k) {
    window.PressMcu(k % 4, k / 4);
    const McuPointerState& p = window.inspect.McuPointer;
    // Right after the previous MCU's data: in its last byte, or the marker's FF
    // when that MCU filled its last byte.
    EXPECT_TRUE(p.BytePos == markers[k - 1] - 1 || (p.BytePos == markers[k - 1] && p.BitIndex == 0)) << k;
    // The predictors from before the marker.
    EXPECT_EQ(window.form.DCV[0].text, std::to_string(window.decode.McuStarts.At(k % 4, k / 4).Dc[0]));
    ASSERT_TRUE(window.form.MCUCHK.Click());
    EXPECT_EQ(window.LastMessage(), "正常！") << k;
  }
}

// A grey picture built so that MCU 7 begins right after a data FF: the previous
// MCU's last bit is bit 7 of that FF, so the pointer names the stuffed 00.
// Tables: DC 0 -> size 1, 10 -> size 5, 110 -> size 0; AC 0 -> (0,1), 10 -> ZRL,
// 110 -> (0,2), 111 -> end of block. MCUs 0..5: 0 1 111 (+1), five bits each;
// MCU 6 from bit 30: 10 11111 111 (+31) through the FF at byte 4; MCU 7: 110 111.
std::vector<uint8_t> McuAfterDataFf(int32_t& stuffedAt) {
  using namespace testing;
  HuffmanSpec dc{0, 0, {1, 1, 1}, {0x01, 0x05, 0x00}};
  HuffmanSpec ac{1, 0, {1, 1, 2}, {0x01, 0xF0, 0x02, 0x00}};
  BitWriter scan;
  for (int i = 0; i < 6; ++i) scan.PutBits(0b01111, 5);
  scan.PutBits(0b1011111111, 10);
  scan.PutBits(0b110111, 6);
  const std::vector<uint8_t> data = scan.Finish();
  JpegBuilder b;
  b.Soi().App0Jfif().Dqt(0, FlatQuant(8)).Sof0(64, 8, Grey()).Dht({dc, ac});
  b.Sos(GreyScan());
  stuffedAt = b.Size() + 5;
  b.Raw(data).Eoi();
  return b.Bytes();
}

TEST(TraceStuffedStart, PointerNamesTheStuffedByteAndTheTraceStartsAfterIt) {
  int32_t stuffedAt = 0;
  const std::vector<uint8_t> jpeg = McuAfterDataFf(stuffedAt);
  ASSERT_EQ(jpeg[static_cast<size_t>(stuffedAt - 1)], 0xFF);
  ASSERT_EQ(jpeg[static_cast<size_t>(stuffedAt)], 0x00);
  Window window;
  ASSERT_TRUE(window.Load(jpeg));
  window.PressMcu(7, 0);
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", stuffedAt);
  EXPECT_EQ(window.form.MCUBYTE.text, hex);
  EXPECT_EQ(window.form.MCUBIT.text, "0");
  EXPECT_EQ(window.form.DCV[0].text, "37");  // 6 x 1 + 31

  ASSERT_TRUE(window.form.MCUCHK.Click());
  EXPECT_EQ(window.LastMessage(), "正常！");
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%08X-0:", stuffedAt + 1);
  ASSERT_EQ(window.form.LOG.Count(), 2);  // DC and end of block
  EXPECT_EQ(window.form.LOG.lines[0].substr(0, 11), prefix);

  // DC 37 x 8 / 8 = 37 above 128.
  McuBuffer buffer;
  buffer.Reset(8, 8, 1);
  ASSERT_EQ(TraceScan(window.app, buffer, 0, false), TraceResult::Done);
  EXPECT_EQ(buffer.At(3, 3, 0), 0xA5A5A5u);
}

}  // namespace
}  // namespace vorn
