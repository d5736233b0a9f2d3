// The candidate table of the single-bit search and its list lines.
#include <gtest/gtest.h>

#include "inspect/candidates.h"

namespace vorn {
namespace {

BitCandidateEntry Trial(int32_t score, int32_t position, int32_t bit, int32_t reach) {
  return {score, position, bit, reach};
}

struct Search {
  CandidateTable table;
  BestReach best;
  Search() { ResetCandidates(table); }
  void Accept(const BitCandidateEntry& trial) { AcceptTrial(table, best, trial); }
};

void ExpectEntry(const BitCandidateEntry& e, int32_t score, int32_t position, int32_t bit, int32_t reach) {
  EXPECT_EQ(e.Score, score);
  EXPECT_EQ(e.Position, position);
  EXPECT_EQ(e.BitIndex, bit);
  EXPECT_EQ(e.Reach, reach);
}

TEST(BitcheckCandidates, AscendingScoresAndEqualScoresKeepTheirOrder) {
  Search s;
  s.Accept(Trial(10, 0x100, 1, 0x140));
  s.Accept(Trial(10, 0x100, 5, 0x141));
  s.Accept(Trial(5, 0x102, 0, 0x150));
  s.Accept(Trial(10, 0x103, 2, 0x142));
  ExpectEntry(s.table[0], 5, 0x102, 0, 0x150);
  ExpectEntry(s.table[1], 10, 0x100, 1, 0x140);
  ExpectEntry(s.table[2], 10, 0x100, 5, 0x141);
  ExpectEntry(s.table[3], 10, 0x103, 2, 0x142);
  ExpectEntry(s.table[4], 512, 0, 0, 0);
  EXPECT_EQ(s.best.Reach, 0x150);
  EXPECT_EQ(s.best.Position, 0x102);
}

TEST(BitcheckCandidates, ScoreOf512OrMoreIsNeverAcceptedHoweverFarItReaches) {
  Search s;
  s.Accept(Trial(512, 0x200, 3, 0x9000));
  s.Accept(Trial(700, 0x201, 3, 0x9001));
  ExpectEntry(s.table[0], 512, 0, 0, 0);
  EXPECT_EQ(s.best.Reach, 0);
  s.Accept(Trial(511, 0x202, 4, 0x300));
  ExpectEntry(s.table[0], 511, 0x202, 4, 0x300);
}

TEST(BitcheckCandidates, NinthBetterTrialPushesEntrySevenIntoEntryEight) {
  Search s;
  for (int i = 0; i < 8; ++i) s.Accept(Trial(20 + i, 0x300 + i, 0, 0x400));
  s.Accept(Trial(1, 0x3F0, 7, 0x400));
  ExpectEntry(s.table[0], 1, 0x3F0, 7, 0x400);
  ExpectEntry(s.table[7], 26, 0x306, 0, 0x400);
  ExpectEntry(s.table[8], 27, 0x307, 0, 0x400);
  // A trial no better than entry 7 is not inserted.
  s.Accept(Trial(26, 0x3F1, 0, 0x400));
  ExpectEntry(s.table[7], 26, 0x306, 0, 0x400);
}

TEST(BitcheckCandidates, FarthestReachPushedOutReturnsAsEntrySeven) {
  Search s;
  s.Accept(Trial(300, 0x500, 2, 0x800));  // reaches farthest, rated worst
  for (int i = 0; i < 8; ++i) s.Accept(Trial(10 + i, 0x510 + i, 1, 0x600));
  ExpectEntry(s.table[8], 300, 0x500, 2, 0x800);
  KeepFarthestReach(s.table, s.best);
  ExpectEntry(s.table[7], 17, 0x500, 2, 0x800);  // the score stays
  ExpectEntry(s.table[6], 16, 0x516, 1, 0x600);
}

TEST(BitcheckCandidates, FarthestReachNotInsertedBecauseEightBetterExist) {
  Search s;
  for (int i = 0; i < 8; ++i) s.Accept(Trial(10, 0x510 + i, 1, 0x600));
  s.Accept(Trial(10, 0x520, 6, 0x700));  // equal to entry 7: not inserted, yet the best reach
  KeepFarthestReach(s.table, s.best);
  ExpectEntry(s.table[7], 10, 0x520, 6, 0x700);
}

TEST(BitcheckCandidates, FarthestReachAlreadyListedChangesNothing) {
  Search u;
  for (int i = 0; i < 9; ++i) u.Accept(Trial(10 + i, 0x510 + i, 1, 0x700 - i));
  const CandidateTable before = u.table;
  KeepFarthestReach(u.table, u.best);
  for (int i = 0; i < 9; ++i)
    ExpectEntry(u.table[i], before[i].Score, before[i].Position, before[i].BitIndex, before[i].Reach);
}

TEST(BitcheckCandidateLines, TheDocumentedExample) {
  EXPECT_EQ(CandidateLine(Trial(3, 0x1A2B, 5, 0x1A60), 0x40), "00001A2B-5:40→44 EOMCU:1A60");
  EXPECT_EQ(CandidateLine(Trial(3, 0x25A, 0, 0x300), 0x0F), "0000025A-0:0F→8F EOMCU:300");
  EXPECT_EQ(CandidateLine(Trial(3, 0x7FFFFFF0, 7, 0x7FFFFFFF), 0xFE), "7FFFFFF0-7:FE→FF EOMCU:7FFFFFFF");
}

struct Listing {
  FileImage file;
  window::ListBox LOG;
  AnalysisState analysis;
  Listing() {
    file.bytes.assign(0x800, 0x00);
    file.bytes[0x510] = 0x12;
    LOG.lines = {"old", "lines"};
    analysis.LogLineCount = 2;
  }
};

TEST(BitcheckCandidateLines, FewerThanEightListEntriesZeroToNMinusOne) {
  Search s;
  s.Accept(Trial(40, 0x600, 3, 0x620));
  s.Accept(Trial(30, 0x510, 0, 0x530));
  Listing l;
  ListCandidates(s.table, l.file, l.LOG, l.analysis);
  ASSERT_EQ(l.LOG.Count(), 2);
  EXPECT_EQ(l.LOG.lines[0], "00000510-0:12→92 EOMCU:530");
  EXPECT_EQ(l.LOG.lines[1], "00000600-3:00→10 EOMCU:620");
  EXPECT_EQ(l.analysis.LogLineCount, 2);
  EXPECT_EQ(l.analysis.LineAddress[0], 0x510);
  EXPECT_EQ(l.analysis.LineAddress[1], 0x600);
  EXPECT_EQ(l.LOG.tag, "1");
}

TEST(BitcheckCandidateLines, EntryEightIsNeverListed) {
  Search s;
  for (int i = 0; i < 9; ++i) s.Accept(Trial(10 + i, 0x500 + i, 2, 0x600));
  Listing l;
  ListCandidates(s.table, l.file, l.LOG, l.analysis);
  ASSERT_EQ(l.LOG.Count(), 8);
  EXPECT_EQ(l.LOG.lines[7].substr(0, 11), "00000507-2:");
  for (int i = 0; i < 8; ++i) EXPECT_EQ(l.analysis.LineAddress[i], 0x500 + i);
}

TEST(BitcheckCandidateLines, NoAcceptedTrialLeavesAnEmptyCandidateList) {
  Search s;
  Listing l;
  ListCandidates(s.table, l.file, l.LOG, l.analysis);
  EXPECT_EQ(l.LOG.Count(), 0);
  EXPECT_EQ(l.analysis.LogLineCount, 0);
  EXPECT_EQ(l.LOG.tag, "1");
}

}  // namespace
}  // namespace vorn
