// Files cut short: no segment is completed with bytes from beyond the end, each
// cut segment is listed at its length field, and a cut header or table stops the
// analysis so that nothing is decoded from half of it.
#include <gtest/gtest.h>

#include <functional>

#include "analysis/analysis_harness.h"
#include "support/libjpeg_peer.h"

namespace vorn::testing {
namespace {

using Strings = std::vector<std::string>;

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t n) {
  return {bytes.begin(), bytes.begin() + static_cast<long>(n)};
}

TEST(Truncation, EveryPrefixOfARealFileIsAnalysedSafely) {
  EncodeOptions o;
  o.width = 24;
  o.height = 16;
  o.restartInterval = 1;
  o.comment = "cut";
  const std::vector<uint8_t> file = EncodePhotoLike(o);
  ASSERT_FALSE(file.empty());
  AnalysisHarness h;
  int completed = 0;
  for (size_t n = 0; n <= file.size(); ++n) {
    if (h.Analyse(Prefix(file, n))) ++completed;
    ASSERT_LE(h.Lines().size(), 1000u);
    ASSERT_EQ(static_cast<size_t>(h.analysis.LogLineCount), h.Lines().size()) << n;
  }
  // Any prefix that still holds the SOS header completes (only the EOI warning).
  EXPECT_GT(completed, 0);
}

// Every segment placed after the scan, in turn as the last one, cut at every
// length: the parsers meet each cut segment.
TEST(Truncation, EverySegmentCutAtEveryLengthAfterTheScan) {
  using Add = std::function<void(JpegBuilder&)>;
  const std::vector<Add> segments = {
      [](JpegBuilder& b) {
        b.App0Jfif(1, 1, 1, 1, 1, {1, 2, 3});
      },
      [](JpegBuilder& b) {
        b.Com(std::vector<uint8_t>{0x93, 0xFA, 'a', 'b'});
      },
      [](JpegBuilder& b) { b.Dri(4); },
      [](JpegBuilder& b) {
        b.Dqt({{0, 0, FlatQuant(3)}, {0, 1, FlatQuant(4)}});
      },
      [](JpegBuilder& b) { b.Sof0(16, 16, YCbCr420()); },
      [](JpegBuilder& b) { b.DhtStandard(); },
      [](JpegBuilder& b) { b.Sos(YCbCrScan()); },
  };
  AnalysisHarness h;
  for (size_t last = 0; last < segments.size(); ++last) {
    JpegBuilder b;
    b.Soi();
    for (size_t k = 0; k < segments.size(); ++k)
      if (k != last) segments[k](b);
    const auto cutFrom = static_cast<size_t>(b.Size());
    segments[last](b);
    const std::vector<uint8_t> whole = b.Bytes();
    for (size_t n = cutFrom; n <= whole.size(); ++n) {
      h.Analyse(Prefix(whole, n));
      ASSERT_LE(h.Lines().size(), 1000u);
    }
  }
}

// SOI APP0 DQT SOF0 DHT SOS data EOI, then a segment the test cuts.
struct AfterScan {
  std::vector<uint8_t> bytes;
  int32_t at = 0;  // the cut segment's marker
};

AfterScan WithTrailing(const std::function<void(JpegBuilder&)>& add, size_t keep) {
  const MinimalFile f = BuildMinimal();
  JpegBuilder b;
  b.Raw(f.bytes);
  AfterScan a;
  a.at = b.Size();
  add(b);
  a.bytes = Prefix(b.Bytes(), static_cast<size_t>(a.at) + keep);
  return a;
}

TEST(Truncation, CutFrameHeaderStopsWithALengthLine) {
  for (size_t keep : {2u, 3u, 4u, 5u, 9u, 10u, 12u, 18u}) {
    AnalysisHarness h;
    // Every component selects table 0, the one table the file holds.
    const AfterScan a = WithTrailing(
        [](JpegBuilder& b) {
          b.Sof0(16, 16, {{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}});
        },
        keep);
    EXPECT_FALSE(h.Analyse(a.bytes)) << keep;
    // The earlier SOF0 in the file was read; the cut one stops before showing.
    EXPECT_EQ(h.Lines().back(), "フレーム開始（基本・非差分ハフマン）の長さが不正です") << keep;
    EXPECT_EQ(h.Address(h.analysis.LogLineCount - 1), a.at + 2);
    EXPECT_EQ(h.form.SOF0X.text, "8");
    EXPECT_FALSE(h.form.IMAGE.enabled);
    EXPECT_EQ(h.Messages(), Strings{"フレーム開始（基本・非差分ハフマン）が複数あります（ワーニング）"});
  }
}

TEST(Truncation, CutScanHeaderStopsAndKeepsTheDataStart) {
  const MinimalFile f = BuildMinimal();
  for (size_t keep : {2u, 3u, 4u, 5u, 6u, 9u}) {
    AnalysisHarness h;
    h.rec.scan.ScanDataStart = 12345;
    EXPECT_FALSE(h.Analyse(Prefix(f.bytes, static_cast<size_t>(f.sos) + keep))) << keep;
    EXPECT_EQ(h.Lines().back(), "スキャン開始の長さが不正です");
    EXPECT_EQ(h.Address(h.analysis.LogLineCount - 1), f.sos + 2);
    EXPECT_EQ(h.rec.scan.ScanDataStart, 12345);
    EXPECT_EQ(h.form.SOSLEN.text, "");
    EXPECT_EQ(h.Messages(), Strings{"画像終了がありません（ワーニング）"});
  }
}

TEST(Truncation, CutHuffmanTableStops) {
  for (size_t keep : {3u, 5u, 20u, 30u}) {
    AnalysisHarness h;
    const AfterScan a = WithTrailing([](JpegBuilder& b) { b.Dht({StandardChrominanceAc()}); }, keep);
    EXPECT_FALSE(h.Analyse(a.bytes)) << keep;
    EXPECT_EQ(h.Lines().back(), "ハフマンテーブル定義の長さが不正です");
    EXPECT_EQ(h.Address(h.analysis.LogLineCount - 1), a.at + 2);
    EXPECT_TRUE(h.Messages().empty());
  }
}

TEST(Truncation, CutQuantizationTableIsListedAndNotStored) {
  AnalysisHarness h;
  h.rec.quant.QuantValues[1].fill(42);
  const AfterScan a = WithTrailing([](JpegBuilder& b) { b.Dqt(1, FlatQuant(5)); }, 40);
  EXPECT_TRUE(h.Analyse(a.bytes));
  EXPECT_EQ(h.Lines().back(), "量子化テーブル定義の長さが不正です");
  EXPECT_EQ(h.Address(h.analysis.LogLineCount - 1), a.at + 2);
  EXPECT_EQ(h.rec.quant.QuantPageLast, 0);
  EXPECT_EQ(h.rec.quant.QuantValues[1][0], 42);
}

TEST(Truncation, CutApp0ShowsOnlyWhatTheFileHolds) {
  const auto app0 = [](JpegBuilder& b) { b.App0Jfif(1, 72, 72, 1, 1, {0xAA, 0xBB, 0xCC}); };
  {
    AnalysisHarness h;
    const AfterScan a = WithTrailing(app0, 12);  // ends inside the densities
    EXPECT_TRUE(h.Analyse(a.bytes));
    EXPECT_EQ(h.Lines().back(), "アプリケーションデータセグメント０の長さが不正です");
    EXPECT_EQ(h.Address(h.analysis.LogLineCount - 1), a.at + 2);
    // The cut one shows nothing: the fields keep the first APP0's values, but
    // its rest (thumbnail size 0000) is emptied as every APP0 begins.
    EXPECT_EQ(h.form.APP0ID.text, "JFIF");
    EXPECT_EQ(h.form.APP0ETC.text, "");
  }
  {
    AnalysisHarness h;
    const AfterScan a = WithTrailing(app0, 20);  // ends inside the thumbnail
    EXPECT_TRUE(h.Analyse(a.bytes));
    EXPECT_EQ(h.Lines().back(), "アプリケーションデータセグメント０の長さが不正です");
    EXPECT_EQ(h.form.APP0LEN.text, "19");
    EXPECT_EQ(h.form.APP0ETC.text, "0101AABB");
  }
}

TEST(Truncation, CutCommentShowsItsBeginning) {
  AnalysisHarness h;
  const AfterScan a = WithTrailing([](JpegBuilder& b) { b.Com("abcdef"); }, 7);
  EXPECT_TRUE(h.Analyse(a.bytes));
  EXPECT_EQ(h.Lines().back(), "コメントの長さが不正です");
  EXPECT_EQ(h.form.COMLEN.text, "8");
  EXPECT_EQ(h.form.COM.text, "abc");
}

TEST(Truncation, CutRestartIntervalShowsNothing) {
  AnalysisHarness h;
  const AfterScan a = WithTrailing([](JpegBuilder& b) { b.Dri(16); }, 5);
  EXPECT_TRUE(h.Analyse(a.bytes));
  EXPECT_EQ(h.Lines().back(), "リスタートインターバル定義の長さが不正です");
  EXPECT_EQ(h.form.DRILEN.text, "");
  EXPECT_EQ(h.form.DRI.text, "");
}

}  // namespace
}  // namespace vorn::testing
