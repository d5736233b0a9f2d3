// What every analysis clears before it scans, and what it leaves alone.
#include <gtest/gtest.h>

#include "analysis/analysis_harness.h"

namespace vorn::testing {
namespace {

TEST(AnalyzeMarkers, FirstEmptiesEveryFieldOfTheSegmentAreasAndTheDecodeState) {
  AnalysisHarness h;
  window::WindowModel& form = h.form;
  std::vector<window::Label*> labels = {
      &form.APP0LEN, &form.APP0ID, &form.APP0v1, &form.APP0v2, &form.APP0U,  &form.APP0Xd, &form.APP0Yd,
      &form.APP0ETC, &form.COMLEN, &form.COM,    &form.DQTLEN, &form.DQTPq,  &form.DQTTq,  &form.SOF0LEN,
      &form.SOF0P,   &form.SOF0Y,  &form.SOF0X,  &form.SOF0Nf, &form.DRILEN, &form.DRI,    &form.DHTLEN,
      &form.DHTTc,   &form.DHTTh,  &form.SOSLEN, &form.SOSNs,  &form.SOSSs,  &form.SOSSe,  &form.SOSAh,
      &form.SOSAl,   &form.MCUX,   &form.MCUY,   &form.MCUBIT, &form.MCUBYTE};
  for (auto& l : form.Qtbl) labels.push_back(&l);
  for (auto* a : {&form.SOF0Ci, &form.SOF0Hi, &form.SOF0Vi, &form.SOF0Tqi, &form.SOSCsi, &form.SOSTdi,
                  &form.SOSTai, &form.DCV})
    for (auto& l : *a) labels.push_back(&l);
  for (auto* l : labels) l->text = "9";
  form.Htbl.AddItem("0(1)");
  for (auto* p : {&form.Picture1, &form.Picture2, &form.Picture3}) {
    p->Resize(4, 4);
    p->FillRect(0, 0, 4, 4, 0x123456);
  }
  form.HScroll1.SetMax(10);
  form.HScroll1.SetValue(7);
  form.VScroll1.SetMax(10);
  form.VScroll1.SetValue(3);
  for (auto* c : {&form.MCUCHK, &form.BITCHK, &form.SAVE, &form.UNDO, &form.REDO}) c->enabled = true;
  h.dump.UndoStack.Push({.Address = 5, .Length = 100, .PutBack = {0x12}});
  h.dump.RedoStack.Push({.Address = 6, .Length = 100, .PutBack = {0x34}});
  h.app.ImageInvalid = false;

  EXPECT_FALSE(h.Analyse({0x00, 0x00}));  // stops at once: no markers

  for (auto* l : labels) EXPECT_EQ(l->text, "");
  EXPECT_TRUE(form.Htbl.lines.empty());
  for (auto* p : {&form.Picture1, &form.Picture2, &form.Picture3}) EXPECT_EQ(p->Pixel(1, 1), 0u);
  EXPECT_EQ(form.HScroll1.max, 0);
  EXPECT_EQ(form.HScroll1.value, 0);
  EXPECT_EQ(form.VScroll1.max, 0);
  EXPECT_EQ(form.VScroll1.value, 0);
  for (auto* c : {&form.MCUCHK, &form.BITCHK, &form.SAVE, &form.UNDO, &form.REDO}) EXPECT_FALSE(c->enabled);
  EXPECT_TRUE(h.dump.UndoStack.Empty());
  EXPECT_FALSE(h.dump.RedoStack.Empty());  // the redo history is left as it is
  EXPECT_TRUE(h.app.ImageInvalid);
}

TEST(AnalyzeMarkers, StartsFromTheFirstDumpPageAndAFreshList) {
  AnalysisHarness h;
  h.dump.DumpPage = 3;
  h.dump.SelectedPage = 2;
  h.dump.SelectedCell = 17;
  h.form.LOG.AddItem("old line");
  h.form.LOG.tag = "1";
  h.analysis.MarkerCount[0x01] = 5;
  EXPECT_FALSE(h.Analyse({0x00, 0x00}));  // no markers at all
  EXPECT_EQ(h.dump.DumpPage, 0);
  EXPECT_EQ(h.dump.SelectedPage, 0);
  EXPECT_EQ(h.dump.SelectedCell, 0);
  EXPECT_EQ(h.form.DMPI.text, h.form.DMP[0].text);
  EXPECT_TRUE(h.Lines().empty());
  EXPECT_EQ(h.form.LOG.tag, "");
  EXPECT_EQ(h.analysis.MarkerCount[0x01], 0);
  EXPECT_FALSE(h.form.IMAGE.enabled);
}

TEST(AnalyzeMarkers, AStoppedAnalysisLeavesTheEarlierFileRecordsButNotItsFields) {
  AnalysisHarness h;
  const MinimalFile f = BuildMinimal();
  ASSERT_TRUE(h.Analyse(f.bytes));
  EXPECT_EQ(h.form.SOF0X.text, "8");
  EXPECT_FALSE(h.Analyse({0xFF, 0xD8, 0xFF, 0xD9}));
  EXPECT_EQ(h.form.SOF0X.text, "");
  EXPECT_EQ(h.form.APP0ID.text, "");
  EXPECT_EQ(h.rec.frame.FrameWidth, 8);  // records are not cleared
  EXPECT_EQ(h.rec.app0.App0Identifier, "JFIF");
  EXPECT_TRUE(h.app.ImageInvalid);
}

}  // namespace
}  // namespace vorn::testing
