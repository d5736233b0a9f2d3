// Scroll ranges and black strips of the 417 x 433 image view.
#include "decode/view_geometry.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

constexpr int32_t kViewWidth = 417;
constexpr int32_t kViewHeight = 433;

TEST(ScrollMaximum, CountsWholeMcusUntilTheWindowPassesTheEdge) {
  EXPECT_EQ(ScrollMaximum(1000, kViewWidth, 16), 37);  // 583 div 16 + 1
  EXPECT_EQ(ScrollMaximum(800, kViewHeight, 16), 23);  // 367 div 16 + 1
  EXPECT_EQ(ScrollMaximum(300, kViewWidth, 8), 0);
  EXPECT_EQ(ScrollMaximum(417, kViewWidth, 8), 0);  // strictly greater only
  EXPECT_EQ(ScrollMaximum(418, kViewWidth, 8), 1);
  EXPECT_EQ(ScrollMaximum(1000, kViewWidth, 0), 0);  // no MCU size, nothing to scroll by
}

TEST(ScrollMaximum, AtTheMaximumTheWindowReachesPastTheEdgeByAtMostOneMcu) {
  for (int32_t size = kViewWidth + 1; size <= 1200; ++size) {
    for (int32_t unit : {8, 16}) {
      const int32_t end = ScrollMaximum(size, kViewWidth, unit) * unit + kViewWidth;
      ASSERT_GE(end - size, 1) << size << " " << unit;
      ASSERT_LE(end - size, unit) << size << " " << unit;
    }
  }
}

TEST(ViewStrips, RightStripOnlyWhereTheWindowPassesThePicture) {
  // 1000 wide at hv = 37 (MCU 16): the window is x = 592 .. 1008.
  EXPECT_EQ(RightStrip(1000, 592, kViewWidth, kViewHeight), (ViewRect{408, 0, 417, 433}));
  // At hv = 36 (x = 576 .. 992) it ends inside the picture.
  EXPECT_EQ(RightStrip(1000, 576, kViewWidth, kViewHeight), std::nullopt);
  EXPECT_EQ(RightStrip(300, 0, kViewWidth, kViewHeight), (ViewRect{300, 0, 417, 433}));
  EXPECT_EQ(RightStrip(417, 0, kViewWidth, kViewHeight), std::nullopt);
}

TEST(ViewStrips, BottomStripOnlyWhereTheWindowPassesThePicture) {
  EXPECT_EQ(BottomStrip(200, 0, kViewWidth, kViewHeight), (ViewRect{0, 200, 417, 433}));
  // 800 high at vv = 23 (MCU 16): the window is y = 368 .. 801.
  EXPECT_EQ(BottomStrip(800, 368, kViewWidth, kViewHeight), (ViewRect{0, 432, 417, 433}));
  EXPECT_EQ(BottomStrip(800, 352, kViewWidth, kViewHeight), std::nullopt);
  EXPECT_EQ(BottomStrip(433, 0, kViewWidth, kViewHeight), std::nullopt);
}

}  // namespace
}  // namespace vorn
