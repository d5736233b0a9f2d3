// The strict checks on exact byte layouts: a scan is clean only when every restart
// interval decodes exactly its MCUs, ends in 1-padding and is followed by the right
// marker. The trials of the search are judged by the same checks, so a scan that
// only resynchronises by chance (the wrong count, a restart out of sequence, data
// left before EOI) is never accepted.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "repair/dc_hypotheses.h"
#include "repair/repair_fixture.h"
#include "support/jpeg_builder.h"

namespace vorn {
namespace {

using testing::AnalysedScan;
using testing::BitWriter;
using testing::JpegBuilder;

// A grey 32 x 8 picture: four MCUs of one block, a restart interval of two.
struct ScanLayout {
  int firstMcus = 2;   // MCUs written before the restart marker
  int secondMcus = 2;  // and after it
  uint8_t restart = 0xD0;
  bool zeroPadding = false;    // the first interval padded with 0 bits
  bool dataBeforeEoi = false;  // sixteen 1 bits after the last MCU
  bool eoiFirst = false;       // EOI where the restart marker belongs
};

std::vector<uint8_t> Interval(int mcus, int firstDc, bool zeroPadding, bool extraData) {
  BitWriter w;
  const testing::HuffmanSpec dc = testing::StandardLuminanceDc();
  const testing::HuffmanSpec ac = testing::StandardLuminanceAc();
  for (int m = 0; m < mcus; ++m) {
    std::array<int, 63> acs{};
    acs[0] = 5 - 3 * m;
    acs[4] = m + 1;
    w.PutBlock(dc, ac, m == 0 ? firstDc : -7, acs);
  }
  if (extraData) w.PutBits(0xFFFF, 16);
  if (zeroPadding && w.BitCount() % 8 != 0) w.PutBits(0, 8 - w.BitCount() % 8);
  return w.Finish();
}

std::vector<uint8_t> Build(const ScanLayout& l) {
  JpegBuilder b;
  b.Soi().App0Jfif().Dqt(0, testing::FlatQuant(8)).Sof0(32, 8, testing::Grey()).DhtStandard().Dri(2);
  b.Sos(testing::GreyScan());
  b.Raw(Interval(l.firstMcus, 12, l.zeroPadding, false));
  if (l.eoiFirst) return b.Eoi().Bytes();
  b.Marker(l.restart);
  b.Raw(Interval(l.secondMcus, -20, false, l.dataBeforeEoi));
  return b.Eoi().Bytes();
}

struct StrictCase {
  std::string name;
  ScanLayout layout;
  DamageKind kind = DamageKind::None;  // None: clean
  uint8_t marker = 0;                  // the marker the reason names
  int32_t interval = -1;               // the restart interval it names
  int suspectColumn = 0;
  bool mendable = false;  // one edit makes it the clean layout
};

class StrictScan : public ::testing::TestWithParam<StrictCase> {};

TEST_P(StrictScan, ReportsTheFault) {
  const StrictCase& c = GetParam();
  const std::vector<uint8_t> bytes = Build(c.layout);
  AnalysedScan scan;
  ASSERT_TRUE(scan.Load(bytes));
  ASSERT_EQ(scan.model->restartInterval, 2);
  const DamageReport report = scan.Locate(bytes);
  EXPECT_EQ(report.mcusExpected, 4);
  if (c.kind == DamageKind::None) {
    EXPECT_EQ(report.health, ScanHealth::Clean) << static_cast<int>(report.reason.kind);
    EXPECT_EQ(report.mcusDecoded, 4);
    return;
  }
  EXPECT_EQ(report.health, ScanHealth::Damaged);
  EXPECT_EQ(report.reason.kind, c.kind) << static_cast<int>(report.reason.kind);
  EXPECT_EQ(report.reason.marker, c.marker);
  EXPECT_EQ(report.reason.interval, c.interval);
  EXPECT_EQ(report.column, c.suspectColumn);
  EXPECT_EQ(report.row, 0);

  // Nothing a single edit of the data does makes a scan whole whose MCUs or markers
  // are out of step, and the file is left as it was; padding bits set to 1 are the
  // clean layout again.
  std::vector<uint8_t> edited = bytes;
  const RepairRun run = RepairScan(*scan.model, edited, 4, SearchControl{});
  if (c.mendable) {
    EXPECT_EQ(run.result, RepairResult::Repaired);
    EXPECT_EQ(run.applied.size(), 1u);
    EXPECT_EQ(edited, Build({}));
    return;
  }
  EXPECT_EQ(run.result, RepairResult::NotRepaired);
  EXPECT_TRUE(run.applied.empty());
  EXPECT_EQ(edited, bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, StrictScan,
    ::testing::Values(
        StrictCase{"Clean", {}}, StrictCase{"TooFewMcus", {1, 2}, DamageKind::TooFewMcus, 0xD0, 0},
        StrictCase{"TooManyMcus", {3, 1}, DamageKind::TooManyMcus, 0xD0, 0},
        StrictCase{"RestartOutOfSequence", {2, 2, 0xD1}, DamageKind::RestartOutOfSequence, 0xD1, 0},
        StrictCase{"PaddingNotOnes", {2, 2, 0xD0, true}, DamageKind::PaddingNotOnes, 0xD0, 0, 0, true},
        StrictCase{"DataBeforeEoi", {2, 2, 0xD0, false, true}, DamageKind::DataAfterLastMcu, 0xD9, 1, 2},
        StrictCase{"EoiForRestart", {2, 2, 0xD0, false, false, true}, DamageKind::MarkerOutOfPlace, 0xD9, 0}),
    [](const ::testing::TestParamInfo<StrictCase>& info) { return info.param.name; });

TEST(StrictScan, ReadsWhatTheWindowDecoderReadsFromAnyPoint) {
  // A point between two symbols, taken from a decode of the whole scan, starts a
  // decode that meets the same MCU boundaries.
  const std::vector<uint8_t> bytes = Build({});
  AnalysedScan scan;
  ASSERT_TRUE(scan.Load(bytes));
  ScanPass pass;
  RunScanPass(*scan.model, PatchedBytes(bytes.data(), static_cast<int64_t>(bytes.size())), false, pass);
  ASSERT_TRUE(pass.Clean());
  const ScanPoint second = StartPointOf(*scan.model, bytes, pass, 1);
  struct Marks : NullSink {
    std::vector<BitPos> marks;
    bool OnMcu(int32_t, BitPos mark, const std::array<int16_t, 3>&) {
      marks.push_back(mark);
      return true;
    }
  } sink;
  StrictDecoder decoder(*scan.model);
  const DecodeStop stop =
      decoder.Run(PatchedBytes(bytes.data(), static_cast<int64_t>(bytes.size())), second, 4, sink);
  EXPECT_EQ(stop.kind, StopKind::AtMarker);
  EXPECT_EQ(stop.marker, 0xD0);
  EXPECT_EQ(stop.mcu, 2);
  ASSERT_EQ(sink.marks.size(), 1u);
  EXPECT_EQ(sink.marks[0], pass.marks[2].mark);
}

TEST(StrictScan, TellsAnOverflowingTransformAsTheDrawingPassDoes) {
  // One grey block of the largest coefficients its table allows (1024 / 8 + 1) at
  // the first positions, with signs from a pattern: where their overflow bound
  // passes 32 bits only the exact transform knows. The check of the syntax (which
  // sums the bound as it reads) and the pass that draws must agree on every one.
  int boundOnlyFits = 0, overflows = 0;
  for (int n = 1; n <= 8; ++n) {
    const int every = n > 4 ? 5 : 1;  // a sample of the patterns of many signs
    for (int signs = 0; signs < (1 << n); signs += every) {
      std::array<int, 63> acs{};
      for (int i = 0; i < n; ++i) acs[static_cast<size_t>(i)] = (signs >> i & 1) ? -129 : 129;
      BitWriter w;
      w.PutBlock(testing::StandardLuminanceDc(), testing::StandardLuminanceAc(), 129, acs);
      JpegBuilder b;
      b.Soi().Dqt(0, testing::FlatQuant(8)).Sof0(8, 8, testing::Grey()).DhtStandard();
      const std::vector<uint8_t> bytes = b.Sos(testing::GreyScan()).Raw(w.Finish()).Eoi().Bytes();
      AnalysedScan scan;
      ASSERT_TRUE(scan.Load(bytes));
      ScanPass pass;
      RunScanPass(*scan.model, PatchedBytes(bytes.data(), static_cast<int64_t>(bytes.size())), true, pass);
      const bool whole = ScanSyntaxWhole(*scan.model, bytes);
      EXPECT_EQ(whole, pass.Clean()) << n << " coefficients, signs " << signs;
      int64_t bound = 129 * scan.model->overflowWeightZigZag[0][0];
      for (int i = 0; i < n; ++i)
        bound += 129 * scan.model->overflowWeightZigZag[0][static_cast<size_t>(i + 1)];
      boundOnlyFits += bound > INT32_MAX && whole;
      overflows += !whole;
    }
  }
  EXPECT_GT(boundOnlyFits, 0);
  EXPECT_GT(overflows, 0);
}

TEST(ScanEdits, ReadInPlaceAsTheyAreWritten) {
  const std::vector<uint8_t> bytes = {0x10, 0x20, 0x30, 0x40, 0x50};
  const std::vector<std::pair<ScanEdit, std::vector<uint8_t>>> cases = {
      {ScanEdit::Bit(1, 2, 0x20), {0x10, 0x00, 0x30, 0x40, 0x50}},
      {ScanEdit::ReplaceByte(2, 0x30, 0xAB), {0x10, 0x20, 0xAB, 0x40, 0x50}},
      {ScanEdit::RemoveByte(0, 0x10), {0x20, 0x30, 0x40, 0x50}},
      {ScanEdit::InsertByte(4, 0x77), {0x10, 0x20, 0x30, 0x40, 0x77, 0x50}},
      {ScanEdit::Stuffing(2), {0x10, 0x20, 0x00, 0x30, 0x40, 0x50}},
      {ScanEdit::Marker(3, 0x50), {0x10, 0x20, 0x30}},
  };
  for (const auto& [edit, expected] : cases) {
    std::vector<uint8_t> applied = bytes;
    ApplyEdit(applied, edit);
    EXPECT_EQ(applied, expected) << EditNotation(edit);
    const PatchedBytes patched(bytes.data(), static_cast<int64_t>(bytes.size()), edit);
    ASSERT_EQ(patched.Length(), static_cast<int64_t>(expected.size())) << EditNotation(edit);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(patched.At(static_cast<int64_t>(i)), expected[i]);
  }
  EXPECT_EQ(EditNotation(ScanEdit::Bit(0xE62, 7, 0x7E)), "00000E62-7:7E→7F");
  EXPECT_EQ(EditNotation(ScanEdit::ReplaceByte(0xE62, 0x7E, 0x3A)), "00000E62:7E→3A");
  EXPECT_EQ(EditNotation(ScanEdit::InsertByte(0xE62, 0x3A)), "00000E62:+3A");
  EXPECT_EQ(EditNotation(ScanEdit::RemoveByte(0xE62, 0x7E)), "00000E62:-7E");
  EXPECT_EQ(EditNotation(ScanEdit::Marker(0xE62, 0xC4)), "00000E62:-FFC4");
}

// Every byte string with one byte more or less than the scan's is some edit's, except
// inside a data FF's pair (edited with its FF). A lost stuffed 00 before a data 00
// (FF 00 00 read as FF 00) needs a 00 inserted after FF 00, and a byte lost before a
// data FF one inserted there: neither was tried anywhere. Nor a byte lost before a
// restart marker or EOI, the last of an interval's data.
TEST(ScanEdits, EveryByteInsertedOrRemovedIsTried) {
  for (const std::vector<uint8_t>& bytes :
       {std::vector<uint8_t>{0x12, 0x34, 0x34, 0xFF, 0x00, 0x00, 0x56, 0x56, 0x78},
        std::vector<uint8_t>{0x12, 0x34, 0xFF, 0xD5, 0x56, 0xFF, 0xD9}}) {
    std::set<std::vector<uint8_t>> tried;
    for (int64_t p = 1; p < static_cast<int64_t>(bytes.size()); ++p) {
      std::vector<ScanEdit> edits;
      EditsAt(bytes, p, 1, edits);
      for (const ScanEdit& e : edits) {
        std::vector<uint8_t> applied = bytes;
        ApplyEdit(applied, e);
        tried.insert(applied);
      }
    }
    for (size_t q = 1; q < bytes.size(); ++q) {
      if (bytes[q - 1] == 0xFF) continue;
      for (int v = 0; v < 0xFF; ++v) {
        std::vector<uint8_t> longer = bytes;
        longer.insert(longer.begin() + static_cast<ptrdiff_t>(q), static_cast<uint8_t>(v));
        EXPECT_TRUE(tried.contains(longer)) << q << " +" << v;
      }
      std::vector<uint8_t> shorter = bytes;
      shorter.erase(shorter.begin() + static_cast<ptrdiff_t>(q));
      if (bytes[q] != 0xFF) {
        EXPECT_TRUE(tried.contains(shorter)) << q << " -";
      }
    }
  }
}

// An FF with a code after it inside the data: a lost stuffed 00 unless writers put
// that code into files (a frame, a table, APPn, COM ...). The JPGn extension codes
// are no writer's: a stuffed 00 lost before a data F5 had FF F5 removed.
TEST(ScanEdits, MarkersNoWriterPutsInDataAreLostStuffing) {
  for (const int code : {0x01, 0x02, 0xBF, 0xC8, 0xD0, 0xD7, 0xD9, 0xF0, 0xF5, 0xFD})
    EXPECT_TRUE(MarkerNeverWrittenInData(static_cast<uint8_t>(code))) << std::hex << code;
  for (const int code : {0xC0, 0xC2, 0xC4, 0xCC, 0xD8, 0xDA, 0xDB, 0xDD, 0xE0, 0xE1, 0xEF, 0xFE})
    EXPECT_FALSE(MarkerNeverWrittenInData(static_cast<uint8_t>(code))) << std::hex << code;
}

// What a step of m leaves of the broken pairs, counted per amount and per run of 64
// amounts, is the sum over the pairs one by one, at the runs' edges too.
TEST(DriftWeighing, WhatAStepLeavesOfTheBrokenPairs) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int32_t> amount(65, drift::kMostBreak);
  drift::BreakCounts counts;
  std::multiset<int32_t> pairs;
  for (int i = 0; i < 3000; ++i) {
    if (!pairs.empty() && i % 3 == 2) {  // pairs come and go
      const auto gone = std::next(pairs.begin(), static_cast<long>(random() % pairs.size()));
      counts.Add(*gone, -1);
      pairs.erase(gone);
    } else {
      const int32_t w = i < 8 ? 64 * (i + 1) + i % 2 : amount(random);  // some on a run's edge
      counts.Add(w, 1);
      pairs.insert(w);
    }
  }
  for (const int32_t m : {64, 127, 128, 129, 191, 255, 256, 511, 512, 4031, 4032, 4079, 4080, 5000}) {
    int64_t left = 0;
    for (const int32_t w : pairs) left += std::max(w - m, 0);
    EXPECT_EQ(counts.Beyond(m), left) << m;
  }
}

// A value's extra bits, walked back from where they end: each place, stepping over
// the stuffed 00 of a data FF, and the value each flip reads (its first bit flips the
// sign).
TEST(DriftWeighing, WalksAValuesExtraBitsBackOverStuffing) {
  // Extra bits 1 0110 (22, size 5): the top three end byte 1 (an FF), the last two
  // open byte 3, after the stuffed 00.
  const std::vector<uint8_t> bytes = {0x00, 0xFF, 0x00, 0x80};
  std::vector<std::pair<BitPos, int32_t>> seen;
  drift::ForEachExtraBit(bytes, MakeBitPos(3, 2), 22,
                         [&](BitPos at, int32_t changed) { seen.emplace_back(at, changed); });
  const std::vector<std::pair<BitPos, int32_t>> expected = {
      {MakeBitPos(3, 1), 23},
      {MakeBitPos(3, 0), 20},
      {MakeBitPos(1, 7), 18},
      {MakeBitPos(1, 6), 30},
      {MakeBitPos(1, 5), -25}};  // 00110 of size 5 reads 6 - 31
  EXPECT_EQ(seen, expected);
  seen.clear();
  drift::ForEachExtraBit(bytes, MakeBitPos(3, 2), 0,
                         [&](BitPos at, int32_t changed) { seen.emplace_back(at, changed); });
  EXPECT_TRUE(seen.empty());  // a zero has no extra bits
}

// The edge sums the DC weighing keeps for the check of odd blocks are the samples' own
// steps, edge by edge, wherever the picture ends (partial rows and columns read the
// plain loops, whole ones the vector code).
TEST(DriftWeighing, KeepsEachEdgesStepsAsTheSamplesGiveThem) {
  struct NoWeigher {
    struct Entry {
      int32_t first = 0;
    };
    void Grow(int) {}
    Entry Record(int, int32_t) const { return {}; }
    void Add(int, int32_t, int32_t, int, const std::array<int16_t, 8>&, int) {}
  };
  std::mt19937 random(9);
  ComponentPlanes planes;
  planes.count = 1;
  planes.width[0] = 48, planes.height[0] = 32;
  planes.visibleWidth[0] = 45, planes.visibleHeight[0] = 30;
  planes.samples[0].resize(48 * 32);
  for (uint8_t& s : planes.samples[0]) s = static_cast<uint8_t>(random());
  drift::BlockGrid grid(planes, 0, 4);
  for (size_t k = 0; k < grid.index.size(); ++k) grid.index[k] = static_cast<int32_t>(k);
  EdgeSums sums(grid.width, grid.rows);
  NoWeigher weigher;
  drift::AddEdges(planes, 0, weigher, grid, 0, grid.height, &sums);
  // |r| over the pairs of the picture across the edge whose first sample past it is
  // (x, y): a column's edge (vertical) or a row's.
  const auto across = [&](int32_t x, int32_t y, bool vertical) {
    int32_t sum = 0;
    for (int k = 0; k < 8; ++k) {
      const int32_t px = vertical ? x : x + k, py = vertical ? y + k : y;
      if (px >= 45 || py >= 30) continue;
      const auto at = [&](int32_t dx, int32_t dy) {
        return vertical ? planes.At(0, px + dx, py) : planes.At(0, px, py + dy);
      };
      sum += std::abs(vertical ? EdgeStep(at(-2, 0), at(-1, 0), at(0, 0), at(1, 0))
                               : EdgeStep(at(0, -2), at(0, -1), at(0, 0), at(0, 1)));
    }
    return sum;
  };
  int inner = 0;
  for (int32_t by = 0; by < grid.height; ++by) {
    for (int32_t bx = 0; bx < grid.width; ++bx) {
      const bool right = bx * 8 + 9 < 45, below = by * 8 + 9 < 30;
      EXPECT_EQ(sums.right[sums.Slot(bx, by)], right ? across(bx * 8 + 8, by * 8, true) : -1)
          << bx << "," << by;
      EXPECT_EQ(sums.below[sums.Slot(bx, by)], below ? across(bx * 8, by * 8 + 8, false) : -1)
          << bx << "," << by;
      if (bx >= 1 && by >= 1 && right && below) {
        ++inner;
        EXPECT_EQ(sums.AroundBlock(bx, by), across(bx * 8, by * 8, true) + across(bx * 8 + 8, by * 8, true) +
                                                across(bx * 8, by * 8, false) +
                                                across(bx * 8, by * 8 + 8, false));
      } else {
        EXPECT_EQ(sums.AroundBlock(bx, by), -1) << bx << "," << by;  // an edge outside the picture
      }
    }
  }
  EXPECT_EQ(inner, 8);
}

}  // namespace
}  // namespace vorn
