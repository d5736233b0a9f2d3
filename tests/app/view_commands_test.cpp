// The image view after a render: scroll ranges, the window on the picture, the
// scroll events and the small commands of the image area.
#include <gtest/gtest.h>

#include "app/render.h"
#include "app/render_fixture.h"

namespace vorn::testing {
namespace {

class ImageView : public ::testing::Test, public RenderFixture {
 protected:
  // Renders an empty scan of the given frame, then paints a pattern into the decoded
  // picture that tells every pixel's position: 0x00XXXYYY.
  void RenderPattern(int width, int height, int h0, int v0) {
    SetFrame(width, height, h0, v0, 3);
    SetScan({});
    RenderImage(app);
    ASSERT_EQ(decode.LastStatus, DecodeStatus::Ok);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        decode.ImagePixels[static_cast<size_t>(height - 1 - y) * width + x] = Pattern(x, y);
  }
  static uint32_t Pattern(int x, int y) { return static_cast<uint32_t>(x) << 12 | static_cast<uint32_t>(y); }
};

TEST_F(ImageView, ScrollEventsMoveTheWindowInWholeMcus) {
  RenderPattern(1000, 800, 2, 2);
  EXPECT_EQ(form.HScroll1.max, 37);
  EXPECT_EQ(form.VScroll1.max, 23);
  form.HScroll1.SetValue(36);  // value changed
  EXPECT_EQ(form.Picture1.Pixel(0, 0), Pattern(576, 0));
  EXPECT_EQ(form.Picture1.Pixel(416, 432), Pattern(992, 432));
  form.HScroll1.DragTo(37);  // thumb dragged
  EXPECT_EQ(form.Picture1.Pixel(0, 0), Pattern(592, 0));
  EXPECT_EQ(form.Picture1.Pixel(407, 0), Pattern(999, 0));
  EXPECT_EQ(form.Picture1.Pixel(408, 0), 0u);  // past the right edge: black
  form.VScroll1.DragTo(23);
  EXPECT_EQ(form.Picture1.Pixel(0, 0), Pattern(592, 368));
  EXPECT_EQ(form.Picture1.Pixel(0, 431), Pattern(592, 799));
  EXPECT_EQ(form.Picture1.Pixel(0, 432), 0u);
  form.VScroll1.SetValue(1);
  EXPECT_EQ(form.Picture1.Pixel(3, 5), Pattern(595, 21));
}

TEST_F(ImageView, RenderLowersAScrollValueAboveTheNewMaximum) {
  RenderPattern(1000, 800, 2, 2);
  form.HScroll1.SetValue(37);
  form.VScroll1.SetValue(23);
  RenderPattern(500, 450, 1, 1);  // maxima (83 div 8) + 1 = 11 and (17 div 8) + 1 = 3
  EXPECT_EQ(form.HScroll1.max, 11);
  EXPECT_EQ(form.HScroll1.value, 11);
  EXPECT_EQ(form.VScroll1.max, 3);
  EXPECT_EQ(form.VScroll1.value, 3);
  // The render's own refresh saw the empty scan; the pattern shows after a scroll.
  form.HScroll1.SetValue(0);
  EXPECT_EQ(form.Picture1.Pixel(0, 0), Pattern(0, 24));
}

TEST_F(ImageView, ModeTogglesTheWindowWidthAndNamesTheNextWidth) {
  EXPECT_EQ(form.outerWidth, 470);
  EXPECT_EQ(form.MODE.caption, "F");
  EXPECT_TRUE(form.MODE.Click());
  EXPECT_EQ(form.outerWidth, 1024);
  EXPECT_EQ(form.MODE.caption, "C");
  EXPECT_TRUE(form.MODE.Click());
  EXPECT_EQ(form.outerWidth, 470);
  EXPECT_EQ(form.MODE.caption, "F");
  EXPECT_EQ(form.clientHeight, 716);
}

TEST_F(ImageView, LimageTogglesThePreviewScaleAndClearsThePreview) {
  EXPECT_EQ(form.LIMAGE.caption, "補正ｲﾒｰｼﾞx1");
  form.Picture2.SetPixel(3, 3, 0xFFFFFF);
  EXPECT_TRUE(form.LIMAGE.Click());
  EXPECT_EQ(form.LIMAGE.caption, "補正ｲﾒｰｼﾞx2");
  EXPECT_EQ(form.Picture2.Pixel(3, 3), 0u);
  EXPECT_EQ(form.Picture2.width, 96);
  form.Picture2.SetPixel(3, 3, 0xFFFFFF);
  EXPECT_TRUE(form.LIMAGE.Click());
  EXPECT_EQ(form.LIMAGE.caption, "補正ｲﾒｰｼﾞx1");
  EXPECT_EQ(form.Picture2.Pixel(3, 3), 0u);
}

}  // namespace
}  // namespace vorn::testing
