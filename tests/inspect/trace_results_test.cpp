// How a trace ends: its result, the McuEnd entries it writes, what it leaves in
// the buffer, every failure of result 2, and the trial byte override.
#include <gtest/gtest.h>

#include "inspect/trace_fixture.h"

namespace vorn::testing {
namespace {

// n grey MCUs from pos, back to back: each a DC of +1 ("101 1") and an end of
// block ("00"), six bits. MCU m ends on bit 6m + 5 of the data.
void PutSmallMcus(TraceFixture& f, int32_t pos, int n) {
  BitPlacer placer = f.At(pos);
  for (int i = 0; i < n; ++i) placer.Put("101 1 00");
  placer.Pad();
}

TEST(TraceResults, LastIndexZeroDecodesOneMcuAndWritesNoEnd) {
  TraceFixture f;
  PutSmallMcus(f, 0x30, 3);
  EXPECT_EQ(f.Trace(0, false), TraceResult::Done);
  EXPECT_EQ(f.mcuEnd, (std::array<int32_t, 3>{-7, -7, -7}));
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(129)));
  EXPECT_TRUE(f.McuIs(1, 0));  // untouched
}

TEST(TraceResults, LastIndexTwoWritesTheEndsOfMcusZeroAndOne) {
  TraceFixture f;
  PutSmallMcus(f, 0x30, 3);
  EXPECT_EQ(f.Trace(2, false), TraceResult::Done);
  // Bits 5 and 11 lie in bytes 0x30 and 0x31; McuEnd(2) keeps its old value.
  EXPECT_EQ(f.mcuEnd, (std::array<int32_t, 3>{0x30, 0x31, -7}));
  // The predictor runs on: 1, 2, 3 above 128.
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(129)));
  EXPECT_TRUE(f.McuIs(1, TraceFixture::GreyPixel(130)));
  EXPECT_TRUE(f.McuIs(2, TraceFixture::GreyPixel(131)));
}

TEST(TraceResults, LastIndexThreeCompletesAndAFourthRecordedEndFails) {
  TraceFixture f;
  PutSmallMcus(f, 0x30, 5);
  f.pixels.Reset(8, 8, 5);
  EXPECT_EQ(f.Trace(3, false), TraceResult::Done);
  EXPECT_EQ(f.mcuEnd, (std::array<int32_t, 3>{0x30, 0x31, 0x32}));
  EXPECT_EQ(f.Trace(4, false), TraceResult::Failure);
  EXPECT_TRUE(f.McuIs(3, TraceFixture::GreyPixel(132)));  // converted before the stop
  EXPECT_TRUE(f.McuIs(4, 0));
}

TEST(TraceResults, BufferTooSmallOrOfAnotherMcuSizeFails) {
  TraceFixture f;
  PutSmallMcus(f, 0x30, 3);
  f.pixels.Reset(8, 8, 1);
  EXPECT_EQ(f.Trace(1, false), TraceResult::Failure);
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(129)));
  f.pixels.Reset(16, 16, 1);
  EXPECT_EQ(f.Trace(0, false), TraceResult::Failure);
}

TEST(TraceResults, EndOfDataBeforeTheLastMcuIsResultThree) {
  TraceFixture f;
  PutSmallMcus(f, 0x30, 1);
  f.scanDataEnd = 0x31;
  EXPECT_EQ(f.Trace(1, true), TraceResult::EndOfData);
  EXPECT_EQ(f.mcuEnd[0], 0x30);
  EXPECT_EQ(f.LOG.Count(), 2);
}

TEST(TraceResults, StartBeyondTheDataEndsAtOnceWithAnEmptyList) {
  TraceFixture f;
  f.LOG.AddItem("left from an analysis");
  f.LOG.tag = "0";
  f.At(0x50);
  f.scanDataEnd = 0x4F;
  EXPECT_EQ(f.Trace(0, true), TraceResult::EndOfData);
  EXPECT_EQ(f.LOG.Count(), 0);
  EXPECT_EQ(f.LOG.tag, "");
}

TEST(TraceResults, CodeWordOfSeventeenBitsWithoutMatchFails) {
  TraceFixture f;
  f.plan.McuBlockTable[0] = 2;  // DC table 2 has no codes
  f.At(0x30);
  EXPECT_EQ(f.Trace(0, true), TraceResult::Failure);
  EXPECT_EQ(f.LOG.Count(), 0);
  // A code word of exactly sixteen bits decodes.
  f.plan.McuBlockTable[0] = 0;
  f.plan.McuBlockTable[6] = 0;
  f.At(0x30).Put("01").Put("1011000000000000 000").Put("00");
  EXPECT_EQ(f.Trace(0, false), TraceResult::Done);
}

TEST(TraceResults, ZeroRunPastPosition63Fails) {
  TraceFixture f;
  // DC, then four ZRL: 1 + 3 x 16 = 49, and the fourth's sixteenth zero at 64.
  f.At(0x30).Put("01").Put("100 100 100 100").Put("00");
  EXPECT_EQ(f.Trace(0, true), TraceResult::Failure);
  EXPECT_EQ(f.LOG.Count(), 4);  // DC and three ZRL lines
}

TEST(TraceResults, PredictorsOutsideSixteenBitsFailBeforeTheListIsTouched) {
  TraceFixture f;
  PutSmallMcus(f, 0x30, 1);
  f.LOG.AddItem("kept");
  f.startDc = {0, 32768, 0};
  EXPECT_EQ(f.Trace(0, true), TraceResult::Failure);
  EXPECT_EQ(f.LOG.Count(), 1);
  f.startDc = {0, 0, -32769};
  EXPECT_EQ(f.Trace(0, true), TraceResult::Failure);
}

