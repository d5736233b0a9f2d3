// A picture that shows a bottom-up block owned elsewhere (the decoded picture).
#include <gtest/gtest.h>

#include "window/elements.h"

namespace vorn::window {
namespace {

// 3 x 2, bottom row first: the top line reads 4 5 6, the bottom line 1 2 3.
const PixelStore kBlock = {1, 2, 3, 4, 5, 6};

TEST(SharedPicture, ReadsTheBlockBottomUpAndFollowsItsChanges) {
  PixelStore block = kBlock;
  Picture p;
  p.ShowBottomUp(&block, 3, 2);
  EXPECT_EQ(p.width, 3);
  EXPECT_EQ(p.height, 2);
  EXPECT_EQ(p.Pixel(0, 0), 4u);
  EXPECT_EQ(p.Pixel(2, 1), 3u);
  EXPECT_EQ(p.Pixel(3, 0), 0u);  // outside
  block[5] = 60;
  EXPECT_EQ(p.Pixel(2, 0), 60u);
  block.resize(2);  // a block that shrank reads black beyond its end, never outside it
  EXPECT_EQ(p.Pixel(1, 1), 2u);
  EXPECT_EQ(p.Pixel(2, 1), 0u);
  EXPECT_EQ(p.Pixel(0, 0), 0u);
}

TEST(SharedPicture, DrawingCopiesAndClearOrResizeDetach) {
  PixelStore block = kBlock;
  Picture p;
  p.ShowBottomUp(&block, 3, 2);
  p.SetPixel(0, 0, 99);
  EXPECT_EQ(block, kBlock);
  EXPECT_EQ(p.Pixel(0, 0), 99u);
  EXPECT_EQ(p.Pixel(1, 0), 5u);
  EXPECT_EQ(p.Pixel(2, 1), 3u);
  block[4] = 50;  // no longer shown
  EXPECT_EQ(p.Pixel(1, 0), 5u);

  p.ShowBottomUp(&block, 3, 2);
  const uint64_t before = p.revision;
  p.Clear();
  EXPECT_GT(p.revision, before);
  EXPECT_EQ(p.width, 3);
  EXPECT_EQ(p.height, 2);
  EXPECT_EQ(p.Pixel(0, 0), 0u);
  p.SetPixel(1, 1, 8);  // a cleared picture draws on a black surface of its own
  EXPECT_EQ(p.Pixel(1, 1), 8u);
  EXPECT_EQ(p.Pixel(0, 1), 0u);

  p.ShowBottomUp(&block, 3, 2);
  ASSERT_TRUE(p.Resize(2, 2));
  EXPECT_EQ(p.Pixel(0, 0), 0u);
  EXPECT_EQ(p.pixels.size(), 4u);

  // A blank picture (a window model's before anything is drawn) reads black with no
  // surface, until the first drawing gives it one of its size.
  p.ShowBottomUp(&block, 3, 2);
  p.ResizeBlank(4, 3);
  EXPECT_TRUE(p.pixels.empty());
  EXPECT_EQ(p.Row(2), nullptr);
  EXPECT_EQ(p.Pixel(2, 1), 0u);
  p.FillRect(3, 2, 9, 9, 7);
  EXPECT_EQ(p.pixels.size(), 12u);
  EXPECT_EQ(p.Pixel(3, 2), 7u);
  EXPECT_EQ(p.Pixel(2, 2), 0u);
}

}  // namespace
}  // namespace vorn::window
