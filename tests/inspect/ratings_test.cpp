// The four ratings of a single-bit trial on hand-made pictures and MCU buffers.
// Every expected value is worked out by hand in the comment next to it.
#include "inspect/ratings.h"

#include <gtest/gtest.h>

#include "support/rgb.h"

namespace vorn {
namespace {

using testing::Rgb;

// A picture of X x Y pixels kept bottom-up like ImagePixels, written by image line.
struct TestPicture {
  int32_t width;
  int32_t height;
  PixelStore pixels;
  TestPicture(int32_t w, int32_t h, uint32_t fill) : width(w), height(h), pixels(size_t(w) * h, fill) {}
  void Set(int32_t x, int32_t line, uint32_t colour) {
    pixels[size_t(height - 1 - line) * width + x] = colour;
  }
  void SetLine(int32_t line, uint32_t colour) {
    for (int32_t x = 0; x < width; ++x) Set(x, line, colour);
  }
};

struct Fixture {
  TestPicture picture;
  McuBuffer buffer;
  RatingContext context;
  Fixture(int32_t x, int32_t y, int32_t mcuW, int32_t mcuH, int32_t column, int32_t row, uint32_t fill = 0)
      : picture(x, y, fill) {
    buffer.Reset(mcuW, mcuH, 3);
    context = {&picture.pixels, x, y, mcuW, mcuH, column, row};
  }
  void FillMcu(int32_t m, uint32_t colour) {
    for (int32_t y = 0; y < buffer.height; ++y)
      for (int32_t x = 0; x < buffer.width; ++x) buffer.At(x, y, m) = colour;
  }
};

TEST(RatingsTopEdge, McusInTheTopRowCompareNothing) {
  Fixture f(24, 16, 8, 8, 0, 0, Rgb(200, 200, 200));
  EXPECT_EQ(TopEdgeScore(f.buffer, f.context), 0);
}

TEST(RatingsTopEdge, SignedSumsPerMcuThenAbsoluteOverThePairsUsed) {
  // 1x1 sampling, 3 x 2 MCUs; the traced MCUs are the whole second row.
  Fixture f(24, 16, 8, 8, 0, 1, Rgb(255, 255, 255));
  f.picture.SetLine(7, Rgb(100, 50, 10));  // the line just above MCU row 1
  for (int32_t x = 0; x < 8; ++x) {
    f.buffer.At(x, 0, 0) = Rgb(110, 40, 10);               // R +10, G -10 per pixel
    f.buffer.At(x, 0, 1) = Rgb(x < 4 ? 120 : 80, 50, 10);  // R +20 and -20 cancel
    f.buffer.At(x, 0, 2) = Rgb(90, 50, 10);                // R -10 per pixel
  }
  // MCU 0: |80| + |-80| = 160; MCU 1: 0; MCU 2: |-80| = 80; 240 over 24 pairs.
  EXPECT_EQ(TopEdgeScore(f.buffer, f.context), 10);
}

TEST(RatingsTopEdge, FourTwoTwoWrapsToTheNextRowAndSkipsColumnsBeyondThePicture) {
  // 16 x 8 MCUs on a 40 x 24 picture: MCU columns 0..2, the last one only 8 pixels
  // wide. MCU 0 is the last of row 1, so MCUs 1 and 2 are columns 0 and 1 of row 2.
  Fixture f(40, 24, 16, 8, 2, 1, Rgb(255, 255, 255));
  f.picture.SetLine(7, Rgb(20, 0, 0));
  f.picture.SetLine(15, Rgb(0, 30, 0));
  for (int32_t x = 0; x < 16; ++x) {
    f.buffer.At(x, 0, 0) = x < 8 ? Rgb(60, 0, 0) : Rgb(255, 255, 255);  // x >= 8 lies beyond X
    f.buffer.At(x, 0, 1) = Rgb(0, 40, 0);
    f.buffer.At(x, 0, 2) = Rgb(0, 30, 5);
  }
  // MCU 0: 8 pairs, R 8 x 40 = 320; MCU 1: 16 pairs, G 16 x 10 = 160; MCU 2: 16
  // pairs, B 16 x 5 = 80. (320 + 160 + 80) / 40 = 14.
  EXPECT_EQ(TopEdgeScore(f.buffer, f.context), 14);
}

TEST(RatingsTopEdge, WrappedMcusCompareWithTheLastLineOfTheRowAbove) {
  // Two 8 x 8 MCUs per row: the chosen MCU is the last of row 0 and compares
  // nothing; the next two are row 1, below line 7.
  Fixture f(16, 8, 8, 8, 1, 0, Rgb(0, 0, 0));
  f.FillMcu(1, Rgb(8, 0, 0));
  f.FillMcu(2, Rgb(8, 0, 0));
  // MCUs 1 and 2 at row 1 compare with line 7: 2 x 8 x 8 = 128 over 16 pairs.
  EXPECT_EQ(TopEdgeScore(f.buffer, f.context), 8);
}

TEST(RatingsSeam, RightColumnAgainstLeftColumnOfTheNextMcu) {
  Fixture f(24, 16, 8, 8, 0, 0);
  for (int32_t y = 0; y < 8; ++y) {
    f.buffer.At(7, y, 0) = Rgb(100, 0, y < 4 ? 3 : 0);
    f.buffer.At(0, y, 1) = Rgb(90, 0, y < 4 ? 0 : 3);  // B: +3 and -3 cancel
    f.buffer.At(7, y, 1) = Rgb(0, 0, 0);
    f.buffer.At(0, y, 2) = Rgb(0, 5, 0);
  }
  // Pair (0,1): R 8 x 10 = 80; pair (1,2): G 8 x -5, |-40| = 40; 120 div 16 = 7.
  EXPECT_EQ(SeamScore(f.buffer, f.context), 7);
}

TEST(RatingsLeftEdge, McusInColumnZeroCompareNothing) {
  Fixture f(24, 16, 8, 8, 0, 1, Rgb(255, 0, 0));
  EXPECT_EQ(LeftEdgeScore(f.buffer, f.context), 0);
}

TEST(RatingsLeftEdge, SignedSumOverTheColumnJustLeft) {
  Fixture f(24, 16, 8, 8, 1, 1, Rgb(255, 255, 255));
  for (int32_t y = 0; y < 8; ++y) {
    f.picture.Set(7, 8 + y, Rgb(50, 0, 0));
    f.buffer.At(0, y, 0) = Rgb(y < 4 ? 40 : 70, 3, 0);
  }
  // R: 4 x -10 + 4 x 20 = 40; G: 8 x 3 = 24; B: 8 x -0; 64 / 8 = 8.
  EXPECT_EQ(LeftEdgeScore(f.buffer, f.context), 8);
}

TEST(RatingsLeftEdge, LinesBelowThePictureAreNotCompared) {
  // Y = 12: MCU row 1 covers lines 8..15, of which only 8..11 exist.
  Fixture f(24, 12, 8, 8, 1, 1, Rgb(0, 0, 0));
  for (int32_t y = 0; y < 8; ++y) f.buffer.At(0, y, 0) = Rgb(y < 4 ? 10 : 30, 0, 0);
  // 4 pairs of +10: 40 / 4 = 10 (all eight rows would give 160 / 8 = 20).
  EXPECT_EQ(LeftEdgeScore(f.buffer, f.context), 10);
}

TEST(RatingsBlockSeam, OneByOneSamplingHasNoInnerBoundary) {
  Fixture f(24, 16, 8, 8, 1, 1);
  f.FillMcu(0, Rgb(1, 2, 3));
  f.buffer.At(4, 4, 0) = Rgb(255, 255, 255);
  EXPECT_EQ(BlockSeamScore(f.buffer, f.context), 0);
}

TEST(RatingsBlockSeam, TwoByOneComparesColumnsSevenAndEight) {
  Fixture f(32, 8, 16, 8, 0, 0);
  for (int32_t y = 0; y < 8; ++y) {
    f.buffer.At(7, y, 0) = Rgb(10, 20, 30);
    f.buffer.At(8, y, 0) = Rgb(13, 18, 30);
  }
  f.FillMcu(1, Rgb(255, 0, 0));  // only MCU 0 counts
  // Each of 8 pairs: 3 + 2 = 5; 40 / 8 = 5.
  EXPECT_EQ(BlockSeamScore(f.buffer, f.context), 5);
}

TEST(RatingsBlockSeam, TwoByTwoComparesBothBoundaries) {
  Fixture f(32, 32, 16, 16, 0, 0);
  for (int32_t y = 0; y < 16; ++y) f.buffer.At(8, y, 0) = Rgb(6, 0, 0);
  // Vertical boundary: 16 pairs of 6 = 96; horizontal: (8,7) and (8,8) are equal,
  // all others 0. 96 over 32 pairs = 3.
  EXPECT_EQ(BlockSeamScore(f.buffer, f.context), 3);
}

TEST(RatingsBlockSeam, OneByTwoComparesRowsSevenAndEight) {
  Fixture f(16, 32, 8, 16, 0, 0);
  for (int32_t x = 0; x < 8; ++x) f.buffer.At(x, 8, 0) = Rgb(0, 9, 0);
  EXPECT_EQ(BlockSeamScore(f.buffer, f.context), 9);
}

TEST(RatingsTrial, IsTheSumOfTheFourAndSafeOnAMismatchedPicture) {
  Fixture f(24, 16, 8, 8, 1, 1, Rgb(0, 0, 0));
  f.FillMcu(0, Rgb(16, 0, 0));
  // Top: MCU 0 16 x 8 = 128 and MCUs 1, 2 (black) 0, over 24 pairs = 5; seam: pair
  // (0,1) 8 x 16 = 128, / 16 = 8; left: 8 x 16 / 8 = 16; block seam 0.
  EXPECT_EQ(TrialScore(f.buffer, f.context), 5 + 8 + 16);

  // A picture that does not hold X x Y pixels is never read.
  PixelStore tooSmall(10);
  f.context.imagePixels = &tooSmall;
  EXPECT_EQ(TopEdgeScore(f.buffer, f.context), 0);
  EXPECT_EQ(LeftEdgeScore(f.buffer, f.context), 0);
  EXPECT_EQ(SeamScore(f.buffer, f.context), 8);
}

}  // namespace
}  // namespace vorn
