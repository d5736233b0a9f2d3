#include "dump/editing.h"

#include <gtest/gtest.h>

#include "app/display_state.h"
#include "app/dump_handlers.h"
#include "dump/dump_harness.h"

namespace vorn::testing {
namespace {

constexpr const char* kInputError = "入力エラー";

// Decode-dependent state a stored edit must clear.
void FillDecodeFields(window::WindowModel& form) {
  form.LOG.tag = "0";
  form.LOG.AddItem("00000000:画像開始が見つかりました");
  form.SAVE.enabled = form.MCUCHK.enabled = form.BITCHK.enabled = true;
  form.MCUX.text = form.MCUY.text = form.MCUBYTE.text = form.MCUBIT.text = "1";
  for (auto& dcv : form.DCV) dcv.text = "-3";
}

void ExpectDecodeFieldsCleared(const window::WindowModel& form) {
  EXPECT_EQ(form.LOG.Count(), 0);
  EXPECT_EQ(form.LOG.tag, "0");  // the kind stays
  EXPECT_FALSE(form.SAVE.enabled);
  EXPECT_FALSE(form.MCUCHK.enabled);
  EXPECT_FALSE(form.BITCHK.enabled);
  for (const auto* label :
       {&form.MCUX, &form.MCUY, &form.MCUBYTE, &form.MCUBIT, &form.DCV[0], &form.DCV[1], &form.DCV[2]})
    EXPECT_EQ(label->text, "");
}

TEST(DumpEdit, SameValueInOtherCaseIsStoredAgain) {
  DumpHarness h;
  h.Open({0xFF, 0x0A, 0x33});
  h.ClickCell(1);
  EXPECT_EQ(h.form.DMPI.text, "0A");
  FillDecodeFields(h.form);
  h.Type("0a");
  h.Leave();
  EXPECT_EQ(h.file.bytes, (std::vector<uint8_t>{0xFF, 0x0A, 0x33}));
  EXPECT_EQ(h.form.DMP[1].text, "0A");
  ExpectDecodeFieldsCleared(h.form);
  EXPECT_EQ(h.MessageCount(), 0u);
}

TEST(DumpEdit, AcceptedInputsOverwriteTheByte) {
  struct Case {
    const char* typed;
    uint8_t stored;
    const char* shown;
  };
  for (const Case& c :
       {Case{"0", 0x00, "00"}, Case{"00", 0x00, "00"}, Case{"F ", 0x0F, "0F"}, Case{"7f", 0x7F, "7F"}}) {
    DumpHarness h;
    h.Open({0x11, 0x22, 0x33});
    h.ClickCell(1);
    h.Type(c.typed);
    h.ClickCell(2);  // a click on another cell commits first
    EXPECT_EQ(h.file.bytes[1], c.stored) << c.typed;
    EXPECT_EQ(h.form.DMP[1].text, c.shown) << c.typed;
    EXPECT_EQ(h.dump.SelectedCell, 2) << c.typed;
    EXPECT_EQ(h.MessageCount(), 0u) << c.typed;
  }
}

TEST(DumpEdit, InputErrorsChangeNothingAndKeepTheSelection) {
  for (const char* typed : {"G", "-", "0 ", ""}) {  // "" on a byte that is not the last
    DumpHarness h;
    h.Open({0x11, 0x22, 0x33});
    h.ClickCell(1);
    EXPECT_EQ(h.form.DMPI.focusRequests, 1u);  // typing goes straight into the field
    FillDecodeFields(h.form);
    h.Type(typed);
    h.ClickCell(2);
    EXPECT_EQ(h.dialogs.Texts(), std::vector<std::string>{kInputError}) << '"' << typed << '"';
    EXPECT_EQ(h.form.DMPI.focusRequests, 2u);  // back into the field, to correct it
    EXPECT_EQ(h.file.bytes, (std::vector<uint8_t>{0x11, 0x22, 0x33}));
    EXPECT_EQ(h.form.DMPI.text, "22");  // the stored byte is put back
    EXPECT_EQ(h.dump.SelectedCell, 1);
    EXPECT_TRUE(h.Highlighted(1));
    EXPECT_TRUE(h.Normal(2));
    EXPECT_EQ(h.form.LOG.Count(), 1);  // nothing was cleared
    EXPECT_TRUE(h.form.SAVE.enabled);
  }
}

TEST(DumpEdit, RemoveTheLastByteThenAppendAtTheSameCell) {
  DumpHarness h;
  h.Open({0x01, 0x02, 0x03});
  h.ClickCell(2);
  h.Type("");
  h.Leave();
  EXPECT_EQ(h.file.bytes, (std::vector<uint8_t>{0x01, 0x02}));
  EXPECT_EQ(h.form.DMP[2].text, "");
  EXPECT_EQ(h.dump.SelectedCell, 2);
  EXPECT_TRUE(h.Highlighted(2));
  h.Type("9c");
  h.Leave();
  EXPECT_EQ(h.file.bytes, (std::vector<uint8_t>{0x01, 0x02, 0x9C}));
  EXPECT_EQ(h.form.DMP[2].text, "9C");
}

TEST(DumpEdit, RemovingTheOnlyByteLeavesAnEmptyImageThatGrowsAgain) {
  DumpHarness h;
  h.Open({0xD8});
  h.Type("");
  h.Leave();
  EXPECT_EQ(h.file.FileLength(), 0);
  h.Type("FF");
  h.Leave();
  h.ClickCell(1);
  h.Type("D8");
  h.Leave();
  EXPECT_EQ(h.file.bytes, (std::vector<uint8_t>{0xFF, 0xD8}));
}

TEST(DumpEdit, BadInputAtTheAppendPositionEmptiesTheField) {
  DumpHarness h;
  h.Open({0x01});
  h.ClickCell(1);
  h.Type("x");
  h.Leave();
  EXPECT_EQ(h.dialogs.Texts(), std::vector<std::string>{kInputError});
  EXPECT_EQ(h.form.DMPI.text, "");
  EXPECT_EQ(h.file.FileLength(), 1);
}

TEST(DumpEdit, BeforeAnyFileTheFirstValueIsAppended) {
  DumpHarness h;  // FileLength 0, cell 0 selected, DMPI empty
  h.Type("4A");
  h.Leave();
  EXPECT_EQ(h.file.bytes, std::vector<uint8_t>{0x4A});
  EXPECT_EQ(h.form.DMP[0].text, "4A");
}

TEST(DumpEdit, SelectionReachesOnlyOnePastTheEnd) {
  DumpHarness h;
  h.Open({0x01, 0x02, 0x03});
  h.ClickCell(3);  // the append position
  EXPECT_EQ(h.dump.SelectedCell, 3);
  EXPECT_TRUE(h.Highlighted(3));
  EXPECT_EQ(h.form.DMPI.text, "");
  h.Type("44");
  h.ClickCell(5);  // commits the append, but selects nothing further out
  EXPECT_EQ(h.file.bytes, (std::vector<uint8_t>{0x01, 0x02, 0x03, 0x44}));
  EXPECT_EQ(h.dump.SelectedCell, 3);
  EXPECT_TRUE(h.Normal(5));
  EXPECT_EQ(h.form.DMPI.focusRequests, 1u);  // only a selected cell calls for typing
  h.ClickCell(4);                            // now the new append position
  EXPECT_EQ(h.dump.SelectedCell, 4);
  EXPECT_EQ(h.form.DMPI.focusRequests, 2u);
}

TEST(DumpEdit, InputTypedOnAnotherPageIsNotStored) {
  DumpHarness h;
  h.Open(CountingBytes(600));
  h.ClickCell(5);
  h.Press(h.form.DMPDOWN);
  h.Type("AA");
  h.Leave();
  EXPECT_EQ(h.file.bytes[5], 0x05);
  EXPECT_EQ(h.file.bytes[256 + 5], 0x05);
  EXPECT_EQ(h.form.DMPI.text, "AA");  // stays in the field
  EXPECT_EQ(h.form.DMP[5].text, "05");
  h.ClickCell(7);  // selects on this page; the typed text is dropped
  EXPECT_EQ(h.dump.SelectedPage, 1);
  EXPECT_EQ(h.form.DMPI.text, "07");
  EXPECT_EQ(h.file.bytes, CountingBytes(600));
}

TEST(DumpEdit, PagingAfterTypingCommitsFirst) {
  DumpHarness h;
  h.Open(CountingBytes(600));
  h.ClickCell(2);
  h.Type("EE");
  h.Press(h.form.DMPDOWN);  // focus leaves the field before the button acts
  EXPECT_EQ(h.file.bytes[2], 0xEE);
  h.Press(h.form.DMPUP);
  EXPECT_EQ(h.form.DMP[2].text, "EE");
}

TEST(DumpEdit, JumpShowsAndSelectsThePosition) {
  DumpHarness h;
  h.Open(CountingBytes(600));
  JumpToPosition(h.file, h.dump, h.form, 0x215);
  EXPECT_EQ(h.dump.DumpPage, 2);
  EXPECT_EQ(h.dump.SelectedCell, 0x15);
  EXPECT_TRUE(h.Highlighted(0x15));
  EXPECT_EQ(h.form.DMPI.text, "15");
  JumpToPosition(h.file, h.dump, h.form, -1);  // no position: nothing moves
  EXPECT_EQ(h.dump.DumpPage, 2);
  EXPECT_EQ(h.dump.SelectedCell, 0x15);
}

TEST(DumpEdit, JumpOnTheClickedPageKeepsEditing) {
  DumpHarness h;
  h.Open(CountingBytes(600));
  JumpToPosition(h.file, h.dump, h.form, 0x31);
  h.Type("C3");
  h.Leave();
  EXPECT_EQ(h.file.bytes[0x31], 0xC3);
}

TEST(DumpEdit, InputAfterAJumpToAnotherPageWaitsForACellClick) {
  DumpHarness h;
  h.Open(CountingBytes(600));
  JumpToPosition(h.file, h.dump, h.form, 0x215);
  h.Type("99");
  h.Leave();
  EXPECT_EQ(h.file.bytes, CountingBytes(600));
  // Back on the page of the last click, the field still holds the jumped byte's
  // text; a click must not write it into cell 15 of this page (position 0x15).
  h.Press(h.form.DMPFUP);
  h.ClickCell(3);
  EXPECT_EQ(h.file.bytes, CountingBytes(600));
  EXPECT_EQ(h.dump.SelectedCell, 3);
  h.Type("77");
  h.Leave();
  EXPECT_EQ(h.file.bytes[3], 0x77);
}

}  // namespace
}  // namespace vorn::testing
