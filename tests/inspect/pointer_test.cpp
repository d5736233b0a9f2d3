// The MCU pointer: a press on the view, the MCU it chooses, the fields it fills and
// the frame and strips it draws. McuStarts is set by hand as a decode leaves it.
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/inspect_handlers.h"
#include "inspect/mcu_pointer.h"
#include "support/test_app.h"

namespace vorn {
namespace {

// A picture of X x Y with sampling h0 x v0 of component 0, decoded as far as the
// view and the pointer care: Picture3 holds a pattern, McuStarts is all zero.
struct PointerFixture : testing::TestApp {
  McuGeometry geometry;

  PointerFixture(int X, int Y, int h0, int v0) {
    rec.frame.FrameWidth = static_cast<uint16_t>(X);
    rec.frame.FrameHeight = static_cast<uint16_t>(Y);
    rec.frame.HSampling = {static_cast<int16_t>(h0), 1, 1};
    rec.frame.VSampling = {static_cast<int16_t>(v0), 1, 1};
    rec.scan.ScanDataStart = 0xA0;
    geometry = ComputeMcuGeometry(rec.frame);
    decode.Geometry = geometry;
    decode.McuStarts.Reset(geometry.McusPerRow, geometry.McuRows + 1);
    form.Picture3.Resize(X, Y);
    for (int y = 0; y < Y; ++y)
      for (int x = 0; x < X; ++x) form.Picture3.SetPixel(x, y, Pattern(x, y));
    form.Picture1.Resize(417, 433);
    file.bytes.assign(0x1000, 0x11);
    app.ImageInvalid = false;
  }
  static uint32_t Pattern(int x, int y) { return static_cast<uint32_t>(0x100000 + x * 4096 + y); }

