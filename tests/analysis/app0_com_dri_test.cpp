// APP0, COM and DRI segments: shown only, findings as LOG lines.
#include <gtest/gtest.h>

#include "analysis/analysis_harness.h"
#include "analysis/segment_parsers.h"

namespace vorn::testing {
namespace {

using Strings = std::vector<std::string>;

struct ShowHarness : AnalysisHarness {
  void Load(const JpegBuilder& b) { file.bytes = b.Bytes(); }
};

TEST(App0Segment, StandardJfifFields) {
  ShowHarness h;
  JpegBuilder b;
  b.App0Jfif(1, 72, 72);
  h.Load(b);
  ParseApp0Segment(h.ctx, 0);
  const window::WindowModel& form = h.form;
  EXPECT_EQ((Strings{form.APP0LEN.text, form.APP0ID.text, form.APP0v1.text, form.APP0v2.text, form.APP0U.text,
                     form.APP0Xd.text, form.APP0Yd.text, form.APP0ETC.text}),
            (Strings{"16", "JFIF", "1", "1", "1", "72", "72", "0000"}));
  EXPECT_TRUE(h.Lines().empty());
}

TEST(App0Segment, ThumbnailBytesFollowAsHexadecimalDigits) {
  ShowHarness h;
  JpegBuilder b;
  b.App0Jfif(0, 65535, 300, 2, 1, {0xAB, 0x00, 0x12, 0xFF, 0x0F, 0x80});
  h.Load(b);
  ParseApp0Segment(h.ctx, 0);
  EXPECT_EQ(h.form.APP0LEN.text, "22");
  EXPECT_EQ(h.form.APP0ETC.text, "0201AB0012FF0F80");
  EXPECT_EQ(h.form.APP0Xd.text, "65535");  // densities are unsigned
  EXPECT_EQ(h.form.APP0Yd.text, "300");
}

TEST(App0Segment, OtherIdentifiersAreListedAndTheFieldsStillShown) {
  ShowHarness h;
  JpegBuilder b;
  b.Raw({0x00, 0x00, 0x00});
  b.App(0, {'J', 'F', 'X', 'X', 0, 0x10, 1, 2, 3, 4, 5, 6, 7});
  h.Load(b);
  ParseApp0Segment(h.ctx, 3);
  EXPECT_EQ(h.Lines(), Strings{"アプリケーションデータセグメント０がJFIFではありません"});
  EXPECT_EQ(h.Address(0), 3 + 4);
  EXPECT_EQ(h.form.APP0ID.text, "JFXX");
  EXPECT_EQ(h.form.APP0v1.text, "16");  // read at the JFIF positions
  EXPECT_EQ(h.form.APP0Yd.text, std::to_string(5 * 256 + 6));
  EXPECT_EQ(h.form.APP0ETC.text, "07");
}

TEST(App0Segment, IdentifierEndsAtAZeroByte) {
  ShowHarness h;
  JpegBuilder b;
  b.App(0, {'A', 'B', 0, 'C', 0, 1, 2, 3, 0, 1, 0, 1, 0, 0});
  h.Load(b);
  ParseApp0Segment(h.ctx, 0);
  EXPECT_EQ(h.form.APP0ID.text, "AB");
  EXPECT_EQ(h.Lines(), Strings{"アプリケーションデータセグメント０がJFIFではありません"});
}

TEST(App0Segment, ImplausibleLengthShowsNothing) {
  ShowHarness h;
  h.form.APP0ETC.text = "old";
  JpegBuilder b;
  b.Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}, 0x8010);
  h.Load(b);
  ParseApp0Segment(h.ctx, 0);
  EXPECT_EQ(h.Lines(), Strings{"アプリケーションデータセグメント０の長さが不正です"});
  EXPECT_EQ(h.Address(0), 2);
  EXPECT_EQ(h.form.APP0ETC.text, "");
  EXPECT_EQ(h.form.APP0ID.text, "");
}

