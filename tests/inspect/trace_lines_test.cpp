// The listing of the scan tracer, line by line, against hand-worked examples.
#include <gtest/gtest.h>

#include "inspect/trace_fixture.h"

namespace vorn::testing {
namespace {

std::string Spaces(int n) {
  return std::string(static_cast<size_t>(n), ' ');
}

// A code word's part of a line: its bits, spaces to column 16, "(R,S)".
std::string Code(const std::string& bits, const std::string& symbol) {
  return bits + Spaces(16 - static_cast<int>(bits.size())) + "(" + symbol + ")";
}
std::string Coefficient(const std::string& extra, const std::string& value, const std::string& where) {
  const int pad = extra.size() < 10 ? 10 - static_cast<int>(extra.size()) : 0;
  return " D:" + extra + Spaces(pad) + " V:" + value + " P:" + where;
}
std::string Eob(const std::string& where) {
  return Code("00", "0,0") + "←EOB" + Spaces(20) + "P:" + where;
}

TEST(TraceLines, WorkedExampleAtBit3OfPosition25A) {
  TraceFixture f;
  f.At(0x25A, 3).Put("00 11").Put("00");  // DC size 2, extra bits 11 (3); EOB
  ASSERT_EQ(f.Trace(0, true), TraceResult::Done);
  ASSERT_EQ(f.LOG.Count(), 2);
  EXPECT_EQ(f.LOG.lines[0], "0000025A-3:00" + Spaces(14) + "(0,2) D:11" + Spaces(8) + " V:00000003 P:0(0)");
  // The end of block begins at bit 3 + 4 = 7 of the same byte.
  EXPECT_EQ(f.LOG.lines[1], "0000025A-7:" + Eob("1(0)"));
  EXPECT_EQ(f.analysis.LineAddress[0], 0x25A);
  EXPECT_EQ(f.analysis.LineAddress[1], 0x25A);
  EXPECT_EQ(f.analysis.LogLineCount, 2);
  EXPECT_EQ(f.LOG.tag, "");
  // DC 3 x 8 = 24: sums of 24 x 500000 = 12000000, samples 128 + 3.
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(131)));
}

TEST(TraceLines, DcOfSizeZeroShowsTenSpacesAndZeroValue) {
  TraceFixture f;
  f.At(0x40).Put("01").Put("00");
  ASSERT_EQ(f.Trace(0, true), TraceResult::Done);
  ASSERT_EQ(f.LOG.Count(), 2);
  EXPECT_EQ(f.LOG.lines[0], "00000040-0:" + Code("01", "0,0") + " D:" + Spaces(10) + " V:00000000 P:0(0)");
  // The next line starts at the bit right after the two-bit code word.
  EXPECT_EQ(f.LOG.lines[1], "00000040-2:" + Eob("1(0)"));
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(128)));
}

TEST(TraceLines, ZeroRunOfSixteenIsOneLineAtTheSixteenthZero) {
  TraceFixture f;
  f.At(0x40).Put("01").Put("100").Put("00");
  ASSERT_EQ(f.Trace(0, true), TraceResult::Done);
  ASSERT_EQ(f.LOG.Count(), 3);
  EXPECT_EQ(f.LOG.lines[1], "00000040-2:" + Code("100", "F,0") + Coefficient("", "00000000", "16(0)"));
  EXPECT_EQ(f.LOG.lines[2], "00000040-5:" + Eob("17(0)"));
}

TEST(TraceLines, SixteenBitCodeWordLeavesNoSpaceBeforeTheSymbol) {
  TraceFixture f;
  f.At(0x40).Put("01").Put("1011000000000000 101").Put("00");
  ASSERT_EQ(f.Trace(0, true), TraceResult::Done);
  ASSERT_EQ(f.LOG.Count(), 3);
  EXPECT_EQ(f.LOG.lines[1], "00000040-2:1011000000000000(0,3) D:101" + Spaces(7) + " V:00000005 P:1(0)");
  // 2 + 16 + 3 bits: the end of block begins at bit 5 of byte 0x42.
  EXPECT_EQ(f.LOG.lines[2], "00000042-5:" + Eob("2(0)"));
  EXPECT_EQ(f.analysis.LineAddress[2], 0x42);
}

TEST(TraceLines, ElevenExtraBitsAreNotPaddedAndNegativeValuesShowTwosComplement) {
  TraceFixture f;
  f.Quant(1);  // a DC of -1024 x 8 would leave the transform's 32-bit range
  f.At(0x40).Put("100 01111111111").Put("00");
  ASSERT_EQ(f.Trace(0, true), TraceResult::Done);
  ASSERT_EQ(f.LOG.Count(), 2);
  // 01111111111 is 1023, below 2^10: 1023 - 2048 + 1 = -1024.
  EXPECT_EQ(f.LOG.lines[0], "00000040-0:" + Code("100", "0,B") + " D:01111111111 V:FFFFFC00 P:0(0)");
  EXPECT_EQ(f.LOG.lines[1], "00000041-6:" + Eob("1(0)"));
  // -1024 x 500000 / 4000000 = -128: luma 0, black.
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(0)));
}

