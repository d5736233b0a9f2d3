// What RenderImage shows and reports for each outcome of the decode.
#include <gtest/gtest.h>

#include "app/render.h"
#include "app/render_fixture.h"
#include "reference/reference_decoder.h"
#include "support/analysed_jpeg.h"
#include "support/libjpeg_peer.h"
#include "support/window_session.h"

namespace vorn::testing {
namespace {

const char* const kTooLarge = "画像が大き過ぎます\rディスプレイを１６ビットカラーにしてみてください";

class RenderStatus : public ::testing::Test, public RenderFixture {};

TEST_F(RenderStatus, CompleteScanEnablesSaveAndValidatesTheDisplay) {
  SetScan(GreyMcus(4));  // 16 x 16 grey: 2 x 2 MCUs
  app.ImageInvalid = true;
  RenderImage(app);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(decode.LastStatus, DecodeStatus::Ok);
  EXPECT_TRUE(form.SAVE.enabled);
  EXPECT_FALSE(app.ImageInvalid);
  EXPECT_EQ(ImagePixel(0, 0), kGrey129);
  EXPECT_EQ(ImagePixel(15, 15), kGrey129);
  // The view shows the picture and black beyond its right and bottom edges.
  EXPECT_EQ(form.Picture1.width, 417);
  EXPECT_EQ(form.Picture1.height, 433);
  EXPECT_EQ(form.Picture1.Pixel(15, 15), kGrey129);
  EXPECT_EQ(form.Picture1.Pixel(16, 0), 0u);
  EXPECT_EQ(form.Picture1.Pixel(0, 16), 0u);
}

TEST_F(RenderStatus, ScanEndingEarlyOrEmptyIsStatusZeroWithTheRestBlack) {
  SetScan(GreyMcus(2));  // the upper MCU row only
  RenderImage(app);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(form.SAVE.enabled);
  EXPECT_EQ(ImagePixel(15, 7), kGrey129);
  EXPECT_EQ(form.Picture1.Pixel(0, 8), 0u);

  form.SAVE.enabled = false;
  SetScan({});
  RenderImage(app);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(decode.LastStatus, DecodeStatus::Ok);
  EXPECT_TRUE(form.SAVE.enabled);
  for (uint32_t p : decode.ImagePixels) ASSERT_EQ(p, 0u);
}

TEST_F(RenderStatus, ForeignMarkerShowsThePartialPictureThenStatusOne) {
  std::vector<uint8_t> data = GreyMcus(2);
  data.insert(data.end(), {0xFF, 0xC4, 0x00, 0x00});
  SetScan(data);
  app.ImageInvalid = false;  // as the completed analysis left it
  RenderImage(app);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"スキャンデータが不正です(1)"});
  EXPECT_EQ(dialogs.messages[0].buttons, window::Buttons::Ok);
  EXPECT_EQ(decode.LastStatus, DecodeStatus::ForeignMarker);
  EXPECT_FALSE(form.SAVE.enabled);
  // The partial picture stands: shown, and valid for the MCU pointer.
  EXPECT_FALSE(app.ImageInvalid);
  EXPECT_EQ(form.Picture1.Pixel(0, 0), kGrey129);
  EXPECT_EQ(form.Picture1.Pixel(15, 7), kGrey129);
  EXPECT_EQ(form.Picture1.Pixel(0, 8), 0u);
}

TEST_F(RenderStatus, DecodingFailureKeepsEarlierMcusAndReportsStatusTwo) {
  // One MCU, then ones only: no DC code matches, and the seventeenth bit fails.
  BitWriter bits;
  bits.PutBlock(TinyDc(), TinyAc(), 8);
  bits.PutBits(0xFFFF, 16);
  bits.PutBits(0xFF, 8);
  SetScan(bits.Finish());
  app.ImageInvalid = true;
  RenderImage(app);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"スキャンデータが不正です(2)"});
  EXPECT_EQ(decode.LastStatus, DecodeStatus::Failure);
  EXPECT_FALSE(form.SAVE.enabled);
  EXPECT_TRUE(app.ImageInvalid);  // an unsuccessful render leaves it as it was
  EXPECT_EQ(form.Picture1.Pixel(7, 7), kGrey129);
  EXPECT_EQ(form.Picture1.Pixel(8, 0), 0u);
}

TEST_F(RenderStatus, ZeroSamplingFactorEndsSilentlyWithNothingStanding) {
  SetScan(GreyMcus(4));
  RenderImage(app);  // an earlier picture ...
  SetFrame(16, 16, 0, 1, 1);
  RenderImage(app);  // ... is not taken for this one's
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(decode.LastStatus, std::nullopt);
  EXPECT_TRUE(decode.ImagePixels.empty());
  EXPECT_TRUE(decode.McuStarts.Entries.empty());
  EXPECT_TRUE(app.ImageInvalid);
  EXPECT_EQ(form.Picture1.Pixel(0, 0), 0u);
  EXPECT_EQ(form.Picture3.Pixel(0, 0), 0u);

  SetFrame(16, 16, 1, 0, 1);
  RenderImage(app);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(decode.LastStatus, std::nullopt);
}

