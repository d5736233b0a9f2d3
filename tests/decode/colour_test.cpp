// Colour conversion of whole MCUs against the literal pixel-by-pixel loop: the
// worked examples, every sampling layout with clipping at the picture's edges, the
// whole range of samples the transform can give, and out-of-range samples that must
// stop at the same pixel.
#include "decode/colour.h"

#include <gtest/gtest.h>

#include <random>

#include "decode/simd.h"
#include "reference/reference_kernels.h"
#include "support/rgb.h"

namespace vorn {
namespace {

using testing::Rgb;

TEST(Colour, WorkedExamples) {
  uint32_t rgb = 0;
  // R = 128 + 178.054 -> 255; G = 128 - 90.69578 = 37.30422 -> 37; B = 128.
  ASSERT_TRUE(YccToRgb(128, 128, 255, rgb));
  EXPECT_EQ(rgb, Rgb(255, 37, 128));
  ASSERT_TRUE(YccToRgb(300, 128, 128, rgb));
  EXPECT_EQ(rgb, Rgb(255, 255, 255));
  ASSERT_TRUE(YccToRgb(-20, 128, 128, rgb));
  EXPECT_EQ(rgb, Rgb(0, 0, 0));
  EXPECT_FALSE(YccToRgb(32768, 128, 128, rgb));
  EXPECT_FALSE(YccToRgb(0, -32641, 128, rgb));
  EXPECT_TRUE(YccToRgb(-32768, -32640, 128, rgb));
}

SampleBlocks RandomBlocks(std::mt19937& rng, int32_t low, int32_t high) {
  SampleBlocks s;
  std::uniform_int_distribution<int32_t> d(low, high);
  for (auto& block : s)
    for (auto& v : block) v = d(rng);
  return s;
}

reference::Blocks AsReference(const SampleBlocks& s) {
  reference::Blocks r;
  for (int b = 0; b < 6; ++b) r[b] = s[b];
  return r;
}

// Every layout, MCUs across a picture whose size cuts the edge MCUs, samples over
// the whole range a transform can give (-408 .. 664) and a little beyond.
TEST(Colour, StoreMcuPixelsMatchesThePixelLoop) {
  std::mt19937 rng(5);
  for (SimdLevel level : {SimdLevel::Plain, SimdLevel::Avx2, SimdLevel::Avx512}) {
    SimdCeiling() = level;  // the plain and vector rows alike
    for (int h0 = 1; h0 <= 2; ++h0)
      for (int v0 = 1; v0 <= 2; ++v0)
        for (const auto& [X, Y] : std::vector<std::pair<int, int>>{{37, 21}, {32, 16}, {9, 33}}) {
          PixelStore fast(static_cast<size_t>(X) * Y, 0xDEADBEEF), literal = fast, inRange = fast;
          for (int row = 0; row * 8 * v0 < Y + 16; ++row)
            for (int column = 0; column * 8 * h0 < X + 16; ++column) {
              const SampleBlocks s = RandomBlocks(rng, -420, 680);
              const bool ok = StoreMcuPixels(fast, X, Y, s, h0, v0, column, row);
              StoreMcuPixelsInRange(inRange, X, Y, s, h0, v0, column, row);
              ASSERT_EQ(ok, reference::StoreMcuPixels(literal, X, Y, AsReference(s), h0, v0, column, row));
              ASSERT_TRUE(ok);
            }
          ASSERT_EQ(fast, literal) << h0 << "x" << v0 << " " << X << "x" << Y;
          ASSERT_EQ(inRange, literal);
        }
  }
  SimdCeiling() = SimdLevel::Avx512;
}

// The right-most MCU of a 100-pixel-wide 4:2:0 picture stores columns 96..99 only.
TEST(Colour, EdgeMcuOfAHundredPixelWidePicture) {
  PixelStore pixels(100 * 16, 0);
  SampleBlocks s;
  for (auto& block : s) block.fill(128);
  ASSERT_TRUE(StoreMcuPixels(pixels, 100, 16, s, 2, 2, 6, 0));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 100; ++x) EXPECT_EQ(pixels[y * 100 + x], x >= 96 ? Rgb(128, 128, 128) : 0u);
}

// 4:2:2: chroma sample (j div 2, i) feeds pixels 2 (j div 2) and 2 (j div 2) + 1 of row i.
TEST(Colour, HorizontalRepetition) {
  SampleBlocks s;
  for (auto& block : s) block.fill(128);
  s[3][5 * 8 + 3] = 255;  // Cr sample (3, 5)
  uint32_t out[16 * 8];
  ASSERT_TRUE(ConvertMcu(s, 2, 1, out));
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 16; ++j)
      EXPECT_EQ(out[i * 16 + j], i == 5 && (j == 6 || j == 7) ? Rgb(255, 37, 128) : Rgb(128, 128, 128));
}

