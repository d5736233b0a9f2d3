#include "app/segment_list.h"

#include <gtest/gtest.h>

#include "analysis/marker_analysis.h"
#include "app/analyze.h"
#include "app/inspect_handlers.h"
#include "app/render.h"
#include "dump/dump_harness.h"
#include "inspect/correction_preview.h"
#include "support/jpeg_builder.h"
#include "support/libjpeg_peer.h"

namespace vorn::testing {
namespace {

constexpr const char* kAskRestart = "解析開始位置を変更しますか";
constexpr const char* kNotAMarker = "マーカー（FFデータ）位置を指定してください";

TEST(SegmentList, ClickOnAFindingLineJumpsToItsField) {
  DumpHarness h;
  h.Open(CountingBytes(600));
  h.List("0", {0x000, 0x1A3});
  h.form.LOG.Click(1);
  EXPECT_EQ(h.dump.DumpPage, 1);
  EXPECT_EQ(h.dump.SelectedCell, 0xA3);
  EXPECT_TRUE(h.Highlighted(0xA3));
  EXPECT_EQ(h.form.DMPI.text, "A3");
  EXPECT_EQ(h.form.DMPH[0].text, "100");
}

TEST(SegmentList, LinesAndPositionsOutsideTheListOrFileAreHarmless) {
  DumpHarness h;
  h.Open(CountingBytes(40));
  h.List("0", {0x10, 0x3000, -5});
  LOG_Click(h.app, 7);  // no such line
  LOG_Click(h.app, -1);
  LOG_Click(h.app, 1000);
  EXPECT_EQ(h.dump.DumpPage, 0);
  EXPECT_EQ(h.dump.SelectedCell, 0);
  h.form.LOG.Click(2);  // a negative position shows nothing
  EXPECT_EQ(h.dump.DumpPage, 0);
  EXPECT_EQ(h.dump.SelectedCell, 0);
  h.form.LOG.DblClick(2);  // and restarts nothing
  EXPECT_EQ(h.dialogs.Texts(), (std::vector<std::string>{kAskRestart, kNotAMarker}));
  // A position past the end shows its empty page; typing there stores nothing.
  h.form.LOG.Click(1);
  EXPECT_EQ(h.dump.DumpPage, 0x30);
  EXPECT_EQ(h.form.DMPI.text, "");
  h.Type("12");
  h.Leave();
  EXPECT_EQ(h.file.bytes, CountingBytes(40));
}

TEST(SegmentList, DoubleClickOnAPositionThatIsNoMarker) {
  DumpHarness h;
  std::vector<uint8_t> bytes = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0xFF};
  h.Open(bytes);
  h.analysis.AnalysisStart = 0;
  h.form.STANA.text = "0";
  h.List("0", {0, 5, 7});
  for (int line : {1, 2}) {  // a length field; an FF that is the last byte
    h.dialogs.messages.clear();
    h.form.LOG.Click(line);
    h.form.LOG.DblClick(line);
    EXPECT_EQ(h.dialogs.Texts(), (std::vector<std::string>{kAskRestart, kNotAMarker})) << line;
    EXPECT_EQ(h.analysis.AnalysisStart, 0);
    EXPECT_EQ(h.form.STANA.text, "0");
    EXPECT_EQ(h.form.LOG.Count(), 3);
    EXPECT_EQ(h.file.bytes, bytes);
  }
  EXPECT_EQ(h.dialogs.messages[0].buttons, window::Buttons::YesNo);
  EXPECT_EQ(h.dialogs.messages[1].buttons, window::Buttons::Ok);
}

TEST(SegmentList, DoubleClickOnATraceLineOnlyJumps) {
  DumpHarness h;
  h.Open(std::vector<uint8_t>(300, 0xFF));
  h.List("", {0x120});
  h.form.LOG.Click(0);
  h.form.LOG.DblClick(0);
  EXPECT_EQ(h.dump.DumpPage, 1);
  EXPECT_EQ(h.MessageCount(), 0u);
  EXPECT_EQ(h.form.LOG.Count(), 1);
}

TEST(SegmentList, CandidateLinesWithoutAListedCandidateDoNothing) {
  DumpHarness h;
  h.Open(std::vector<uint8_t>(16, 0x00));
  h.List("1", {1, 2, 3, 4, 5, 6, 7, 8, 9});
  for (int i = 0; i < 9; ++i) h.inspect.BitCandidate[i] = BitCandidateEntry{1, i + 1, 0, 0};
  h.inspect.BitCandidate[0].Position = 16;  // past the end
  h.inspect.BitCandidate[1].BitIndex = 8;   // no such bit
  for (int line : {0, 1, 8}) {              // entry 8 is never a listed candidate
    h.form.LOG.Click(line);
    h.form.LOG.DblClick(line);
  }
  EXPECT_EQ(h.file.bytes, std::vector<uint8_t>(16, 0x00));
  EXPECT_TRUE(h.dump.UndoStack.Empty());
  EXPECT_EQ(h.form.LOG.Count(), 9);
}

TEST(SegmentList, PreviewClickLeavesTheFileImageAlone) {
  DumpHarness h;
  h.Open(std::vector<uint8_t>(64, 0x00));
  h.List("1", {0x20});
  h.inspect.BitCandidate[0] = BitCandidateEntry{1, 0x20, 2, 0};
  h.decode.Geometry = McuGeometry{8, 8, 1, 1};
  h.form.LOG.Click(0);
  EXPECT_EQ(h.file.bytes, std::vector<uint8_t>(64, 0x00));
  EXPECT_TRUE(h.dump.UndoStack.Empty());
  EXPECT_EQ(h.dump.SelectedCell, 0x20);
}

// Marker lines from a real analysis of a small baseline file.
struct AnalysedFile : DumpHarness {
  AnalysedFile() {
    FillMarkerName(analysis);
    file.bytes = FlatBaselineJpeg(16, 16);
    analysis.AnalysisStart = 0;
    form.STANA.text = "0";
  }
};

TEST(SegmentList, DoubleClickOnTheSoiLineAnsweredYesAnalysesFromThere) {
  AnalysedFile h;
  ASSERT_TRUE(AnalyzeMarkers(h.app));
  const std::vector<std::string> before = h.form.LOG.lines;
  ASSERT_EQ(h.form.LOG.tag, "0");
  ASSERT_EQ(h.analysis.LineAddress[0], 0);
  h.form.LOG.Click(0);
  h.form.LOG.DblClick(0);
  EXPECT_EQ(h.dialogs.Texts(), std::vector<std::string>{kAskRestart});
  EXPECT_EQ(h.analysis.AnalysisStart, 0);
  EXPECT_EQ(h.form.STANA.text, "0");
  EXPECT_EQ(h.form.LOG.lines, before);
  EXPECT_EQ(h.dump.DumpPage, 0);
}

TEST(SegmentList, DoubleClickAnsweredNoChangesNothing) {
  AnalysedFile h;
  ASSERT_TRUE(AnalyzeMarkers(h.app));
  h.form.LOG.Click(1);
  const int32_t selected = h.dump.SelectedCell;
  h.dialogs.answers.push_back(window::Answer::No);
  h.form.LOG.DblClick(1);
  EXPECT_EQ(h.dialogs.Texts(), std::vector<std::string>{kAskRestart});
  EXPECT_EQ(h.analysis.AnalysisStart, 0);
  EXPECT_EQ(h.dump.SelectedCell, selected);
}

TEST(SegmentList, RestartPastTheSoiShowsTheStartInHexAndAnalysesFromThere) {
  AnalysedFile h;
  ASSERT_TRUE(AnalyzeMarkers(h.app));
  const int32_t app0 = h.analysis.LineAddress[1];
  ASSERT_EQ(app0, 2);  // right after the SOI
  h.dialogs.messages.clear();
  EXPECT_EQ(ChangeAnalysisStart(h.app, app0, false), StartChange::Completed);
  EXPECT_EQ(h.dialogs.Texts(), (std::vector<std::string>{kAskRestart, "画像開始がありません（ワーニング）"}));
  EXPECT_EQ(h.analysis.AnalysisStart, 2);
  EXPECT_EQ(h.form.STANA.text, "2");
  EXPECT_EQ(h.form.LOG.lines.at(0).substr(0, 9), "00000002:");
}

TEST(CorrectionPreview, ScaleComesFromTheLastCharacterOfTheCaption) {
  EXPECT_EQ(PreviewScale("補正ｲﾒｰｼﾞx1"), 1);
  EXPECT_EQ(PreviewScale("補正ｲﾒｰｼﾞx2"), 2);
  EXPECT_EQ(PreviewScale(""), 2);
}

// A colour that differs for every (x, y, m).
uint32_t Colour(int x, int y, int m) {
  return 0x010000u * (m + 1) + 0x000100u * y + x + 1;
}

McuBuffer FilledBuffer(int w, int h) {
  McuBuffer b;
  b.Reset(w, h, 3);
  for (int m = 0; m < 3; ++m)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) b.At(x, y, m) = Colour(x, y, m);
  return b;
}

