// The window with the real handlers behind it: ending, closing, typing a byte in
// the dump, the menu's keys, and dropping files on the image.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/wiring.h"
#include "gui/cell_widget.h"
#include "gui/main_window.h"
#include "gui/menu_bar_view.h"
#include "gui/picture_view.h"
#include "support/libjpeg_peer.h"
#include "support/temp_file.h"
#include "window/dialogs.h"
#include "window_fixture.h"

namespace vorn::gui {
namespace {

class WindowCommands : public WiredWindow {
 protected:
  std::string SmallJpeg(const char* name) {
    testing::EncodeOptions options;
    options.width = 32;
    options.height = 16;
    jpeg_ = testing::EncodePhotoLike(options);
    return testing::WriteTempFile(jpeg_, name);
  }

  void Drop(const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
    data.setUrls(urls);
    // A drop always follows the drag entering the view.
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(Widget<PictureView>("Picture1"), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(Widget<PictureView>("Picture1"), &drop);
  }

  std::vector<uint8_t> jpeg_;
};

TEST_F(WindowCommands, QuitAsksAndEndsOnlyOnOk) {
  QSignalSpy ended(window_.get(), &MainWindow::ended);
  dialogs_.answers = {window::Answer::Cancel};
  QTest::mouseClick(Widget<QPushButton>("QUIT"), Qt::LeftButton);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text, "終了します");
  EXPECT_EQ(dialogs_.messages[0].buttons, window::Buttons::OkCancel);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(ended.count(), 0);

