// The window as it starts, the second-instance check, and the two ways to end.
#include <gtest/gtest.h>

#include "app/wiring.h"
#include "support/test_app.h"

namespace vorn {
namespace {

using window::Answer;

struct Started : testing::TestApp {
  bool loaded;
  Started() : loaded((WireHandlers(app), Form_Load(app, [] { return false; }))) {
    file.bytes.assign(100, 0x55);  // what ending must release
    decode.ImagePixels.assign(64, 0x123456);
    decode.McuStarts.Reset(2, 2);
  }
  bool Released() const {
    return file.bytes.empty() && decode.ImagePixels.empty() && decode.McuStarts.Entries.empty();
  }
};

TEST(StartState, OnlyTheDocumentedCommandsAreEnabledAndEveryValueFieldIsEmpty) {
  Started app;
  ASSERT_TRUE(app.loaded);
  window::WindowModel& form = app.form;
  const std::pair<const window::Command*, const char*> enabled[] = {
      {&form.LOAD, "読込"}, {&form.QUIT, "終了"}, {&form.MODE, "F"},    {&form.LIMAGE, "補正ｲﾒｰｼﾞx1"},
      {&form.DMPFUP, "<<"}, {&form.DMPUP, "<"},   {&form.DMPDOWN, ">"}, {&form.DMPFDOWN, ">>"},
      {&form.DQTUP, "<"},   {&form.DQTDOWN, ">"}, {&form.DHTUP, "<"},   {&form.DHTDOWN, ">"}};
  const std::pair<const window::Command*, const char*> disabled[] = {
      {&form.IMAGE, "ｲﾒｰｼﾞ表示"}, {&form.MCUCHK, "MCU調査"}, {&form.BITCHK, "1ﾋﾞｯﾄ補正"},
      {&form.UNDO, "元に戻す"},   {&form.SAVE, "保存"},      {&form.REDO, "やり直し"}};
  for (const auto& [c, caption] : enabled) EXPECT_TRUE(c->enabled && c->caption == caption) << caption;
  for (const auto& [c, caption] : disabled) EXPECT_TRUE(!c->enabled && c->caption == caption) << caption;

  std::vector<const window::Label*> fields = {
      &form.Fname,   &form.MCUX,   &form.MCUY,   &form.MCUBYTE, &form.MCUBIT, &form.STANA,  &form.APP0LEN,
      &form.APP0ID,  &form.APP0v1, &form.APP0v2, &form.APP0U,   &form.APP0Xd, &form.APP0Yd, &form.APP0ETC,
      &form.SOF0LEN, &form.SOF0P,  &form.SOF0X,  &form.SOF0Y,   &form.SOF0Nf, &form.COMLEN, &form.COM,
      &form.DQTLEN,  &form.DQTPq,  &form.DQTTq,  &form.DHTLEN,  &form.DHTTc,  &form.DHTTh,  &form.SOSLEN,
      &form.SOSNs,   &form.SOSSs,  &form.SOSSe,  &form.SOSAh,   &form.SOSAl,  &form.DRILEN, &form.DRI};
  for (const auto* group : {&form.DCV, &form.SOF0Ci, &form.SOF0Hi, &form.SOF0Vi, &form.SOF0Tqi, &form.SOSCsi,
                            &form.SOSTdi, &form.SOSTai})
    for (const auto& l : *group) fields.push_back(&l);
  for (const auto& l : form.DMP) fields.push_back(&l);
  for (const auto& l : form.Qtbl) fields.push_back(&l);
  for (size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(fields[i]->text, "") << "field " << i;
  EXPECT_TRUE(form.DMPI.text.empty() && form.LOG.lines.empty() && form.LOG.tag.empty() &&
              form.Htbl.lines.empty());
  const char* const rows[16] = {"0",  "10", "20", "30", "40", "50", "60", "70",
                                "80", "90", "A0", "B0", "C0", "D0", "E0", "F0"};
  for (int r = 0; r < 16; ++r) EXPECT_EQ(form.DMPH[r].text, rows[r]);
  EXPECT_EQ(form.VScroll1.max, 0);
  EXPECT_EQ(form.HScroll1.max, 0);
  EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST(FormLoad, RemembersTheViewSizeFillsMarkerNamesAndZeroesTheScrollRanges) {
  testing::TestApp t;
  t.form.Picture1.Resize(300, 200);  // the view's size is read, not assumed
  t.form.HScroll1.SetMax(9);
  ASSERT_TRUE(Form_Load(t.app, [] { return false; }));
  EXPECT_EQ(t.decode.ViewWidth, 300);
  EXPECT_EQ(t.decode.ViewHeight, 200);
  EXPECT_EQ(t.form.HScroll1.max, 0);
  EXPECT_EQ(t.analysis.MarkerName[0xD8], "画像開始");

  // A second instance ends at once: no message, nothing filled.
  AppState second{t.dialogs};
  EXPECT_FALSE(Form_Load(second, [] { return true; }));
  EXPECT_EQ(second.analysis.MarkerName[0xD8], "");
  EXPECT_TRUE(t.dialogs.messages.empty());
}

TEST(Ending, QuitAsksAndOnlyOkEndsReleasingTheBuffersWithoutAskingAgain) {
  Started app;
  app.dialogs.answers = {Answer::Cancel};
  EXPECT_TRUE(app.form.QUIT.Click());
  EXPECT_FALSE(app.form.ended || app.Released());
  app.form.QUIT.Click();  // OK
  EXPECT_TRUE(app.form.ended && app.Released());
  EXPECT_TRUE(app.form.RequestClose());  // the window then closes without a second question
  ASSERT_EQ(app.dialogs.messages.size(), 2u);
  EXPECT_EQ(app.dialogs.messages[0].text, "終了します");
  EXPECT_EQ(app.dialogs.messages[1].buttons, window::Buttons::OkCancel);
}

TEST(Ending, CloseRequestIsRefusedUnlessOk) {
  Started app;
  app.dialogs.answers = {Answer::Cancel};
  EXPECT_FALSE(app.form.RequestClose());
  EXPECT_FALSE(app.form.ended || app.Released());
  EXPECT_TRUE(app.form.RequestClose());  // OK
  EXPECT_TRUE(app.form.ended && app.Released());
  EXPECT_EQ(app.dialogs.Texts(), (std::vector<std::string>{"終了します", "終了します"}));
}

}  // namespace
}  // namespace vorn
