// The single-bit search on real encoder output with one scan bit cleared: driven
// through the window model as a user would (press on the MCU, "1ﾋﾞｯﾄ補正").
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/libjpeg_peer.h"
#include "support/window_session.h"

namespace vorn {
namespace {

using Window = testing::WindowSession;

// A bit of the scan as a single number: byte position x 8 + bit index.
using BitPlace = int64_t;

// Where MCU i of the undamaged picture begins: the bit after the last bit consumed
// before it, which is where a press on it points.
BitPlace McuBegin(const DecodeState& decode, int32_t i) {
  const McuGeometry& g = decode.Geometry;
  const McuStart& start = decode.McuStarts.At(i % g.McusPerRow, i / g.McusPerRow);
  return int64_t{start.BytePos} * 8 + start.BitIndex + 1;
}

struct Damage {
  BitPlace place = -1;
  int32_t mcu = 0;  // index of the MCU whose data holds the bit
};

// The first 1 bit at or after `from` whose clearing puts the decoder off its track
// (the next MCU starts elsewhere than in the original) and whose MCU is followed by
// at least three more, so that the three traced MCUs of a trial can all complete.
// Bytes FF and the stuffed 00 after them are skipped: clearing a bit of FF would
// turn the stuffed 00 into data.
Damage FindDamage(const std::vector<uint8_t>& original, const DecodeState& clean, BitPlace from) {
  const McuGeometry& g = clean.Geometry;
  const int32_t mcuCount = g.McusPerRow * g.McuRows;
  for (BitPlace place = from; place < McuBegin(clean, mcuCount - 4); ++place) {
    const size_t p = static_cast<size_t>(place / 8);
    const auto mask = static_cast<uint8_t>(0x80 >> (place % 8));
    if ((original[p] & mask) == 0 || original[p] == 0xFF || original[p - 1] == 0xFF) continue;
    int32_t mcu = 0;
    while (McuBegin(clean, mcu + 1) <= place) ++mcu;
    std::vector<uint8_t> damaged = original;
    damaged[p] &= static_cast<uint8_t>(~mask);
    Window probe;
    probe.Load(damaged);
    if (McuBegin(probe.decode, mcu + 1) != McuBegin(clean, mcu + 1)) return {place, mcu};
  }
  return {};
}

struct Outcome {
  bool among = false;
  bool first = false;
};

// Damages `original` at its first off-track bit from `fraction` of the scan on,
// presses the MCU holding it and runs the search.
Outcome SearchDamage(const std::vector<uint8_t>& original, double fraction) {
  Window clean;
  EXPECT_TRUE(clean.Load(original));
  const int32_t first = clean.rec.scan.ScanDataStart;
  const BitPlace from =
      int64_t{first} * 8 + static_cast<BitPlace>((clean.analysis.ScanDataEnd - first) * 8 * fraction);
  const Damage damage = FindDamage(original, clean.decode, from);
  EXPECT_GE(damage.place, 0) << "no usable bit after " << fraction;
  if (damage.place < 0) return {};
  const int32_t position = static_cast<int32_t>(damage.place / 8);
  const int32_t bit = static_cast<int32_t>(damage.place % 8);

  std::vector<uint8_t> damaged = original;
  damaged[static_cast<size_t>(position)] &= static_cast<uint8_t>(~(0x80 >> bit));
  Window w;
  EXPECT_TRUE(w.Load(damaged));
  const McuGeometry& g = w.decode.Geometry;
  w.PressMcu(damage.mcu % g.McusPerRow, damage.mcu / g.McusPerRow);
  EXPECT_EQ(int64_t{w.inspect.McuPointer.BytePos} * 8 + w.inspect.McuPointer.BitIndex,
            McuBegin(clean.decode, damage.mcu));
  EXPECT_TRUE(w.form.BITCHK.Click());
  EXPECT_EQ(w.file.bytes, damaged) << "the search changed the file image";
  EXPECT_EQ(w.form.LOG.tag, "1");

  Outcome outcome;
  for (int i = 0; i < w.form.LOG.Count(); ++i) {
    const BitCandidateEntry& e = w.inspect.BitCandidate[i];
    if (e.Position == position && e.BitIndex == bit) {
      outcome.among = true;
      outcome.first = i == 0;
    }
  }
  EXPECT_TRUE(outcome.among) << "cleared bit " << std::hex << position << "-" << bit << " in MCU " << std::dec
                             << damage.mcu << " is not a candidate";
  return outcome;
}

// A small landscape: sky gradient, sun, wavy horizon, a house, a furrowed field.
// Smooth areas and sharp edges, as in the photographs the search is made for.
std::vector<uint8_t> Landscape(int width, int height, int components) {
  std::vector<uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(width) * height * components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double horizon = height * 0.5 + 5 * std::sin(x / 9.0);
      double r, g, b;
      if (y < horizon) {
        const double t = y / horizon;
        r = 70 + 90 * t, g = 120 + 80 * t, b = 220 - 30 * t;
        if (std::hypot(x - width * 0.75, y - height * 0.2) < width * 0.1) r = 255, g = 236, b = 120;
      } else {
        const double furrow = 12 * std::sin((x + 3 * y) / 5.0);
        r = 60 + furrow + y * 0.5, g = 130 + furrow - y * 0.3, b = 40 + y * 0.2;
      }
      if (x >= width / 5 && x < width * 2 / 5 && y >= height * 2 / 5 && y < height * 7 / 10)
        r = 200, g = 180, b = 150;
      if (components == 1) {
        pixels.push_back(static_cast<uint8_t>(std::clamp(0.299 * r + 0.587 * g + 0.114 * b, 0.0, 255.0)));
      } else {
        for (double c : {r, g, b}) pixels.push_back(static_cast<uint8_t>(std::clamp(c, 0.0, 255.0)));
      }
    }
  }
  return pixels;
}