TEST(TraceLines, CodeEndingOnTheLastBitOfAnFfByteNamesTheStuffedByteNext) {
  TraceFixture f;
  f.Quant(1);
  // DC size 11 from bit 2 of 0x10; its extra bits run through the data FF at 0x11.
  f.At(0x10, 2).Put("100 111").Raw({0xFF, 0x00}).Put("00").Pad();
  ASSERT_EQ(f.Trace(0, true), TraceResult::Done);
  ASSERT_EQ(f.LOG.Count(), 2);
  EXPECT_EQ(f.LOG.lines[0], "00000010-2:" + Code("100", "0,B") + " D:11111111111 V:000007FF P:0(0)");
  EXPECT_EQ(f.LOG.lines[1], "00000012-0:" + Eob("1(0)"));
  EXPECT_EQ(f.analysis.LineAddress[1], 0x12);
}

TEST(TraceLines, RestartMarkerDropsCollectedBitsAndRestartsThePredictors) {
  TraceFixture f;
  f.startDc = {10, 0, 0};
  // MCU 0: DC +1, EOB, two pad bits; RST5; MCU 1: DC +1, EOB.
  f.At(0x20).Put("101 1").Put("00").Pad().Raw({0xFF, 0xD5}).Put("101 1").Put("00").Pad().Raw({0xFF, 0xD9});
  ASSERT_EQ(f.Trace(1, true), TraceResult::Done);
  ASSERT_EQ(f.LOG.Count(), 4);
  EXPECT_EQ(f.LOG.lines[0], "00000020-0:" + Code("101", "0,1") + Coefficient("1", "00000001", "0(0)"));
  EXPECT_EQ(f.LOG.lines[1], "00000020-4:" + Eob("1(0)"));
  // The line after an end of block starts at the next bit, the first pad bit,
  // without looking ahead past the marker.
  EXPECT_EQ(f.LOG.lines[2], "00000020-6:" + Code("101", "0,1") + Coefficient("1", "00000001", "0(0)"));
  EXPECT_EQ(f.LOG.lines[3], "00000023-4:" + Eob("1(0)"));
  // MCU 0 continues the predictor: 10 + 1 = 11, x 8 / 8 = 11 above 128.
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(139)));
  // MCU 1 follows RST5: the encoder restarted its predictor at 0, so 0 + 1.
  EXPECT_TRUE(f.McuIs(1, TraceFixture::GreyPixel(129)));
  EXPECT_EQ(f.mcuEnd[0], 0x20);
}

TEST(TraceLines, ForeignMarkerEndsTheTraceWithResultOne) {
  TraceFixture f;
  f.At(0x20).Put("101 1").Put("00").Pad().Raw({0xFF, 0xD9});
  EXPECT_EQ(f.Trace(1, true), TraceResult::ForeignMarker);
  EXPECT_EQ(f.LOG.Count(), 2);  // MCU 0's lines stay
  EXPECT_TRUE(f.McuIs(0, TraceFixture::GreyPixel(129)));
  EXPECT_EQ(f.mcuEnd[0], 0x20);
}

// Full blocks: a DC of size 0 and 63 AC values of 1, 64 lines each.
void PutFullBlocks(BitPlacer& placer, int blocks) {
  for (int b = 0; b < blocks; ++b) {
    placer.Put("01");
    for (int k = 1; k < 64; ++k) placer.Put("01 1");
  }
}

TEST(TraceLines, ListingStopsAtTheThousandthLine) {
  TraceFixture f(0x800);
  f.Colour420(1);
  BitPlacer placer = f.At(0x100);
  PutFullBlocks(placer, 18);  // three MCUs of six blocks: 1152 lines
  placer.Pad();
  // Without the listing the three MCUs decode.
  EXPECT_EQ(f.Trace(2, false), TraceResult::Done);
  EXPECT_EQ(f.LOG.Count(), 0);

  EXPECT_EQ(f.Trace(2, true), TraceResult::Failure);
  ASSERT_EQ(f.LOG.Count(), 1000);
  // Line 999 is coefficient 999 mod 64 = 39 of block 999 / 64 = 15, block 3 of
  // MCU 2. Its code word starts 999 x 3 - 16 bits after the first (the DC code
  // words of blocks 0..15 are one bit shorter): bit 2981 = byte 0x100 + 372, bit 5.
  EXPECT_EQ(f.LOG.lines[999], "00000274-5:" + Code("01", "0,1") + Coefficient("1", "00000001", "39(3)"));
  EXPECT_EQ(f.analysis.LineAddress[999], 0x274);
  EXPECT_EQ(f.analysis.LogLineCount, 1000);
  // A block takes 2 + 63 x 3 = 191 bits: MCU 0 ends on bit 1145, MCU 1 on bit 2291.
  EXPECT_EQ(f.mcuEnd[0], 0x100 + 1145 / 8);
  EXPECT_EQ(f.mcuEnd[1], 0x100 + 2291 / 8);
}

}  // namespace
}  // namespace vorn::testing
