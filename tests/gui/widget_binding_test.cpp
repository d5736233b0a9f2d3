// The widgets mirror the window model and hand the user's actions to it, in the
// order the handlers rely on. These tests drive a bare model with recording
// handlers, so they need no subsystem behind it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QUrl>
#include <string>
#include <vector>

#include "gui/cell_widget.h"
#include "gui/main_window.h"
#include "gui/picture_view.h"
#include "window/window_model.h"
#include "window_fixture.h"

namespace vorn::gui {
namespace {

class WidgetBinding : public ShownWindow {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Show(w_)); }

  window::WindowModel w_;
  std::vector<std::string> events_;
};

TEST_F(WidgetBinding, FieldsShowTheModelTextsAndColoursAfterEachEvent) {
  w_.LOAD.onClick = [&] {
    w_.MCUX.text = "12";
    w_.STANA.text = "1A2B";
    w_.DMP[17].text = "FF";
    w_.DMP[17].back = window::kBlack;
    w_.DMP[17].fore = window::kWhite;
    w_.Qtbl[63].text = "99";
    w_.COM.text = "一行目\r二行目";
    w_.SAVE.enabled = true;
    w_.MODE.caption = "C";
  };
  QTest::mouseClick(Widget<QPushButton>("LOAD"), Qt::LeftButton);

  EXPECT_EQ(Cell("MCUX")->text(), QStringLiteral("12"));
  EXPECT_EQ(Cell("STANA")->text(), QStringLiteral("1A2B"));
  EXPECT_EQ(Cell("DMP", 17)->text(), QStringLiteral("FF"));
  EXPECT_EQ(Cell("DMP", 17)->background(), window::kBlack);
  EXPECT_EQ(Cell("DMP", 17)->foreground(), window::kWhite);
  EXPECT_EQ(Cell("DMP", 16)->background(), window::kWhite);
  EXPECT_EQ(Cell("Qtbl", 63)->text(), QStringLiteral("99"));
  // A comment's carriage return breaks the line in the multi-line field.
  EXPECT_EQ(Cell("COM")->text(), QStringLiteral("一行目\n二行目"));
  EXPECT_TRUE(Widget<QPushButton>("SAVE")->isEnabled());
  EXPECT_EQ(Widget<QPushButton>("MODE")->text(), QStringLiteral("C"));
}

TEST_F(WidgetBinding, TheCorrectionScaleCaptionIsACommand) {
  w_.LIMAGE.onClick = [&] { w_.LIMAGE.caption = "補正ｲﾒｰｼﾞx2"; };
  QTest::mouseClick(Cell("LIMAGE"), Qt::LeftButton);
  EXPECT_EQ(Cell("LIMAGE")->text(), QStringLiteral("補正ｲﾒｰｼﾞx2"));
}

TEST_F(WidgetBinding, DumpCellClickGivesItsIndex) {
  w_.onDmpClick = [&](int i) { events_.push_back("DMP " + std::to_string(i)); };
  QTest::mouseClick(Cell("DMP", 0), Qt::LeftButton);
  QTest::mouseClick(Cell("DMP", 255), Qt::LeftButton);
  EXPECT_EQ(events_, (std::vector<std::string>{"DMP 0", "DMP 255"}));
}

TEST_F(WidgetBinding, InputFieldLosesTheFocusBeforeTheClickThatMovedIt) {
  w_.DMPI.onLostFocus = [&] { events_.push_back("lost " + w_.DMPI.text); };
  w_.DMPDOWN.onClick = [&] { events_.push_back("page"); };
  w_.onDmpClick = [&](int i) { events_.push_back("DMP " + std::to_string(i)); };
  w_.LOG.lines = {"line"};
  w_.LOG.onClick = [&](int) { events_.push_back("LOG"); };
  window_->SyncFromModel();
  auto* input = Widget<QLineEdit>("DMPI");

  QTest::mouseClick(input, Qt::LeftButton);
  QTest::keyClicks(input, "7f9");  // at most two characters are kept
  EXPECT_EQ(w_.DMPI.text, "7f");
  QTest::mouseClick(Widget<QPushButton>("DMPDOWN"), Qt::LeftButton);
  EXPECT_EQ(events_, (std::vector<std::string>{"lost 7f", "page"}));

  // A dump cell takes no focus: its own handler commits the input.
  events_.clear();
  QTest::mouseClick(input, Qt::LeftButton);
  QTest::mouseClick(Cell("DMP", 3), Qt::LeftButton);
  EXPECT_EQ(events_, (std::vector<std::string>{"DMP 3"}));

  events_.clear();
  auto* log = Widget<QListWidget>("LOG");
  QTest::mouseClick(input, Qt::LeftButton);
  QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, log->visualItemRect(log->item(0)).center());
  EXPECT_EQ(events_, (std::vector<std::string>{"lost 7f", "LOG"}));
}

