// One whole repair session driven by real clicks on the window, on the damaged
// sample: load it, press on its broken MCU, search for the single bit, preview
// the first candidate (the screenshot of the full-width window is taken here),
// apply it, undo, redo, save.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <string>
#include <vector>

#include "gui/cell_widget.h"
#include "gui/main_window.h"
#include "gui/picture_view.h"
#include "support/libjpeg_peer.h"
#include "support/run_cli.h"
#include "window_fixture.h"

namespace vorn::gui {
namespace {

// samples/damaged.jpg is samples/sample.jpg (320 x 240, 4:2:0, so MCUs of 16 x 16
// pixels) with bit 7 of the byte at 0xE62 cleared, 7F -> 7E; the damage starts at
// MCU (3, 6). These facts come from how the sample was made (samples/README.md).
constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kMcuSize = 16;
constexpr int kColumn = 3;
constexpr int kRow = 6;
constexpr int kDamagedByte = 0xE62;
constexpr int kDumpCells = 256;  // one page of the dump: 16 rows of 16 bytes
constexpr char kFirstCandidate[] = "00000E62-7:7E→7F EOMCU:E80";

class FullSession : public WiredWindow {
 protected:
  void Click(const char* button) {
    auto* widget = Widget<QPushButton>(button);
    ASSERT_TRUE(widget->isEnabled()) << button;
    QTest::mouseClick(widget, Qt::LeftButton);
  }
  QString Text(const char* name) { return Widget<CellWidget>(name)->text(); }
  CellWidget* DumpCellOfDamagedByte() { return Widget<CellWidget>("DMP", kDamagedByte % kDumpCells); }
};

TEST_F(FullSession, RepairTheDamagedSampleByClicks) {
  const std::string samples = std::string(VORN_SOURCE_DIR) + "/samples/";
  const std::vector<uint8_t> intact = testing::ReadFileBytes(samples + "sample.jpg");
  const std::vector<uint8_t> damaged = testing::ReadFileBytes(samples + "damaged.jpg");
  ASSERT_EQ(damaged.size(), intact.size());
  ASSERT_EQ(damaged[kDamagedByte], 0x7E);
  // Work on a copy so that nothing the session does can touch the sample itself.
  const std::string folder = testing::TempDir();
  const std::string damagedPath = folder + "/damaged.jpg";
  ASSERT_TRUE(testing::WriteFileBytes(damagedPath, damaged));

  // Load through the open dialog.
  dialogs_.openPaths.push_back(damagedPath);
  Click("LOAD");
  EXPECT_EQ(Text("Fname"), QString::fromStdString(damagedPath));
  EXPECT_EQ(Text("SOF0X"), QString::number(kWidth));
  EXPECT_EQ(Text("SOF0Y"), QString::number(kHeight));
  EXPECT_EQ(app_.file.bytes, damaged);
  EXPECT_GT(Widget<QListWidget>("LOG")->count(), 0);

  // Press on the middle of the first broken MCU; the view starts unscrolled.
  auto* view = Widget<PictureView>("Picture1");
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(kColumn * kMcuSize + 8, kRow * kMcuSize + 8));
  EXPECT_EQ(Text("MCUX"), QString::number(kColumn));
  EXPECT_EQ(Text("MCUY"), QString::number(kRow));
  EXPECT_FALSE(Text("MCUBYTE").isEmpty());

  // The single-bit search lists the cleared bit first.
  Click("BITCHK");
  auto* log = Widget<QListWidget>("LOG");
  ASSERT_GT(log->count(), 0);
  EXPECT_EQ(app_.form.LOG.tag, "1");
  EXPECT_EQ(log->item(0)->text(), QString::fromUtf8(kFirstCandidate));

  // A click previews it under the picture and shows its byte in the dump.
  auto* preview = Widget<PictureView>("Picture2");
  const QImage noPreview = preview->image();
  const QPoint line0 = log->visualItemRect(log->item(0)).center();
  QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, line0);
  EXPECT_NE(preview->image(), noPreview);
  EXPECT_EQ(DumpCellOfDamagedByte()->text(), QStringLiteral("7E"));
  EXPECT_EQ(DumpCellOfDamagedByte()->background(), window::kBlack);  // the selected cell
  EXPECT_EQ(app_.file.bytes, damaged);                               // a preview changes nothing

  // The full-width window at this moment is the picture of the workflow in the docs.
  Click("MODE");
  EXPECT_EQ(window_->Client()->width(), MainWindow::ClientWidth(1024));
  const QString shot =
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vorn-sample-search.png"));
  EXPECT_TRUE(window_->grab().save(shot));

  // Double-click it: the bit is set, the file is the original again, the picture redrawn.
  QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, line0);
  EXPECT_EQ(app_.file.bytes, intact);
  EXPECT_EQ(DumpCellOfDamagedByte()->text(), QStringLiteral("7F"));
  EXPECT_TRUE(Widget<QPushButton>("UNDO")->isEnabled());
  EXPECT_FALSE(Widget<QPushButton>("REDO")->isEnabled());
  EXPECT_TRUE(Widget<QPushButton>("SAVE")->isEnabled());  // it decodes cleanly now
  EXPECT_EQ(log->count(), 0);
  const QImage repairedView = view->image();

  Click("UNDO");
  EXPECT_EQ(app_.file.bytes, damaged);
  EXPECT_FALSE(Widget<QPushButton>("UNDO")->isEnabled());
  EXPECT_TRUE(Widget<QPushButton>("REDO")->isEnabled());
  EXPECT_NE(view->image(), repairedView);

  Click("REDO");
  EXPECT_EQ(app_.file.bytes, intact);
  EXPECT_TRUE(Widget<QPushButton>("UNDO")->isEnabled());
  EXPECT_FALSE(Widget<QPushButton>("REDO")->isEnabled());
  EXPECT_EQ(view->image(), repairedView);

  // Save the repaired copy under a new name.
  const std::string savedPath = folder + "/repaired.jpg";
  dialogs_.savePaths.push_back(savedPath);
  Click("SAVE");
  ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
  EXPECT_EQ(dialogs_.saveRequests[0].proposedName, damagedPath);
  EXPECT_EQ(testing::ReadFileBytes(savedPath), intact);
  EXPECT_EQ(testing::ReadFileBytes(damagedPath), damaged);  // the damaged file is left as it was
}

}  // namespace
}  // namespace vorn::gui