TEST(CorrectionPreview, SixteenSquareMcusAtScaleTwoFillThePictureExactly) {
  window::Picture p;
  ASSERT_TRUE(p.Resize(96, 32));
  DrawCorrectionPreview(FilledBuffer(16, 16), p, 2);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 96; ++x) {
      const int m = x / 32;  // one MCU is 32 pixels wide at scale 2
      ASSERT_EQ(p.Pixel(x, y), Colour((x % 32) / 2, y / 2, m)) << x << "," << y;
    }
}

TEST(CorrectionPreview, EightSquareMcusAtScaleOneFillTheTopLeftAndKeepTheRest) {
  window::Picture p;
  ASSERT_TRUE(p.Resize(96, 32));
  constexpr uint32_t kEarlier = 0xABCDEF;  // left by an earlier preview
  p.FillRect(0, 0, 96, 32, kEarlier);
  DrawCorrectionPreview(FilledBuffer(8, 8), p, 1);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 96; ++x) {
      const uint32_t expected = x < 24 && y < 8 ? Colour(x % 8, y, x / 8) : kEarlier;
      ASSERT_EQ(p.Pixel(x, y), expected) << x << "," << y;
    }
}

// A decoded flat file with the MCU pointer on its first MCU and one candidate:
// a bit of the first scan byte that is already 1, so that the trial byte equals
// the file's and the preview must show the picture's own first three MCUs.
struct DecodedFlatFile : AnalysedFile {
  explicit DecodedFlatFile(int width, int height, int components) {
    file.bytes = FlatBaselineJpeg(width, height, components);
    EXPECT_TRUE(AnalyzeMarkers(app));
    RenderImage(app);
    const int32_t first = rec.scan.ScanDataStart;
    inspect.McuPointer = McuPointerState{first, 0, 0, 0};
    int bit = 0;
    while (bit < 7 && (file.bytes[static_cast<size_t>(first)] & (0x80 >> bit)) == 0) ++bit;
    List("1", {first});
    inspect.BitCandidate[0] = BitCandidateEntry{0, first, bit, 0};
    reference = DecodeWithLibjpeg(file.bytes);
    EXPECT_TRUE(reference.ok);
    form.Picture2.Clear();
  }
  uint32_t ReferencePixel(int x, int y) const {
    const uint8_t* p = &reference.rgb[(static_cast<size_t>(y) * reference.width + x) * 3];
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  }
  DecodedPicture reference;
};

TEST(CorrectionPreview, FourTwoZeroAtScaleTwoShowsTheFirstThreeMcus) {
  DecodedFlatFile h(64, 32, 3);  // MCUs of 16 x 16, four to a row
  const ByteStore before = h.file.bytes;
  h.form.LIMAGE.caption = "補正ｲﾒｰｼﾞx2";
  h.form.LOG.Click(0);
  EXPECT_EQ(h.file.bytes, before);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 96; ++x)
      ASSERT_EQ(h.form.Picture2.Pixel(x, y), h.ReferencePixel(x / 2, y / 2)) << x << "," << y;
}

TEST(CorrectionPreview, GreyAtScaleOneFillsTheTopLeftOnly) {
  DecodedFlatFile h(32, 8, 1);
  h.form.LIMAGE.caption = "補正ｲﾒｰｼﾞx1";
  h.form.LOG.Click(0);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 96; ++x) {
      const uint32_t expected = x < 24 && y < 8 ? h.ReferencePixel(x, y) : 0u;
      ASSERT_EQ(h.form.Picture2.Pixel(x, y), expected) << x << "," << y;
    }
}

}  // namespace
}  // namespace vorn::testing