TEST_F(WidgetBinding, InputFieldKeepsTheFocusWhileAMessageBoxIsUp) {
  int lost = 0;
  w_.DMPI.onLostFocus = [&] { ++lost; };
  auto* input = Widget<QLineEdit>("DMPI");
  QTest::mouseClick(input, Qt::LeftButton);
  QWidget other;  // another window taking the activation, as a modal box does
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  QCoreApplication::processEvents();
  EXPECT_EQ(lost, 0);
}

TEST_F(WidgetBinding, ListClickAndDoubleClickGiveTheLineIndexInOrder) {
  w_.LOG.lines = {"00000000 SOI", "00000002 APP0", "00000014 DQT"};
  w_.LOG.onClick = [&](int i) { events_.push_back("click " + std::to_string(i)); };
  w_.LOG.onDblClick = [&](int i) { events_.push_back("double " + std::to_string(i)); };
  window_->SyncFromModel();
  auto* log = Widget<QListWidget>("LOG");
  ASSERT_EQ(log->count(), 3);
  EXPECT_EQ(log->item(1)->text(), QStringLiteral("00000002 APP0"));

  const QPoint line2 = log->visualItemRect(log->item(2)).center();
  // A real double click: the first press and release, then the second press.
  QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, line2);
  QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, line2);
  EXPECT_EQ(events_, (std::vector<std::string>{"click 2", "double 2"}));

  // The keys move the selection as clicks do, once per line; Enter double-clicks.
  events_.clear();
  QTest::keyClick(log, Qt::Key_Up);
  QTest::keyClick(log, Qt::Key_Home);
  QTest::keyClick(log, Qt::Key_Up);  // at the top already: no click
  QTest::keyClick(log, Qt::Key_Return);
  EXPECT_EQ(events_, (std::vector<std::string>{"click 1", "click 0", "double 0"}));

  // Reached by Tab with nothing selected, the first Down selects the first line.
  events_.clear();
  w_.LOG.Clear();
  for (const char* line : {"00000000 SOI", "00000002 APP0"}) w_.LOG.AddItem(line);
  window_->SyncFromModel();
  log->setFocus(Qt::TabFocusReason);
  QTest::keyClick(log, Qt::Key_Down);
  EXPECT_EQ(events_, std::vector<std::string>{"click 0"});
}

// A path of 180 characters in the two-line field: two whole lines, the end of the
// path (the file's name) in full, the beginning left out.
TEST_F(WidgetBinding, FnameShowsTwoWholeLinesEndingInTheFileName) {
  const std::string name = "IMG_20240815_holiday_at_the_seaside.jpg";
  std::string path = "/home/user";
  while (path.size() + name.size() < 180) path += "/photos_from_the_summer";
  path += "/" + name;
  w_.Fname.text = path;
  window_->SyncFromModel();
  CellWidget* fname = Cell("Fname");
  const QStringList lines = fname->ShownLines();
  ASSERT_EQ(lines.size(), 2);
  const QString shown = lines.join(QString());
  EXPECT_TRUE(shown.startsWith(QChar(0x2026)));
  EXPECT_TRUE(QString::fromStdString(path).endsWith(shown.mid(1)));
  EXPECT_GT(shown.size(), 100);  // two full lines of it, not one

  // The second line is drawn whole: the two lines cover twice the rows one covers.
  const auto inkRows = [&] {
    const QImage image = fname->grab().toImage();
    int rows = 0;
    for (int y = 1; y < image.height() - 1; ++y)
      for (int x = 3; x < image.width() - 3; ++x)
        if (qGray(image.pixel(x, y)) < 128) {
          ++rows;
          break;
        }
    return rows;
  };
  const int two = inkRows();
  w_.Fname.text = lines[1].toStdString();
  window_->SyncFromModel();
  const int one = inkRows();
  EXPECT_GE(two, 2 * one - 2) << one << " rows for one line";

  // A path that fits is shown whole.
  w_.Fname.text = "/tmp/" + name;
  window_->SyncFromModel();
  EXPECT_EQ(fname->ShownLines(), QStringList{QString::fromStdString(w_.Fname.text)});
}

TEST_F(WidgetBinding, ListFollowsRefillsAndGrowth) {
  auto* log = Widget<QListWidget>("LOG");
  w_.LOG.lines = {"a", "b"};
  window_->SyncFromModel();
  w_.LOG.lines.push_back("c");
  window_->SyncFromModel();
  ASSERT_EQ(log->count(), 3);
  EXPECT_EQ(log->item(2)->text(), QStringLiteral("c"));
  w_.LOG.lines = {"x"};
  window_->SyncFromModel();
  ASSERT_EQ(log->count(), 1);
  EXPECT_EQ(log->item(0)->text(), QStringLiteral("x"));
  w_.LOG.Clear();
  window_->SyncFromModel();
  EXPECT_EQ(log->count(), 0);
}

