// One whole repair session driven by real clicks on the window: load a damaged
// photo, press on its broken MCU, search for the single bit, apply the first
// candidate, undo, redo, save. Ends with a screenshot of the full-width window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/marker_analysis.h"
#include "app/app_state.h"
#include "app/wiring.h"
#include "gui/cell_widget.h"
#include "gui/main_window.h"
#include "gui/picture_view.h"
#include "support/libjpeg_peer.h"
#include "support/run_cli.h"
#include "window/dialogs.h"
#include "window_fixture.h"

namespace vorn::gui {
namespace {

// A 320 x 240 photo in 4:2:0: MCUs of 16 x 16 pixels, 20 columns and 15 rows,
// small enough for a quick test and large enough to show in the screenshot.
constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kMcuSize = 16;
constexpr int kColumn = 8;
constexpr int kRow = 6;

struct Damage {
  int32_t position = 0;
  int bit = 0;  // 0 = most significant
};

// Where the data of MCU (kColumn, kRow) begins in the intact file, by the same
// handlers the window uses (this only chooses which bit to damage).
Damage FirstOneBitOfMcu(const std::string& path, const std::vector<uint8_t>& bytes) {
  window::ScriptedDialogs dialogs;
  AppState s(dialogs);
  WireHandlers(s);
  Form_Load(s, [] { return false; });
  LoadFileImage(s, path);
  EXPECT_EQ(s.decode.lastStatus, 0);
  const McuStart& start = s.decode.McuStarts.At(kColumn, kRow);
  // The MCU begins with the bit after the last one its predecessor consumed.
  int32_t position = start.bytePos + (start.bitIndex == 7 ? 1 : 0);
  int bit = (start.bitIndex + 1) % 8;
  // The first 1 bit from there, in a byte that takes part in no stuffing.
  for (;; ++position, bit = 0) {
    const bool stuffing = bytes[position] == 0xFF || bytes[position - 1] == 0xFF;
    for (; !stuffing && bit < 8; ++bit)
      if (bytes[position] & (0x80 >> bit)) return {position, bit};
  }
}

std::string CandidatePrefix(const Damage& d, uint8_t damaged, uint8_t repaired) {
  char text[32];
  std::snprintf(text, sizeof text, "%08X-%d:%02X", static_cast<unsigned>(d.position), d.bit, damaged);
  return std::string(text) + "→" + (repaired < 16 ? "0" : "") +
         QString::number(repaired, 16).toUpper().toStdString();
}

class FullSession : public WiredWindow {
 protected:
  void Click(const char* button) {
    auto* widget = Widget<QPushButton>(button);
    ASSERT_TRUE(widget->isEnabled()) << button;
    QTest::mouseClick(widget, Qt::LeftButton);
  }
  QString Text(const char* name) { return Widget<CellWidget>(name)->text(); }
};

TEST_F(FullSession, RepairADamagedPhotoByClicks) {
  const std::string folder = testing::TempDir();
  testing::EncodeOptions options;
  options.width = kWidth;
  options.height = kHeight;
  const std::vector<uint8_t> intact = testing::EncodePhotoLike(options, 7);
  const std::string intactPath = folder + "/intact.jpg";
  ASSERT_TRUE(testing::WriteFileBytes(intactPath, intact));
  const Damage damage = FirstOneBitOfMcu(intactPath, intact);
  std::vector<uint8_t> damaged = intact;
  damaged[damage.position] &= static_cast<uint8_t>(~(0x80 >> damage.bit));
  const std::string damagedPath = folder + "/damaged.jpg";
  ASSERT_TRUE(testing::WriteFileBytes(damagedPath, damaged));

  // Load through the open dialog.
  dialogs_.openPaths.push_back(damagedPath);
  Click("LOAD");
  EXPECT_EQ(Text("Fname"), QString::fromStdString(damagedPath));
  EXPECT_EQ(Text("SOF0X"), QString::number(kWidth));
  EXPECT_EQ(Text("SOF0Y"), QString::number(kHeight));
  EXPECT_EQ(s_.file.bytes, damaged);
  EXPECT_GT(Widget<QListWidget>("LOG")->count(), 0);

  // Press on the middle of the broken MCU.
  auto* view = Widget<PictureView>("Picture1");
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(kColumn * kMcuSize + 8, kRow * kMcuSize + 8));
  EXPECT_EQ(Text("MCUX"), QString::number(kColumn));
  EXPECT_EQ(Text("MCUY"), QString::number(kRow));
  EXPECT_FALSE(Text("MCUBYTE").isEmpty());

  // The single-bit search lists the cleared bit first.
  Click("BITCHK");
  auto* log = Widget<QListWidget>("LOG");
  ASSERT_GT(log->count(), 0);
  EXPECT_EQ(s_.w.LOG.tag, "1");
  const std::string first = log->item(0)->text().toStdString();
  const std::string expected = CandidatePrefix(damage, damaged[damage.position], intact[damage.position]);
  EXPECT_EQ(first.substr(0, expected.size()), expected) << first;
  EXPECT_NE(first.find(" EOMCU:"), std::string::npos);

  // Double-click it: the bit is set and the picture redrawn.
  const QPoint line0 = log->visualItemRect(log->item(0)).center();
  QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, line0);
  QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, line0);
  EXPECT_EQ(s_.file.bytes, intact);
  EXPECT_TRUE(Widget<QPushButton>("UNDO")->isEnabled());
  EXPECT_FALSE(Widget<QPushButton>("REDO")->isEnabled());
  EXPECT_TRUE(Widget<QPushButton>("SAVE")->isEnabled());  // it decodes cleanly now
  EXPECT_EQ(log->count(), 0);
  const QImage repairedView = view->image();

  Click("UNDO");
  EXPECT_EQ(s_.file.bytes, damaged);
  EXPECT_FALSE(Widget<QPushButton>("UNDO")->isEnabled());
  EXPECT_TRUE(Widget<QPushButton>("REDO")->isEnabled());
  EXPECT_NE(view->image(), repairedView);

  Click("REDO");
  EXPECT_EQ(s_.file.bytes, intact);
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

  // The full-width window after the session, for the record.
  Click("MODE");
  EXPECT_EQ(window_->width(), MainWindow::ClientWidth(1024));
  const QString shot =
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vorn-session.png"));
  EXPECT_TRUE(window_->grab().save(shot));
}

}  // namespace
}  // namespace vorn::gui