  McuStart& Start(int c, int r) { return decode.McuStarts.At(c, r); }
  void Press(float x, float y, int button = 1, int shift = 0) {
    Picture1_MouseDown(app, button, shift, x, y);
  }
  void Scroll(int hMax, int hv, int vMax, int vv) {
    form.HScroll1.SetMax(hMax);
    form.HScroll1.SetValue(hv);
    form.VScroll1.SetMax(vMax);
    form.VScroll1.SetValue(vv);
  }
  std::vector<std::string> Fields() const {
    return {form.MCUX.text,   form.MCUY.text,   form.MCUBYTE.text, form.MCUBIT.text,
            form.DCV[0].text, form.DCV[1].text, form.DCV[2].text};
  }
  // The view pixel as the copy left it, at scroll position (hv, vv).
  uint32_t Copied(int x, int y, int hv = 0, int vv = 0) const {
    return form.Picture3.Pixel(hv * geometry.McuWidth + x, vv * geometry.McuHeight + y);
  }
};

using Fields = std::vector<std::string>;

TEST(PointerPosition, FirstMcuNamesTheFirstScanByteBitZero) {
  PointerFixture f(64, 48, 2, 2);
  f.Start(0, 0) = McuStart{{0, 0, 0}, 0xA0 - 1, 7};  // as every decode records it
  f.Press(3, 4);
  EXPECT_EQ(f.Fields(), (Fields{"0", "0", "A0", "0", "0", "0", "0"}));
  const McuPointerState& p = f.inspect.McuPointer;
  EXPECT_EQ(p.BytePos, 0xA0);
  EXPECT_EQ(p.BitIndex, 0);
  EXPECT_EQ(p.Column, 0);
  EXPECT_EQ(p.Row, 0);
}

TEST(PointerPosition, PredecessorEndingOnBitThreeGivesBitFour) {
  PointerFixture f(64, 48, 2, 2);
  f.Start(1, 0) = McuStart{{31, -2, 4}, 0x123, 3};
  f.Press(20, 10);
  EXPECT_EQ(f.Fields(), (Fields{"1", "0", "123", "4", "31", "-2", "4"}));
}

TEST(PointerPosition, PredecessorEndingOnTheLastBitOfAnFfNamesTheStuffedByte) {
  PointerFixture f(64, 48, 2, 2);
  f.file.bytes[0x150] = 0xFF;
  f.file.bytes[0x151] = 0x00;
  f.Start(2, 0) = McuStart{{0, 0, 0}, 0x150, 7};
  f.Press(40, 10);
  EXPECT_EQ(f.form.MCUBYTE.text, "151");
  EXPECT_EQ(f.form.MCUBIT.text, "0");
}

TEST(PointerPosition, McuAfterRestartShowsThePredictorsFromBeforeTheMarker) {
  PointerFixture f(64, 48, 2, 2);
  f.Start(0, 1) = McuStart{{-5, 12, 7}, 0x160, 2};
  f.Press(0, 16);
  EXPECT_EQ(f.Fields(), (Fields{"0", "1", "160", "3", "-5", "12", "7"}));
}

TEST(PointerPosition, McuTheDecodeNeverReachedShowsByteZeroBitOne) {
  PointerFixture f(64, 48, 2, 2);
  f.Press(60, 40);
  EXPECT_EQ(f.Fields(), (Fields{"3", "2", "0", "1", "0", "0", "0"}));
}

TEST(PointerPosition, ScrolledViewAddsTheScrollPositions) {
  PointerFixture f(1000, 800, 2, 2);
  f.Scroll(37, 3, 23, 2);
  f.Press(5, 5);
  EXPECT_EQ(f.form.MCUX.text, "3");
  EXPECT_EQ(f.form.MCUY.text, "2");
  f.Press(16 * 4 + 1, 16);
  EXPECT_EQ(f.form.MCUX.text, "7");
  EXPECT_EQ(f.form.MCUY.text, "3");
}

TEST(PointerPosition, CoordinatesRoundHalvesToEven) {
  PointerFixture f(64, 48, 1, 1);  // MCUs of 8 x 8
  f.Press(7.5f, 0);                // 8: column 1
  EXPECT_EQ(f.form.MCUX.text, "1");
  f.Press(6.5f, 0);  // 6: column 0
  EXPECT_EQ(f.form.MCUX.text, "0");
  f.Press(7.49f, 8.5f);  // 7, 8
  EXPECT_EQ(f.form.MCUX.text, "0");
  EXPECT_EQ(f.form.MCUY.text, "1");
}

TEST(PointerPosition, EveryButtonAndShiftActAlike) {
  PointerFixture first(64, 48, 2, 2);
  first.Start(1, 1) = McuStart{{1, 2, 3}, 0x200, 5};
  first.Press(20, 20, 1, 0);
  const std::pair<int, int> presses[] = {{2, 0}, {4, 0}, {1, 1}, {2, 3}};
  for (const auto& [button, shift] : presses) {
    PointerFixture f(64, 48, 2, 2);
    f.Start(1, 1) = McuStart{{1, 2, 3}, 0x200, 5};
    f.Press(20, 20, button, shift);
    EXPECT_EQ(f.Fields(), first.Fields());
    EXPECT_EQ(f.form.Picture1.pixels, first.form.Picture1.pixels);
  }
}

TEST(PointerEffects, EnablesTheChecksEmptiesLogAndShowsTheByteInTheDump) {
  PointerFixture f(64, 48, 2, 2);
  f.form.LOG.AddItem("00000002 SOI");
  f.form.LOG.tag = "0";
  f.analysis.LogLineCount = 1;
  f.file.bytes[0x321] = 0x5A;
  f.Start(0, 0) = McuStart{{0, 0, 0}, 0x320, 7};
  f.Press(1, 1);
  EXPECT_TRUE(f.form.MCUCHK.enabled);
  EXPECT_TRUE(f.form.BITCHK.enabled);
  EXPECT_EQ(f.form.LOG.Count(), 0);
  EXPECT_EQ(f.form.LOG.tag, "");
  EXPECT_EQ(f.analysis.LogLineCount, 0);
  EXPECT_EQ(f.form.DMPI.text, "5A");
  EXPECT_EQ(f.dump.SelectedCell, 0x321 % 256);
}

TEST(PointerIgnored, WhileTheImageIsInvalid) {
  PointerFixture f(64, 48, 2, 2);
  f.app.ImageInvalid = true;
  f.Press(5, 5);
  EXPECT_EQ(f.Fields(), Fields(7, ""));
  EXPECT_FALSE(f.form.MCUCHK.enabled);
  EXPECT_EQ(f.form.Picture1.Pixel(0, 0), 0u);  // nothing copied, nothing framed
}

TEST(PointerIgnored, AtOrBeyondThePictureSizeInViewCoordinates) {
  PointerFixture f(64, 48, 2, 2);
  f.Press(64, 5);
  f.Press(5, 48);
  f.Press(-1, 5);
  EXPECT_EQ(f.Fields(), Fields(7, ""));
  // Compared unscrolled: at hv = 2 a view x of 70 still lies beyond X = 64.
  PointerFixture g(100, 48, 2, 2);
  g.Scroll(5, 2, 0, 0);
  g.Press(99.4f, 5);  // column 6 + 2 = 8: beyond the 7 columns
  g.Press(100, 5);
  EXPECT_EQ(g.Fields(), Fields(7, ""));
}

TEST(PointerIgnored, PressInTheBlackStripNamesNoMcu) {
  PointerFixture f(1000, 800, 2, 2);
  f.Scroll(37, 37, 0, 0);
  f.form.Picture1.FillRect(0, 0, 417, 433, 0x123456);
  f.form.LOG.AddItem("kept");
  // The window starts at x = 592 and the picture ends at view x 408; view x 416
  // maps to column 26 + 37 = 63, past the last column 62.
  f.Press(416, 5);
  EXPECT_EQ(f.Fields(), Fields(7, ""));
  EXPECT_EQ(f.form.Picture1.Pixel(0, 0), 0x123456u);
  EXPECT_EQ(f.form.LOG.Count(), 1);
  f.Press(410, 5);  // column 25 + 37 = 62, the last one (its right part is strip)
  EXPECT_EQ(f.form.MCUX.text, "62");
}

TEST(PointerFrame, OutlineOfTheCellIsInvertedOnce) {
  PointerFixture f(64, 48, 2, 2);
  f.Press(20, 20);  // cell 16..31 x 16..31
  const window::Picture& v = f.form.Picture1;
  const auto inverted = [&](int x, int y) { return v.Pixel(x, y) == (f.Copied(x, y) ^ 0xFFFFFFu); };
  const auto copied = [&](int x, int y) { return v.Pixel(x, y) == f.Copied(x, y); };
  for (int i = 16; i <= 31; ++i) {
    EXPECT_TRUE(inverted(i, 16) && inverted(i, 31) && inverted(16, i) && inverted(31, i)) << i;
    EXPECT_TRUE(copied(i, 15) && copied(i, 32) && copied(15, i) && copied(32, i)) << i;
  }
  EXPECT_TRUE(copied(17, 17) && copied(30, 30) && copied(24, 24));
  EXPECT_TRUE(copied(0, 0) && copied(63, 47));
}

TEST(PointerFrame, OnlyThePartInsideThePictureIsDrawn) {
  PointerFixture f(20, 20, 2, 2);
  f.Press(18, 5);  // cell 16..31 x 0..15; the picture ends at x = 20
  const window::Picture& v = f.form.Picture1;
  EXPECT_EQ(v.Pixel(19, 0), f.Copied(19, 0) ^ 0xFFFFFFu);
  EXPECT_EQ(v.Pixel(16, 15), f.Copied(16, 15) ^ 0xFFFFFFu);
  EXPECT_EQ(v.Pixel(19, 15), f.Copied(19, 15) ^ 0xFFFFFFu);
  // Beyond X the copy brought black, and no outline pixel is drawn there.
  EXPECT_EQ(v.Pixel(20, 0), 0u);
  EXPECT_EQ(v.Pixel(31, 0), 0u);
  EXPECT_EQ(v.Pixel(31, 5), 0u);
  // The bottom edge at y = 15 lies inside Y = 20.
  PointerFixture g(20, 20, 2, 2);
  g.Press(5, 18);  // cell 0..15 x 16..31
  EXPECT_EQ(g.form.Picture1.Pixel(5, 16), g.Copied(5, 16) ^ 0xFFFFFFu);
  EXPECT_EQ(g.form.Picture1.Pixel(5, 31), 0u);
}

TEST(PointerFrame, SecondPressRemovesTheFirstFrame) {
  PointerFixture f(64, 48, 2, 2);
  f.Press(5, 5);
  f.Press(40, 40);  // cell 32..47 x 32..47
  const window::Picture& v = f.form.Picture1;
  EXPECT_EQ(v.Pixel(0, 0), f.Copied(0, 0));
  EXPECT_EQ(v.Pixel(15, 15), f.Copied(15, 15));
  EXPECT_EQ(v.Pixel(32, 32), f.Copied(32, 32) ^ 0xFFFFFFu);
}

TEST(PointerFrame, BlackStripsWhereTheScrolledWindowPassesThePicture) {
  PointerFixture f(1000, 800, 2, 2);
  f.Scroll(37, 37, 23, 23);
  f.Press(5, 5);
  const window::Picture& v = f.form.Picture1;
  // Right: (1000 - 417) mod 16 + 417 - 16 = 408. Bottom: (800 - 433) mod 16 + 433 - 16 = 432.
  for (int y : {0, 200, 431}) {
    EXPECT_EQ(v.Pixel(407, y), f.Copied(407, y, 37, 23)) << y;
    EXPECT_EQ(v.Pixel(408, y), 0u) << y;
    EXPECT_EQ(v.Pixel(416, y), 0u) << y;
  }
  EXPECT_EQ(v.Pixel(0, 431), f.Copied(0, 431, 37, 23));
  EXPECT_EQ(v.Pixel(0, 432), 0u);
  EXPECT_EQ(v.Pixel(5, 0), f.Copied(5, 0, 37, 23) ^ 0xFFFFFFu);  // the frame
  // One MCU less far, the window ends inside the picture: no strip.
  PointerFixture g(1000, 800, 2, 2);
  g.Scroll(37, 36, 23, 22);
  g.Press(5, 5);
  EXPECT_EQ(g.form.Picture1.Pixel(416, 432), g.Copied(416, 432, 36, 22));
}

}  // namespace
}  // namespace vorn