TEST_F(WidgetBinding, ScrollBarsFollowTheModelWithoutEchoingAndForwardMoves) {
  int changes = 0;
  int scrolls = 0;
  w_.HScroll1.onChange = [&] { ++changes; };
  w_.HScroll1.onScroll = [&] { ++scrolls; };
  w_.HScroll1.max = 37;
  w_.HScroll1.value = 5;
  window_->SyncFromModel();
  auto* bar = Widget<QScrollBar>("HScroll1");
  EXPECT_EQ(bar->maximum(), 37);
  EXPECT_EQ(bar->value(), 5);
  EXPECT_EQ(changes, 0);  // setting the widget from the model raised nothing

  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(w_.HScroll1.value, 6);
  EXPECT_EQ(changes, 1);

  bar->setSliderDown(true);
  bar->setSliderPosition(20);  // dragging the thumb
  bar->setSliderDown(false);
  EXPECT_EQ(w_.HScroll1.value, 20);
  EXPECT_EQ(scrolls, 1);
}

TEST_F(WidgetBinding, PicturePressGivesButtonShiftAndPixelCoordinates) {
  std::vector<std::vector<float>> presses;
  w_.Picture1.onMouseDown = [&](int button, int shift, float x, float y) {
    presses.push_back({float(button), float(shift), x, y});
  };
  auto* view = Widget<PictureView>("Picture1");
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(5, 7));
  QTest::mouseClick(view, Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(416, 432));
  QTest::mouseClick(view, Qt::MiddleButton, Qt::AltModifier, QPoint(1, 0));
  ASSERT_EQ(presses.size(), 3u);
  EXPECT_EQ(presses[0], (std::vector<float>{1, 0, 5, 7}));
  EXPECT_EQ(presses[1], (std::vector<float>{2, 3, 416, 432}));
  EXPECT_EQ(presses[2], (std::vector<float>{4, 4, 1, 0}));
}

TEST_F(WidgetBinding, PictureShowsTheModelSurface) {
  auto* view = Widget<PictureView>("Picture1");
  w_.Picture1.FillRect(0, 0, 10, 5, 0x123456);
  w_.Picture1.SetPixel(416, 432, 0xFFFFFF);
  window_->SyncFromModel();
  const QImage& image = view->image();
  ASSERT_EQ(image.size(), QSize(417, 433));
  EXPECT_EQ(image.pixel(9, 4), 0xFF123456u);
  EXPECT_EQ(image.pixel(10, 4), 0xFF000000u);
  EXPECT_EQ(image.pixel(416, 432), 0xFFFFFFFFu);
  // What the window shows is the surface.
  const QImage shown = view->grab().toImage();
  EXPECT_EQ(shown.pixel(3, 3) & 0xFFFFFFu, 0x123456u);
}

// Drops reach the model with a file list only when local files are dragged.
TEST_F(WidgetBinding, DroppedFilesReachTheModel) {
  std::vector<bool> dragOver;
  std::vector<std::string> dropped;
  w_.onPicture1DragOver = [&](bool hasFileList) {
    dragOver.push_back(hasFileList);
    return hasFileList ? window::DropEffect::Copy : window::DropEffect::None;
  };
  w_.onPicture1Drop = [&](bool hasFileList, const std::vector<std::string>& paths) {
    dropped.push_back(hasFileList ? "files" : "no files");
    dropped.insert(dropped.end(), paths.begin(), paths.end());
  };
  auto* view = Widget<PictureView>("Picture1");
  ASSERT_TRUE(view->acceptDrops());

  QMimeData files;
  files.setUrls({QUrl::fromLocalFile("/tmp/a.JPG"), QUrl::fromLocalFile("/tmp/b.jpg")});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
  QApplication::sendEvent(view, &enter);
  EXPECT_TRUE(enter.isAccepted());
  EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, {});
  QApplication::sendEvent(view, &drop);

  QMimeData text;
  text.setText("not a file");
  QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, {});
  QApplication::sendEvent(view, &refused);
  EXPECT_FALSE(refused.isAccepted());

  EXPECT_EQ(dragOver, (std::vector<bool>{true, false}));
  EXPECT_EQ(dropped, (std::vector<std::string>{"files", "/tmp/a.JPG", "/tmp/b.jpg"}));
}

}  // namespace
}  // namespace vorn::gui
