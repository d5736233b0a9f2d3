// The scan decoder on hand-made scans whose every bit is known: the worked cases
// of the decoder's description, each also checked against the literal reference
// decoder.
#include "decode/decode_scan.h"

#include <gtest/gtest.h>

#include "decode/scan_fixture.h"
#include "support/rgb.h"

namespace vorn {
namespace {

using testing::AcTable;
using testing::BitWriter;
using testing::DcTable;
using testing::FrameComponent;

struct Outcome {
  DecodeStatus status = DecodeStatus::Failure;
  DecodeState d;
};

using testing::Rgb;

// Decodes with DecodeScan and with the reference; both must agree on everything.
Outcome Decode(Records rec, const std::vector<uint8_t>& scan, int32_t endAdjust = 0, bool withEoi = true) {
  FileImage file;
  int32_t end = testing::PlaceScan(file, rec, scan) + endAdjust;
  if (!withEoi) {
    file.bytes.resize(file.bytes.size() - 2);
    end = file.FileLength() - 1;
  }
  Outcome fast;
  fast.status = testing::ExpectSameDecode(file, rec, end, fast.d);
  return fast;
}

uint32_t PixelAt(const Outcome& o, const Records& rec, int x, int y) {
  const int X = rec.frame.FrameWidth, Y = rec.frame.FrameHeight;
  return o.d.ImagePixels[static_cast<size_t>(Y - 1 - y) * X + x];
}

void ExpectStart(const McuStart& e, int dc0, int dc1, int dc2, int32_t pos, int bit) {
  EXPECT_EQ(e.Dc[0], dc0);
  EXPECT_EQ(e.Dc[1], dc1);
  EXPECT_EQ(e.Dc[2], dc2);
  EXPECT_EQ(e.BytePos, pos);
  EXPECT_EQ(e.BitIndex, bit);
}

Records Grey(int width, int height) {
  return testing::MakeRecords(width, height, {FrameComponent{1, 1, 1, 0}});
}

// One grey block: DC difference 8, dequantised by 1, gives sums of 4000000: 129.
// Its bits: DC code 101 (size 4), extra bits 1000, EOB 1010: 11 bits, the last one
// bit 2 of the second byte.
TEST(DecodeScan, GreyBlockAndFirstMcuStarts) {
  const Records rec = Grey(8, 8);
  BitWriter w;
  w.PutBlock(DcTable(0), AcTable(0), 8);
  ASSERT_EQ(w.BitCount(), 11);
  const Outcome o = Decode(rec, w.Finish());
  EXPECT_EQ(o.status, DecodeStatus::Ok);
  for (uint32_t p : o.d.ImagePixels) EXPECT_EQ(p, Rgb(129, 129, 129));
  ExpectStart(o.d.McuStarts.At(0, 0), 0, 0, 0, 4 - 1, 7);  // ScanDataStart - 1, bit 7
  ExpectStart(o.d.McuStarts.At(0, 1), 8, 0, 0, 5, 2);      // the surplus row's entry
  // What the tracer reads afterwards.
  const std::array<uint8_t, 8> masks = {128, 64, 32, 16, 8, 4, 2, 1};
  EXPECT_EQ(o.d.BitMask, masks);
  EXPECT_EQ(o.d.IdctMatrix[63 * 64], 500000);
}

// 4:2:0: six blocks, chroma from blocks 4 and 5. Cr with a DC of 1016 gives
// 1016 x 500000 / 4000000 + 128 = 255: the colour (128, 128, 255) -> (255, 37, 128).
TEST(DecodeScan, ColourMcuTakesChromaFromBlocksFourAndFive) {
  const Records rec = testing::MakeRecords(16, 16, {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}});
  BitWriter w;
  for (int b = 0; b < 4; ++b) w.PutBlock(DcTable(0), AcTable(0), 0);
  w.PutBlock(DcTable(1), AcTable(1), 0);
  w.PutBlock(DcTable(1), AcTable(1), 1016);
  const Outcome o = Decode(rec, w.Finish());
  EXPECT_EQ(o.status, DecodeStatus::Ok);
  EXPECT_EQ(o.d.Plan.McuBlockCount, 6);
  const std::array<int16_t, 24> plan = {0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1,
                                        0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 2};
  EXPECT_EQ(o.d.Plan.McuBlockTable, plan);
  for (uint32_t p : o.d.ImagePixels) EXPECT_EQ(p, Rgb(255, 37, 128));
  EXPECT_EQ(o.d.McuStarts.At(0, 1).Dc[2], 1016);
}

// One component is one block per MCU of 8 x 8 pixels whatever its sampling factors
// say (1 x 2, 2 x 1, 2 x 2), in raster order, grey: the k-th block of the data, with
// a DC of 8k, is the MCU at column k mod 4, row k div 4, of grey 128 + k.
TEST(DecodeScan, OneComponentIsOneGreyBlockPerMcuWhateverItsSampling) {
  for (const auto& [h, v] : {std::pair{2, 2}, std::pair{1, 2}, std::pair{2, 1}}) {
    SCOPED_TRACE(std::to_string(h) + "x" + std::to_string(v));
    const Records rec = testing::MakeRecords(32, 16, {FrameComponent{1, h, v, 0}});
    BitWriter w;
    for (int k = 0; k < 8; ++k) w.PutBlock(DcTable(0), AcTable(0), 8);
    const Outcome o = Decode(rec, w.Finish());
    EXPECT_EQ(o.status, DecodeStatus::Ok);
    EXPECT_EQ(o.d.Plan.McuBlockCount, 1);
    EXPECT_EQ(o.d.McuStarts.Columns, 4);
    EXPECT_EQ(o.d.McuStarts.Rows, 3);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x) {
        const uint8_t grey = static_cast<uint8_t>(129 + x / 8 + 4 * (y / 8));
        ASSERT_EQ(PixelAt(o, rec, x, y), Rgb(grey, grey, grey)) << x << "," << y;
      }
    EXPECT_EQ(o.d.McuStarts.At(3, 1).Dc[0], 8 * 7);
  }
}

