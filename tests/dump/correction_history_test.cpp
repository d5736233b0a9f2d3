#include <gtest/gtest.h>

#include "app/dump_handlers.h"
#include "dump/dump_harness.h"

namespace vorn::testing {
namespace {

std::string Hex2Of(uint8_t v) {
  static const char* kDigits = "0123456789ABCDEF";
  return {kDigits[v >> 4], kDigits[v & 15]};
}

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
  EXPECT_EQ(record.PutBack, std::vector<uint8_t>{0x10});
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
  EXPECT_EQ(h.dump.RedoStack.Entries[0].PutBack, std::vector<uint8_t>{0x01});

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

// Changes of byte ranges (repairs that insert or remove bytes, edits of any length):
// each row changes a counting file of 600 bytes, whose expected bytes are built here
// by hand from the original.
struct LengthChangeRow {
  const char* name;
  int32_t address;
  int32_t erased;  // bytes of the original at address that go
  std::vector<uint8_t> inserted;
};

class LengthChange : public ::testing::TestWithParam<LengthChangeRow> {};

TEST_P(LengthChange, UndoAndRedoRestoreTheExactBytesAndLength) {
  const LengthChangeRow& row = GetParam();
  DumpHarness h;
  const std::vector<uint8_t> original = CountingBytes(600);
  h.Open(original);
  h.analysis.ScanDataEnd = 0x1F0;  // the change lies inside the scan data
  h.analysis.AnalysisEnd = 0x1F3;  // after the EOI that follows it: trailing data from there
  h.form.SAVE.enabled = true;
  std::vector<uint8_t> changed = original;
  changed.erase(changed.begin() + row.address, changed.begin() + row.address + row.erased);
  changed.insert(changed.begin() + row.address, row.inserted.begin(), row.inserted.end());
  const HistoryEntry change{.Address = row.address,
                            .Length = static_cast<int32_t>(changed.size()),
                            .TakeOut = row.erased,
                            .PutBack = row.inserted};
  const int32_t growth = static_cast<int32_t>(changed.size()) - 600;

  ASSERT_TRUE(ApplyChange(h.app, change));
  EXPECT_EQ(h.file.bytes, changed);
  EXPECT_EQ(h.analysis.ScanDataEnd, 0x1F0 + growth);
  EXPECT_EQ(h.analysis.AnalysisEnd, 0x1F3 + growth);
  EXPECT_EQ(h.dump.DumpPage, row.address / 256);
  EXPECT_EQ(h.dump.SelectedCell, row.address % 256);
  EXPECT_TRUE(h.form.UNDO.enabled);
  EXPECT_FALSE(h.form.REDO.enabled);
  EXPECT_FALSE(h.form.SAVE.enabled);

  h.Press(h.form.DMPFDOWN);  // look elsewhere first: undo jumps back
  ASSERT_TRUE(h.Press(h.form.UNDO));
  EXPECT_EQ(h.file.bytes, original);
  EXPECT_EQ(h.file.FileLength(), 600);
  EXPECT_EQ(h.analysis.ScanDataEnd, 0x1F0);
  EXPECT_EQ(h.analysis.AnalysisEnd, 0x1F3);
  EXPECT_EQ(h.dump.DumpPage, row.address / 256);
  EXPECT_EQ(h.form.DMPI.text, Hex2Of(original[static_cast<size_t>(row.address)]));
  EXPECT_FALSE(h.form.UNDO.enabled);
  EXPECT_TRUE(h.form.REDO.enabled);

  ASSERT_TRUE(h.Press(h.form.REDO));
  EXPECT_EQ(h.file.bytes, changed);
  EXPECT_EQ(h.analysis.ScanDataEnd, 0x1F0 + growth);
  EXPECT_TRUE(h.form.UNDO.enabled);
  EXPECT_FALSE(h.form.REDO.enabled);
  ASSERT_TRUE(h.Press(h.form.UNDO));
  EXPECT_EQ(h.file.bytes, original);
}

INSTANTIATE_TEST_SUITE_P(
    Correction, LengthChange,
    ::testing::Values(LengthChangeRow{"InsertedByte", 0x123, 0, {0x3A}},
                      LengthChangeRow{"RemovedByte", 0x123, 1, {}},
                      LengthChangeRow{"RemovedMarker", 0x1E0, 2, {}},
                      LengthChangeRow{"StuffingAfterFf", 0x100, 0, {0x00}},
                      // Ranges across a page of the dump, in place, growing and shrinking.
                      LengthChangeRow{"ReplacedRange", 0xF0, 0x20, std::vector<uint8_t>(0x20, 0xEE)},
                      LengthChangeRow{"InsertedRange", 0x80, 0, std::vector<uint8_t>(300, 0x5A)},
                      LengthChangeRow{"RemovedRange", 0x10, 0x150, {}},
                      LengthChangeRow{"LongerReplacement", 0x1EB, 3, {1, 2, 3, 4, 5, 6, 7}},
                      LengthChangeRow{"ShorterReplacement", 0x17F, 9, {0xAA, 0xBB}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Correction, ALengthChangeThatDoesNotFitChangesNothing) {
  DumpHarness h;
  h.Open(CountingBytes(20));
  // Past the end, a length that does not follow from the change, and a negative
  // count whose length would.
  EXPECT_FALSE(ApplyChange(h.app, HistoryEntry{.Address = 19, .Length = 18, .TakeOut = 2}));
  EXPECT_FALSE(ApplyChange(h.app, HistoryEntry{.Address = 4, .Length = 20, .TakeOut = 1}));
  EXPECT_FALSE(ApplyChange(h.app, HistoryEntry{.Address = 4, .Length = 21, .TakeOut = -1}));
  EXPECT_EQ(h.file.bytes, CountingBytes(20));
  EXPECT_TRUE(h.dump.UndoStack.Empty());
  EXPECT_FALSE(h.form.UNDO.enabled);
}

TEST(Correction, BytesAndLengthChangesUndoInTurn) {
  DumpHarness h;
  const std::vector<uint8_t> original = CountingBytes(64);
  h.Open(original);
  Correct(h, 10, 0);  // 0A -> 8A
  ASSERT_TRUE(ApplyChange(h.app, HistoryEntry{.Address = 5, .Length = 63, .TakeOut = 1}));
  Correct(h, 20, 0);  // after the removal, position 20 holds 0x15
  ASSERT_EQ(h.file.bytes[20], 0x95);
  ASSERT_TRUE(h.Press(h.form.UNDO));
  ASSERT_TRUE(h.Press(h.form.UNDO));
  EXPECT_EQ(h.file.FileLength(), 64);
  EXPECT_EQ(h.file.bytes[10], 0x8A);
  ASSERT_TRUE(h.Press(h.form.UNDO));
  EXPECT_EQ(h.file.bytes, original);
  EXPECT_FALSE(h.form.UNDO.enabled);
}

}  // namespace
}  // namespace vorn::testing
