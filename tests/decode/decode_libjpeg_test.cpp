// Whole encoder-made files, analysed and decoded as the window does, against
// libjpeg-turbo's decoder (integer slow IDCT, no fancy upsampling) on the same
// bytes.
//
// The two are not meant to agree exactly. Our samples are S div 4000000 + 128
// with a matrix of rounded 1/1000000 units and a division that truncates toward
// zero, so every sample is pulled up to one level toward 128 where libjpeg rounds;
// libjpeg's own 13-bit fixed-point transform is within one level of the true
// value. Chroma errors of up to two levels are then scaled by the colour
// conversion (1.772 for blue, 1.402 for red) and rounded once more; our samples
// are not clamped before the conversion, while libjpeg's are, which shows only
// where a sample overshoots 0..255 and the chroma pulls it back into range.
// Measured over the cases below: colour pictures at most 3 levels apart in any
// channel with a PSNR of 46.0 .. 47.3 dB, grey ones at most 1 level apart (no
// chroma to scale the error) at 51 dB. The bounds sit just outside that. A fault (a
// wrong block, table, position or upsampling) shows as tens of levels and a PSNR
// below 30 dB.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "decode/decode_scan.h"
#include "support/analysed_jpeg.h"
#include "support/libjpeg_peer.h"

namespace vorn {
namespace {

struct Bound {
  int maxLevels;
  double minPsnr;
};
constexpr Bound kColourBound = {3, 45.5};
constexpr Bound kGreyBound = {1, 50.0};

struct Case {
  std::string name;
  testing::EncodeOptions options;
};

struct Comparison {
  DecodeStatus status = DecodeStatus::Failure;
  int maxDifference = 0;
  double psnr = 0;
};

Comparison Compare(const std::vector<uint8_t>& jpeg) {
  Comparison out;
  const testing::AnalysedJpeg a = testing::AnalyseJpeg(jpeg);
  EXPECT_TRUE(a.completed);
  if (!a.completed) return out;
  auto decode = std::make_unique<DecodeState>();
  testing::CreateDecodeStores(a.rec, *decode);
  out.status = DecodeScan(a.file, a.rec, a.scanDataEnd, *decode);
  const testing::DecodedPicture peer = testing::DecodeWithLibjpeg(jpeg);
  EXPECT_TRUE(peer.ok);
  const int X = a.rec.frame.FrameWidth, Y = a.rec.frame.FrameHeight;
  EXPECT_EQ(peer.width, X);
  EXPECT_EQ(peer.height, Y);
  if (!peer.ok || peer.width != X || peer.height != Y) return out;
  double squares = 0;
  for (int y = 0; y < Y; ++y)
    for (int x = 0; x < X; ++x) {
      const uint32_t ours = decode->ImagePixels[static_cast<size_t>(Y - 1 - y) * X + x];
      const uint8_t* theirs = &peer.rgb[(static_cast<size_t>(y) * X + x) * 3];
      const int channel[3] = {static_cast<int>(ours >> 16 & 0xFF), static_cast<int>(ours >> 8 & 0xFF),
                              static_cast<int>(ours & 0xFF)};
      for (int c = 0; c < 3; ++c) {
        const int d = channel[c] - theirs[c];
        out.maxDifference = std::max(out.maxDifference, std::abs(d));
        squares += static_cast<double>(d) * d;
      }
    }
  const double mse = squares / (3.0 * X * Y);
  out.psnr = mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
  return out;
}

void ExpectClose(const Case& c, uint32_t seed = 1) {
  const std::vector<uint8_t> jpeg = testing::EncodePhotoLike(c.options, seed);
  ASSERT_FALSE(jpeg.empty()) << c.name;
  const Comparison r = Compare(jpeg);
  EXPECT_EQ(r.status, DecodeStatus::Ok) << c.name;
  const Bound bound = c.options.components == 1 ? kGreyBound : kColourBound;
  EXPECT_LE(r.maxDifference, bound.maxLevels) << c.name;
  EXPECT_GE(r.psnr, bound.minPsnr) << c.name;
}

testing::EncodeOptions Options(int width, int height, int h0, int v0, int quality = 90) {
  testing::EncodeOptions o;
  o.width = width;
  o.height = height;
  o.h0 = h0;
  o.v0 = v0;
  o.quality = quality;
  return o;
}

TEST(DecodeAgainstLibjpeg, EverySamplingLayout) {
  for (const auto& [name, h0, v0] : std::vector<std::tuple<std::string, int, int>>{
           {"4:4:4", 1, 1}, {"4:2:2", 2, 1}, {"4:2:0", 2, 2}, {"4:4:0", 1, 2}})
    ExpectClose({name, Options(96, 64, h0, v0)});
  // A grey frame is one block per MCU whatever factors its header gives, as cjpeg
  // -grayscale -sample HxV writes them.
  for (const auto& [name, h0, v0] : std::vector<std::tuple<std::string, int, int>>{
           {"grey", 1, 1}, {"grey 2x2", 2, 2}, {"grey 1x2", 1, 2}, {"grey 2x1", 2, 1}}) {
    testing::EncodeOptions grey = Options(96, 64, h0, v0);
    grey.components = 1;
    ExpectClose({name, grey});
    grey.width = 101;
    grey.height = 57;
    ExpectClose({name + " 101x57", grey});
  }
}

TEST(DecodeAgainstLibjpeg, QualitiesFromTenToHundred) {
  for (int quality : {10, 25, 50, 75, 90, 95, 100}) {
    ExpectClose({"4:2:0 q" + std::to_string(quality), Options(80, 48, 2, 2, quality)}, 2);
    ExpectClose({"4:4:4 q" + std::to_string(quality), Options(48, 40, 1, 1, quality)}, 3);
  }
}

TEST(DecodeAgainstLibjpeg, RestartIntervalsAndOptimizedTables) {
  for (int interval : {1, 3, 7}) {
    testing::EncodeOptions o = Options(72, 40, 2, 2);
    o.restartInterval = interval;
    ExpectClose({"restart " + std::to_string(interval), o});
    o.optimize = true;
    ExpectClose({"restart + optimized " + std::to_string(interval), o});
  }
  testing::EncodeOptions o = Options(64, 64, 1, 1, 75);
  o.optimize = true;
  ExpectClose({"optimized 4:4:4", o});
  o.components = 1;
  ExpectClose({"optimized grey", o});
}

TEST(DecodeAgainstLibjpeg, OddSizes) {
  for (const auto& [width, height] :
       std::vector<std::pair<int, int>>{{1, 1}, {7, 9}, {33, 17}, {101, 57}, {17, 100}})
    for (int layout = 0; layout < 3; ++layout) {
      const int h0 = layout == 0 ? 1 : 2, v0 = layout == 2 ? 2 : 1;
      ExpectClose({std::to_string(width) + "x" + std::to_string(height) + " " + std::to_string(h0) + "x" +
                       std::to_string(v0),
                   Options(width, height, h0, v0)});
    }
}

}  // namespace
}  // namespace vorn
