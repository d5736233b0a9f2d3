// DecodeScan against the literal bit-serial reference decoder on many generated
// scans: well-formed data in every layout, the same with restart markers, stuffed
// bytes, foreign markers, flipped bits and early ends mixed in, and plain garbage
// decoded with odd tables. Pixels, McuStarts, plan and status must all agree.
#include <gtest/gtest.h>

#include <random>

#include "decode/decode_scan.h"
#include "decode/scan_fixture.h"

namespace vorn {
namespace {

using testing::AcTable;
using testing::BitWriter;
using testing::DcTable;
using testing::FrameComponent;

DecodeStatus ExpectSameDecode(const FileImage& file, const Records& rec, int32_t end) {
  DecodeState fast;
  return testing::ExpectSameDecode(file, rec, end, fast);
}

struct Layout {
  std::vector<FrameComponent> components;
};

const std::vector<Layout>& Layouts() {
  static const std::vector<Layout> layouts = {
      {{{1, 1, 1, 0}}},                              // grey
      {{{1, 2, 2, 0}}},                              // one component: one block whatever its factors
      {{{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}},  // 4:2:0
      {{{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}},  // 4:2:2
      {{{1, 1, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}},  // 4:4:0
      {{{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}},  // 4:4:4
      {{{1, 1, 1, 0}, {2, 2, 1, 1}, {3, 1, 1, 2}}},  // chroma of two blocks
      {{{1, 2, 1, 0}, {2, 1, 1, 1}}},                // two components
  };
  return layouts;
}

// Well-formed blocks with random coefficients: mostly small, some large, runs of
// every length; with restart markers between MCUs now and then.
std::vector<uint8_t> RandomScan(std::mt19937& rng, const Records& rec, int mcus) {
  std::vector<uint8_t> out;
  BitWriter w;
  for (int m = 0; m < mcus; ++m) {
    for (int c = 0; c < rec.frame.ComponentCount; ++c) {
      const int id = c == 0 ? 0 : 1;
      const int blocks = rec.frame.ComponentCount == 1 ? 1 : rec.frame.HSampling[c] * rec.frame.VSampling[c];
      for (int b = 0; b < blocks; ++b) {
        std::array<int, 63> ac{};
        const int density = static_cast<int>(rng() % 4);
        for (int k = 0; k < 63; ++k)
          if (rng() % 8 < static_cast<unsigned>(density))
            ac[k] = rng() % 16 == 0 ? static_cast<int>(rng() % 2047) - 1023 : static_cast<int>(rng() % 9) - 4;
        w.PutBlock(DcTable(id), AcTable(id), static_cast<int>(rng() % 61) - 30, ac);
      }
    }
    if (rng() % 7 == 0) {
      const std::vector<uint8_t> part = w.Finish();
      out.insert(out.end(), part.begin(), part.end());
      out.push_back(0xFF);
      out.push_back(static_cast<uint8_t>(0xD0 + rng() % 8));
      w = BitWriter();
    }
  }
  const std::vector<uint8_t> part = w.Finish();
  out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST(DecodeRandom, WellFormedScansInEveryLayout) {
  std::mt19937 rng(21);
  for (int round = 0; round < 120; ++round) {
    const Layout& layout = Layouts()[round % Layouts().size()];
    const int width = 1 + static_cast<int>(rng() % 40), height = 1 + static_cast<int>(rng() % 40);
    Records rec = testing::MakeRecords(width, height, layout.components);
    const McuGeometry g = ComputeMcuGeometry(rec.frame);
    // Sometimes too few MCUs, sometimes the surplus row, sometimes more.
    const int mcus = g.McusPerRow * g.McuRows + static_cast<int>(rng() % 5) - 2;
    FileImage file;
    const int32_t end = testing::PlaceScan(file, rec, RandomScan(rng, rec, std::max(mcus, 0)));
    ExpectSameDecode(file, rec, end);
    if (HasFailure()) return;
  }
}

// The same data, damaged: bytes inserted (restart markers, stuffed zeros, foreign
// markers, a lone FF), bits flipped, the end moved earlier. The last rounds are
// pictures of hundreds of MCUs, so that the second thread's ring of batches fills,
// wraps and is cut off by the damage at any point.
TEST(DecodeRandom, DamagedScans) {
  std::mt19937 rng(22);
  std::array<int, 3> statuses{};
  for (int round = 0; round < 340; ++round) {
    const Layout& layout = Layouts()[round % Layouts().size()];
    const int largest = round < 300 ? 30 : 200;
    Records rec = testing::MakeRecords(8 + static_cast<int>(rng() % largest),
                                       8 + static_cast<int>(rng() % largest), layout.components);
    const McuGeometry g = ComputeMcuGeometry(rec.frame);
    std::vector<uint8_t> scan = RandomScan(rng, rec, g.McusPerRow * g.McuRows);
    for (int damage = static_cast<int>(rng() % 4); damage > 0; --damage) {
      const size_t at = rng() % (scan.size() + 1);
      switch (rng() % 5) {
        case 0:
          scan.insert(scan.begin() + at, {0xFF, static_cast<uint8_t>(0xD0 + rng() % 8)});
          break;
        case 1:
          scan.insert(scan.begin() + at, {0xFF, 0x00});
          break;
        case 2:
          scan.insert(scan.begin() + at, {0xFF, static_cast<uint8_t>(rng() % 2 ? 0xC4 : 0xFF)});
          break;
        case 3:
          if (!scan.empty()) scan[at % scan.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
          break;
        default:
          scan.insert(scan.begin() + at, 0xFF);
          break;
      }
    }
    FileImage file;
    int32_t end = testing::PlaceScan(file, rec, scan);
    if (rng() % 3 == 0) end -= static_cast<int32_t>(rng() % (scan.size() + 1));
    const int status = static_cast<int>(ExpectSameDecode(file, rec, end));
    if (HasFailure()) return;
    ++statuses[status];
  }
  // The damage reaches every outcome.
  EXPECT_GT(statuses[0], 0);
  EXPECT_GT(statuses[1], 0);
  EXPECT_GT(statuses[2], 0);
}

// Garbage decoded with random tables, including over-full ones and tables whose
// codes only start at long lengths, and a file whose last byte is FF.
TEST(DecodeRandom, GarbageWithOddTables) {
  std::mt19937 rng(23);
  for (int round = 0; round < 150; ++round) {
    const Layout& layout = Layouts()[round % Layouts().size()];
    Records rec = testing::MakeRecords(1 + static_cast<int>(rng() % 24), 1 + static_cast<int>(rng() % 24),
                                       layout.components);
    for (int cls = 0; cls < 2; ++cls)
      for (int id = 0; id < 2; ++id) {
        testing::HuffmanSpec spec;
        const int first = static_cast<int>(rng() % 12);
        for (int n = first; n < 16; ++n) spec.counts[n] = static_cast<uint8_t>(rng() % (n < 4 ? 5 : 12));
        for (int n = 0; n < 16; ++n)
          for (int k = 0; k < spec.counts[n]; ++k)
            spec.symbols.push_back(static_cast<uint8_t>(cls == 0 ? rng() % 16 : rng() % 256));
        rec.huff.HuffTable[cls][id] = testing::CodeTable(spec);
      }
    for (auto& q : rec.quant.QuantValues)
      for (auto& v : q) v = static_cast<int16_t>(1 + rng() % (rng() % 4 == 0 ? 255 : 8));
    std::vector<uint8_t> scan(static_cast<size_t>(rng() % 400));
    for (auto& b : scan) b = rng() % 6 == 0 ? 0xFF : static_cast<uint8_t>(rng());
    FileImage file;
    const int32_t end = testing::PlaceScan(file, rec, scan);
    ExpectSameDecode(file, rec, end);
    // Without FF D9 the data runs to the end of the file, whose last byte is FF.
    scan.push_back(0xFF);
    testing::PlaceScan(file, rec, scan);
    file.bytes.resize(file.bytes.size() - 2);
    ExpectSameDecode(file, rec, file.FileLength() - 1);
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace vorn
