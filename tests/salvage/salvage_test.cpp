// Salvage on damaged copies of one libjpeg photo per case: every kept MCU decodes (by
// libjpeg) to exactly the undamaged photo's pixels, and the output is a whole file.
#include <gtest/gtest.h>

#include <algorithm>

#include "repair/repair_fixture.h"
#include "salvage/baseline_encoder.h"
#include "salvage/header_graft.h"
#include "salvage/salvage_scan.h"
#include "support/libjpeg_peer.h"

namespace vorn {
namespace {

using testing::AnalysedScan;
using testing::EncodeOptions;

EncodeOptions Photo(int restartInterval, bool optimize = false) {
  EncodeOptions o;
  o.width = 480, o.height = 320, o.h0 = 2, o.v0 = 2, o.quality = 90;
  o.restartInterval = restartInterval;
  o.optimize = optimize;
  return o;
}

bool MadeUp(const SalvageRun& run, int32_t m) {
  return std::any_of(run.madeUp.begin(), run.madeUp.end(),
                     [&](const McuRange& r) { return m >= r.first && m < r.first + r.count; });
}

std::string Steps(const SalvageRun& run) {
  std::string text;
  for (const std::string& s : run.steps) text += "\n  " + s;
  return text;
}

int32_t MadeUpCount(const SalvageRun& run) {
  int32_t n = 0;
  for (const McuRange& r : run.madeUp) n += r.count;
  return n;
}

// The MCUs outside the made-up ones whose pixels differ between two decodes.
int32_t DifferingKeptMcus(const ScanModel& model, const SalvageRun& run, const testing::DecodedPicture& a,
                          const testing::DecodedPicture& b, int32_t end) {
  int32_t differing = 0;
  const McuGeometry& g = model.geometry;
  for (int32_t m = 0; m < end; ++m) {
    if (MadeUp(run, m)) continue;
    const int x0 = (m % g.McusPerRow) * g.McuWidth, y0 = (m / g.McusPerRow) * g.McuHeight;
    bool same = true;
    for (int y = y0; y < std::min(y0 + g.McuHeight, a.height) && same; ++y)
      for (int x = x0; x < std::min(x0 + g.McuWidth, a.width) && same; ++x)
        for (int k = 0; k < 3; ++k) {
          const size_t i = (static_cast<size_t>(y) * a.width + x) * 3 + k;
          same = same && a.rgb[i] == b.rgb[i];
        }
    differing += same ? 0 : 1;
  }
  return differing;
}

// A clean file comes back byte for byte from its own coefficients (libjpeg codes as
// the encoder does), with and without restart markers; a block that needs a symbol the
// optimised tables lack gets new tables, and the file still decodes to its blocks.
TEST(BaselineEncoder, WritesTheFileFromItsCoefficients) {
  for (const int interval : {0, 7}) {
    const std::vector<uint8_t> original = testing::EncodePhotoLike(Photo(interval), 3);
    AnalysedScan scan;
    ASSERT_TRUE(scan.Load(original));
    CoefficientGrid grid;
    ASSERT_EQ(DecodeGrid(*scan.model, original, grid), scan.model->totalMcus);
    EncodedFile out;
    std::string why;
    ASSERT_TRUE(EncodeBaseline(*scan.model, original, grid, out, why)) << why;
    EXPECT_TRUE(out.newTables.empty());
    EXPECT_EQ(out.bytes, original) << interval;
    EXPECT_EQ(FirstMismatch(*scan.model, out, grid), -1);
  }
  const std::vector<uint8_t> optimised = testing::EncodePhotoLike(Photo(0, true), 3);
  AnalysedScan scan;
  ASSERT_TRUE(scan.Load(optimised));
  CoefficientGrid grid;
  ASSERT_EQ(DecodeGrid(*scan.model, optimised, grid), scan.model->totalMcus);
  grid.Block(5, 0)[63] = 3;  // a run of zeros to the last coefficient: rare in a photo
  grid.Block(5, 0)[0] = static_cast<int16_t>(-grid.Block(4, 3)[0]);
  EncodedFile out;
  std::string why;
  ASSERT_TRUE(EncodeBaseline(*scan.model, optimised, grid, out, why)) << why;
  EXPECT_FALSE(out.newTables.empty());
  EXPECT_EQ(FirstMismatch(*scan.model, out, grid), -1);
  EXPECT_TRUE(testing::DecodeWithLibjpeg(out.bytes).ok);
  CoefficientGrid other = grid;
  other.Block(7, 1)[1] += 1;
  EXPECT_EQ(FirstMismatch(*scan.model, out, other), 7);
}

struct SalvageCase {
  const char* name;
  int restartInterval;
  enum Kind { Cut, CutWithEoi, Removed, Zeroed, HeaderZeroed } kind;
  int offset;  // from the scan's first byte, in thousandths of the scan data
  int length;  // bytes removed or zeroed (HeaderZeroed: from the file's start)
};

class SalvageDamage : public ::testing::TestWithParam<SalvageCase> {};

TEST_P(SalvageDamage, KeepsEveryMcuItDoesNotMakeUp) {
  const SalvageCase& c = GetParam();
  // The photo's grain softened, as a camera's is: the DC values of the data after a
  // lost span are found from the continuity of the rows, which grain blurs.
  const EncodeOptions o = Photo(c.restartInterval);
  std::vector<uint8_t> pixels = testing::PhotoLikePixels(o.width, o.height, 3, 5);
  const std::vector<uint8_t> grainy = pixels;
  for (int y = 1; y + 1 < o.height; ++y)
    for (int x = 1; x + 1 < o.width; ++x)
      for (int k = 0; k < 3; ++k) {
        int sum = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            sum += grainy[(static_cast<size_t>(y + dy) * o.width + x + dx) * 3 + k];
        pixels[(static_cast<size_t>(y) * o.width + x) * 3 + k] = static_cast<uint8_t>(sum / 9);
      }
  const std::vector<uint8_t> original = testing::EncodeJpeg(pixels, o);
  // A photo of another scene from the same camera: the same headers.
  const std::vector<uint8_t> reference =
      testing::EncodeJpeg(testing::PhotoLikePixels(o.width, o.height, 3, 9), o);
  AnalysedScan referenceScan;
  ASSERT_TRUE(referenceScan.Load(reference));
  AnalysedScan scan;
  ASSERT_TRUE(scan.Load(original));
  const ScanModel& model = *scan.model;
  const size_t data = static_cast<size_t>(model.scanStart);
  const size_t at = data + (original.size() - data) * static_cast<size_t>(c.offset) / 1000;
  std::vector<uint8_t> bytes = original;
  switch (c.kind) {
    case SalvageCase::Cut:
      bytes.resize(at);
      break;
    case SalvageCase::CutWithEoi:
      bytes.resize(at);
      bytes.insert(bytes.end(), {0xFF, 0xD9});
      break;
    case SalvageCase::Removed:
      bytes.erase(bytes.begin() + static_cast<ptrdiff_t>(at),
                  bytes.begin() + static_cast<ptrdiff_t>(at + c.length));
      break;
    case SalvageCase::Zeroed:
      std::fill(bytes.begin() + static_cast<ptrdiff_t>(at),
                bytes.begin() + static_cast<ptrdiff_t>(at + c.length), 0);
      break;
    case SalvageCase::HeaderZeroed:
      std::fill(bytes.begin(), bytes.begin() + c.length, 0);
      break;
  }
  const SalvageRun run = c.kind == SalvageCase::HeaderZeroed
                             ? SalvageWithReference(*referenceScan.model, reference, bytes)
                             : SalvageScan(model, bytes);
  ASSERT_EQ(run.result, SalvageResult::Salvaged) << run.why;
  const testing::DecodedPicture expected = testing::DecodeWithLibjpeg(original);
  const testing::DecodedPicture got = testing::DecodeWithLibjpeg(run.bytes);
  ASSERT_TRUE(got.ok);
  ASSERT_EQ(got.width, expected.width);
  // Without restart markers the DC values after a lost span are found only from the
  // rows around it, not exactly where made-up rows lie between: the MCUs before the
  // span are held to it.
  const int32_t end = c.restartInterval > 0 || c.kind == SalvageCase::Cut || c.kind == SalvageCase::CutWithEoi
                          ? model.totalMcus
                          : run.madeUp.front().first;
  EXPECT_EQ(DifferingKeptMcus(model, run, expected, got, end), 0) << Steps(run);
  // What is made up is about what was lost: a cut file loses its rest, a span a few
  // rows (the rest of its interval with restart markers).
  const int32_t made = MadeUpCount(run);
  EXPECT_GT(made, 0);
  if (c.kind != SalvageCase::Cut && c.kind != SalvageCase::CutWithEoi) {
    EXPECT_LT(made, model.totalMcus / 4) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SalvageDamage,
    ::testing::Values(SalvageCase{"cut", 0, SalvageCase::Cut, 600, 0},
                      SalvageCase{"cut_with_eoi", 8, SalvageCase::CutWithEoi, 400, 0},
                      SalvageCase{"lost_with_restarts", 8, SalvageCase::Removed, 450, 1024},
                      SalvageCase{"zeroed_without_restarts", 0, SalvageCase::Zeroed, 300, 2048},
                      // The decode finds its track again after the span and
                      // runs to the EOI: the MCUs from the span on are not kept
                      // where they decoded.
                      SalvageCase{"lost_without_restarts", 0, SalvageCase::Removed, 500, 1500},
                      // More than eight intervals lost: the markers' numbers
                      // repeat, the count to the EOI places the rest.
                      SalvageCase{"zeroed_many_intervals", 1, SalvageCase::Zeroed, 500, 1200},
                      SalvageCase{"lost_many_intervals", 2, SalvageCase::Removed, 300, 2000},
                      SalvageCase{"header_destroyed_with_restarts", 4, SalvageCase::HeaderZeroed, 0, 3000},
                      SalvageCase{"header_destroyed", 0, SalvageCase::HeaderZeroed, 0, 3000}),
    [](const auto& info) { return std::string(info.param.name); });

// A DC step over the rest of the picture (a difference coded with another value, the
// code words whole) is shifted back: the picture is the undamaged one again.
TEST(SalvageDrift, ShiftsTheStepBack) {
  EncodeOptions o = Photo(0);
  o.components = 1, o.h0 = 1, o.v0 = 1;
  o.width = 320, o.height = 96;
  std::vector<uint8_t> pixels(static_cast<size_t>(o.width * o.height));
  for (int y = 0; y < o.height; ++y)
    for (int x = 0; x < o.width; ++x)
      pixels[static_cast<size_t>(y * o.width + x)] = static_cast<uint8_t>(40 + x / 3 + y);
  const std::vector<uint8_t> original = testing::EncodeJpeg(pixels, o);
  AnalysedScan scan;
  ASSERT_TRUE(scan.Load(original));
  const ScanModel& model = *scan.model;
  CoefficientGrid grid;
  ASSERT_EQ(DecodeGrid(model, original, grid), model.totalMcus);
  const int32_t from = model.totalMcus / 2 + 3;
  for (int32_t m = from; m < model.totalMcus; ++m)
    grid.Block(m, 0)[0] = static_cast<int16_t>(grid.Block(m, 0)[0] + 48);
  EncodedFile damaged;
  std::string why;
  ASSERT_TRUE(EncodeBaseline(model, original, grid, damaged, why));
  const SalvageRun run = SalvageScan(model, damaged.bytes);
  ASSERT_EQ(run.result, SalvageResult::Salvaged) << run.why << Steps(run);
  EXPECT_TRUE(run.madeUp.empty()) << Steps(run);
  EXPECT_EQ(run.shifted, (std::vector<McuRange>{{from, model.totalMcus - from}}));
  EXPECT_EQ(run.bytes, original) << Steps(run);
}

// A clean file is never salvaged.
TEST(SalvageClean, IsLeftAlone) {
  const std::vector<uint8_t> original = testing::EncodePhotoLike(Photo(0), 5);
  AnalysedScan scan;
  ASSERT_TRUE(scan.Load(original));
  const SalvageRun run = SalvageScan(*scan.model, original);
  EXPECT_EQ(run.result, SalvageResult::Clean);
  EXPECT_TRUE(run.bytes.empty());
}

}  // namespace
}  // namespace vorn
