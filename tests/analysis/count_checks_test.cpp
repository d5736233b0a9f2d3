// The sixteen marker-count checks: each row's text and whether it stops.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "analysis/analysis_harness.h"

namespace vorn::testing {
namespace {

using Strings = std::vector<std::string>;

// The pieces of a small grey baseline file; each row leaves out or repeats some.
struct Parts {
  int soi = 1, app0 = 1, com = 0, dri = 0, dqt = 1, sof0 = 1, sof2 = 0, dht = 2, sos = 1, eoi = 1;

  std::vector<uint8_t> Build() const {
    JpegBuilder b;
    for (int i = 0; i < soi; ++i) b.Soi();
    for (int i = 0; i < app0; ++i) b.App0Jfif();
    for (int i = 0; i < com; ++i) b.Com("c");
    for (int i = 0; i < dri; ++i) b.Dri(1);
    for (int i = 0; i < dqt; ++i) b.Dqt(0, FlatQuant(4));
    for (int i = 0; i < sof0; ++i) b.Sof0(8, 8, Grey());
    for (int i = 0; i < sof2; ++i) b.Sof2(8, 8, Grey());
    for (int i = 0; i < dht; ++i) b.Dht({i % 2 == 0 ? StandardLuminanceDc() : StandardLuminanceAc()});
    for (int i = 0; i < sos; ++i) b.Sos(GreyScan()).Raw({0x12, 0x34});
    for (int i = 0; i < eoi; ++i) b.Eoi();
    return b.Bytes();
  }
};

struct Row {
  const char* name;
  std::function<void(Parts&)> change;
  const char* message;
  bool stops;
};

// Names the row in test listings (the default prints the object's raw bytes).
void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

class CountCheck : public ::testing::TestWithParam<Row> {};

TEST_P(CountCheck, ShowsItsMessageAndStopsOrGoesOn) {
  const Row& row = GetParam();
  Parts parts;
  row.change(parts);
  AnalysisHarness h;
  const bool completed = h.Analyse(parts.Build());
  EXPECT_EQ(h.Messages(), Strings{row.message});
  EXPECT_EQ(completed, !row.stops);
  EXPECT_EQ(h.form.IMAGE.enabled, !row.stops);
}

const Row kRows[] = {
    {"NoSoi", [](Parts& p) { p.soi = 0; }, "画像開始がありません（ワーニング）", false},
    {"TwoSoi", [](Parts& p) { p.soi = 2; }, "画像開始が複数あります（ワーニング）", false},
    {"NoApp0", [](Parts& p) { p.app0 = 0; }, "アプリケーションデータセグメント０がありません（ワーニング）",
     false},
    {"TwoApp0", [](Parts& p) { p.app0 = 2; },
     "アプリケーションデータセグメント０が複数あります（ワーニング）", false},
    {"TwoCom", [](Parts& p) { p.com = 2; }, "コメントが複数あります（ワーニング）", false},
    {"TwoDri", [](Parts& p) { p.dri = 2; }, "リスタートインターバル定義が複数あります（ワーニング）", false},
    {"NoDqt", [](Parts& p) { p.dqt = 0; }, "量子化テーブル定義がありません（中止）", true},
    {"ThreeDqt", [](Parts& p) { p.dqt = 3; }, "量子化テーブル定義が３個以上あります（ワーニング）", false},
    {"NoSof0", [](Parts& p) { p.sof0 = 0; }, "フレーム開始（基本・非差分ハフマン）がありません（中止）",
     true},
    {"OnlySof2", [](Parts& p) { p.sof0 = 0, p.sof2 = 1; },
     "フレーム開始（基本・非差分ハフマン）がありません（中止）", true},
    {"TwoSof0", [](Parts& p) { p.sof0 = 2; },
     "フレーム開始（基本・非差分ハフマン）が複数あります（ワーニング）", false},
    {"NoDht", [](Parts& p) { p.dht = 0; }, "ハフマンテーブル定義がありません（中止）", true},
    {"FiveDht", [](Parts& p) { p.dht = 5; }, "ハフマンテーブル定義が５個以上あります（ワーニング）", false},
    {"NoSos", [](Parts& p) { p.sos = 0; }, "スキャン開始がありません（中止）", true},
    {"TwoSos", [](Parts& p) { p.sos = 2; }, "スキャン開始が複数あります（中止）", true},
    {"NoEoi", [](Parts& p) { p.eoi = 0; }, "画像終了がありません（ワーニング）", false},
    {"TwoEoi", [](Parts& p) { p.eoi = 2; }, "画像終了が複数あります（ワーニング）", false},
};

INSTANTIATE_TEST_SUITE_P(Rows, CountCheck, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

TEST(CountChecks, WarningsComeInTableOrderAndTheFirstStopEndsThem) {
  Parts p;
  p.soi = 0, p.app0 = 2, p.com = 2, p.dri = 2, p.dqt = 3, p.sof0 = 0, p.dht = 0, p.sos = 2, p.eoi = 0;
  AnalysisHarness h;
  EXPECT_FALSE(h.Analyse(p.Build()));
  EXPECT_EQ(h.Messages(), (Strings{"画像開始がありません（ワーニング）",
                                   "アプリケーションデータセグメント０が複数あります（ワーニング）",
                                   "コメントが複数あります（ワーニング）",
                                   "リスタートインターバル定義が複数あります（ワーニング）",
                                   "量子化テーブル定義が３個以上あります（ワーニング）",
                                   "フレーム開始（基本・非差分ハフマン）がありません（中止）"}));
  // Stopped before the start and length checks: only marker lines.
  for (const std::string& line : h.Lines()) EXPECT_NE(line.find("が見つかりました"), std::string::npos);
}

TEST(CountChecks, WithoutEoiTheScanDataRunsToTheLastByte) {
  Parts p;
  p.eoi = 0;
  AnalysisHarness h;
  const std::vector<uint8_t> bytes = p.Build();
  h.analysis.ScanDataEnd = 5;
  EXPECT_TRUE(h.Analyse(bytes));
  EXPECT_EQ(h.analysis.ScanDataEnd, static_cast<int32_t>(bytes.size()) - 1);
}

TEST(CountChecks, OnlyTwoDqtAndFourDhtSegmentsAreParsed) {
  // Three one-table DQT segments: the third is not parsed. Five one-table DHT
  // segments: the fifth is not parsed.
  AnalysisHarness h;
  JpegBuilder b;
  b.Soi().App0Jfif().Dqt(0, FlatQuant(1)).Dqt(1, FlatQuant(2)).Dqt(0, FlatQuant(3)).Sof0(8, 8, Grey());
  HuffmanSpec extra = StandardChrominanceDc();
  extra.th = 0;  // would replace the luminance DC table if it were read
  b.Dht({StandardLuminanceDc()}).Dht({StandardLuminanceAc()}).Dht({StandardChrominanceDc()});
  b.Dht({StandardChrominanceAc()}).Dht({extra});
  b.Sos(GreyScan()).Raw({0}).Eoi();
  h.rec.quant.QuantValues[2].fill(77);
  EXPECT_TRUE(h.Analyse(b.Bytes()));
  EXPECT_EQ(h.rec.quant.QuantValues[0][0], 1);
  EXPECT_EQ(h.rec.quant.QuantValues[1][0], 2);
  EXPECT_EQ(h.rec.quant.QuantValues[2][0], 77);
  EXPECT_EQ(h.rec.quant.QuantPageLast, 1);
  EXPECT_EQ(h.rec.huff.HuffPageLast, 3);
  // Luminance DC: one code of length 2 (00 for size 0); chrominance DC has three.
  EXPECT_EQ(h.rec.huff.HuffTable[0][0].Count[1], 1);
}

}  // namespace
}  // namespace vorn::testing
