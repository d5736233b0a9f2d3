// Frame and scan headers: the decoder's limits, what is stored before a check
// refuses it, and what is shown.
#include <gtest/gtest.h>

#include "analysis/analysis_harness.h"
#include "analysis/segment_parsers.h"

namespace vorn::testing {
namespace {

using Strings = std::vector<std::string>;
const std::string kSof0 = "フレーム開始（基本・非差分ハフマン）";

// Parses a header built alone at position `at` (after that many filler bytes).
struct HeaderHarness : AnalysisHarness {
  bool ParseFrame(const JpegBuilder& b, int16_t quantTables = 2) {
    file.bytes = b.Bytes();
    rec.quant.QuantTableCount = quantTables;
    return ParseFrameHeader(ctx, 0) == ParseVerdict::Stop;
  }
  bool ParseScan(const JpegBuilder& b, int32_t at = 0) {
    file.bytes = b.Bytes();
    return ParseScanHeader(ctx, at) == ParseVerdict::Stop;
  }
};

JpegBuilder Frame(int width, int height, const std::vector<FrameComponent>& c, uint8_t code = 0xC0,
                  int precision = 8) {
  JpegBuilder b;
  b.Sof(code, width, height, c, precision);
  return b;
}

TEST(FrameHeader, ColourFourTwoZeroAfterTwoTablesIsShown) {
  HeaderHarness h;
  EXPECT_FALSE(h.ParseFrame(Frame(640, 480, YCbCr420())));
  EXPECT_TRUE(h.Messages().empty());
  const window::WindowModel& form = h.form;
  EXPECT_EQ(form.SOF0LEN.text, "17");
  EXPECT_EQ(form.SOF0P.text, "8");
  EXPECT_EQ(form.SOF0Y.text, "480");
  EXPECT_EQ(form.SOF0X.text, "640");
  EXPECT_EQ(form.SOF0Nf.text, "3");
  const Strings hi = {form.SOF0Hi[0].text, form.SOF0Hi[1].text, form.SOF0Hi[2].text};
  EXPECT_EQ(hi, (Strings{"2", "1", "1"}));
  EXPECT_EQ(form.SOF0Vi[0].text, "2");
  EXPECT_EQ(form.SOF0Ci[2].text, "3");
  EXPECT_EQ(form.SOF0Tqi[1].text, "1");
  const FrameRecord& f = h.rec.frame;
  EXPECT_EQ(f.FrameWidth, 640);
  EXPECT_EQ(f.FrameHeight, 480);
  EXPECT_EQ(f.ComponentCount, 3);
  EXPECT_EQ(f.QuantSelector[2], 1);
}

TEST(FrameHeader, GreyShowsOneComponentAndEmptiesTheOthers) {
  HeaderHarness h;
  for (auto* a : {&h.form.SOF0Ci, &h.form.SOF0Hi, &h.form.SOF0Vi, &h.form.SOF0Tqi})
    for (auto& l : *a) l.text = "x";
  EXPECT_FALSE(h.ParseFrame(Frame(8, 8, Grey())));
  EXPECT_EQ(h.form.SOF0Nf.text, "1");
  EXPECT_EQ(h.form.SOF0Ci[0].text, "1");
  for (auto* a : {&h.form.SOF0Ci, &h.form.SOF0Hi, &h.form.SOF0Vi, &h.form.SOF0Tqi}) {
    EXPECT_EQ((*a)[1].text, "");
    EXPECT_EQ((*a)[2].text, "");
  }
}

TEST(FrameHeader, SizeLimitsAreInclusiveAndUnsigned) {
  struct Case {
    int width, height;
    const char* message;  // nullptr: passes
  } cases[] = {
      {4000, 4000, nullptr},
      {1, 1, nullptr},
      {8, 4001, "の縦サイズが４０００を超えています"},
      {8, 65535, "の縦サイズが４０００を超えています"},
      {8, 0, "の縦サイズが０です"},
      {4001, 8, "の横サイズが４０００を超えています"},
      {40000, 8, "の横サイズが４０００を超えています"},
      {0, 8, "の横サイズが０です"},
      {0, 0, "の縦サイズが０です"},  // height is checked first
  };
  for (const Case& c : cases) {
    HeaderHarness h;
    const bool stop = h.ParseFrame(Frame(c.width, c.height, Grey()));
    EXPECT_EQ(stop, c.message != nullptr) << c.width << "x" << c.height;
    EXPECT_EQ(h.Messages(), c.message ? Strings{kSof0 + c.message} : Strings{});
  }
}

TEST(FrameHeader, EachComponentFieldIsCheckedInOrder) {
  struct Case {
    std::vector<FrameComponent> components;
    int precision;
    const char* message;
  } cases[] = {
      {{{0, 0, 0, 0}}, 8, nullptr},  // identifier 0 and sampling factor 0 pass
      {{{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, 12, "のサンプル密度が８ではありません"},
      {{{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}, {4, 1, 1, 0}}, 8, "の成分数が３を超えています"},
      {{{4, 1, 1, 0}}, 8, "の成分番号が３を超えています"},
      {{{1, 3, 1, 0}}, 8, "の水平サンプリングファクターが２を超えています"},
      {{{1, 4, 4, 0}}, 8, "の水平サンプリングファクターが２を超えています"},
      {{{1, 1, 4, 0}}, 8, "の垂直サンプリングファクターが２を超えています"},
      {{{1, 1, 1, 2}}, 8, "のセレクターに対応した量子化テーブルがありません"},
      {{{1, 1, 1, 0}, {5, 9, 9, 9}}, 8, "の成分番号が３を超えています"},
      // Blocks per MCU, once every component is read: one for a single component.
      {{{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, 8, nullptr},
      {{{1, 2, 2, 0}}, 8, nullptr},
      {{{1, 2, 2, 0}, {2, 1, 2, 1}, {3, 1, 2, 1}}, 8, "のＭＣＵ内ブロック数が６を超えています"},
      {{{1, 2, 2, 0}, {2, 2, 1, 1}, {3, 1, 1, 1}}, 8, "のＭＣＵ内ブロック数が６を超えています"},
      {{{1, 2, 2, 0}, {2, 2, 2, 1}}, 8, "のＭＣＵ内ブロック数が６を超えています"},
      {{{1, 2, 2, 0}, {2, 2, 2, 1}, {4, 1, 1, 1}}, 8, "の成分番号が３を超えています"},
  };
  for (const Case& c : cases) {
    HeaderHarness h;
    const bool stop = h.ParseFrame(Frame(8, 8, c.components, 0xC0, c.precision));
    EXPECT_EQ(stop, c.message != nullptr) << (c.message ? c.message : "pass");
    EXPECT_EQ(h.Messages(), c.message ? Strings{kSof0 + c.message} : Strings{});
  }
}

TEST(FrameHeader, MoreThanSixBlocksPerMcuStopTheAnalysisBeforeAnyDecode) {
  AnalysisHarness h;
  JpegBuilder b;
  b.Soi().App0Jfif().Dqt({{0, 0, FlatQuant(2)}, {0, 1, FlatQuant(3)}});
  b.Sof0(16, 16, {{1, 2, 2, 0}, {2, 1, 2, 1}, {3, 1, 2, 1}}).DhtStandard().Sos(YCbCrScan()).Raw({0x00}).Eoi();
  EXPECT_FALSE(h.Analyse(b.Bytes()));
  EXPECT_EQ(h.Messages(), Strings{kSof0 + "のＭＣＵ内ブロック数が６を超えています"});
  EXPECT_FALSE(h.form.IMAGE.enabled);
  EXPECT_EQ(h.form.SOF0Nf.text, "");
  EXPECT_EQ(h.form.SOSNs.text, "");  // the scan header after it is not parsed
}

TEST(FrameHeader, ProgressiveHeaderIsReportedUnderTheBaselineName) {
  HeaderHarness h;
  EXPECT_TRUE(h.ParseFrame(Frame(8, 8, Grey(), 0xC2, 12)));
  EXPECT_EQ(h.Messages(), Strings{kSof0 + "のサンプル密度が８ではありません"});
}

TEST(FrameHeader, FieldsReadBeforeAFailedCheckStayAndNothingIsShown) {
  HeaderHarness h;
  h.rec.frame.FrameWidth = 123;
  EXPECT_TRUE(h.ParseFrame(Frame(640, 5000, Grey())));
  EXPECT_EQ(h.rec.frame.FrameHeight, 5000);
  EXPECT_EQ(h.rec.frame.FrameWidth, 123);  // not read
  EXPECT_EQ(h.form.SOF0Y.text, "");
  EXPECT_EQ(h.form.SOF0LEN.text, "");
}

TEST(FrameHeader, ImplausibleLengthIsListedAndTheHeaderSkipped) {
  HeaderHarness h;
  JpegBuilder b;
  b.Raw({0x00, 0x00});  // the header at position 2
  b.Segment(0xC2, {8, 0, 8, 0, 8, 1, 1, 0x11, 0}, 0x8011);
  h.file.bytes = b.Bytes();
  h.rec.frame.FrameLength = 99;
  EXPECT_EQ(ParseFrameHeader(h.ctx, 2), ParseVerdict::GoOn);
  EXPECT_EQ(h.Lines(), Strings{"フレーム開始（プロ・非差分ハフマン）の長さが不正です"});
  EXPECT_EQ(h.Address(0), 4);
  EXPECT_EQ(h.rec.frame.FrameLength, 99);
  EXPECT_TRUE(h.Messages().empty());
}

TEST(FrameHeader, SelectorCountsStoredSlotsNotTableIdentifiers) {
  // The file's only DQT defines table 1; the frame selects 1. One slot is
  // stored, slot 0, so selector 1 names nothing.
  AnalysisHarness h;
  JpegBuilder b;
  b.Soi().App0Jfif().Dqt(1, FlatQuant(5)).Sof0(8, 8, {{1, 1, 1, 1}});
  b.Dht({StandardLuminanceDc(), StandardLuminanceAc()}).Sos(GreyScan()).Raw({0}).Eoi();
  EXPECT_FALSE(h.Analyse(b.Bytes()));
  EXPECT_EQ(h.Messages(), Strings{kSof0 + "のセレクターに対応した量子化テーブルがありません"});
}

TEST(FrameHeader, FrameBeforeItsQuantizationTablesIsRefused) {
  AnalysisHarness h;
  JpegBuilder b;
  b.Soi().App0Jfif().Sof0(8, 8, Grey()).Dqt(0, FlatQuant(5));
  b.Dht({StandardLuminanceDc(), StandardLuminanceAc()}).Sos(GreyScan()).Raw({0}).Eoi();
  EXPECT_FALSE(h.Analyse(b.Bytes()));
  EXPECT_EQ(h.Messages(), Strings{kSof0 + "のセレクターに対応した量子化テーブルがありません"});
  EXPECT_FALSE(h.form.IMAGE.enabled);
}

TEST(ScanHeader, ThreeComponentsAreShownAndTheDataStartFollowsTheLength) {
  HeaderHarness h;
  JpegBuilder b;
  b.Raw(std::vector<uint8_t>(20, 0x00)).Sos(YCbCrScan());
  EXPECT_FALSE(h.ParseScan(b, 20));
  const window::WindowModel& form = h.form;
  EXPECT_EQ(form.SOSLEN.text, "12");
  EXPECT_EQ(form.SOSNs.text, "3");
  EXPECT_EQ((Strings{form.SOSCsi[0].text, form.SOSCsi[1].text, form.SOSCsi[2].text}),
            (Strings{"1", "2", "3"}));
  EXPECT_EQ((Strings{form.SOSTdi[0].text, form.SOSTdi[1].text, form.SOSTdi[2].text}),
            (Strings{"0", "1", "1"}));
  EXPECT_EQ((Strings{form.SOSTai[0].text, form.SOSTai[1].text, form.SOSTai[2].text}),
            (Strings{"0", "1", "1"}));
  EXPECT_EQ((Strings{form.SOSSs.text, form.SOSSe.text, form.SOSAh.text, form.SOSAl.text}),
            (Strings{"0", "63", "0", "0"}));
  EXPECT_EQ(h.rec.scan.ScanDataStart, 20 + 14);
  EXPECT_EQ(h.rec.scan.AcTableSelector[1], 1);
}

TEST(ScanHeader, ProgressionFieldsAreShownAsTheyAreAndUnusedComponentsEmptied) {
  HeaderHarness h;
  for (auto& l : h.form.SOSCsi) l.text = "x";
  JpegBuilder b;
  b.Sos(GreyScan(), 1, 5, 2, 1);
  EXPECT_FALSE(h.ParseScan(b));
  EXPECT_EQ((Strings{h.form.SOSSs.text, h.form.SOSSe.text, h.form.SOSAh.text, h.form.SOSAl.text}),
            (Strings{"1", "5", "2", "1"}));
  EXPECT_EQ(h.form.SOSCsi[1].text, "");
  EXPECT_EQ(h.form.SOSCsi[2].text, "");
}

TEST(ScanHeader, ChecksAndTheirMessages) {
  struct Case {
    std::vector<ScanComponent> components;
    const char* message;
  } cases[] = {
      {{{1, 0, 0}, {2, 1, 1}, {3, 1, 1}, {4, 1, 1}}, "の成分数が３を超えています"},
      {{{4, 0, 0}}, "の成分セレクタが３を超えています"},
      {{{0, 2, 2}}, nullptr},
      {{{1, 3, 0}}, "のＤＣ成分用ハフマンテーブルセレクタが２を超えています"},
      {{{1, 0, 3}}, "のＡＣ成分用ハフマンテーブルセレクタが２を超えています"},
      {{{1, 0, 0}, {2, 15, 15}}, "のＤＣ成分用ハフマンテーブルセレクタが２を超えています"},
  };
  for (const Case& c : cases) {
    HeaderHarness h;
    JpegBuilder b;
    b.Sos(c.components);
    EXPECT_EQ(h.ParseScan(b), c.message != nullptr);
    EXPECT_EQ(h.Messages(), c.message ? Strings{std::string("スキャン開始") + c.message} : Strings{});
  }
}

TEST(ScanHeader, ImplausibleLengthIsListedWithoutStopping) {
  HeaderHarness h;
  JpegBuilder b;
  b.Segment(0xDA, {1, 1, 0, 0, 63, 0}, 0x9000);
  EXPECT_FALSE(h.ParseScan(b));
  EXPECT_EQ(h.Lines(), Strings{"スキャン開始の長さが不正です"});
  EXPECT_EQ(h.Address(0), 2);
  EXPECT_EQ(h.form.SOSLEN.text, "");
}

}  // namespace
}  // namespace vorn::testing
