#include <gtest/gtest.h>

#include "dump/dump_harness.h"

namespace vorn::testing {
namespace {

std::vector<std::string> RowLabels(const window::WindowModel& w) {
  std::vector<std::string> out;
  for (const auto& label : w.DMPH) out.push_back(label.text);
  return out;
}

int FilledCells(const window::WindowModel& w) {
  int n = 0;
  for (const auto& cell : w.DMP) n += cell.text.empty() ? 0 : 1;
  return n;
}

TEST(DumpView, CellsShowTwoUpperCaseDigitsAndRowLabelsHaveNoLeadingZeros) {
  DumpHarness h;
  h.Open({0x05, 0xAB, 0x00, 0xFF});
  EXPECT_EQ(h.s.w.DMP[0].text, "05");
  EXPECT_EQ(h.s.w.DMP[1].text, "AB");
  EXPECT_EQ(h.s.w.DMP[2].text, "00");
  EXPECT_EQ(h.s.w.DMP[3].text, "FF");
  EXPECT_EQ(h.s.w.DMP[4].text, "");
  EXPECT_EQ(h.s.w.DMPH[0].text, "0");
  EXPECT_EQ(h.s.w.DMPH[1].text, "10");
  EXPECT_EQ(h.s.w.DMPH[15].text, "F0");
  EXPECT_EQ(LastPage(h.s.file), 0);
}

TEST(DumpView, RowLabelsOfFarPagesStayInRange) {
  // The empty page after a 2^31 - 1 byte file is page 2^23; its rows start at
  // 2^31, which no 32-bit signed position can hold.
  window::WindowModel w;
  ShowDump(FileImage{}, 0x800000, w);
  EXPECT_EQ(w.DMPH[0].text, "80000000");
  EXPECT_EQ(w.DMPH[15].text, "800000F0");
  ShowDump(FileImage{}, 0x12A3, w);
  EXPECT_EQ(w.DMPH[0].text, "12A300");
  EXPECT_EQ(w.DMPH[3].text, "12A330");
  EXPECT_EQ(FilledCells(w), 0);
}

TEST(DumpPaging, Length600) {
  DumpHarness h;
  h.Open(CountingBytes(600));
  EXPECT_EQ(LastPage(h.s.file), 2);
  h.Press(h.s.w.DMPFDOWN);  // ">>" from page 0 stops at the last page
  EXPECT_EQ(h.s.dump.DumpPage, 2);
  EXPECT_EQ(FilledCells(h.s.w), 88);    // positions 512..599
  EXPECT_EQ(h.s.w.DMP[0].text, "00");   // 512 mod 256
  EXPECT_EQ(h.s.w.DMP[87].text, "57");  // 599 mod 256
  EXPECT_EQ(h.s.w.DMP[88].text, "");
  EXPECT_EQ(h.s.w.DMPH[0].text, "200");
  h.Press(h.s.w.DMPDOWN);  // ">" reaches the empty page after the last
  EXPECT_EQ(h.s.dump.DumpPage, 3);
  EXPECT_EQ(FilledCells(h.s.w), 0);
  h.Press(h.s.w.DMPDOWN);
  EXPECT_EQ(h.s.dump.DumpPage, 3);
  h.Press(h.s.w.DMPFDOWN);  // ">>" from there goes back to the last page
  EXPECT_EQ(h.s.dump.DumpPage, 2);
  h.Press(h.s.w.DMPUP);
  EXPECT_EQ(h.s.dump.DumpPage, 1);
  EXPECT_EQ(h.s.w.DMP[0].text, "00");
  EXPECT_EQ(h.s.w.DMPH[15].text, "1F0");
  h.Press(h.s.w.DMPFUP);
  EXPECT_EQ(h.s.dump.DumpPage, 0);
}

TEST(DumpPaging, Length512HasAnEmptyLastPage) {
  DumpHarness h;
  h.Open(CountingBytes(512));
  EXPECT_EQ(LastPage(h.s.file), 2);
  h.Press(h.s.w.DMPFDOWN);
  EXPECT_EQ(h.s.dump.DumpPage, 2);
  EXPECT_EQ(FilledCells(h.s.w), 0);
  h.Press(h.s.w.DMPDOWN);
  EXPECT_EQ(h.s.dump.DumpPage, 3);
  h.Press(h.s.w.DMPDOWN);
  EXPECT_EQ(h.s.dump.DumpPage, 3);
}

TEST(DumpPaging, NoFileYet) {
  DumpHarness h;
  h.Press(h.s.w.DMPDOWN);
  EXPECT_EQ(h.s.dump.DumpPage, 1);
  const std::vector<std::string> expected = {"100", "110", "120", "130", "140", "150", "160", "170",
                                             "180", "190", "1A0", "1B0", "1C0", "1D0", "1E0", "1F0"};
  EXPECT_EQ(RowLabels(h.s.w), expected);
  EXPECT_EQ(FilledCells(h.s.w), 0);
  h.Press(h.s.w.DMPDOWN);
  EXPECT_EQ(h.s.dump.DumpPage, 1);
  h.Press(h.s.w.DMPFDOWN);
  EXPECT_EQ(h.s.dump.DumpPage, 0);
}

TEST(DumpPaging, FastBackStepsSixteenPagesOrToTheStart) {
  DumpHarness h;
  h.Open(CountingBytes(20 * 256));
  h.s.dump.DumpPage = 17;
  h.Press(h.s.w.DMPFUP);
  EXPECT_EQ(h.s.dump.DumpPage, 1);
  EXPECT_EQ(h.s.w.DMPH[0].text, "100");
  h.Press(h.s.w.DMPFUP);
  EXPECT_EQ(h.s.dump.DumpPage, 0);
  h.Press(h.s.w.DMPFDOWN);
  EXPECT_EQ(h.s.dump.DumpPage, 16);
  h.Press(h.s.w.DMPFDOWN);  // 32 would pass the last page, 20
  EXPECT_EQ(h.s.dump.DumpPage, 20);
}

TEST(DumpPaging, RepaintRulesDecideWhetherTheHighlightStays) {
  DumpHarness h;
  h.Open(CountingBytes(600));
  h.ClickCell(5);
  ASSERT_TRUE(h.Highlighted(5));
  h.Press(h.s.w.DMPUP);  // page 0: no change, no repaint
  EXPECT_TRUE(h.Highlighted(5));
  h.Press(h.s.w.DMPFUP);  // always repaints, even on page 0
  EXPECT_TRUE(h.Normal(5));
  EXPECT_EQ(h.s.dump.SelectedCell, 5);  // the selection itself stays

  h.s.dump.DumpPage = 3;
  ShowDump(h.s.file, 3, h.s.w);
  PaintSelected(h.s.w.DMP[9]);
  h.Press(h.s.w.DMPDOWN);  // past LastPage + 1: no change, no repaint
  EXPECT_TRUE(h.Highlighted(9));
  h.Press(h.s.w.DMPFDOWN);  // always repaints
  EXPECT_TRUE(h.Normal(9));
  EXPECT_EQ(h.s.dump.SelectedPage, 0);  // paging never selects
}

}  // namespace
}  // namespace vorn::testing
