// IMAGE ("ｲﾒｰｼﾞ表示"): analyse the bytes as they now are, and draw them when the
// analysis completes.
#include <gtest/gtest.h>

#include "support/libjpeg_peer.h"
#include "support/window_session.h"

namespace vorn::testing {
namespace {

class ImageCommand : public ::testing::Test, protected WindowSession {
 protected:
  void SetUp() override {
    EncodeOptions o;
    o.width = 40;
    o.height = 24;
    o.restartInterval = 1;  // every MCU ends on a byte boundary before its RST marker
    jpeg = EncodePhotoLike(o);
    ASSERT_TRUE(Load(jpeg));
    ASSERT_EQ(decode.LastStatus, DecodeStatus::Ok);
    dialogs.messages.clear();
    // The restart marker after the first MCU row (3 MCUs of 16 x 16).
    int restarts = 0;
    for (int32_t i = rec.scan.ScanDataStart; i < analysis.ScanDataEnd && restarts < 3; ++i)
      if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xD0 && jpeg[i + 1] <= 0xD7 && ++restarts == 3) rowEnd = i;
    ASSERT_GT(rowEnd, 0);
  }

  bool ViewIsBlack() const {
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 40; ++x)
        if (form.Picture1.Pixel(x, y) != 0) return false;
    return true;
  }

  std::vector<uint8_t> jpeg;
  int32_t rowEnd = 0;  // position of the FF of the RST marker after MCU row 0
};

TEST_F(ImageCommand, RedrawsTheEditedBytesAndReportsABadScan) {
  ASSERT_TRUE(form.IMAGE.enabled);
  // The restart marker becomes an EOI: the analysis warns of two EOI markers and
  // still ends the data at the last one, so the decoder meets this one.
  file.bytes[rowEnd + 1] = 0xD9;
  EXPECT_TRUE(form.IMAGE.Click());
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.Texts().back(), "スキャンデータが不正です(1)");
  EXPECT_EQ(decode.LastStatus, DecodeStatus::ForeignMarker);
  EXPECT_FALSE(form.SAVE.enabled);
  // The first MCU row is drawn, the second is black.
  EXPECT_NE(form.Picture1.Pixel(39, 15), 0u);
  for (int x = 0; x < 40; ++x) ASSERT_EQ(form.Picture1.Pixel(x, 16), 0u) << x;

  file.bytes[rowEnd + 1] = jpeg[rowEnd + 1];
  dialogs.messages.clear();
  EXPECT_TRUE(form.IMAGE.Click());
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(decode.LastStatus, DecodeStatus::Ok);
  EXPECT_TRUE(form.SAVE.enabled);
  EXPECT_FALSE(app.ImageInvalid);
}

TEST_F(ImageCommand, StoppedAnalysisDrawsNothing) {
  for (size_t i = 0; i + 1 < file.bytes.size(); ++i)
    if (file.bytes[i] == 0xFF && file.bytes[i + 1] == 0xC0) file.bytes[i + 1] = 0xC1;  // no SOF0
  EXPECT_TRUE(form.IMAGE.Click());
  EXPECT_TRUE(ViewIsBlack());
  EXPECT_TRUE(app.ImageInvalid);
  EXPECT_FALSE(form.SAVE.enabled);
  EXPECT_FALSE(form.IMAGE.enabled);  // until an analysis completes again
  for (const std::string& text : dialogs.Texts()) EXPECT_EQ(text.find("スキャンデータ"), std::string::npos);
}

}  // namespace
}  // namespace vorn::testing
