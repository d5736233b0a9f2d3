#include <gtest/gtest.h>

#include "dump/dump_harness.h"

namespace vorn::testing {
namespace {

// A candidate list of one line for (position, bit), then the user's click and
// double click on it.
void Correct(DumpHarness& h, int32_t position, int32_t bit) {
  h.List("1", {position});
  h.inspect.BitCandidate[0] = BitCandidateEntry{10, position, bit, 0};
  h.form.LOG.Click(0);
  h.form.LOG.DblClick(0);
}

TEST(Correction, SetsTheBitWithAnUndoRecordAndShowsIt) {
  DumpHarness h;
  h.Open(std::vector<uint8_t>(600, 0x10));
  h.form.SAVE.enabled = true;
  Correct(h, 0x234, 1);  // bit 1 is worth 40
  EXPECT_EQ(h.file.bytes[0x234], 0x50);
  EXPECT_EQ(h.dump.DumpPage, 2);
  EXPECT_EQ(h.dump.SelectedCell, 0x34);
  EXPECT_EQ(h.form.DMP[0x34].text, "50");
  EXPECT_EQ(h.form.DMPI.text, "50");
  EXPECT_TRUE(h.Highlighted(0x34));
  const HistoryEntry& record = h.dump.UndoStack.Entries[0];
  EXPECT_EQ(record.Address, 0x234);
  EXPECT_EQ(record.Byte, 0x10);
  EXPECT_EQ(record.Length, 600);
  EXPECT_TRUE(h.form.UNDO.enabled);
  EXPECT_FALSE(h.form.REDO.enabled);
  EXPECT_FALSE(h.form.SAVE.enabled);
  EXPECT_EQ(h.form.LOG.Count(), 0);
  EXPECT_EQ(h.form.LOG.tag, "1");
}

TEST(Correction, ABitAlreadySetStillRecordsAndClears) {
  DumpHarness h;
  h.Open(std::vector<uint8_t>(8, 0xFF));
  Correct(h, 3, 7);
  EXPECT_EQ(h.file.bytes, std::vector<uint8_t>(8, 0xFF));
  EXPECT_FALSE(h.dump.UndoStack.Empty());
  EXPECT_EQ(h.form.LOG.Count(), 0);
}

TEST(Correction, UndoThenRedo) {
  DumpHarness h;
  h.Open(std::vector<uint8_t>(600, 0x00));
  Correct(h, 0x250, 7);
  ASSERT_EQ(h.file.bytes[0x250], 0x01);
  h.Press(h.form.DMPFUP);  // look elsewhere first: undo jumps back
  ASSERT_TRUE(h.Press(h.form.UNDO));
  EXPECT_EQ(h.file.bytes[0x250], 0x00);
  EXPECT_EQ(h.dump.DumpPage, 2);
  EXPECT_EQ(h.dump.SelectedCell, 0x50);
  EXPECT_EQ(h.form.DMPI.text, "00");
  EXPECT_TRUE(h.Highlighted(0x50));
  EXPECT_FALSE(h.form.UNDO.enabled);
  EXPECT_TRUE(h.form.REDO.enabled);
  EXPECT_EQ(h.dump.RedoStack.Entries[0].Byte, 0x01);

  ASSERT_TRUE(h.Press(h.form.REDO));
  EXPECT_EQ(h.file.bytes[0x250], 0x01);
  EXPECT_EQ(h.form.DMP[0x50].text, "01");
  EXPECT_TRUE(h.form.UNDO.enabled);
  EXPECT_FALSE(h.form.REDO.enabled);
  EXPECT_TRUE(h.dump.RedoStack.Empty());
  EXPECT_EQ(h.file.FileLength(), 600);
}

TEST(Correction, SeventeenCorrectionsKeepTheLastSixteen) {
  DumpHarness h;
  h.Open(std::vector<uint8_t>(32, 0x00));
  for (int32_t p = 0; p < 17; ++p) Correct(h, p, 0);
  EXPECT_EQ(h.dump.UndoStack.Entries[0].Address, 16);
  EXPECT_EQ(h.dump.UndoStack.Entries[15].Address, 1);
  for (int n = 1; n <= 16; ++n) {
    ASSERT_TRUE(h.Press(h.form.UNDO)) << n;
    EXPECT_EQ(h.form.UNDO.enabled, n < 16) << n;
  }
  EXPECT_FALSE(h.Press(h.form.UNDO));  // disabled: no click
  EXPECT_EQ(h.file.bytes[0], 0x80);    // the oldest correction was dropped
  for (int p = 1; p < 17; ++p) EXPECT_EQ(h.file.bytes[p], 0x00) << p;
  EXPECT_EQ(h.dump.DumpPage, 0);
  EXPECT_EQ(h.dump.SelectedCell, 1);
  // All sixteen can be redone, newest last.
  for (int n = 1; n <= 16; ++n) ASSERT_TRUE(h.Press(h.form.REDO)) << n;
  EXPECT_FALSE(h.form.REDO.enabled);
  for (int p = 0; p < 17; ++p) EXPECT_EQ(h.file.bytes[p], 0x80) << p;
}

TEST(Correction, NewCorrectionAfterUndoEmptiesRedo) {
  DumpHarness h;
  h.Open(std::vector<uint8_t>(16, 0x00));
  Correct(h, 4, 3);
  h.Press(h.form.UNDO);
  ASSERT_TRUE(h.form.REDO.enabled);
  Correct(h, 5, 3);
  EXPECT_FALSE(h.form.REDO.enabled);
  EXPECT_TRUE(h.dump.RedoStack.Empty());
  for (const HistoryEntry& e : h.dump.RedoStack.Entries) EXPECT_EQ(e.Length, 0);
  EXPECT_TRUE(h.form.UNDO.enabled);
}

TEST(Correction, DirectEditEmptiesBothHistories) {
  DumpHarness h;
  h.Open(std::vector<uint8_t>(16, 0x00));
  Correct(h, 4, 3);
  Correct(h, 6, 3);
  h.Press(h.form.UNDO);
  ASSERT_FALSE(h.dump.RedoStack.Empty());
  h.ClickCell(9);
  h.Type("33");
  h.Leave();
  EXPECT_EQ(h.file.bytes[9], 0x33);
  EXPECT_FALSE(h.form.UNDO.enabled);
  EXPECT_FALSE(h.form.REDO.enabled);
  EXPECT_TRUE(h.dump.UndoStack.Empty());
  EXPECT_TRUE(h.dump.RedoStack.Empty());
}

TEST(Correction, EmptyHistoryCannotBeReplayed) {
  DumpHarness h;
  h.Open({0x01, 0x02});
  h.form.UNDO.enabled = true;  // a stale enabled state
  h.Press(h.form.UNDO);
  EXPECT_EQ(h.file.bytes, (std::vector<uint8_t>{0x01, 0x02}));
  EXPECT_FALSE(h.form.UNDO.enabled);
  EXPECT_FALSE(h.form.REDO.enabled);
}

}  // namespace
}  // namespace vorn::testing