// A DC difference of 2047 has the 9-bit code 111111110 and the extra bits
// 11111111111: the data holds FF bytes, each followed by a stuffed 00.
TEST(DecodeScan, StuffedZeroAfterDataFf) {
  const Records rec = Grey(16, 8);
  BitWriter w;
  w.PutBlock(DcTable(0), AcTable(0), 2047);
  w.PutBlock(DcTable(0), AcTable(0), -2047);
  const std::vector<uint8_t> scan = w.Finish();
  ASSERT_EQ(scan[0], 0xFF);
  ASSERT_EQ(scan[1], 0x00);
  const Outcome o = Decode(rec, scan);
  EXPECT_EQ(o.status, DecodeStatus::Ok);
  // 2047 x 500000 / 4000000 = 255 (truncated) + 128 = 383: white after limiting.
  EXPECT_EQ(PixelAt(o, rec, 0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(PixelAt(o, rec, 8, 0), Rgb(128, 128, 128));
  // The first block's 24 bits are the data bytes FF 7F FA (file FF 00 7F FA): it
  // ends on bit 7 of the FA at position 4 + 3.
  ExpectStart(o.d.McuStarts.At(1, 0), 2047, 0, 0, 4 + 3, 7);
}

// FF D3 after the first MCU (and its padding ones): the predictors go back to 0,
// so the second MCU's difference 0 gives 128 again; its McuStarts entry still
// points at the first MCU's last bit and holds the predictor from before.
TEST(DecodeScan, RestartMarkerResetsPredictorsButNotTheEntry) {
  const Records rec = Grey(24, 8);
  BitWriter first;
  first.PutBlock(DcTable(0), AcTable(0), 8);  // 11 bits: ends at byte 1, bit 2
  std::vector<uint8_t> scan = first.Finish();
  scan.push_back(0xFF);
  scan.push_back(0xD3);
  BitWriter second;
  second.PutBlock(DcTable(0), AcTable(0), 0);
  second.PutBlock(DcTable(0), AcTable(0), 8);
  const std::vector<uint8_t> rest = second.Finish();
  scan.insert(scan.end(), rest.begin(), rest.end());
  const Outcome o = Decode(rec, scan);
  EXPECT_EQ(o.status, DecodeStatus::Ok);
  EXPECT_EQ(PixelAt(o, rec, 0, 0), Rgb(129, 129, 129));
  EXPECT_EQ(PixelAt(o, rec, 8, 0), Rgb(128, 128, 128));
  EXPECT_EQ(PixelAt(o, rec, 16, 0), Rgb(129, 129, 129));
  ExpectStart(o.d.McuStarts.At(1, 0), 8, 0, 0, 4 + 1, 2);
  EXPECT_EQ(o.d.McuStarts.At(2, 0).Dc[0], 0);
}

// A restart marker in the middle of a code word drops the bits collected so far.
TEST(DecodeScan, RestartMarkerInsideACodeWordDropsItsBits) {
  const Records rec = Grey(8, 8);
  // 10 = the first two bits of the size-4 DC code 101; then a whole block.
  std::vector<uint8_t> scan = {0xBF, 0xFF, 0xD5};  // 1011 1111 1111 1111 then RST5
  BitWriter w;
  w.PutBlock(DcTable(0), AcTable(0), -8);
  const std::vector<uint8_t> rest = w.Finish();
  scan.insert(scan.end(), rest.begin(), rest.end());
  // Before the marker: DC code 101 and extra bits 1111 (15), then nine ones, the
  // start of a 16-bit AC code word. The marker drops them; the AC code word that
  // follows is read afresh from the next bits, 1010: end of block.
  const Outcome o = Decode(rec, scan);
  EXPECT_EQ(o.status, DecodeStatus::Ok);
  EXPECT_EQ(PixelAt(o, rec, 0, 0), Rgb(129, 129, 129));  // 15 x 500000 / 4000000 + 128
  EXPECT_EQ(o.d.McuStarts.At(0, 1).Dc[0], 15);
}

TEST(DecodeScan, ForeignMarkerStopsWithStatusOneKeepingEarlierMcus) {
  const Records rec = Grey(16, 8);
  BitWriter w;
  w.PutBlock(DcTable(0), AcTable(0), 8);
  std::vector<uint8_t> scan = w.Finish();
  scan.insert(scan.end(), {0xFF, 0xC4, 0x00, 0x00});
  const Outcome o = Decode(rec, scan);
  EXPECT_EQ(o.status, DecodeStatus::ForeignMarker);
  EXPECT_EQ(PixelAt(o, rec, 0, 0), Rgb(129, 129, 129));
  EXPECT_EQ(PixelAt(o, rec, 8, 0), 0u);
}

TEST(DecodeScan, EarlyEndAndEmptyScanAreStatusZero) {
  const Records rec = Grey(8, 16);
  BitWriter w;
  w.PutBlock(DcTable(0), AcTable(0), 8);
  const Outcome early = Decode(rec, w.Finish());
  EXPECT_EQ(early.status, DecodeStatus::Ok);
  EXPECT_EQ(PixelAt(early, rec, 0, 0), Rgb(129, 129, 129));
  EXPECT_EQ(PixelAt(early, rec, 0, 8), 0u);

  // ScanDataEnd below ScanDataStart: nothing decoded, only the first entry.
  const Outcome empty = Decode(rec, {0x12, 0x34}, -2);
  EXPECT_EQ(empty.status, DecodeStatus::Ok);
  for (uint32_t p : empty.d.ImagePixels) EXPECT_EQ(p, 0u);
  ExpectStart(empty.d.McuStarts.At(0, 0), 0, 0, 0, 3, 7);
  ExpectStart(empty.d.McuStarts.At(0, 1), 0, 0, 0, 0, 0);
}

// A table without codes: sixteen bits are still a code word being collected; the
// seventeenth fails.
TEST(DecodeScan, EmptyTableFailsOnTheSeventeenthBit) {
  Records rec = Grey(8, 8);
  rec.scan.DcTableSelector[0] = 2;  // identifier 2 is never filled
  EXPECT_EQ(Decode(rec, {0x00, 0x00}).status, DecodeStatus::Ok);
  EXPECT_EQ(Decode(rec, {0x00, 0x00, 0x00}).status, DecodeStatus::Failure);
  rec.scan.DcTableSelector[0] = 4;  // names no table at all: fails on its first bit
  EXPECT_EQ(Decode(rec, {0x00}).status, DecodeStatus::Failure);
  EXPECT_EQ(Decode(rec, {0x00}, -1).status, DecodeStatus::Ok);  // ... but only when a bit comes
}

// Run 0 / size 10 is a 16-bit code word of the standard luminance AC table.
TEST(DecodeScan, SixteenBitCodeWordDecodes) {
  ASSERT_EQ(AcTable(0).CodeOf(0x0A)->length, 16);
  const Records rec = Grey(8, 8);
  BitWriter w;
  std::array<int, 63> ac{};
  ac[0] = -600;
  w.PutBlock(DcTable(0), AcTable(0), 0, ac);
  const Outcome o = Decode(rec, w.Finish());
  EXPECT_EQ(o.status, DecodeStatus::Ok);
  // Coefficient 1 (u = 1) of -600: left columns dark, right columns light.
  EXPECT_LT(PixelAt(o, rec, 0, 0) & 0xFF, 128u);
  EXPECT_GT(PixelAt(o, rec, 7, 0) & 0xFF, 128u);
}

TEST(DecodeScan, OneSurplusRowOfMcusIsDecodedASecondFails) {
  const Records rec = Grey(16, 8);  // two MCUs per row, McuRows 1
  auto blocks = [](int n) {
    BitWriter w;
    for (int i = 0; i < n; ++i) w.PutBlock(DcTable(0), AcTable(0), 1);
    return w.Finish();
  };
  const Outcome three = Decode(rec, blocks(3));
  EXPECT_EQ(three.status, DecodeStatus::Ok);
  EXPECT_EQ(three.d.McuStarts.At(1, 1).Dc[0], 3);
  EXPECT_EQ(Decode(rec, blocks(4)).status, DecodeStatus::Failure);  // completes row 1: row 2 is one too many
}

TEST(DecodeScan, FfAsTheLastByteOfTheFileFails) {
  const Records rec = Grey(8, 8);
  // The FF's bits are data; looking at the byte after it would leave the file.
  EXPECT_EQ(Decode(rec, {0x12, 0xFF}, 0, false).status, DecodeStatus::Failure);
  // The same FF followed by FF D9: a foreign marker.
  EXPECT_EQ(Decode(rec, {0x12, 0xFF}, 1).status, DecodeStatus::ForeignMarker);
}

TEST(DecodeScan, BadPlansAndStoresFailWithoutDecoding) {
  Records rec = testing::MakeRecords(16, 16, {{1, 2, 2, 0}, {2, 2, 1, 1}, {3, 1, 1, 1}});  // 7 blocks
  EXPECT_EQ(Decode(rec, {0x00}).status, DecodeStatus::Failure);
  EXPECT_EQ(Decode(rec, {0x00}).d.Plan.McuBlockCount, 0);

  rec = Grey(8, 8);
  rec.frame.ComponentCount = 4;
  EXPECT_EQ(Decode(rec, {0x00}).status, DecodeStatus::Failure);

  // A zero sampling factor of component 0: no MCU grid, nothing divided by it.
  rec = Grey(8, 8);
  rec.frame.HSampling[0] = 0;
  FileImage file;
  const int32_t end = testing::PlaceScan(file, rec, {0x00});
  DecodeState d = testing::FreshDecodeState(rec);
  EXPECT_EQ(DecodeScan(file, rec, end, d), DecodeStatus::Failure);

  // Stores that do not fit the frame are refused, not overrun.
  rec = Grey(16, 16);
  d = testing::FreshDecodeState(Grey(8, 8));
  EXPECT_EQ(DecodeScan(file, rec, end, d), DecodeStatus::Failure);
}

TEST(DecodeScan, OutOfRangeSelectorsFailWhenUsed) {
  Records rec = Grey(8, 8);
  rec.frame.QuantSelector[0] = 3;
  BitWriter w;
  w.PutBlock(DcTable(0), AcTable(0), 0);
  const std::vector<uint8_t> block = w.Finish();
  EXPECT_EQ(Decode(rec, {0xFF, 0x00}).status, DecodeStatus::Ok);  // no block completed
  EXPECT_EQ(Decode(rec, block).status, DecodeStatus::Failure);

  rec = Grey(8, 8);
  rec.scan.AcTableSelector[0] = 7;
  EXPECT_EQ(Decode(rec, {0x00}).status, DecodeStatus::Failure);  // DC 00 = size 0, then an AC bit
  // The same with enough data for whole code words at once (it once read through
  // the missing table there).
  EXPECT_EQ(Decode(rec, std::vector<uint8_t>(16, 0x00)).status, DecodeStatus::Failure);
}

// A DC sum beyond 16 bits and a coefficient past position 63 are failures.
TEST(DecodeScan, DcOverflowAndRunsPastTheBlock) {
  Records rec = Grey(16, 8);
  testing::HuffmanSpec dc;  // code 0: size 15; code 10: size 1
  dc.counts[0] = 1;
  dc.counts[1] = 1;
  dc.symbols = {0x0F, 0x01};
  rec.huff.HuffTable[0][0] = testing::CodeTable(dc);
  BitWriter w;
  w.PutBits(0b101, 3);  // +1
  w.PutEob(AcTable(0));
  w.PutBits(0, 1);
  w.PutBits(0x7FFF, 15);  // +32767: the sum 32768 leaves 16 bits
  w.PutEob(AcTable(0));
  const Outcome o = Decode(rec, w.Finish());
  EXPECT_EQ(o.status, DecodeStatus::Failure);
  EXPECT_EQ(PixelAt(o, rec, 0, 0), Rgb(128, 128, 128));
  EXPECT_EQ(PixelAt(o, rec, 8, 0), 0u);

  rec = Grey(8, 8);
  BitWriter runs;
  runs.PutDc(DcTable(0), 0);
  for (int i = 0; i < 3; ++i) runs.PutCode(AcTable(0), 0xF0);  // zeros 1..48
  runs.PutAc(AcTable(0), 14, 1);                               // zeros 49..62, value at 63
  runs.PutDc(DcTable(0), 0);
  for (int i = 0; i < 4; ++i) runs.PutCode(AcTable(0), 0xF0);  // the fourth ZRL ends at 64
  EXPECT_EQ(Decode(rec, runs.Finish()).status, DecodeStatus::Failure);
}

}  // namespace
}  // namespace vorn