// Every luma and chroma value the transform can give, paired along diagonals so
// that all of them meet: the rounded doubles (and the integer sums that stand for
// them) must agree everywhere.
TEST(Colour, WholeSampleRangeAgreesBitForBit) {
  SampleBlocks s;
  uint32_t fast[64], literal[64];
  for (int base = -408; base <= 664; base += 64) {
    SimdCeiling() = static_cast<SimdLevel>((base + 408) / 64 % 3);  // the plain and vector rows alike
    for (int shift = 0; shift < 1073; shift += 7) {
      for (int p = 0; p < 64; ++p) {
        const int y = -408 + (base + 408 + p) % 1073;
        s[0][p] = y;
        s[1][p] = -408 + (y + 408 + shift) % 1073;
        s[2][p] = -408 + (y + 408 + 3 * shift + 1) % 1073;
      }
      ASSERT_TRUE(ConvertMcu(s, 1, 1, fast));
      ASSERT_TRUE(reference::ConvertMcu(AsReference(s), 1, 1, literal));
      ASSERT_TRUE(std::equal(fast, fast + 64, literal)) << base << " " << shift;
    }
  }
  // Chroma shared by two pixels (4:2:2): every pair of chroma values, so that the
  // pairs whose terms lie at or near a half-integer (1.402 x 250 = 350.5) meet luma of
  // either parity.
  uint32_t fastPair[128], literalPair[128];
  int p = 0;
  for (int cb = -408; cb <= 664; ++cb)
    for (int cr = -408; cr <= 664; ++cr, ++p) {
      s[2][p % 64] = cb;
      s[3][p % 64] = cr;
      if (p % 64 != 63) continue;
      for (int i = 0; i < 64; ++i) {
        s[0][i] = -408 + (p + 5 * i) % 1073;
        s[1][i] = -408 + (p + 5 * i + 1) % 1073;
      }
      SimdCeiling() = static_cast<SimdLevel>(p / 64 % 3);
      ASSERT_TRUE(ConvertMcu(s, 2, 1, fastPair));
      ASSERT_TRUE(reference::ConvertMcu(AsReference(s), 2, 1, literalPair));
      ASSERT_TRUE(std::equal(fastPair, fastPair + 128, literalPair)) << cb << " " << cr;
    }
  SimdCeiling() = SimdLevel::Avx512;
}

// Out-of-range samples: the failure comes at the same pixel, with the same pixels
// written before it; out-of-range samples outside the picture are never checked.
TEST(Colour, RangeFailuresStopAtTheSamePixel) {
  std::mt19937 rng(13);
  for (int round = 0; round < 300; ++round) {
    const int h0 = 1 + round % 2, v0 = 1 + (round / 2) % 2;
    SampleBlocks s = RandomBlocks(rng, 0, 255);
    s[rng() % (h0 * v0 + 2)][rng() % 64] = rng() % 2 ? 40000 : -32641;
    const int X = 5 + static_cast<int>(rng() % 20), Y = 5 + static_cast<int>(rng() % 20);
    PixelStore fast(static_cast<size_t>(X) * Y, 7), literal = fast;
    const bool ok = StoreMcuPixels(fast, X, Y, s, h0, v0, 0, 0);
    ASSERT_EQ(ok, reference::StoreMcuPixels(literal, X, Y, AsReference(s), h0, v0, 0, 0));
    ASSERT_EQ(fast, literal);
    // The whole MCU, unclipped: the same outcome and the same pixels up to the failure.
    uint32_t mcu[256] = {}, literalMcu[256] = {};
    ASSERT_EQ(ConvertMcu(s, h0, v0, mcu), reference::ConvertMcu(AsReference(s), h0, v0, literalMcu));
    ASSERT_TRUE(std::equal(mcu, mcu + 256, literalMcu));
  }
}

TEST(Colour, RefusesImpossibleLayoutsAndStores) {
  SampleBlocks s{};
  PixelStore pixels(64, 0);
  uint32_t out[256];
  EXPECT_FALSE(StoreMcuPixels(pixels, 8, 8, s, 3, 1, 0, 0));
  EXPECT_FALSE(StoreMcuPixels(pixels, 16, 16, s, 1, 1, 0, 0));  // too few pixels for 16 x 16
  EXPECT_FALSE(StoreMcuPixels(pixels, 8, 8, s, 1, 1, -1, 0));
  EXPECT_TRUE(StoreMcuPixels(pixels, 8, 8, s, 1, 1, 1, 0));  // wholly outside: nothing to do
  EXPECT_FALSE(ConvertMcu(s, 0, 1, out));
}

}  // namespace
}  // namespace vorn
