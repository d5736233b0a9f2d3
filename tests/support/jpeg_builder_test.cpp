// The test builder must write what a real decoder accepts, or every test built on
// it proves nothing.
#include "support/jpeg_builder.h"

#include <gtest/gtest.h>

#include "support/libjpeg_peer.h"

namespace vorn::testing {
namespace {

TEST(JpegBuilder, FlatBaselineFilesDecodeToMidGreyWithLibjpeg) {
  for (int components : {1, 3}) {
    const DecodedPicture pic = DecodeWithLibjpeg(FlatBaselineJpeg(24, 17, components));
    ASSERT_TRUE(pic.ok) << components;
    EXPECT_EQ(pic.width, 24);
    EXPECT_EQ(pic.height, 17);
    for (uint8_t v : pic.rgb) ASSERT_EQ(v, 128);
  }
}

TEST(JpegBuilder, BlockWithAcValuesDecodesLikeLibjpeg) {
  // One grey block: DC +5 (x 8 quant, x 1/8 IDCT gain) = +5 over 128, one AC value
  // making a horizontal ramp; libjpeg must read the same bits we meant to write.
  std::array<int, 63> ac{};
  ac[0] = -3;  // coefficient (0,1)
  BitWriter w;
  w.PutBlock(StandardLuminanceDc(), StandardLuminanceAc(), 5, ac);
  JpegBuilder b;
  b.Soi().Dqt(0, FlatQuant(8)).Sof0(8, 8, Grey()).Dht({StandardLuminanceDc(), StandardLuminanceAc()});
  b.Sos(GreyScan()).Raw(w.Finish()).Eoi();
  const DecodedPicture pic = DecodeWithLibjpeg(b.Bytes());
  ASSERT_TRUE(pic.ok);
  EXPECT_LT(pic.rgb[0], pic.rgb[7 * 3]);  // a negative (0,1) coefficient rises to the right
}

TEST(BitWriter, StuffsZeroAfterFfAndPadsWithOnes) {
  BitWriter w;
  w.PutBits(0xFF, 8);
  w.PutBits(0x2, 3);  // 010, padded with 11111
  EXPECT_EQ(w.Finish(), (std::vector<uint8_t>{0xFF, 0x00, 0x5F}));
  EXPECT_EQ(SizeCategory(-3), 2);
  EXPECT_EQ(ExtraBits(-3, 2), 0u);  // -3 is sent as 00
  EXPECT_EQ(ExtraBits(3, 2), 3u);
}

}  // namespace
}  // namespace vorn::testing