struct Kind {
  const char* name;
  int h0;
  int v0;
  int components;
  int restartInterval;
  bool optimize;
};

TEST(BitcheckRealFiles, TheClearedBitIsACandidateAtVariedPlacesAndSamplings) {
  const Kind kinds[] = {
      {"4:2:0", 2, 2, 3, 0, false},          {"4:2:2", 2, 1, 3, 0, false},
      {"4:4:4", 1, 1, 3, 0, false},          {"4:4:0", 1, 2, 3, 0, false},
      {"grey", 1, 1, 1, 0, false},           {"4:2:0 restart 2", 2, 2, 3, 2, false},
      {"4:2:2 optimized", 2, 1, 3, 0, true}, {"grey 2x2", 2, 2, 1, 0, false},
  };
  const double places[] = {0.05, 0.25, 0.45, 0.65, 0.8};
  int cases = 0;
  int firsts = 0;
  for (const Kind& kind : kinds) {
    testing::EncodeOptions options;
    options.width = 96;
    options.height = 64;
    options.h0 = kind.h0;
    options.v0 = kind.v0;
    options.components = kind.components;
    options.restartInterval = kind.restartInterval;
    options.optimize = kind.optimize;
    const std::vector<uint8_t> original =
        testing::EncodeJpeg(Landscape(options.width, options.height, kind.components), options);
    for (double place : places) {
      SCOPED_TRACE(std::string(kind.name) + " at " + std::to_string(place));
      const Outcome outcome = SearchDamage(original, place);
      ++cases;
      firsts += outcome.first ? 1 : 0;
    }
  }
  // Measured: first in 31 of the 40 cases (both grey layouts alike: 1 of 5). The
  // margin is for another libjpeg-turbo writing other bytes for the same pictures; a
  // ranking that got worse falls below.
  EXPECT_EQ(cases, 40);
  EXPECT_GE(firsts, 28) << "the cleared bit was listed first in only " << firsts << " of " << cases
                        << " cases";
  RecordProperty("listedFirst", firsts);
}

TEST(BitcheckRealFiles, TheDamagedSampleListsItsTrueBitFirst) {
  Window w;
  const auto damaged = testing::ReadFileBytes(std::string(VORN_SOURCE_DIR) + "/samples/damaged.jpg");
  const auto original = testing::ReadFileBytes(std::string(VORN_SOURCE_DIR) + "/samples/sample.jpg");
  ASSERT_EQ(damaged.size(), original.size());
  // The sample differs from its original in one bit: bit 7 of the byte at 0xE62.
  for (size_t i = 0; i < damaged.size(); ++i) {
    if (i != 0xE62) {
      ASSERT_EQ(damaged[i], original[i]) << i;
    }
  }
  ASSERT_EQ(original[0xE62] ^ damaged[0xE62], 0x01);
  ASSERT_TRUE(w.Load(damaged));
  const PixelStore picture = w.decode.ImagePixels;
  w.PressMcu(3, 6);
  ASSERT_TRUE(w.form.BITCHK.Click());
  ASSERT_GE(w.form.LOG.Count(), 1);
  EXPECT_EQ(w.form.LOG.lines[0].rfind("00000E62-7:7E→7F EOMCU:", 0), 0u) << w.form.LOG.lines[0];
  EXPECT_EQ(w.analysis.LineAddress[0], 0xE62);
  EXPECT_EQ(w.inspect.BitCandidate[0].Position, 0xE62);
  EXPECT_EQ(w.inspect.BitCandidate[0].BitIndex, 7);
  // Nothing the search does is seen outside it.
  EXPECT_EQ(w.file.bytes, damaged);
  EXPECT_EQ(w.decode.ImagePixels, picture);
  // Every listed bit is 0 in the file: 1 bits are never tried.
  for (int i = 0; i < w.form.LOG.Count(); ++i) {
    const BitCandidateEntry& e = w.inspect.BitCandidate[i];
    EXPECT_EQ(damaged[static_cast<size_t>(e.Position)] & (0x80 >> e.BitIndex), 0) << i;
  }
}

// Three 16 x 16 MCUs in one row.
class BitcheckEdges : public ::testing::Test {
 protected:
  Window w;
  void SetUp() override {
    testing::EncodeOptions options;
    options.width = 48;
    options.height = 16;
    ASSERT_TRUE(w.Load(testing::EncodePhotoLike(options, 3)));
  }
};

TEST_F(BitcheckEdges, NoTrialCanCompleteThreeMcusAtTheLastMcu) {
  w.PressMcu(2, 0);
  const ByteStore before = w.file.bytes;
  w.form.LOG.lines = {"stale"};
  ASSERT_TRUE(w.form.BITCHK.Click());
  EXPECT_EQ(w.form.LOG.Count(), 0);
  EXPECT_EQ(w.analysis.LogLineCount, 0);
  EXPECT_EQ(w.form.LOG.tag, "1");
  EXPECT_EQ(w.file.bytes, before);
}

TEST_F(BitcheckEdges, AStartBeyondTheScanDataTriesNothing) {
  w.PressMcu(0, 0);
  w.inspect.McuPointer.BytePos = w.analysis.ScanDataEnd + 1;
  ASSERT_TRUE(w.form.BITCHK.Click());
  EXPECT_EQ(w.form.LOG.Count(), 0);
  EXPECT_EQ(w.inspect.McuEnd[0], w.analysis.ScanDataEnd + 1 + 160);
  for (const BitCandidateEntry& e : w.inspect.BitCandidate) EXPECT_EQ(e.Score, 512);
}

}  // namespace
}  // namespace vorn
