#include <gtest/gtest.h>

#include "dump/dump_harness.h"

namespace vorn::testing {
namespace {

std::vector<std::string> RowLabels(const window::WindowModel& form) {
  std::vector<std::string> out;
  for (const auto& label : form.DMPH) out.push_back(label.text);
  return out;
}

int FilledCells(const window::WindowModel& form) {
  int n = 0;
  for (const auto& cell : form.DMP) n += cell.text.empty() ? 0 : 1;
  return n;
}

TEST(DumpView, CellsShowTwoUpperCaseDigitsAndRowLabelsHaveNoLeadingZeros) {
  DumpHarness h;
  h.Open({0x05, 0xAB, 0x00, 0xFF});
  EXPECT_EQ(h.form.DMP[0].text, "05");
  EXPECT_EQ(h.form.DMP[1].text, "AB");
  EXPECT_EQ(h.form.DMP[2].text, "00");
  EXPECT_EQ(h.form.DMP[3].text, "FF");
  EXPECT_EQ(h.form.DMP[4].text, "");
  EXPECT_EQ(h.form.DMPH[0].text, "0");
  EXPECT_EQ(h.form.DMPH[1].text, "10");
  EXPECT_EQ(h.form.DMPH[15].text, "F0");
  EXPECT_EQ(LastPage(h.file), 0);
}

TEST(DumpView, RowLabelsOfFarPagesStayInRange) {
  // The empty page after a 2^31 - 1 byte file is page 2^23; its rows start at
  // 2^31, which no 32-bit signed position can hold.
  window::WindowModel form;
  ShowDump(FileImage{}, 0x800000, form);
  EXPECT_EQ(form.DMPH[0].text, "80000000");
  EXPECT_EQ(form.DMPH[15].text, "800000F0");
  ShowDump(FileImage{}, 0x12A3, form);
  EXPECT_EQ(form.DMPH[0].text, "12A300");
  EXPECT_EQ(form.DMPH[3].text, "12A330");
  EXPECT_EQ(FilledCells(form), 0);
}

TEST(DumpPaging, Length600) {
  DumpHarness h;
  h.Open(CountingBytes(600));
  EXPECT_EQ(LastPage(h.file), 2);
  h.Press(h.form.DMPFDOWN);  // ">>" from page 0 stops at the last page
  EXPECT_EQ(h.dump.DumpPage, 2);
  EXPECT_EQ(FilledCells(h.form), 88);    // positions 512..599
  EXPECT_EQ(h.form.DMP[0].text, "00");   // 512 mod 256
  EXPECT_EQ(h.form.DMP[87].text, "57");  // 599 mod 256
  EXPECT_EQ(h.form.DMP[88].text, "");
  EXPECT_EQ(h.form.DMPH[0].text, "200");
  h.Press(h.form.DMPDOWN);  // ">" reaches the empty page after the last
  EXPECT_EQ(h.dump.DumpPage, 3);
  EXPECT_EQ(FilledCells(h.form), 0);
  h.Press(h.form.DMPDOWN);
  EXPECT_EQ(h.dump.DumpPage, 3);
  h.Press(h.form.DMPFDOWN);  // ">>" from there goes back to the last page
  EXPECT_EQ(h.dump.DumpPage, 2);
  h.Press(h.form.DMPUP);
  EXPECT_EQ(h.dump.DumpPage, 1);
  EXPECT_EQ(h.form.DMP[0].text, "00");
  EXPECT_EQ(h.form.DMPH[15].text, "1F0");
  h.Press(h.form.DMPFUP);
  EXPECT_EQ(h.dump.DumpPage, 0);
}

TEST(DumpPaging, Length512HasAnEmptyLastPage) {
  DumpHarness h;
  h.Open(CountingBytes(512));
  EXPECT_EQ(LastPage(h.file), 2);
  h.Press(h.form.DMPFDOWN);
  EXPECT_EQ(h.dump.DumpPage, 2);
  EXPECT_EQ(FilledCells(h.form), 0);
  h.Press(h.form.DMPDOWN);
  EXPECT_EQ(h.dump.DumpPage, 3);
  h.Press(h.form.DMPDOWN);
  EXPECT_EQ(h.dump.DumpPage, 3);
}

TEST(DumpPaging, NoFileYet) {
  DumpHarness h;
  h.Press(h.form.DMPDOWN);
  EXPECT_EQ(h.dump.DumpPage, 1);
  const std::vector<std::string> expected = {"100", "110", "120", "130", "140", "150", "160", "170",
                                             "180", "190", "1A0", "1B0", "1C0", "1D0", "1E0", "1F0"};
  EXPECT_EQ(RowLabels(h.form), expected);
  EXPECT_EQ(FilledCells(h.form), 0);
  h.Press(h.form.DMPDOWN);
  EXPECT_EQ(h.dump.DumpPage, 1);
  h.Press(h.form.DMPFDOWN);
  EXPECT_EQ(h.dump.DumpPage, 0);
}

TEST(DumpPaging, FastBackStepsSixteenPagesOrToTheStart) {
  DumpHarness h;
  h.Open(CountingBytes(20 * 256));
  h.dump.DumpPage = 17;
  h.Press(h.form.DMPFUP);
  EXPECT_EQ(h.dump.DumpPage, 1);
  EXPECT_EQ(h.form.DMPH[0].text, "100");
  h.Press(h.form.DMPFUP);
  EXPECT_EQ(h.dump.DumpPage, 0);
  h.Press(h.form.DMPFDOWN);
  EXPECT_EQ(h.dump.DumpPage, 16);
  h.Press(h.form.DMPFDOWN);  // 32 would pass the last page, 20
  EXPECT_EQ(h.dump.DumpPage, 20);
}

TEST(DumpPaging, RepaintRulesDecideWhetherTheHighlightStays) {
  DumpHarness h;
  h.Open(CountingBytes(600));
  h.ClickCell(5);
  ASSERT_TRUE(h.Highlighted(5));
  h.Press(h.form.DMPUP);  // page 0: no change, no repaint
  EXPECT_TRUE(h.Highlighted(5));
  h.Press(h.form.DMPFUP);  // always repaints, even on page 0
  EXPECT_TRUE(h.Normal(5));
  EXPECT_EQ(h.dump.SelectedCell, 5);  // the selection itself stays

  h.dump.DumpPage = 3;
  ShowDump(h.file, 3, h.form);
  PaintSelected(h.form.DMP[9]);
  h.Press(h.form.DMPDOWN);  // past LastPage + 1: no change, no repaint
  EXPECT_TRUE(h.Highlighted(9));
  h.Press(h.form.DMPFDOWN);  // always repaints
  EXPECT_TRUE(h.Normal(9));
  EXPECT_EQ(h.dump.SelectedPage, 0);  // paging never selects
}

}  // namespace
}  // namespace vorn::testing
