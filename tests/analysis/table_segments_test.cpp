// Quantization and Huffman tables: their checks, the stores, the code listing and
// the page buttons.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "analysis/analysis_harness.h"
#include "analysis/bit_string.h"
#include "analysis/segment_parsers.h"
#include "analysis/table_pages.h"

namespace vorn::testing {
namespace {

using Strings = std::vector<std::string>;

// Parses one segment built alone at position 0, with the store counter given.
struct SegmentHarness : AnalysisHarness {
  void ParseQuant(const JpegBuilder& b, int16_t count = 0) {
    file.bytes = b.Bytes();
    rec.quant.QuantTableCount = count;
    ParseQuantSegment(ctx, 0);
  }
  bool ParseHuff(const JpegBuilder& b, int16_t count = 0) {
    file.bytes = b.Bytes();
    rec.huff.HuffTableCount = count;
    return ParseHuffmanSegment(ctx, 0) == ParseVerdict::Stop;
  }
};

// A complete grey file whose tables are given by the caller.
std::vector<uint8_t> FileWithTables(const std::function<void(JpegBuilder&)>& tables) {
  JpegBuilder b;
  b.Soi().App0Jfif();
  tables(b);
  b.Sof0(8, 8, Grey()).Sos(GreyScan()).Raw({0}).Eoi();
  return b.Bytes();
}

TEST(QuantSegment, OneSegmentWithTwoTablesFillsTwoSlotsAndPagesThroughThem) {
  AnalysisHarness h;
  const auto bytes = FileWithTables([](JpegBuilder& b) {
    b.Dqt({{0, 0, FlatQuant(10)}, {0, 1, FlatQuant(20)}});
    b.Dht({StandardLuminanceDc(), StandardLuminanceAc()});
  });
  ASSERT_TRUE(h.Analyse(bytes));
  const window::WindowModel& form = h.form;
  EXPECT_EQ(form.DQTLEN.text, "132");
  EXPECT_EQ(form.DQTTq.text, "0");
  EXPECT_EQ(form.Qtbl[63].text, "10");
  h.form.DQTUP.Click();  // page 0: nothing to go back to
  EXPECT_EQ(h.rec.quant.QuantTableCount, 0);
  h.form.DQTDOWN.Click();
  EXPECT_EQ(form.DQTLEN.text, "0");  // the length is stored in the first table's slot only
  EXPECT_EQ(form.DQTTq.text, "1");
  EXPECT_EQ(form.Qtbl[0].text, "20");
  h.form.DQTDOWN.Click();  // last page
  EXPECT_EQ(h.rec.quant.QuantTableCount, 1);
  h.form.DQTUP.Click();
  EXPECT_EQ(form.DQTLEN.text, "132");
}

TEST(QuantSegment, PrecisionAndIdentifierFindingsPointAtTheTableByte) {
  SegmentHarness h;
  JpegBuilder b;
  // Pq = 1 announces 16-bit values, but every table is read as 65 bytes.
  b.Dqt({{1, 2, FlatQuant(9)}});
  h.ParseQuant(b);
  EXPECT_EQ(h.Lines(),
            (Strings{"量子化テーブル定義の精度が０以外です", "量子化テーブル定義の番号が０、１以外です"}));
  EXPECT_EQ(h.Address(0), 4);
  EXPECT_EQ(h.Address(1), 4);
  EXPECT_EQ(h.rec.quant.QuantPrecision[0], 1);
  EXPECT_EQ(h.rec.quant.QuantId[0], 2);
  EXPECT_EQ(h.rec.quant.QuantTableCount, 1);
}

TEST(QuantSegment, OnlyDropsOfMoreThan55AreReported) {
  SegmentHarness h;
  QuantValues v = FlatQuant(80);
  v[0] = 16, v[1] = 11, v[2] = 12;  // small falls and rises: nothing
  v[3] = 80, v[4] = 20;             // a fall of 60 at value 4
  v[5] = 60, v[6] = 5;              // a fall of exactly 55: nothing
  v[7] = 80;
  JpegBuilder b;
  b.Dqt(0, v);
  h.ParseQuant(b);
  EXPECT_EQ(h.Lines(), Strings{"量子化テーブル定義の量子化値の差が５５を超えています"});
  EXPECT_EQ(h.Address(0), 5 + 4);
}

TEST(QuantSegment, ZeroValueIsReportedAndStoredAsOne) {
  SegmentHarness h;
  QuantValues v = FlatQuant(1);
  v[10] = 0;
  JpegBuilder b;
  b.Dqt(0, v);
  h.ParseQuant(b);
  EXPECT_EQ(h.Lines(), Strings{"量子化テーブル定義の量子化値が０です"});
  EXPECT_EQ(h.Address(0), 5 + 10);
  EXPECT_EQ(h.rec.quant.QuantValues[0][10], 1);
  ShowQuantTable(h.rec.quant, 0, h.form);
  EXPECT_EQ(h.form.Qtbl[10].text, "1");
}

TEST(QuantSegment, NoMoreThanThreeSlotsAreFilled) {
  SegmentHarness h;
  JpegBuilder b;
  b.Dqt({{0, 0, FlatQuant(1)}, {0, 1, FlatQuant(2)}, {0, 0, FlatQuant(3)}});
  h.rec.quant.QuantValues[2].fill(50);
  h.ParseQuant(b, 1);
  EXPECT_EQ(h.rec.quant.QuantTableCount, 3);
  EXPECT_EQ(h.rec.quant.QuantLength[1], 197);
  EXPECT_EQ(h.rec.quant.QuantValues[1][0], 1);
  EXPECT_EQ(h.rec.quant.QuantValues[2][0], 2);  // the third table is not read
}

TEST(QuantSegment, ImplausibleLengthIsListed) {
  SegmentHarness h;
  JpegBuilder b;
  b.Segment(0xDB, std::vector<uint8_t>(65, 1), 0x8043);
  h.ParseQuant(b);
  EXPECT_EQ(h.Lines(), Strings{"量子化テーブル定義の長さが不正です"});
  EXPECT_EQ(h.Address(0), 2);
  EXPECT_EQ(h.rec.quant.QuantTableCount, 0);
}

TEST(HuffmanSegment, ListsTheStandardCodesOfAnnexK) {
  SegmentHarness h;
  JpegBuilder b;
  b.DhtStandard();
  ASSERT_FALSE(h.ParseHuff(b));
  ShowHuffmanTable(h.rec.huff, 0, h.form);
  // Table K.3, luminance DC: code lengths 2, 3 x 5, then 4 .. 9.
  EXPECT_EQ(h.form.Htbl.lines,
            (Strings{"00(0)", "010(1)", "011(2)", "100(3)", "101(4)", "110(5)", "1110(6)", "11110(7)",
                     "111110(8)", "1111110(9)", "11111110(10)", "111111110(11)"}));
  ShowHuffmanTable(h.rec.huff, 1, h.form);
  const Strings& ac = h.form.Htbl.lines;
  ASSERT_EQ(ac.size(), 162u);
  // Table K.5: 0/1 00, 0/2 01, 0/3 100, EOB 1010, ZRL 11111111001, 15/10 the last.
  EXPECT_EQ(ac[0], "00(0,1)");
  EXPECT_EQ(ac[1], "01(0,2)");
  EXPECT_EQ(ac[2], "100(0,3)");
  EXPECT_EQ(ac[3], "1010(0,0)");
  EXPECT_NE(std::find(ac.begin(), ac.end(), "11111111001(15,0)"), ac.end());
  EXPECT_EQ(ac.back(), "1111111111111110(15,10)");
}

TEST(HuffmanSegment, ClassAndIdentifierAboveOneStop) {
  for (auto [tc, th, message] : {std::tuple{2, 0, "ハフマンテーブル定義のTcが２以上です"},
                                 std::tuple{0, 2, "ハフマンテーブル定義のThが２以上です"},
                                 std::tuple{15, 15, "ハフマンテーブル定義のTcが２以上です"}}) {
    SegmentHarness h;
    HuffmanSpec t = StandardLuminanceDc();
    t.tc = tc, t.th = th;
    JpegBuilder b;
    b.Dht({t});
    EXPECT_TRUE(h.ParseHuff(b));
    EXPECT_EQ(h.Messages(), Strings{message});
    EXPECT_EQ(h.rec.huff.HuffTableCount, 0);
  }
}

TEST(HuffmanSegment, TotalOf256CodesStopsAndTheLargestValidTableIsTaken) {
  // Every symbol but the fourteen refused size-0 ones: 242 codes of 16 bits.
  HuffmanSpec full;
  full.tc = 1;
  for (int v = 0; v < 256; ++v)
    if ((v & 0xF) != 0 || v == 0x00 || v == 0xF0) full.symbols.push_back(static_cast<uint8_t>(v));
  full.counts[15] = static_cast<uint8_t>(full.symbols.size());
  SegmentHarness ok;
  JpegBuilder b1;
  b1.Dht({full});
  EXPECT_FALSE(ok.ParseHuff(b1));
  EXPECT_EQ(ok.rec.huff.HuffTable[1][0].Count[15], 242);

  HuffmanSpec tooMany;
  tooMany.counts[7] = 200;  // 200 + 56: the total reaches 256 at length 16
  tooMany.counts[15] = 56;
  tooMany.symbols.assign(256, 1);
  SegmentHarness h;
  JpegBuilder b2;
  b2.Dht({tooMany});
  EXPECT_TRUE(h.ParseHuff(b2));
  EXPECT_EQ(h.Messages(), Strings{"ハフマンテーブル定義の総ハフマン符号語数が２５６を超えました"});
}

TEST(HuffmanSegment, SymbolChecks) {
  struct Case {
    std::vector<uint8_t> symbols;
    const char* message;
  } cases[] = {
      {{0x00, 0xF0, 0x01}, nullptr},
      {{0x01, 0x10, 0x02},
       "ハフマンテーブル定義にビット長が０でランレングスが０、１５以外の符号値情報があります"},
      {{0x01, 0xE0, 0x02},
       "ハフマンテーブル定義にビット長が０でランレングスが０、１５以外の符号値情報があります"},
      {{0x01, 0x02, 0x01}, "ハフマンテーブル定義に同じ符号値情報があります"},
  };
  for (const Case& c : cases) {
    HuffmanSpec t;
    t.tc = 1;
    t.counts[1] = 3;
    t.symbols = c.symbols;
    SegmentHarness h;
    JpegBuilder b;
    b.Dht({t});
    EXPECT_EQ(h.ParseHuff(b), c.message != nullptr);
    EXPECT_EQ(h.Messages(), c.message ? Strings{c.message} : Strings{});
  }
  // The same symbol in two tables of one segment is fine.
  SegmentHarness h;
  JpegBuilder b;
  b.Dht({StandardLuminanceDc(), StandardChrominanceDc()});
  EXPECT_FALSE(h.ParseHuff(b));
  EXPECT_EQ(h.rec.huff.HuffTableCount, 2);
}

TEST(HuffmanSegment, TablesBeyondTheFourSlotsAreNotRead) {
  SegmentHarness h;
  HuffmanSpec replacement = StandardChrominanceDc();
  replacement.th = 0;  // would overwrite the luminance DC table
  JpegBuilder b;
  b.Dht({StandardLuminanceAc(), replacement});
  h.rec.huff.HuffTable[0][0].Count.fill(0);
  h.rec.huff.HuffTable[0][0].Count[1] = 1;
  EXPECT_FALSE(h.ParseHuff(b, 3));  // three tables stored: one slot left
  EXPECT_EQ(h.rec.huff.HuffTableCount, 4);
  EXPECT_EQ(h.rec.huff.HuffClass[3], 1);
  EXPECT_EQ(h.rec.huff.HuffTable[0][0].Count[1], 1);
}

TEST(HuffmanSegment, ImplausibleLengthIsListedWithoutStopping) {
  SegmentHarness h;
  JpegBuilder b;
  b.Segment(0xC4, {0x00}, 0xFFFF);
  EXPECT_FALSE(h.ParseHuff(b));
  EXPECT_EQ(h.Lines(), Strings{"ハフマンテーブル定義の長さが不正です"});
  EXPECT_EQ(h.Address(0), 2);
}

TEST(HuffmanPages, StepThroughTheStoredTables) {
  AnalysisHarness h;
  ASSERT_TRUE(h.Analyse(FileWithTables([](JpegBuilder& b) { b.Dqt(0, FlatQuant(2)).DhtStandard(); })));
  // One segment of length 418: its tables fill slots 0..3 in file order and
  // page 0 shows the segment's length.
  EXPECT_EQ(h.form.DHTLEN.text, "418");
  EXPECT_EQ(h.form.Htbl.lines.front(), "00(0)");
  h.form.DHTUP.Click();
  EXPECT_EQ(h.rec.huff.HuffTableCount, 0);
  Strings tc;
  for (int i = 0; i < 4; ++i) {
    tc.push_back(h.form.DHTTc.text + h.form.DHTTh.text);
    h.form.DHTDOWN.Click();
  }
  EXPECT_EQ(tc, (Strings{"00", "10", "01", "11"}));
  EXPECT_EQ(h.rec.huff.HuffTableCount, 3);
  EXPECT_EQ(h.form.DHTLEN.text, "0");  // the length belongs to slot 0 only
  // Table K.6, chrominance AC: EOB 00, then 0/1 01.
  EXPECT_EQ(h.form.Htbl.lines[0], "00(0,0)");
  EXPECT_EQ(h.form.Htbl.lines[1], "01(0,1)");
  h.form.DHTUP.Click();
  EXPECT_EQ(h.form.Htbl.lines.front(), "00(0)");  // chrominance DC: 00 for size 0
  EXPECT_EQ(h.form.Htbl.lines.size(), 12u);
}

TEST(HuffmanPages, ARefusedClassLeftInASlotListsNoCodes) {
  AnalysisHarness h;
  HuffmanSpec bad = StandardLuminanceDc();
  bad.tc = 5;
  EXPECT_FALSE(h.Analyse(FileWithTables([&](JpegBuilder& b) { b.Dqt(0, FlatQuant(2)).Dht({bad}); })));
  // The next file's only DHT has an unusable length: no table is read, and page 0
  // still names class 5 from the refused table.
  EXPECT_TRUE(
      h.Analyse(FileWithTables([](JpegBuilder& b) { b.Dqt(0, FlatQuant(2)).Segment(0xC4, {0}, 0x8003); })));
  EXPECT_EQ(h.form.DHTTc.text, "5");
  EXPECT_TRUE(h.form.Htbl.lines.empty());
  h.form.DHTDOWN.Click();  // no later page
  EXPECT_EQ(h.rec.huff.HuffTableCount, 0);
}

TEST(Stores, AreNotClearedBetweenAnalyses) {
  AnalysisHarness h;
  ASSERT_TRUE(h.Analyse(FileWithTables([](JpegBuilder& b) { b.Dqt(0, FlatQuant(2)).DhtStandard(); })));
  ASSERT_TRUE(h.Analyse(FileWithTables([](JpegBuilder& b) {
    b.Dqt(0, FlatQuant(3)).Dht({StandardLuminanceDc(), StandardLuminanceAc()});
  })));
  // The chrominance tables of the first file are still in the store.
  EXPECT_EQ(h.rec.huff.HuffTable[0][1].Count[1], 3);
  EXPECT_EQ(h.rec.huff.HuffPageLast, 1);
  EXPECT_EQ(h.rec.quant.QuantValues[0][0], 3);
}

TEST(BitString16, LowSixteenBitsMostSignificantFirst) {
  EXPECT_EQ(BitString16(5), "0000000000000101");
  EXPECT_EQ(BitString16(-1), "1111111111111111");
  EXPECT_EQ(BitString16(65536), "0000000000000000");
  EXPECT_EQ(BitString16(0x8001), "1000000000000001");
  EXPECT_EQ(BitString16(0), "0000000000000000");
}

}  // namespace
}  // namespace vorn::testing