TEST_F(RenderStatus, PictureTooLargeForTheDisplayShowsOnlyTheSizeMessage) {
  SetScan(GreyMcus(4));
  decode.PictureByteLimit = 16 * 16 * 4 - 1;
  RenderImage(app);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kTooLarge});
  EXPECT_EQ(decode.LastStatus, std::nullopt);
  EXPECT_FALSE(form.SAVE.enabled);
  EXPECT_TRUE(decode.ImagePixels.empty());
  EXPECT_TRUE(decode.McuStarts.Entries.empty());
  EXPECT_EQ(form.Picture1.Pixel(0, 0), 0u);

  // At the limit the picture is made.
  decode.PictureByteLimit = 16 * 16 * 4;
  dialogs.messages.clear();
  RenderImage(app);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(form.SAVE.enabled);
}

TEST_F(RenderStatus, StoresFitTheFrameAndPictureThreeShowsThemWithoutACopy) {
  SetFrame(100, 40, 2, 2, 3);  // McuWidth = McuHeight = 16
  RenderImage(app);
  EXPECT_EQ(decode.McuStarts.Columns, 7);  // 99 div 16 + 1
  EXPECT_EQ(decode.McuStarts.Rows, 4);     // 39 div 16 + 1, plus one surplus row
  EXPECT_EQ(decode.ImagePixels.size(), 4000u);

  SetFrame(16, 16, 1, 1, 1);
  SetScan(GreyMcus(2));
  RenderImage(app);
  const window::Picture& p3 = form.Picture3;
  ASSERT_EQ(p3.width, 16);
  ASSERT_EQ(p3.height, 16);
  // One pixel buffer for a picture of up to 64 MB: Picture3 holds none of its own.
  EXPECT_TRUE(p3.pixels.empty());
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(p3.Pixel(x, y), ImagePixel(x, y)) << x << "," << y;
  EXPECT_EQ(p3.Pixel(0, 0), kGrey129);   // image line 0 is the top ...
  EXPECT_EQ(decode.ImagePixels[0], 0u);  // ... and the last row of the block
}

std::vector<uint8_t> Photo(int width, int height, int sampling, int restartInterval, uint32_t seed) {
  EncodeOptions o;
  o.width = width;
  o.height = height;
  o.h0 = o.v0 = sampling;
  o.restartInterval = restartInterval;
  return EncodePhotoLike(o, seed);
}

// The scan cut after half its data, the file still ending in EOI: the decode ends
// early and the rest of the picture is black.
std::vector<uint8_t> CutScan(std::vector<uint8_t> jpeg) {
  jpeg.resize(jpeg.size() - (jpeg.size() - 700) / 2);
  jpeg.insert(jpeg.end(), {0xFF, 0xD9});
  return jpeg;
}

// One window loads files of other sizes in turn, so that each decode lands in the
// stores the last one left (kept when the size is the same, made anew otherwise),
// by one thread or two (4:4:4 at 640 x 520 is large enough for two). Every picture,
// status and McuStarts table is what the reference decoder gives the file in fresh
// stores: nothing of an earlier picture shows through.
TEST(RenderStoreReuse, EveryLoadShowsItsOwnPictureWhateverCameBefore) {
  const std::vector<uint8_t> large = Photo(640, 520, 1, 37, 1);
  const struct {
    const char* name;
    std::vector<uint8_t> jpeg;
  } loads[] = {
      {"large, restart interval 37", large},
      {"smaller, 4:2:0", Photo(160, 120, 2, 0, 2)},
      {"large again", large},
      {"same size, cut short", CutScan(Photo(640, 520, 1, 0, 3))},
      {"same pixel count, other shape", Photo(520, 640, 1, 5, 4)},
      {"same size, 4:2:0 cut short", CutScan(Photo(520, 640, 2, 0, 5))},
  };
  WindowSession s;
  for (const auto& load : loads) {
    SCOPED_TRACE(load.name);
    ASSERT_TRUE(s.Load(load.jpeg));
    const AnalysedJpeg analysed = AnalyseJpeg(load.jpeg);
    DecodeState want;
    CreateDecodeStores(analysed.rec, want);
    const int status = reference::DecodeScan(analysed.file, analysed.rec, analysed.scanDataEnd, want);
    ASSERT_TRUE(s.decode.LastStatus.has_value());
    EXPECT_EQ(static_cast<int>(*s.decode.LastStatus), status);
    EXPECT_TRUE(s.decode.ImagePixels == want.ImagePixels);
    ASSERT_EQ(s.decode.McuStarts.Entries.size(), want.McuStarts.Entries.size());
    for (size_t i = 0; i < want.McuStarts.Entries.size(); ++i) {
      const McuStart& a = s.decode.McuStarts.Entries[i];
      const McuStart& b = want.McuStarts.Entries[i];
      ASSERT_TRUE(a.BytePos == b.BytePos && a.BitIndex == b.BitIndex && a.Dc[0] == b.Dc[0] &&
                  a.Dc[1] == b.Dc[1] && a.Dc[2] == b.Dc[2])
          << "McuStarts entry " << i;
    }
  }
}

}  // namespace
}  // namespace vorn::testing
