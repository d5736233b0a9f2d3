// The window as it starts, the second-instance check, and the two ways to end.
#include <gtest/gtest.h>

#include "app/wiring.h"

namespace vorn {
namespace {

using window::Answer;

struct Started {
  window::ScriptedDialogs dialogs;
  AppState s{dialogs};
  bool loaded;
  Started() : loaded((WireHandlers(s), Form_Load(s, [] { return false; }))) {
    s.file.bytes.assign(100, 0x55);  // what ending must release
    s.decode.ImagePixels.assign(64, 0x123456);
    s.decode.McuStarts.Reset(2, 2);
  }
  bool Released() const {
    return s.file.bytes.empty() && s.decode.ImagePixels.empty() && s.decode.McuStarts.entries.empty();
  }
};

TEST(StartState, OnlyTheDocumentedCommandsAreEnabledAndEveryValueFieldIsEmpty) {
  Started app;
  ASSERT_TRUE(app.loaded);
  window::WindowModel& w = app.s.w;
  const std::pair<const window::Command*, const char*> enabled[] = {
      {&w.LOAD, "読込"}, {&w.QUIT, "終了"}, {&w.MODE, "F"},    {&w.LIMAGE, "補正ｲﾒｰｼﾞx1"},
      {&w.DMPFUP, "<<"}, {&w.DMPUP, "<"},   {&w.DMPDOWN, ">"}, {&w.DMPFDOWN, ">>"},
      {&w.DQTUP, "<"},   {&w.DQTDOWN, ">"}, {&w.DHTUP, "<"},   {&w.DHTDOWN, ">"}};
  const std::pair<const window::Command*, const char*> disabled[] = {
      {&w.IMAGE, "ｲﾒｰｼﾞ表示"}, {&w.MCUCHK, "MCU調査"}, {&w.BITCHK, "1ﾋﾞｯﾄ補正"},
      {&w.UNDO, "元に戻す"},   {&w.SAVE, "保存"},      {&w.REDO, "やり直し"}};
  for (const auto& [c, caption] : enabled) EXPECT_TRUE(c->enabled && c->caption == caption) << caption;
  for (const auto& [c, caption] : disabled) EXPECT_TRUE(!c->enabled && c->caption == caption) << caption;

  std::vector<const window::Label*> fields = {
      &w.Fname,  &w.MCUX,   &w.MCUY,   &w.MCUBYTE, &w.MCUBIT,  &w.STANA,   &w.APP0LEN, &w.APP0ID, &w.APP0v1,
      &w.APP0v2, &w.APP0U,  &w.APP0Xd, &w.APP0Yd,  &w.APP0ETC, &w.SOF0LEN, &w.SOF0P,   &w.SOF0X,  &w.SOF0Y,
      &w.SOF0Nf, &w.COMLEN, &w.COM,    &w.DQTLEN,  &w.DQTPq,   &w.DQTTq,   &w.DHTLEN,  &w.DHTTc,  &w.DHTTh,
      &w.SOSLEN, &w.SOSNs,  &w.SOSSs,  &w.SOSSe,   &w.SOSAh,   &w.SOSAl,   &w.DRILEN,  &w.DRI};
  for (const auto* group :
       {&w.DCV, &w.SOF0Ci, &w.SOF0Hi, &w.SOF0Vi, &w.SOF0Tqi, &w.SOSCsi, &w.SOSTdi, &w.SOSTai})
    for (const auto& l : *group) fields.push_back(&l);
  for (const auto& l : w.DMP) fields.push_back(&l);
  for (const auto& l : w.Qtbl) fields.push_back(&l);
  for (size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(fields[i]->text, "") << "field " << i;
  EXPECT_TRUE(w.DMPI.text.empty() && w.LOG.lines.empty() && w.LOG.tag.empty() && w.Htbl.lines.empty());
  const char* const rows[16] = {"0",  "10", "20", "30", "40", "50", "60", "70",
                                "80", "90", "A0", "B0", "C0", "D0", "E0", "F0"};
  for (int r = 0; r < 16; ++r) EXPECT_EQ(w.DMPH[r].text, rows[r]);
  EXPECT_EQ(w.VScroll1.max, 0);
  EXPECT_EQ(w.HScroll1.max, 0);
  EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST(FormLoad, RemembersTheViewSizeFillsMarkerNamesAndZeroesTheScrollRanges) {
  window::ScriptedDialogs dialogs;
  AppState s{dialogs};
  s.w.Picture1.Resize(300, 200);  // the view's size is read, not assumed
  s.w.HScroll1.SetMax(9);
  ASSERT_TRUE(Form_Load(s, [] { return false; }));
  EXPECT_EQ(s.decode.ViewWidth, 300);
  EXPECT_EQ(s.decode.ViewHeight, 200);
  EXPECT_EQ(s.w.HScroll1.max, 0);
  EXPECT_EQ(s.analysis.MarkerName[0xD8], "画像開始");

  // A second instance ends at once: no message, nothing filled.
  AppState second{dialogs};
  EXPECT_FALSE(Form_Load(second, [] { return true; }));
  EXPECT_EQ(second.analysis.MarkerName[0xD8], "");
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST(Ending, QuitAsksAndOnlyOkEndsReleasingTheBuffersWithoutAskingAgain) {
  Started app;
  app.dialogs.answers = {Answer::Cancel};
  EXPECT_TRUE(app.s.w.QUIT.Click());
  EXPECT_FALSE(app.s.w.ended || app.Released());
  app.s.w.QUIT.Click();  // OK
  EXPECT_TRUE(app.s.w.ended && app.Released());
  EXPECT_TRUE(app.s.w.RequestClose());  // the window then closes without a second question
  ASSERT_EQ(app.dialogs.messages.size(), 2u);
  EXPECT_EQ(app.dialogs.messages[0].text, "終了します");
  EXPECT_EQ(app.dialogs.messages[1].buttons, window::Buttons::OkCancel);
}

TEST(Ending, CloseRequestIsRefusedUnlessOk) {
  Started app;
  app.dialogs.answers = {Answer::Cancel};
  EXPECT_FALSE(app.s.w.RequestClose());
  EXPECT_FALSE(app.s.w.ended || app.Released());
  EXPECT_TRUE(app.s.w.RequestClose());  // OK
  EXPECT_TRUE(app.s.w.ended && app.Released());
  EXPECT_EQ(app.dialogs.Texts(), (std::vector<std::string>{"終了します", "終了します"}));
}

}  // namespace
}  // namespace vorn