TEST(TraceResults, DcSumOutsideSixteenBitsFails) {
  TraceFixture f;
  PutSmallMcus(f, 0x30, 1);
  f.startDc = {32767, 0, 0};  // + 1
  EXPECT_EQ(f.Trace(0, false), TraceResult::Failure);
  f.startDc = {-32767, 0, 0};
  f.At(0x30).Put("00 00 00").Pad();  // -3
  EXPECT_EQ(f.Trace(0, false), TraceResult::Failure);
}

TEST(TraceResults, TransformOverflowFails) {
  TraceFixture f;
  for (auto& q : f.rec.quant.QuantValues[1]) q = 255;
  f.Quant(1);
  // DC 2046 x 255 = 521730; x 500000 leaves the 32-bit range.
  f.At(0x30).Put("100 11111111110").Put("00");
  EXPECT_EQ(f.Trace(0, false), TraceResult::Failure);
}

TEST(TraceResults, FfAsTheFileLastByteFails) {
  TraceFixture f(0x32);
  f.At(0x30).Put("01 00").Pad().Raw({0xFF});
  EXPECT_EQ(f.Trace(1, false), TraceResult::Failure);
}

TEST(TraceResults, PlanThatNamesNoTableOrSlotFails) {
  TraceFixture f;
  PutSmallMcus(f, 0x30, 1);
  f.plan.McuBlockTable[0] = 4;  // DC selector
  EXPECT_EQ(f.Trace(0, false), TraceResult::Failure);
  f.plan.McuBlockTable[0] = 0;
  f.plan.McuBlockTable[12] = 3;  // quantization slot
  EXPECT_EQ(f.Trace(0, false), TraceResult::Failure);
  f.plan.McuBlockTable[12] = 0;
  f.plan.McuBlockCount = 0;
  EXPECT_EQ(f.Trace(0, false), TraceResult::Failure);
}

TEST(TraceResults, ColourMcuOfSixBlocksFillsSixteenBySixteen) {
  TraceFixture f;
  f.Colour420();
  BitPlacer placer = f.At(0x30);
  for (int b = 0; b < 4; ++b) placer.Put("101 1 00");  // luma: DC +1 each
  placer.Put("01 00").Put("01 00");                    // Cb, Cr: DC 0
  ASSERT_EQ(f.Trace(0, false), TraceResult::Done);
  // Luma blocks share component 0's predictor: 1, 2, 3, 4 above 128, one per
  // 8 x 8 quarter in raster order; chroma at 128 is neutral.
  EXPECT_EQ(f.pixels.At(0, 0, 0), TraceFixture::GreyPixel(129));
  EXPECT_EQ(f.pixels.At(15, 0, 0), TraceFixture::GreyPixel(130));
  EXPECT_EQ(f.pixels.At(0, 15, 0), TraceFixture::GreyPixel(131));
  EXPECT_EQ(f.pixels.At(15, 15, 0), TraceFixture::GreyPixel(132));
}

TEST(TraceResults, TrialByteIsSeenWithoutChangingTheFile) {
  TraceFixture f;
  f.At(0x30).Put("00 00 00").Pad();  // 0x03: DC size 2, extra 00 (-3), EOB
  const ByteStore before = f.file.bytes;
  // 0x23 reads 00 10 00: extra bits 10, DC +2.
  f.trial = ByteOverride{0x30, 0x23};
  EXPECT_EQ(f.Trace(0, false), TraceResult::Done);
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(130)));
  EXPECT_EQ(f.file.bytes, before);
  f.trial = ByteOverride{};
  EXPECT_EQ(f.Trace(0, false), TraceResult::Done);
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(125)));
}

// The previous MCU ended on the last bit of a data FF: the pointer names the stuffed
// 00 after it, bit 0, but the next MCU's data begins after that byte.
TEST(TraceMends, StartOnStuffedByteResumesAfterIt) {
  TraceFixture f;
  f.rec.scan.ScanDataStart = 0x2E;
  f.At(0x2F).Raw({0xFF, 0x00});
  f.At(0x31).Put("101 1 00").Pad();
  f.pointer.BytePos = 0x30;
  f.pointer.BitIndex = 0;
  ASSERT_EQ(f.Trace(0, true), TraceResult::Done);
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(129)));
  ASSERT_EQ(f.LOG.Count(), 2);
  EXPECT_EQ(f.LOG.lines[0].substr(0, 11), "00000031-0:");
  EXPECT_EQ(f.analysis.LineAddress[0], 0x31);
}

TEST(TraceMends, StartAfterDataFfTakesTheMarkerAsTheDecoderDid) {
  TraceFixture f;
  f.rec.scan.ScanDataStart = 0x2E;
  f.startDc = {20, 0, 0};
  f.At(0x2F).Raw({0xFF, 0xD2});
  f.At(0x31).Put("101 1 00").Pad();
  f.pointer.BytePos = 0x30;
  f.pointer.BitIndex = 0;
  ASSERT_EQ(f.Trace(0, false), TraceResult::Done);
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(129)));  // restarted predictor
  f.file.bytes[0x30] = 0xD9;
  EXPECT_EQ(f.Trace(0, false), TraceResult::ForeignMarker);
}

TEST(TraceMends, ByteAfterAnFfOutsideTheDataIsReadAsData) {
  TraceFixture f;
  // An FF before the scan data (a header byte) is not data the decoder consumed.
  f.rec.scan.ScanDataStart = 0x30;
  f.At(0x2F).Raw({0xFF});
  f.At(0x30).Put("101 1 00").Pad();
  ASSERT_EQ(f.Trace(0, false), TraceResult::Done);
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(129)));
}

}  // namespace
}  // namespace vorn::testing
