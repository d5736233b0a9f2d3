// The Huffman lookup against the linear search, exhaustively: for every 16-bit
// window the code word the bit-by-bit search stops at, and for every length and
// value the code the search finds; on standard, over-full, empty, 16-bit-only,
// irregular and random tables.
#include "decode/huffman_lookup.h"

#include <gtest/gtest.h>

#include <random>

#include "decode/scan_fixture.h"
#include "reference/reference_kernels.h"

namespace vorn {
namespace {

// Appends the window's bits one at a time and searches the codes of each length:
// the first length with a match, and the match.
HuffmanLookup::Code BitByBit(const HuffCodeTable& t, uint32_t window) {
  for (int length = 1; length <= 16; ++length) {
    const int k = reference::MatchCode(t, length, static_cast<int32_t>(window >> (16 - length)));
    if (k >= 0) return HuffmanLookup::Code{length, k, t.Run[length - 1][k], t.Size[length - 1][k]};
  }
  return HuffmanLookup::Code{};
}

void ExpectSameAsSearch(const HuffCodeTable& t) {
  HuffmanLookup lookup;
  lookup.Build(t);
  for (uint32_t window = 0; window < 65536; ++window) {
    const HuffmanLookup::Code want = BitByBit(t, window), got = lookup.Peek(window);
    ASSERT_EQ(got.length, want.length) << "window " << window;
    if (want.length == 0) continue;
    ASSERT_EQ(got.k, want.k);
    ASSERT_EQ(got.run, want.run);
    ASSERT_EQ(got.size, want.size);
  }
  for (int length = 0; length <= 17; ++length)
    for (int32_t v = -2; v < (1 << std::min(length, 16)) + 2; ++v)
      ASSERT_EQ(lookup.Find(length, v), reference::MatchCode(t, length, v)) << length << " " << v;
}

HuffCodeTable Canonical(const std::array<uint8_t, 16>& counts) {
  testing::HuffmanSpec spec;
  spec.counts = counts;
  for (int i = 0, n = 0; n < 16; ++n)
    for (int k = 0; k < counts[n]; ++k, ++i) spec.symbols.push_back(static_cast<uint8_t>(i * 37 + 11));
  return testing::CodeTable(spec);
}

// The standard tables; over-full ones (three codes of one bit: the third, 2, and all
// after it no longer fit their length and never match); an empty one; one of
// 16-bit codes only.
TEST(HuffmanLookup, CanonicalTables) {
  for (int id = 0; id < 2; ++id) {
    ExpectSameAsSearch(testing::CodeTable(testing::DcTable(id)));
    ExpectSameAsSearch(testing::CodeTable(testing::AcTable(id)));
  }
  ExpectSameAsSearch(Canonical({3, 2, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  ExpectSameAsSearch(Canonical({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3}));
  ExpectSameAsSearch(HuffCodeTable{});
  ExpectSameAsSearch(Canonical({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 200}));
}

// Tables no DHT segment gives, but which the store can hold: repeated and
// unordered codes, a short code that is a prefix of longer ones, stale entries past
// the count, counts beyond 256 and below 0.
TEST(HuffmanLookup, IrregularTables) {
  HuffCodeTable t;
  t.Count[1] = 1;
  t.Code[1][0] = 1;  // 01
  t.Count[2] = 4;
  t.Code[2] = {5, 3, 5, 1};  // 101, 011 (behind 01), 101 again, 001
  for (int k = 0; k < 4; ++k) {
    t.Run[2][k] = static_cast<uint8_t>(k);
    t.Size[2][k] = static_cast<uint8_t>(10 + k);
  }
  t.Code[2][4] = 7;  // stale: past the count
  t.Count[11] = 3;
  t.Code[11] = {-1, 4095, 4096};
  ExpectSameAsSearch(t);
  t.Count[3] = 300;
  for (int k = 0; k < 256; ++k) t.Code[3][k] = 255 - k;
  t.Count[4] = -5;
  ExpectSameAsSearch(t);
}

TEST(HuffmanLookup, RandomTables) {
  std::mt19937 rng(17);
  for (int round = 0; round < 6; ++round) {
    HuffCodeTable t;
    for (int n = 0; n < 16; ++n) {
      t.Count[n] = static_cast<int32_t>(rng() % 6);
      for (int k = 0; k < t.Count[n]; ++k) {
        t.Code[n][k] = static_cast<int32_t>(rng() % (2u << n));
        t.Run[n][k] = static_cast<uint8_t>(rng() % 16);
        t.Size[n][k] = static_cast<uint8_t>(rng() % 16);
      }
    }
    ExpectSameAsSearch(t);
  }
}

}  // namespace
}  // namespace vorn
