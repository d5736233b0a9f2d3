// The main window as a person first sees it: every element at its place and size,
// with its caption, start text and start state, in a Japanese face that has every
// glyph it needs.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <array>
#include <vector>

#include "gui/cell_widget.h"
#include "gui/main_window.h"
#include "gui/menu_bar_view.h"
#include "window_fixture.h"

namespace vorn::gui {
namespace {

struct Box {
  const char* name;
  int index;  // -1 for a single element
  int x, y, w, h;
};

// Every named element of the three areas.
const Box kNamed[] = {
    {"MODE", -1, 424, 8, 25, 17},       {"Picture1", -1, 16, 32, 417, 433},
    {"VScroll1", -1, 432, 32, 17, 433}, {"HScroll1", -1, 16, 464, 417, 17},
    {"IMAGE", -1, 16, 488, 81, 25},     {"MCUCHK", -1, 96, 488, 81, 25},
    {"BITCHK", -1, 176, 488, 81, 25},   {"LIMAGE", -1, 264, 488, 96, 18},
    {"UNDO", -1, 368, 488, 81, 25},     {"LOAD", -1, 16, 512, 81, 25},
    {"SAVE", -1, 96, 512, 81, 25},      {"QUIT", -1, 176, 512, 81, 25},
    {"Picture2", -1, 264, 505, 96, 32}, {"REDO", -1, 368, 512, 81, 25},
    {"Fname", -1, 16, 544, 431, 28},    {"LOG", -1, 16, 592, 433, 112},
    {"Picture3", -1, 0, 0, 17, 17},     {"DMPI", -1, 464, 32, 25, 18},
    {"MCUX", -1, 480, 88, 25, 17},      {"MCUY", -1, 520, 88, 25, 17},
    {"MCUBYTE", -1, 464, 120, 65, 17},  {"MCUBIT", -1, 528, 120, 17, 17},
    {"DCV", 0, 464, 152, 28, 17},       {"DCV", 1, 491, 152, 28, 17},
    {"DCV", 2, 518, 152, 28, 17},       {"STANA", -1, 464, 192, 81, 17},
    {"DMPFUP", -1, 904, 16, 25, 17},    {"DMPUP", -1, 928, 16, 25, 17},
    {"DMPDOWN", -1, 952, 16, 25, 17},   {"DMPFDOWN", -1, 976, 16, 25, 17},
    {"APP0LEN", -1, 464, 344, 41, 17},  {"APP0ID", -1, 504, 344, 57, 17},
    {"APP0v1", -1, 560, 344, 25, 17},   {"APP0v2", -1, 584, 344, 25, 17},
    {"APP0U", -1, 608, 344, 41, 17},    {"APP0Xd", -1, 648, 344, 41, 17},
    {"APP0Yd", -1, 688, 344, 41, 17},   {"APP0ETC", -1, 728, 344, 273, 17},
    {"SOF0LEN", -1, 464, 400, 41, 17},  {"SOF0P", -1, 504, 400, 65, 17},
    {"SOF0X", -1, 568, 400, 49, 17},    {"SOF0Y", -1, 616, 400, 49, 17},
    {"SOF0Nf", -1, 664, 400, 49, 17},   {"SOF0Ci", 0, 464, 432, 49, 17},
    {"SOF0Ci", 2, 464, 464, 49, 17},    {"SOF0Hi", 1, 512, 448, 65, 17},
    {"SOF0Vi", 2, 576, 464, 65, 17},    {"SOF0Tqi", 0, 640, 432, 73, 17},
    {"COMLEN", -1, 728, 400, 41, 17},   {"COM", -1, 768, 400, 233, 81},
    {"DQTLEN", -1, 464, 520, 41, 17},   {"DQTPq", -1, 504, 520, 33, 17},
    {"DQTTq", -1, 536, 520, 33, 17},    {"DQTUP", -1, 608, 520, 25, 17},
    {"DQTDOWN", -1, 632, 520, 25, 17},  {"DHTLEN", -1, 672, 520, 41, 17},
    {"DHTTc", -1, 712, 520, 33, 17},    {"DHTTh", -1, 744, 520, 33, 17},
    {"DHTUP", -1, 792, 520, 25, 17},    {"DHTDOWN", -1, 816, 520, 25, 17},
    {"Htbl", -1, 672, 536, 169, 134},   {"SOSLEN", -1, 856, 520, 41, 17},
    {"SOSNs", -1, 896, 520, 49, 17},    {"SOSCsi", 0, 856, 552, 49, 17},
    {"SOSTdi", 1, 904, 568, 49, 17},    {"SOSTai", 2, 952, 584, 49, 17},
    {"SOSSs", -1, 856, 616, 37, 17},    {"SOSSe", -1, 892, 616, 37, 17},
    {"SOSAh", -1, 928, 616, 37, 17},    {"SOSAl", -1, 964, 616, 37, 17},
    {"DRILEN", -1, 856, 672, 41, 17},   {"DRI", -1, 896, 672, 49, 17},
};

struct FixedText {
  const char* text;
  int x, y, w, h;  // w = 0: a plain title, as wide as its text
};

const FixedText kFixed[] = {
    {"イメージエリア", 16, 16, 0, 0},
    {"メッセージエリア", 16, 576, 0, 0},
    {"入力エリア", 464, 16, 0, 0},
    {"ＭＣＵ情報", 464, 56, 0, 0},
    {"MCUﾎﾟｲﾝﾀｰ", 464, 72, 81, 17},
    {"X", 464, 88, 17, 17},
    {"Y", 504, 88, 17, 17},
    {"ｱﾄﾞﾚｽ－ﾋﾞｯﾄ", 464, 104, 81, 17},
    {"DC成分YCbCr", 464, 136, 81, 17},
    {"解析開始位置", 464, 176, 0, 0},
    {"ダンプエリア", 560, 16, 0, 0},
    {"アドレス", 560, 32, 57, 17},
    {"アプリケーションデータセグメント", 464, 312, 0, 0},
    {"識別子", 504, 328, 57, 17},
    {"ﾊﾞｰｼﾞｮﾝ", 560, 328, 49, 17},
    {"単位", 608, 328, 41, 17},
    {"横密度", 648, 328, 41, 17},
    {"縦密度", 688, 328, 41, 17},
    {"その他", 728, 328, 273, 17},
    {"フレーム開始", 464, 368, 0, 0},
    {"ｻﾝﾌﾟﾙ精度", 504, 384, 65, 17},
    {"横ｻｲｽﾞ", 568, 384, 49, 17},
    {"縦ｻｲｽﾞ", 616, 384, 49, 17},
    {"成分数", 664, 384, 49, 17},
    {"成分", 464, 416, 49, 17},
    {"水平ｻﾝﾌﾟﾙ", 512, 416, 65, 17},
    {"垂直ｻﾝﾌﾟﾙ", 576, 416, 65, 17},
    {"量子化ｾﾚｸﾀ", 640, 416, 73, 17},
    {"コメント", 728, 368, 0, 0},
    {"コメント", 768, 384, 233, 17},
    {"量子化テーブル", 464, 488, 0, 0},
    {"Pq", 504, 504, 33, 17},
    {"Tq", 536, 504, 33, 17},
    {"ハフマンテーブル", 672, 488, 0, 0},
    {"Tc", 712, 504, 33, 17},
    {"Th", 744, 504, 33, 17},
    {"スキャン開始", 856, 488, 0, 0},
    {"成分数", 896, 504, 49, 17},
    {"成分", 856, 536, 49, 17},
    {"DCｾﾚｸﾀ", 904, 536, 49, 17},
    {"ACｾﾚｸﾀ", 952, 536, 49, 17},
    {"Ss", 856, 600, 37, 17},
    {"Se", 892, 600, 37, 17},
    {"Ah", 928, 600, 37, 17},
    {"Al", 964, 600, 37, 17},
    {"リスタートインターバル", 856, 640, 0, 0},
    {"長さ", 464, 328, 41, 17},
    {"長さ", 464, 384, 41, 17},
    {"長さ", 728, 384, 41, 17},
    {"長さ", 464, 504, 41, 17},
    {"長さ", 672, 504, 41, 17},
    {"長さ", 856, 504, 41, 17},
    {"長さ", 856, 656, 41, 17},
    {"ｲﾝﾀｰﾊﾞﾙ", 896, 656, 49, 17},
};

// The standard zig-zag order: zig-zag index k -> (row, column) of the 8 x 8 grid.
const std::array<std::array<int, 2>, 64> kZigZagCell = {{
    {0, 0}, {0, 1}, {1, 0}, {2, 0}, {1, 1}, {0, 2}, {0, 3}, {1, 2}, {2, 1}, {3, 0}, {4, 0}, {3, 1}, {2, 2},
    {1, 3}, {0, 4}, {0, 5}, {1, 4}, {2, 3}, {3, 2}, {4, 1}, {5, 0}, {6, 0}, {5, 1}, {4, 2}, {3, 3}, {2, 4},
    {1, 5}, {0, 6}, {0, 7}, {1, 6}, {2, 5}, {3, 4}, {4, 3}, {5, 2}, {6, 1}, {7, 0}, {7, 1}, {6, 2}, {5, 3},
    {4, 4}, {3, 5}, {2, 6}, {1, 7}, {2, 7}, {3, 6}, {4, 5}, {5, 4}, {6, 3}, {7, 2}, {7, 3}, {6, 4}, {5, 5},
    {4, 6}, {3, 7}, {4, 7}, {5, 6}, {6, 5}, {7, 4}, {7, 5}, {6, 6}, {5, 7}, {6, 7}, {7, 6}, {7, 7},
}};

// The window after start-up, before any file.
class StartedWindow : public WiredWindow {
 protected:
  QWidget* Element(const char* name, int index = -1) {
    return window_->Element(QString::fromLatin1(name), index);
  }