  QTest::mouseClick(Widget<QPushButton>("QUIT"), Qt::LeftButton);  // OK
  EXPECT_EQ(ended.count(), 1);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(window_->close());  // ending does not ask a second time
  EXPECT_EQ(dialogs_.messages.size(), 2u);
}

TEST_F(WindowCommands, CloseRequestAsksAndIsRefusedOnCancel) {
  QSignalSpy ended(window_.get(), &MainWindow::ended);
  dialogs_.answers = {window::Answer::Cancel};
  EXPECT_FALSE(window_->close());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(window_->close());  // OK
  EXPECT_EQ(ended.count(), 1);
  EXPECT_EQ(dialogs_.Texts(), (std::vector<std::string>{"終了します", "終了します"}));
}

TEST_F(WindowCommands, TypedByteIsStoredWhenThePagingButtonTakesTheFocus) {
  dialogs_.openPaths.push_back(SmallJpeg("typed.jpg"));
  QTest::mouseClick(Widget<QPushButton>("LOAD"), Qt::LeftButton);
  ASSERT_EQ(app_.file.bytes, jpeg_);
  dialogs_.messages.clear();

  auto* input = Widget<QLineEdit>("DMPI");
  QTest::mouseClick(Widget<CellWidget>("DMP", 5), Qt::LeftButton);
  EXPECT_EQ(input->text(), QStringLiteral("%1").arg(jpeg_[5], 2, 16, QLatin1Char('0')).toUpper());
  EXPECT_EQ(Widget<CellWidget>("DMP", 5)->background(), window::kBlack);  // selected
  // The click put the focus into the field with the byte selected: typing replaces it.
  EXPECT_TRUE(input->hasFocus());
  EXPECT_EQ(input->selectedText(), input->text());
  QTest::keyClicks(input, "ab");
  QTest::mouseClick(Widget<QPushButton>("DMPDOWN"), Qt::LeftButton);
  EXPECT_EQ(app_.file.bytes[5], 0xAB);
  EXPECT_FALSE(Widget<QPushButton>("SAVE")->isEnabled());  // a stored edit makes the decode stale
  EXPECT_TRUE(dialogs_.messages.empty());

  // An input error is reported and nothing is stored.
  QTest::mouseClick(Widget<QPushButton>("DMPUP"), Qt::LeftButton);
  QTest::mouseClick(Widget<CellWidget>("DMP", 6), Qt::LeftButton);
  QTest::keyClicks(input, "G");
  QTest::mouseClick(Widget<QPushButton>("DMPDOWN"), Qt::LeftButton);
  EXPECT_EQ(dialogs_.Texts(), std::vector<std::string>{"入力エラー"});
  EXPECT_EQ(app_.file.bytes[6], jpeg_[6]);
  EXPECT_EQ(input->text(), QStringLiteral("%1").arg(jpeg_[6], 2, 16, QLatin1Char('0')).toUpper());
}

// The menu's items are enabled with their buttons and their keys run them; a byte
// being typed is stored first, as the press of a button would store it.
TEST_F(WindowCommands, MenuItemsFollowTheButtonsAndTheirKeysRunThem) {
  MenuBarView* bar = window_->MenuBar();
  QAction* save = bar->Action(QStringLiteral("保存"));
  QAction* image = bar->Action(QStringLiteral("イメージ表示"));
  ASSERT_TRUE(save && image);
  EXPECT_TRUE(bar->Action(QStringLiteral("読込"))->isEnabled());
  EXPECT_FALSE(save->isEnabled());
  EXPECT_FALSE(bar->Action(QStringLiteral("自動修復"))->isEnabled());

  dialogs_.openPaths.push_back(SmallJpeg("keys.jpg"));
  QTest::keySequence(window_.get(), QKeySequence(QStringLiteral("Ctrl+O")));
  ASSERT_EQ(app_.file.bytes, jpeg_);
  EXPECT_TRUE(save->isEnabled() && Widget<QPushButton>("SAVE")->isEnabled());
  QAction* repair = bar->Action(QStringLiteral("自動修復"));
  QAction* locate = bar->Action(QStringLiteral("破損位置へ移動"));
  EXPECT_TRUE(repair->isEnabled() && locate->isEnabled());  // a picture is drawn

  // The JFIF density unit at 13: an edit that leaves the picture decodable.
  QTest::mouseClick(Widget<CellWidget>("DMP", 13), Qt::LeftButton);
  QTest::keyClicks(Widget<QLineEdit>("DMPI"), "02");
  QTest::keySequence(window_.get(), QKeySequence(QStringLiteral("Ctrl+S")));
  EXPECT_EQ(app_.file.bytes[13], 0x02);
  EXPECT_TRUE(dialogs_.saveRequests.empty());  // the stored edit disabled saving
  EXPECT_FALSE(save->isEnabled());
  EXPECT_FALSE(repair->isEnabled() || locate->isEnabled());  // and the repair menu

  QTest::keyClick(window_.get(), Qt::Key_F5);  // analysed and drawn again
  EXPECT_TRUE(save->isEnabled());
  QTest::keySequence(window_.get(), QKeySequence(QStringLiteral("Ctrl+S")));
  EXPECT_EQ(dialogs_.saveRequests.size(), 1u);
  EXPECT_TRUE(dialogs_.messages.empty());

  QTest::keyClick(window_.get(), Qt::Key_F10);  // the menus are reached by keys too
  EXPECT_EQ(bar->activeAction(), bar->actions().value(0));
}

// A click on the dump leaves the focus in the input field; the undo and redo keys
// still run the window's commands from there, not the field's own undo of typing.
TEST_F(WindowCommands, UndoAndRedoKeysReachTheCommandsFromTheInputField) {
  std::vector<std::string> runs;
  app_.form.UNDO.onClick = [&runs] { runs.push_back("UNDO"); };
  app_.form.REDO.onClick = [&runs] { runs.push_back("REDO"); };
  app_.form.UNDO.enabled = app_.form.REDO.enabled = true;
  window_->SyncFromModel();
  auto* input = Widget<QLineEdit>("DMPI");
  const struct {
    const char* keys;
    const char* command;
  } rows[] = {{"Ctrl+Z", "UNDO"}, {"Ctrl+Y", "REDO"}, {"Ctrl+Shift+Z", "REDO"}};
  for (const auto& row : rows) {
    input->setFocus();
    ASSERT_TRUE(input->hasFocus());
    runs.clear();
    QTest::keySequence(input, QKeySequence(QString::fromLatin1(row.keys)));
    EXPECT_EQ(runs, std::vector<std::string>{row.command}) << row.keys;
  }
}

TEST_F(WindowCommands, DroppingAJpegLoadsTheFirstFileOnly) {
  const std::string upper = SmallJpeg("DROPPED.JPG");
  const std::string jpeg = SmallJpeg("other.jpeg");
  const std::string png = SmallJpeg("other.png");
  Drop({png});
  EXPECT_TRUE(Widget<CellWidget>("Fname")->text().isEmpty());
  EXPECT_TRUE(app_.file.bytes.empty());

  Drop({upper, jpeg});
  EXPECT_EQ(Widget<CellWidget>("Fname")->text(), QString::fromStdString(upper));
  EXPECT_EQ(app_.file.bytes, jpeg_);
  EXPECT_TRUE(Widget<QPushButton>("SAVE")->isEnabled());
}

}  // namespace
}  // namespace vorn::gui
