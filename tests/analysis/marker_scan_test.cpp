// The marker scan: what is listed, in which words, where the scan begins and ends,
// and the start and length checks that follow it.
#include <gtest/gtest.h>

#include "analysis/analysis_harness.h"

namespace vorn::testing {
namespace {

using Strings = std::vector<std::string>;

TEST(MarkerName, UnnamedCodesReadErrorAndApplicationSegmentsCountInFullWidth) {
  AnalysisState a;
  FillMarkerName(a);
  // Only 02 and BF of the reserved range are named; 03 .. BE stay errors.
  for (int c = 0x03; c <= 0xBE; ++c) EXPECT_EQ(a.MarkerName[c], "エラー") << std::hex << c;
  EXPECT_EQ(a.MarkerName[0x02], "リザーブ");
  EXPECT_EQ(a.MarkerName[0xBF], "リザーブ");
  EXPECT_EQ(a.MarkerName[0xFF], "エラー");
  EXPECT_EQ(a.MarkerName[0xC8], "リザーブ");
  EXPECT_EQ(a.MarkerName[0xCC], "算術符号化条件定義");
  EXPECT_EQ(a.MarkerName[0xD3], "リスタート");
  EXPECT_EQ(a.MarkerName[0xE9], "アプリケーションデータセグメント９");
  EXPECT_EQ(a.MarkerName[0xEA], "アプリケーションデータセグメント１０");
  EXPECT_EQ(a.MarkerName[0xEF], "アプリケーションデータセグメント１５");
  EXPECT_EQ(a.MarkerName[0xFD], "リザーブ");
}

TEST(MarkerScan, MinimalBaselineListsEachMarkerOnceWithoutMessages) {
  AnalysisHarness h;
  const MinimalFile f = BuildMinimal();
  ASSERT_TRUE(h.Analyse(f.bytes));
  EXPECT_TRUE(h.Messages().empty());
  const Strings expected = {
      "00000000:画像開始が見つかりました",
      FoundLine(f.app0, "アプリケーションデータセグメント０"),
      FoundLine(f.dqt, "量子化テーブル定義"),
      FoundLine(f.sof, "フレーム開始（基本・非差分ハフマン）"),
      FoundLine(f.dht, "ハフマンテーブル定義"),
      FoundLine(f.sos, "スキャン開始"),
      FoundLine(f.eoi, "画像終了"),
  };
  EXPECT_EQ(h.Lines(), expected);
  EXPECT_EQ(h.form.LOG.tag, "0");
  EXPECT_EQ(h.analysis.LogLineCount, 7);
  const int32_t positions[] = {0, f.app0, f.dqt, f.sof, f.dht, f.sos, f.eoi};
  for (int n = 0; n < 7; ++n) {
    EXPECT_EQ(h.Address(n), positions[n]);
    EXPECT_EQ(h.analysis.MarkerTable[n].Position, positions[n]);
  }
  EXPECT_EQ(h.analysis.MarkerTable[5].Code, 0xDA);
  EXPECT_EQ(h.analysis.ScanDataEnd, f.eoi - 1);
  EXPECT_TRUE(h.form.IMAGE.enabled);
  EXPECT_FALSE(h.app.ImageInvalid);
}

TEST(MarkerScan, StuffedZerosFillBytesAndRestartMarkersAreNeverListed) {
  AnalysisHarness h;
  JpegBuilder b;
  b.Raw({0xFF, 0x00, 0xFF, 0xFF});
  for (int n = 0; n < 8; ++n) b.Rst(n);
  const int32_t error = b.Size() + 2;  // FF FF FF 05: found at the last FF
  b.Raw({0xFF, 0xFF, 0xFF, 0x05, 0x12});
  const int32_t reserved = b.Size();
  b.Raw({0xFF, 0xF3, 0xFF});  // a lone FF at the very end starts nothing
  h.Analyse(b.Bytes());
  EXPECT_EQ(h.Lines()[0], FoundLine(error, "エラー"));
  EXPECT_EQ(h.Lines()[1], FoundLine(reserved, "リザーブ"));
  EXPECT_EQ(h.analysis.MarkerCount[0xFF], 0);
  EXPECT_EQ(h.analysis.MarkerCount[0x00], 0);
  for (int c = 0xD0; c <= 0xD7; ++c) EXPECT_EQ(h.analysis.MarkerCount[c], 0);
}

TEST(MarkerScan, FindsMarkersInsidePayloadsAndAfterTheScan) {
  AnalysisHarness h;
  MinimalFile f = BuildMinimal();
  // An FF D9 inside the comment and an APP1 after the EOI are both listed.
  JpegBuilder b;
  b.Raw(std::vector<uint8_t>(f.bytes.begin(), f.bytes.begin() + f.sos));
  const int32_t com = b.Size();
  b.Com(std::vector<uint8_t>{'a', 0xFF, 0xD9, 'b'});
  b.Raw(std::vector<uint8_t>(f.bytes.begin() + f.sos, f.bytes.end()));
  const int32_t app1 = b.Size();
  b.App(1, {1, 2});
  h.Analyse(b.Bytes());
  const Strings& lines = h.Lines();
  EXPECT_EQ(lines[5], FoundLine(com, "コメント"));
  EXPECT_EQ(lines[6], FoundLine(com + 5, "画像終了"));
  EXPECT_EQ(lines[9], FoundLine(app1, "アプリケーションデータセグメント１"));
  // Two EOI markers: the last one found ends the scan data.
  EXPECT_EQ(h.Messages(), Strings{"画像終了が複数あります（ワーニング）"});
  EXPECT_EQ(h.analysis.ScanDataEnd, app1 - 3);
}

TEST(MarkerScan, TheThousandthMarkerEndsTheAnalysis) {
  AnalysisHarness h;
  JpegBuilder b;
  b.Soi();
  for (int n = 0; n < 999; ++n) b.Marker(0x01);
  b.Marker(0x02);  // never listed: the scan has stopped
  EXPECT_FALSE(h.Analyse(b.Bytes()));
  EXPECT_EQ(h.Messages(), Strings{"マーカーが９９９個を超えました（中止）"});
  ASSERT_EQ(h.Lines().size(), 1000u);
  EXPECT_EQ(h.Lines()[999], FoundLine(2 * 999, "算術符号テンポラリ"));
  EXPECT_EQ(h.Address(999), 2 * 999);
  EXPECT_EQ(h.analysis.MarkerCount[0x01], 999);
  EXPECT_EQ(h.analysis.MarkerCount[0x02], 0);
  EXPECT_FALSE(h.form.IMAGE.enabled);
}

TEST(MarkerScan, NineHundredNinetyNineMarkersGoOnToTheCountChecks) {
  AnalysisHarness h;
  JpegBuilder b;
  b.Soi();
  for (int n = 0; n < 998; ++n) b.Marker(0x01);
  EXPECT_FALSE(h.Analyse(b.Bytes()));
  EXPECT_EQ(h.Lines().size(), 999u);
  EXPECT_EQ(h.Messages(), (Strings{"アプリケーションデータセグメント０がありません（ワーニング）",
                                   "量子化テーブル定義がありません（中止）"}));
}

TEST(MarkerScan, MessageLinesNeverGrowTheListPastAThousand) {
  AnalysisHarness h;
  const MinimalFile f = BuildMinimal();
  JpegBuilder b;
  b.Raw(std::vector<uint8_t>(f.bytes.begin(), f.bytes.begin() + f.sos));
  // 990 bare DQT markers: each fails the length check and is parsed again,
  // which would add close to 2000 message lines.
  for (int n = 0; n < 990; ++n) b.Marker(0xDB);
  b.Raw(std::vector<uint8_t>(f.bytes.begin() + f.sos, f.bytes.end()));
  h.Analyse(b.Bytes());
  EXPECT_EQ(h.Lines().size(), 1000u);
  EXPECT_EQ(h.analysis.LogLineCount, 1000);
}

TEST(MarkerScan, StartPastTheSoiSkipsItButTheStartCheckLooksAtTheFile) {
  AnalysisHarness h;
  const MinimalFile f = BuildMinimal();
  EXPECT_TRUE(h.Analyse(f.bytes, 2));
  EXPECT_EQ(h.Lines().front(), FoundLine(f.app0, "アプリケーションデータセグメント０"));
  EXPECT_EQ(h.Messages(), Strings{"画像開始がありません（ワーニング）"});
  EXPECT_EQ(h.Lines().size(), 6u);  // the file begins with FF D8: no start line

  // Garbage before the SOI: the start check reports the first two bytes of the
  // file even though the scan starts at the SOI.
  std::vector<uint8_t> shifted = {0x00, 0x11};
  shifted.insert(shifted.end(), f.bytes.begin(), f.bytes.end());
  EXPECT_TRUE(h.Analyse(shifted, 2));
  EXPECT_EQ(h.Lines()[7], "画像開始のマーカーが最初にありません");
  EXPECT_EQ(h.Address(7), 0);
  EXPECT_EQ(h.analysis.LogLineCount, 8);
}

TEST(MarkerScan, OneByteFileWarnsTwiceThenStopsAtTheMissingQuantizationTable) {
  AnalysisHarness h;
  EXPECT_FALSE(h.Analyse({0xFF}));
  EXPECT_TRUE(h.Lines().empty());
  EXPECT_EQ(h.form.LOG.tag, "");
  EXPECT_EQ(h.Messages(), (Strings{"画像開始がありません（ワーニング）",
                                   "アプリケーションデータセグメント０がありません（ワーニング）",
                                   "量子化テーブル定義がありません（中止）"}));
}

TEST(LengthCheck, AllFourTablesInOneSegmentOf418BytesPass) {
  AnalysisHarness h;
  JpegBuilder b;
  b.Soi().App0Jfif().Dqt({{0, 0, FlatQuant(2)}, {0, 1, FlatQuant(3)}}).Sof0(16, 16, YCbCr420());
  const int32_t dht = b.Size();
  b.DhtStandard().Sos(YCbCrScan()).Raw({0x00}).Eoi();
  EXPECT_TRUE(h.Analyse(b.Bytes()));
  EXPECT_EQ(h.Lines().size(), 7u);
  EXPECT_EQ(h.Lines()[4], FoundLine(dht, "ハフマンテーブル定義"));
}

TEST(LengthCheck, ReportsSegmentsNotFollowedByAMarkerAndStillParsesThem) {
  AnalysisHarness h;
  const MinimalFile f = BuildMinimal();
  std::vector<uint8_t> bytes = f.bytes;
  bytes[f.app0 + 3] = 17;  // one byte too long: lands on the DQT's second byte
  // A second SOI straight after the first has no length: the bytes after it are
  // FF E0, far beyond the file.
  bytes.insert(bytes.begin() + 2, {0xFF, 0xD8});
  EXPECT_TRUE(h.Analyse(bytes));
  const Strings& lines = h.Lines();
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[8], "画像開始のパラメータ長が不正です");
  EXPECT_EQ(h.Address(8), 2 + 3);
  EXPECT_EQ(lines[9], "アプリケーションデータセグメント０のパラメータ長が不正です");
  EXPECT_EQ(h.Address(9), f.app0 + 2 + 3);
  EXPECT_EQ(h.form.APP0LEN.text, "17");  // parsed all the same
  EXPECT_EQ(h.Messages(), Strings{"画像開始が複数あります（ワーニング）"});
}

TEST(LengthCheck, StopsAtTheFirstScanHeaderAndSkipsTheFirstEntry) {
  AnalysisHarness h;
  MinimalFile f = BuildMinimal();
  std::vector<uint8_t> bytes(f.bytes.begin() + 2, f.bytes.end());  // no SOI: APP0 is entry 0
  bytes[3] = 40;                                                   // APP0 length wrong, not checked
  bytes[f.sos - 2 + 3] = 40;                                       // SOS length wrong, not checked
  bytes.insert(bytes.end(), {0xFF, 0xDB, 0x00, 0x09});             // DQT after the scan, not checked
  h.Analyse(bytes);
  for (const std::string& line : h.Lines()) EXPECT_EQ(line.find("パラメータ長"), std::string::npos) << line;
}

TEST(LengthCheck, ALengthReachingExactlyTheEndOfTheFileIsReported) {
  AnalysisHarness h;
  const MinimalFile f = BuildMinimal();
  // A COM before the SOS whose length covers the rest of the file: no marker
  // follows it, because nothing follows it.
  std::vector<uint8_t> bytes(f.bytes.begin(), f.bytes.begin() + f.sos);
  const auto com = static_cast<int32_t>(bytes.size());
  bytes.insert(bytes.end(), {0xFF, 0xFE, 0, 0});
  bytes.insert(bytes.end(), f.bytes.begin() + f.sos, f.bytes.end());
  const auto length = static_cast<int>(bytes.size()) - com - 2;
  bytes[com + 2] = static_cast<uint8_t>(length >> 8);
  bytes[com + 3] = static_cast<uint8_t>(length & 0xFF);
  h.Analyse(bytes);
  ASSERT_EQ(h.Lines().size(), 9u);
  EXPECT_EQ(h.Lines()[8], "コメントのパラメータ長が不正です");
  EXPECT_EQ(h.Address(8), com + 3);

  // One byte shorter, the length lands on the FF of the EOI.
  bytes[com + 3] = static_cast<uint8_t>((length - 2) & 0xFF);
  h.Analyse(bytes);
  EXPECT_EQ(h.Lines().size(), 8u);
}

}  // namespace
}  // namespace vorn::testing