  std::vector<CellWidget*> UnnamedCells() {
    std::vector<CellWidget*> cells;
    for (auto* cell : window_->findChildren<CellWidget*>())
      if (cell->objectName().isEmpty()) cells.push_back(cell);
    return cells;
  }
};

TEST_F(StartedWindow, NamedElementsSitAtTheirPlaceAndSize) {
  ASSERT_TRUE(started_);
  for (const Box& b : kNamed) {
    QWidget* widget = Element(b.name, b.index);
    ASSERT_NE(widget, nullptr) << b.name << " " << b.index;
    if (qobject_cast<QListWidget*>(widget)) {  // as high as whole lines allow: below
      EXPECT_EQ(widget->geometry().topLeft(), QPoint(b.x, b.y)) << b.name;
      EXPECT_EQ(widget->width(), b.w) << b.name;
      continue;
    }
    EXPECT_EQ(widget->geometry(), QRect(b.x, b.y, b.w, b.h)) << b.name << " " << b.index;
  }
}

// A list box shows whole lines only, as those of the window system do: it takes as
// much of its height as whole lines fill, also while a horizontal scroll bar is shown.
TEST_F(StartedWindow, ListsShowWholeLinesOnly) {
  struct List {
    const char* name;
    window::ListBox& model;
    int height;
  };
  const List lists[] = {{"LOG", app_.form.LOG, 112}, {"Htbl", app_.form.Htbl, 134}};
  for (const bool longLines : {false, true}) {
    for (const List& l : lists) {
      l.model.Clear();
      for (int i = 0; i < 40; ++i)
        l.model.AddItem("00000014:量子化テーブル" + std::string(longLines ? 60 : 0, '*'));
    }
    window_->SyncFromModel();
    QCoreApplication::processEvents();
    for (const List& l : lists) {
      SCOPED_TRACE(std::string(l.name) + (longLines ? " with long lines" : ""));
      auto* list = qobject_cast<QListWidget*>(Element(l.name));
      ASSERT_NE(list, nullptr);
      EXPECT_EQ(list->horizontalScrollBar()->isVisible(), longLines);
      const int row = list->visualItemRect(list->item(0)).height();
      const int shown = list->viewport()->height();
      EXPECT_GE(row, QFontMetrics(list->font()).ascent());  // a line, not a sliver
      EXPECT_EQ(shown % row, 0) << shown << " / " << row;
      EXPECT_LE(list->height(), l.height);
      EXPECT_GT(list->height() + row, l.height);  // no room left for one more line
    }
  }
}

TEST_F(StartedWindow, DumpGridRowLabelsAndColumnHeaders) {
  for (int i = 0; i < 256; ++i) {
    ASSERT_NE(Element("DMP", i), nullptr) << i;
    EXPECT_EQ(Element("DMP", i)->geometry(), QRect(616 + 24 * (i % 16), 48 + 16 * (i / 16), 25, 17)) << i;
  }
  const char* const headers[] = {"0", "1", "2", "3", "4", "5", "6", "7",
                                 "8", "9", "A", "B", "C", "D", "E", "F"};
  for (int c = 0; c < 16; ++c) {
    EXPECT_EQ(Element("DMPL", c)->geometry(), QRect(616 + 24 * c, 32, 25, 17)) << c;
    EXPECT_EQ(Cell("DMPL", c)->text(), QString::fromLatin1(headers[c]));
    EXPECT_EQ(Cell("DMPL", c)->background(), window::kGrey);
  }
  for (int r = 0; r < 16; ++r) {
    EXPECT_EQ(Element("DMPH", r)->geometry(), QRect(560, 48 + 16 * r, 57, 17)) << r;
    // Row addresses of page 0 before the first file: 0, 10, 20 ... F0.
    const QString expected = r == 0 ? QStringLiteral("0") : QStringLiteral("%1").arg(r * 16, 0, 16).toUpper();
    EXPECT_EQ(Cell("DMPH", r)->text(), expected);
    EXPECT_EQ(Cell("DMPH", r)->kind(), Kind::ValueRight);
  }
}

TEST_F(StartedWindow, QuantizationGridFollowsTheZigZagOrder) {
  for (int k = 0; k < 64; ++k) {
    const auto [row, column] = kZigZagCell[k];
    ASSERT_NE(Element("Qtbl", k), nullptr) << k;
    EXPECT_EQ(Element("Qtbl", k)->geometry(), QRect(464 + 24 * column, 536 + 16 * row, 25, 17)) << k;
  }
}

TEST_F(StartedWindow, CaptionsAndTitlesSitAtTheirPlace) {
  std::vector<CellWidget*> cells = UnnamedCells();
  for (const FixedText& f : kFixed) {
    const QString text = QString::fromUtf8(f.text);
    bool found = false;
    for (CellWidget* cell : cells) {
      if (cell->text() != text || cell->pos() != QPoint(f.x, f.y)) continue;
      found = true;
      if (f.w == 0) {
        EXPECT_EQ(cell->kind(), Kind::Title) << f.text;
        EXPECT_GE(cell->width(), cell->fontMetrics().horizontalAdvance(text)) << f.text;
      } else {
        EXPECT_EQ(cell->kind(), Kind::Caption) << f.text;
        EXPECT_EQ(cell->size(), QSize(f.w, f.h)) << f.text;
        EXPECT_EQ(cell->background(), window::kGrey) << f.text;
      }
    }
    EXPECT_TRUE(found) << f.text << " at " << f.x << "," << f.y;
  }
  // Nothing fixed besides these: every unnamed cell is one of the texts above.
  EXPECT_EQ(cells.size(), std::size(kFixed));
}

TEST_F(StartedWindow, FieldStylesAlignment) {
  EXPECT_EQ(Cell("Fname")->kind(), Kind::ValuePath);
  EXPECT_EQ(Cell("COM")->kind(), Kind::ValueWrapped);
  EXPECT_EQ(Cell("APP0ETC")->kind(), Kind::ValueLeft);
  EXPECT_EQ(Cell("SOF0X")->kind(), Kind::Value);
  EXPECT_EQ(Cell("SOF0X")->background(), window::kWhite);
  EXPECT_EQ(Cell("LIMAGE")->kind(), Kind::CaptionButton);
  EXPECT_EQ(Cell("LIMAGE")->background(), window::kGrey);
  auto* input = qobject_cast<QLineEdit*>(Element("DMPI"));
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(input->maxLength(), 2);
  EXPECT_TRUE(input->alignment() & Qt::AlignHCenter);
}

TEST_F(StartedWindow, StartStateOnlyLoadQuitModePagingAndScaleEnabled) {
  struct Expected {
    const char* name;
    const char* caption;
    bool enabled;
  };
  const Expected buttons[] = {
      {"MODE", "F", true},          {"IMAGE", "ｲﾒｰｼﾞ表示", false},
      {"MCUCHK", "MCU調査", false}, {"BITCHK", "1ﾋﾞｯﾄ補正", false},
      {"UNDO", "元に戻す", false},  {"LOAD", "読込", true},
      {"SAVE", "保存", false},      {"QUIT", "終了", true},
      {"REDO", "やり直し", false},  {"DMPFUP", "<<", true},
      {"DMPUP", "<", true},         {"DMPDOWN", ">", true},
      {"DMPFDOWN", ">>", true},     {"DQTUP", "<", true},
      {"DQTDOWN", ">", true},       {"DHTUP", "<", true},
      {"DHTDOWN", ">", true},
  };
  for (const Expected& b : buttons) {
    auto* button = qobject_cast<QPushButton*>(Element(b.name));
    ASSERT_NE(button, nullptr) << b.name;
    EXPECT_EQ(button->text(), QString::fromUtf8(b.caption)) << b.name;
    EXPECT_EQ(button->isEnabled(), b.enabled) << b.name;
  }
  EXPECT_EQ(Cell("LIMAGE")->text(), QStringLiteral("補正ｲﾒｰｼﾞx1"));

  for (const char* name : {"Fname", "MCUX", "MCUY", "MCUBYTE", "MCUBIT", "STANA", "APP0LEN", "APP0ETC",
                           "SOF0X", "COM", "COMLEN", "DQTLEN", "DHTTc", "SOSNs", "SOSAl", "DRI"})
    EXPECT_TRUE(Cell(name)->text().isEmpty()) << name;
  for (int i = 0; i < 256; ++i) EXPECT_TRUE(Cell("DMP", i)->text().isEmpty()) << i;
  for (int k = 0; k < 64; ++k) EXPECT_TRUE(Cell("Qtbl", k)->text().isEmpty()) << k;
  EXPECT_EQ(qobject_cast<QListWidget*>(Element("LOG"))->count(), 0);
  EXPECT_EQ(qobject_cast<QListWidget*>(Element("Htbl"))->count(), 0);
  EXPECT_TRUE(qobject_cast<QLineEdit*>(Element("DMPI"))->text().isEmpty());
  EXPECT_EQ(qobject_cast<QScrollBar*>(Element("HScroll1"))->maximum(), 0);
  EXPECT_EQ(qobject_cast<QScrollBar*>(Element("VScroll1"))->maximum(), 0);
}

// The client area keeps its size under the menu bar: the window grows by the bar.
TEST_F(StartedWindow, CompactAtStartFullAfterMode) {
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Vorn0.95β"));
  QWidget* bar = window_->MenuBar();
  ASSERT_GT(bar->height(), 0);
  const auto expectClient = [&](int width) {
    EXPECT_EQ(window_->Client()->geometry(), QRect(0, bar->height(), width, 716));
    EXPECT_EQ(window_->size(), QSize(width, 716 + bar->height()));
    EXPECT_EQ(bar->geometry(), QRect(0, 0, width, bar->height()));
  };
  expectClient(462);  // outer width 470
  QTest::mouseClick(qobject_cast<QPushButton*>(Element("MODE")), Qt::LeftButton);
  expectClient(1016);  // outer width 1024
  EXPECT_EQ(qobject_cast<QPushButton*>(Element("MODE"))->text(), QStringLiteral("C"));
  QTest::mouseClick(qobject_cast<QPushButton*>(Element("MODE")), Qt::LeftButton);
  expectClient(462);
}

// No tofu: the face chosen for each widget has every character it shows.
TEST_F(StartedWindow, EveryTextIsCoveredByAJapaneseFace) {
  QStringList texts;
  for (auto* cell : window_->findChildren<CellWidget*>()) texts << cell->text();
  for (auto* button : window_->findChildren<QPushButton*>()) texts << button->text();
  // Texts the handlers write later: messages, list lines and the other captions.
  texts << QStringLiteral("補正ｲﾒｰｼﾞx2") << QStringLiteral("正常！異常！終了します→")
        << QStringLiteral("解析開始位置を変更しますか")
        << QStringLiteral("マーカー（FFデータ）位置を指定してください");
  for (auto* cell : window_->findChildren<CellWidget*>()) {
    const QFontInfo info(cell->font());
    EXPECT_TRUE(info.family().contains(QLatin1String("CJK")) ||
                info.family().contains(QLatin1String("Gothic")) ||
                info.family().contains(QStringLiteral("ゴシック")))
        << info.family().toStdString();
  }
  for (const QFont& font : {window_->font(), Element("COM")->font()}) {
    const QFontMetrics metrics(font);
    EXPECT_EQ(QFontInfo(font).pixelSize(), 12);  // 9 points at 96 dots per inch
    for (const QString& text : texts)
      for (const uint code : text.toUcs4())
        EXPECT_TRUE(metrics.inFontUcs4(code))
            << QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1).toStdString() << " in "
            << QFontInfo(font).family().toStdString();
  }
}

}  // namespace
}  // namespace vorn::gui