TEST(CommentSegment, ShiftJisTextIsShownAsText) {
  ShowHarness h;
  JpegBuilder b;
  b.Com(std::vector<uint8_t>{0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA});  // 日本語 in code page 932
  h.Load(b);
  ParseCommentSegment(h.ctx, 0);
  EXPECT_EQ(h.form.COMLEN.text, "8");
  EXPECT_EQ(h.form.COM.text, "日本語");
}

TEST(CommentSegment, HalfWidthKanaWindowsExtensionsAndBrokenBytes) {
  ShowHarness h;
  // ｱ (B1), ① (87 40, a code page 932 extension), A, a lead byte without its
  // second byte at the end.
  JpegBuilder b;
  b.Com(std::vector<uint8_t>{0xB1, 0x87, 0x40, 'A', 0x82});
  h.Load(b);
  ParseCommentSegment(h.ctx, 0);
  EXPECT_EQ(h.form.COM.text, "ｱ①A\xEF\xBF\xBD");
}

TEST(CommentSegment, ZeroBytesAndWhatFollowsThemAreKept) {
  ShowHarness h;
  JpegBuilder b;
  // As ffmpeg ends its name, then a Shift_JIS word after the 00.
  b.Com(std::vector<uint8_t>{'L', 'a', 'v', 'c', 0x00, 0x93, 0xFA, 0x00});
  h.Load(b);
  ParseCommentSegment(h.ctx, 0);
  EXPECT_EQ(h.form.COMLEN.text, "10");
  EXPECT_EQ(h.form.COM.text, std::string("Lavc\0日\0", 9));
}

TEST(CommentSegment, TheLastOfTwoCommentsStays) {
  AnalysisHarness h;
  JpegBuilder b;
  b.Soi().App0Jfif().Com("first").Com("second").Dqt(0, FlatQuant(1)).Sof0(8, 8, Grey());
  b.Dht({StandardLuminanceDc(), StandardLuminanceAc()}).Sos(GreyScan()).Raw({0}).Eoi();
  EXPECT_TRUE(h.Analyse(b.Bytes()));
  EXPECT_EQ(h.form.COM.text, "second");
  EXPECT_EQ(h.Messages(), Strings{"コメントが複数あります（ワーニング）"});
}

TEST(CommentSegment, ImplausibleLengthIsListed) {
  ShowHarness h;
  JpegBuilder b;
  b.Segment(0xFE, {'x'}, 0xF003);
  h.Load(b);
  ParseCommentSegment(h.ctx, 0);
  EXPECT_EQ(h.Lines(), Strings{"コメントの長さが不正です"});
  EXPECT_EQ(h.form.COMLEN.text, "");
}

TEST(RestartInterval, LengthAndIntervalAreShownUnchecked) {
  struct Case {
    std::vector<uint8_t> bytes;
    const char* length;
    const char* interval;
  } cases[] = {
      {{0xFF, 0xDD, 0x00, 0x04, 0x00, 0x10}, "4", "16"},
      {{0xFF, 0xDD, 0x00, 0x04, 0x00, 0x00}, "4", "0"},
      {{0xFF, 0xDD, 0x00, 0x04, 0xFF, 0xFF}, "4", "65535"},
      {{0xFF, 0xDD, 0x00, 0x06, 0x01, 0x00, 0x00, 0x00}, "6", "256"},
  };
  for (const Case& c : cases) {
    ShowHarness h;
    h.file.bytes = c.bytes;
    ParseRestartInterval(h.ctx, 0);
    EXPECT_EQ(h.form.DRILEN.text, c.length);
    EXPECT_EQ(h.form.DRI.text, c.interval);
    EXPECT_TRUE(h.Lines().empty());
  }
}

TEST(RestartInterval, ImplausibleLengthIsListed) {
  ShowHarness h;
  h.file.bytes = {0xFF, 0xDD, 0x80, 0x04, 0x00, 0x10};
  ParseRestartInterval(h.ctx, 0);
  EXPECT_EQ(h.Lines(), Strings{"リスタートインターバル定義の長さが不正です"});
  EXPECT_EQ(h.Address(0), 2);
  EXPECT_EQ(h.form.DRI.text, "");
}

}  // namespace
}  // namespace vorn::testing
