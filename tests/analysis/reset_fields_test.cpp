// What every analysis clears before it scans, and what it leaves alone.
#include <gtest/gtest.h>

#include "analysis/analysis_harness.h"

namespace vorn::testing {
namespace {

TEST(ResetSegmentFields, EmptiesEveryFieldOfTheSegmentAreasAndTheDecodeState) {
  AnalysisHarness h;
  window::WindowModel& w = h.s.w;
  std::vector<window::Label*> labels = {
      &w.APP0LEN, &w.APP0ID, &w.APP0v1, &w.APP0v2, &w.APP0U,   &w.APP0Xd, &w.APP0Yd, &w.APP0ETC, &w.COMLEN,
      &w.COM,     &w.DQTLEN, &w.DQTPq,  &w.DQTTq,  &w.SOF0LEN, &w.SOF0P,  &w.SOF0Y,  &w.SOF0X,   &w.SOF0Nf,
      &w.DRILEN,  &w.DRI,    &w.DHTLEN, &w.DHTTc,  &w.DHTTh,   &w.SOSLEN, &w.SOSNs,  &w.SOSSs,   &w.SOSSe,
      &w.SOSAh,   &w.SOSAl,  &w.MCUX,   &w.MCUY,   &w.MCUBIT,  &w.MCUBYTE};
  for (auto& l : w.Qtbl) labels.push_back(&l);
  for (auto* a : {&w.SOF0Ci, &w.SOF0Hi, &w.SOF0Vi, &w.SOF0Tqi, &w.SOSCsi, &w.SOSTdi, &w.SOSTai, &w.DCV})
    for (auto& l : *a) labels.push_back(&l);
  for (auto* l : labels) l->text = "9";
  w.Htbl.AddItem("0(1)");
  for (auto* p : {&w.Picture1, &w.Picture2, &w.Picture3}) {
    p->Resize(4, 4);
    p->FillRect(0, 0, 4, 4, 0x123456);
  }
  w.HScroll1.SetMax(10);
  w.HScroll1.SetValue(7);
  w.VScroll1.SetMax(10);
  w.VScroll1.SetValue(3);
  for (auto* c : {&w.MCUCHK, &w.BITCHK, &w.SAVE, &w.UNDO, &w.REDO}) c->enabled = true;
  h.s.dump.UndoStack.Push({5, 0x12, 100});
  h.s.dump.RedoStack.Push({6, 0x34, 100});
  h.s.analysis.ImageInvalid = false;

  ResetSegmentFields(h.s);

  for (auto* l : labels) EXPECT_EQ(l->text, "");
  EXPECT_TRUE(w.Htbl.lines.empty());
  for (auto* p : {&w.Picture1, &w.Picture2, &w.Picture3}) EXPECT_EQ(p->Pixel(1, 1), 0u);
  EXPECT_EQ(w.HScroll1.max, 0);
  EXPECT_EQ(w.HScroll1.value, 0);
  EXPECT_EQ(w.VScroll1.max, 0);
  EXPECT_EQ(w.VScroll1.value, 0);
  for (auto* c : {&w.MCUCHK, &w.BITCHK, &w.SAVE, &w.UNDO, &w.REDO}) EXPECT_FALSE(c->enabled);
  EXPECT_TRUE(h.s.dump.UndoStack.Empty());
  EXPECT_FALSE(h.s.dump.RedoStack.Empty());  // the redo history is left as it is
  EXPECT_TRUE(h.s.analysis.ImageInvalid);
}

TEST(AnalyzeMarkers, StartsFromTheFirstDumpPageAndAFreshList) {
  AnalysisHarness h;
  h.s.dump.DumpPage = 3;
  h.s.dump.SelectedPage = 2;
  h.s.dump.SelectedCell = 17;
  h.s.w.LOG.AddItem("old line");
  h.s.w.LOG.tag = "1";
  h.s.analysis.MarkerCount[0x01] = 5;
  EXPECT_FALSE(h.Analyse({0x00, 0x00}));  // no markers at all
  EXPECT_EQ(h.s.dump.DumpPage, 0);
  EXPECT_EQ(h.s.dump.SelectedPage, 0);
  EXPECT_EQ(h.s.dump.SelectedCell, 0);
  EXPECT_EQ(h.s.w.DMPI.text, h.s.w.DMP[0].text);
  EXPECT_TRUE(h.Lines().empty());
  EXPECT_EQ(h.s.w.LOG.tag, "");
  EXPECT_EQ(h.s.analysis.MarkerCount[0x01], 0);
  EXPECT_FALSE(h.s.w.IMAGE.enabled);
}

TEST(AnalyzeMarkers, AStoppedAnalysisLeavesTheEarlierFileRecordsButNotItsFields) {
  AnalysisHarness h;
  const MinimalFile f = BuildMinimal();
  ASSERT_TRUE(h.Analyse(f.bytes));
  EXPECT_EQ(h.s.w.SOF0X.text, "8");
  EXPECT_FALSE(h.Analyse({0xFF, 0xD8, 0xFF, 0xD9}));
  EXPECT_EQ(h.s.w.SOF0X.text, "");
  EXPECT_EQ(h.s.w.APP0ID.text, "");
  EXPECT_EQ(h.s.rec.frame.FrameWidth, 8);  // records are not cleared
  EXPECT_EQ(h.s.rec.app0.App0Identifier, "JFIF");
  EXPECT_TRUE(h.s.analysis.ImageInvalid);
}

}  // namespace
}  // namespace vorn::testing
