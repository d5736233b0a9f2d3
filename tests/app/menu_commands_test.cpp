// The menu bar and the keys: an item runs the very command of its button, so it is
// enabled exactly when the button is and does what the button does; the message
// list's keys act as its clicks.
#include <gtest/gtest.h>

#include "app/wiring.h"
#include "support/test_app.h"

namespace vorn {
namespace {

using window::Command;
using window::FindMenuItem;
using window::MenuItem;
using window::WindowModel;

const std::string kSamples = std::string(VORN_SOURCE_DIR) + "/samples/";

struct MenusAndKeys : ::testing::Test, testing::TestApp {
  void SetUp() override {
    WireHandlers(app);
    ASSERT_TRUE(Form_Load(app, [] { return false; }));
  }
  const MenuItem& Item(const char* caption) {
    const MenuItem* item = FindMenuItem(form.menuBar, caption);
    EXPECT_NE(item, nullptr) << caption;
    static const MenuItem none;
    return item ? *item : none;
  }
};

TEST_F(MenusAndKeys, EachItemRunsItsButtonsCommandUnderItsKeys) {
  struct Row {
    const char* menu;
    const char* caption;
    std::vector<std::string> keys;
    Command WindowModel::*command;
  };
  const Row rows[] = {
      {"ファイル", "読込", {"Ctrl+O"}, &WindowModel::LOAD},
      {"ファイル", "保存", {"Ctrl+S"}, &WindowModel::SAVE},
      {"ファイル", "終了", {"Ctrl+Q"}, &WindowModel::QUIT},
      {"編集", "元に戻す", {"Ctrl+Z"}, &WindowModel::UNDO},
      {"編集", "やり直し", {"Ctrl+Y", "Ctrl+Shift+Z"}, &WindowModel::REDO},
      {"表示", "イメージ表示", {"F5"}, &WindowModel::IMAGE},
      {"表示", "表示幅の切替", {}, &WindowModel::MODE},
      {"修復", "破損位置へ移動", {}, &WindowModel::LOCATE},
      {"修復", "自動修復", {}, &WindowModel::REPAIR},
      {"修復", "救出", {}, &WindowModel::SALVAGE},
      {"ヘルプ", "バージョン情報", {}, &WindowModel::ABOUT},
  };
  std::vector<std::string> titles;
  size_t items = 0;
  for (const window::Menu& menu : form.menuBar) {
    titles.push_back(menu.title);
    for (const MenuItem& item : menu.items) items += item.Separator() ? 0 : 1;
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"ファイル", "編集", "表示", "修復", "ヘルプ"}));
  EXPECT_EQ(items, std::size(rows));
  for (const Row& row : rows) {
    const MenuItem& item = Item(row.caption);
    EXPECT_EQ(item.command, &(form.*row.command)) << row.caption;
    EXPECT_EQ(item.shortcuts, row.keys) << row.caption;
  }
}

TEST_F(MenusAndKeys, ItemsAreEnabledWithTheirButtonsAndDoWhatTheyDo) {
  // Nothing loaded: saving, undoing and repairing are not on offer.
  for (const char* off : {"保存", "元に戻す", "やり直し", "イメージ表示", "破損位置へ移動", "自動修復", "救出"})
    EXPECT_FALSE(Item(off).Choose()) << off;
  EXPECT_TRUE(dialogs.saveRequests.empty());

  dialogs.openPaths.push_back(kSamples + "sample.jpg");
  EXPECT_TRUE(Item("読込").Choose());
  EXPECT_EQ(form.Fname.text, kSamples + "sample.jpg");
  ASSERT_TRUE(form.SAVE.enabled);  // a clean decode
  EXPECT_TRUE(Item("保存").Enabled());
  EXPECT_TRUE(Item("保存").Choose());  // cancelled in the dialog
  EXPECT_EQ(dialogs.saveRequests.size(), 1u);

  // The picture is analysed and drawn anew, as the button does: the list is rebuilt.
  form.LOG.Clear();
  EXPECT_TRUE(Item("イメージ表示").Choose());
  EXPECT_FALSE(form.LOG.lines.empty());

  EXPECT_TRUE(Item("表示幅の切替").Choose());
  EXPECT_EQ(form.outerWidth, 1024);

  EXPECT_TRUE(Item("バージョン情報").Choose());
  const std::string about = dialogs.Texts().back();
  EXPECT_EQ(about.rfind("Vorn 0.", 0), 0u) << about;
  EXPECT_NE(about.find("MIT License"), std::string::npos);

  dialogs.answers.push_back(window::Answer::Cancel);
  EXPECT_TRUE(Item("終了").Choose());
  EXPECT_EQ(dialogs.Texts().back(), "終了します");
  EXPECT_FALSE(form.ended);
}

// A list box raises its click for every change of the selection, also by the arrow
// keys, and Enter is the double click of the selected line.
TEST_F(MenusAndKeys, ArrowKeysInTheMessageListClickOncePerChangeAndEnterDoubleClicks) {
  dialogs.openPaths.push_back(kSamples + "sample.jpg");
  form.LOAD.Click();
  ASSERT_GE(form.LOG.Count(), 3);
  std::vector<int> clicks, doubleClicks;
  const auto click = form.LOG.onClick;
  form.LOG.onClick = [&](int i) {
    clicks.push_back(i);
    click(i);
  };
  form.LOG.onDblClick = [&](int i) { doubleClicks.push_back(i); };

  form.LOG.Select(1);
  form.LOG.Select(1);  // the key moved nothing (already on it, or at the list's end)
  form.LOG.Select(2);
  EXPECT_EQ(clicks, (std::vector<int>{1, 2}));
  EXPECT_EQ(dump.SelectedCell + 256 * dump.DumpPage, 0x14);  // line 2: the first DQT at 14
  form.LOG.Click(2);                                         // the mouse clicks even on the selected line
  EXPECT_EQ(clicks.size(), 3u);
  form.LOG.Activate();
  EXPECT_EQ(doubleClicks, std::vector<int>{2});

  // A refilled list has no selection: the first key selects and clicks again.
  form.LOG.Clear();
  form.LOG.AddItem("x");
  form.LOG.Activate();
  EXPECT_EQ(doubleClicks.size(), 1u);
  form.LOG.Select(0);
  EXPECT_EQ(clicks.back(), 0);
}

}  // namespace
}  // namespace vorn
