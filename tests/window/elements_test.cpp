#include "window/elements.h"

#include <gtest/gtest.h>

#include <vector>

namespace vorn::window {
namespace {

TEST(ScrollBar, LoweringMaximumBelowValueLowersValueAndRaisesChange) {
  ScrollBar bar;
  int changes = 0;
  bar.onChange = [&] { ++changes; };
  bar.SetMax(10);
  bar.SetValue(8);
  EXPECT_EQ(changes, 1);
  bar.SetMax(5);
  EXPECT_EQ(bar.value, 5);
  EXPECT_EQ(changes, 2);
  bar.SetMax(20);  // raising leaves the value alone
  EXPECT_EQ(bar.value, 5);
  EXPECT_EQ(changes, 2);
}

TEST(Command, DisabledCommandRaisesNoClick) {
  Command c;
  int clicks = 0;
  c.onClick = [&] { ++clicks; };
  c.enabled = false;
  EXPECT_FALSE(c.Click());
  c.enabled = true;
  EXPECT_TRUE(c.Click());
  EXPECT_EQ(clicks, 1);
}

TEST(TextField, KeepsAtMostTwoCharacters) {
  TextField f;
  f.SetText("ABC");
  EXPECT_EQ(f.text, "AB");
  f.SetText("あいう");  // characters, not bytes
  EXPECT_EQ(f.text, "あい");
}

TEST(Picture, BottomUpBlockFlipsRowsAndCopyClipsToSource) {
  Picture src;
  const PixelStore block = {1, 2, 3, 4};  // bottom row first
  src.ShowBottomUp(&block, 2, 2);
  EXPECT_EQ(src.Pixel(0, 0), 3u);
  EXPECT_EQ(src.Pixel(1, 1), 2u);
  Picture view;
  ASSERT_TRUE(view.Resize(3, 3));
  view.FillRect(0, 0, 3, 3, 0xFFFFFF);
  EXPECT_TRUE(view.CopyFrom(src, 1, 0, 3, 3, 0, 0));
  EXPECT_EQ(view.Pixel(0, 0), 4u);
  EXPECT_EQ(view.Pixel(1, 0), 0u);  // beyond the source reads black
  EXPECT_EQ(view.Pixel(5, 5), 0u);
}

}  // namespace
}  // namespace vorn::window
