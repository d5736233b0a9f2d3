#include "repair/intact_damage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <utility>

#include "decode/bit_rules.h"
#include "decode/simd.h"
#include "repair/picture_fit.h"
#include "repair/strict_decoder.h"

namespace vorn {

namespace {

// Only steps that a person can see are looked for: a step of fewer levels is within
// what the quantization itself leaves at block edges, and a wrong guess among
// faint steps costs more than the step.
constexpr int32_t kLeastStepLevels = 8;
// The step must split enough of the picture to be told from one odd block (which a
// wrong AC coefficient gives as well): eight block edges.
constexpr int32_t kLeastPairs = 64;
// The gain, as a share of what the step could gain at most (every split sample pair
// mended by the whole step). A true step mends 77 to 97 % of the pairs of a photo
// (50 % in a picture of fine noise); on clean photos of four encoders the best
// hypothesis stayed below 30 % (textures and edges give and take alike).
constexpr double kLeastShare = 0.45;
// The best hypothesis must gain this many whole pairs more than any other: a step
// one block too early or too late leaves a block's edges broken (about 32 pairs).
constexpr double kLeastMargin = 12;
// The smallest move of 4r any hypothesis makes (a DC bit's of kLeastStepLevels).
constexpr int32_t kSmallestMove = 8 * kLeastStepLevels;
// A pair counts for the sign test of faint steps when its |4r| passes this: |r| of 3
// or more, beyond the rounding of samples (a level each side moves r by up to 4).
constexpr int32_t kFaintDeadZone = 8;

// How one pair's 4r counts for the sign test: 1 above the dead zone, -1 below it.
int32_t FaintLean(int32_t r4) {
  return r4 > kFaintDeadZone ? 1 : r4 < -kFaintDeadZone ? -1 : 0;
}

// 16 bytes: a 12 MP scan has some 300000 blocks (600000 at 4:4:4).
struct BlockRecord {
  int32_t mcu = 0;
  int32_t first = 0;  // the first block of the component in its restart interval
  // The first bit after the difference's extra bits (40 bits: a file of 2 GB has 2^34),
  // the difference (16 bits) and the block's index in its MCU (8 bits).
  uint64_t packed = 0;

  BlockRecord(int32_t m, int32_t f, BitPos end, int16_t diff, int block)
      : mcu(m),
        first(f),
        packed(static_cast<uint64_t>(end) | uint64_t{static_cast<uint16_t>(diff)} << 40 |
               uint64_t{static_cast<uint8_t>(block)} << 56) {}
  BitPos End() const { return static_cast<BitPos>(packed & ((uint64_t{1} << 40) - 1)); }
  int32_t Diff() const { return static_cast<int16_t>(static_cast<uint16_t>(packed >> 40)); }
  int Block() const { return static_cast<int>(packed >> 56); }
  // Where the block lies on its component's block grid.
  int32_t Bx(const ScanModel& model) const {
    const ScanModel::Block& b = model.blocks[static_cast<size_t>(Block())];
    return (mcu % model.geometry.McusPerRow) * model.h[static_cast<size_t>(b.component)] + b.x;
  }
  int32_t By(const ScanModel& model) const {
    const ScanModel::Block& b = model.blocks[static_cast<size_t>(Block())];
    return (mcu / model.geometry.McusPerRow) * model.v[static_cast<size_t>(b.component)] + b.y;
  }
};

// Records where each block's DC difference ends: the symbol after it is its first AC
// symbol, whose start the decoder announces.
class DcSink {
 public:
  static constexpr bool kSymbols = true;
  static constexpr bool kCoefficients = false;

  // Called at the start of each restart interval.
  DcSink(const ScanModel& model, std::array<std::vector<BlockRecord>, 3>& out) : model_(model), out_(out) {
    for (size_t c = 0; c < 3; ++c) first_[c] = static_cast<int32_t>(out[c].size());
  }
  void OnSymbol(const ScanPoint& p) {
    if (p.coef != 1) return;
    const ScanModel::Block& b = model_.blocks[static_cast<size_t>(p.block)];
    const auto c = static_cast<size_t>(b.component);
    out_[c].emplace_back(p.mcu, first_[c], p.next, p.pendingDc, p.block);
    last_ = b.component;
  }
  // The decode failed in the block recorded last, which was never drawn.
  void DropLast() {
    if (last_ >= 0) out_[static_cast<size_t>(last_)].pop_back();
    last_ = -1;
  }
  bool OnBlock(int, std::array<int32_t, 64>&, uint64_t) { return true; }
  bool OnMcu(int32_t, BitPos, const std::array<int16_t, 3>&) { return true; }

 private:
  const ScanModel& model_;
  std::array<std::vector<BlockRecord>, 3>& out_;
  std::array<int32_t, 3> first_{};
  int last_ = -1;
};

// The data bit before bit p, stepping back over the stuffed 00 of a data FF.
BitPos PreviousDataBit(std::span<const uint8_t> bytes, BitPos p) {
  if ((p & 7) != 0) return p - 1;
  int64_t byte = (p >> 3) - 1;
  if (byte >= 1 && bytes[static_cast<size_t>(byte)] == 0x00 && bytes[static_cast<size_t>(byte - 1)] == 0xFF)
    --byte;
  return MakeBitPos(byte, 7);
}

// The size category of a coefficient: the bits of its magnitude.
int BitWidth(int32_t v) {
  return static_cast<int>(std::bit_width(static_cast<uint32_t>(std::abs(v))));
}

// The largest change that flipping one extra bit of a coefficient (or DC difference)
// of value v makes: that of its first bit, which flips the sign, 3 * 2^(size-1) - 1.
int32_t MostFlipChange(int32_t v) {
  const int size = BitWidth(v);
  return size == 0 ? 0 : (3 << (size - 1)) - 1;
}

// Decodes each restart interval from where the pass found it begins: visit(run) per
// interval, where run(sink) decodes the interval into sink and returns the stop.
template <class Visit>
void ForEachInterval(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                     Visit&& visit) {
  const PatchedBytes plain(bytes.data(), static_cast<int64_t>(bytes.size()));
  for (int32_t i = 0; i < model.intervals; ++i) {
    const int32_t first = model.IntervalStart(i);
    if (first >= model.totalMcus) break;
    StrictDecoder decoder(model);
    visit([&](auto& sink) {
      return decoder.Run(plain, StartPointOf(model, bytes, pass, first), model.IntervalEnd(i), sink);
    });
  }
}

// Whether the decode of an interval failed in its last recorded block.
bool FailedInBlock(const DecodeStop& stop) {
  return stop.kind != StopKind::AtMarker && stop.kind != StopKind::Limit;
}

// Empty lists of block records with room for every block of the scan: a 12 MP scan
// holds some 300000, which growing lists would copy over and over.
std::array<std::vector<BlockRecord>, 3> EmptyBlockLists(const ScanModel& model) {
  std::array<std::vector<BlockRecord>, 3> blocks;
  for (int b = 0; b < model.blockCount; ++b) {
    std::vector<BlockRecord>& list =
        blocks[static_cast<size_t>(model.blocks[static_cast<size_t>(b)].component)];
    list.reserve(list.capacity() + static_cast<size_t>(model.totalMcus));
  }
  return blocks;
}

std::array<std::vector<BlockRecord>, 3> RecordBlocks(const ScanModel& model, std::span<const uint8_t> bytes,
                                                     const ScanPass& pass) {
  std::array<std::vector<BlockRecord>, 3> blocks = EmptyBlockLists(model);
  ForEachInterval(model, bytes, pass, [&](auto run) {
    DcSink sink(model, blocks);
    if (FailedInBlock(run(sink))) sink.DropLast();
  });
  return blocks;
}

// What a step gains over the block edges of a component, summed per hypothesis
// (block index) so that any step size is had without going over the edges again.
// A pair across an edge with 4r = r gains |r| - |r + u| when its later side moves by
// u; with m = |u| and n = max(-sign(u) r, 0) that is 2n - m - 2 max(n - m, 0), and the
// last term is 0 unless the pair is broken by more than m. So the sums of n (one per
// sign of u), of the pairs, and a short list of the pairs broken by more than the
// smallest step give every step's gain exactly.
struct EdgeSums {
  // Every sum is over the hypotheses that split the edge: each entry of the
  // difference arrays is added to [lo, hi].
  std::vector<int32_t> pairs;             // sample pairs split, after Finish: per hypothesis
  std::array<std::vector<int64_t>, 2> n;  // sum of max(v, 0) [0], of max(-v, 0) [1]
  // The pairs with v > kFaintDeadZone less those with v < -kFaintDeadZone: a sign test
  // that a faint step (a level or two, which no gain of a visible step size tells from
  // the picture's own edges) passes as clearly as a large one.
  std::vector<int32_t> signs;
  struct Broken {
    int32_t lo, hi;
    int32_t v;  // -side * 4r: positive when a step up of the later side mends it
  };
  // Pairs with |v| above the smallest step, those with v > 0 [0] apart from those with
  // v < 0 [1]: a step mends only the pairs broken its own way.
  std::array<std::vector<Broken>, 2> broken;

  explicit EdgeSums(size_t blocks) : pairs(blocks + 1, 0), signs(blocks + 1, 0) {
    for (auto& sums : n) sums.assign(blocks + 1, 0);
  }
  // residuals: the first count are the pairs', the rest 0 (which add nothing), so
  // that the sums run over all eight at once.
  void Add(int32_t lo, int32_t hi, int side, const std::array<int16_t, 8>& residuals, int count) {
    pairs[static_cast<size_t>(lo)] += count;
    pairs[static_cast<size_t>(hi) + 1] -= count;
    int32_t rise = 0, fall = 0;  // at most 8 pairs of |4r| <= 4 * 1020: within 16 bits
    int32_t lean = 0;            // pairs with 4r above the dead zone less those below it
    bool anyBroken = false;
#if VORN_X86
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(residuals.data()));
    const __m128i zero = _mm_setzero_si128();
    // FaintLean of each lane, negated (the padding's zeros lie inside the dead zone),
    // summed with the two sums below.
    const __m128i dead = _mm_set1_epi16(static_cast<int16_t>(kFaintDeadZone));
    const __m128i leans =
        _mm_sub_epi16(_mm_cmpgt_epi16(r, dead), _mm_cmplt_epi16(r, _mm_sub_epi16(zero, dead)));
    const __m128i up8 = _mm_max_epi16(r, zero), down8 = _mm_max_epi16(_mm_sub_epi16(zero, r), zero);
    anyBroken = _mm_movemask_epi8(_mm_cmpgt_epi16(_mm_max_epi16(up8, down8),
                                                  _mm_set1_epi16(static_cast<int16_t>(kSmallestMove)))) != 0;
    // Both sums at once: rise in the low four 32-bit lanes' pairs, fall in the high.
    const __m128i ones = _mm_set1_epi16(1);
    __m128i sums = _mm_add_epi32(_mm_unpacklo_epi64(_mm_madd_epi16(up8, ones), _mm_madd_epi16(down8, ones)),
                                 _mm_unpackhi_epi64(_mm_madd_epi16(up8, ones), _mm_madd_epi16(down8, ones)));
    sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, _MM_SHUFFLE(2, 3, 0, 1)));
    rise = _mm_cvtsi128_si32(sums);
    fall = _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
    __m128i leanSum = _mm_madd_epi16(leans, ones);
    leanSum = _mm_add_epi32(leanSum, _mm_unpackhi_epi64(leanSum, leanSum));
    leanSum = _mm_add_epi32(leanSum, _mm_shuffle_epi32(leanSum, _MM_SHUFFLE(2, 3, 0, 1)));
    lean = -_mm_cvtsi128_si32(leanSum);
#else
    for (const int16_t r : residuals) {
      rise += std::max<int32_t>(r, 0);
      fall += std::max<int32_t>(-r, 0);
      lean += FaintLean(r);
      anyBroken |= std::abs(r) > kSmallestMove;
    }
#endif
    // v = -side * r: up sums max(v, 0), down max(-v, 0), and the signs lean -side times.
    const int32_t sign = -side * lean;
    signs[static_cast<size_t>(lo)] += sign;
    signs[static_cast<size_t>(hi) + 1] -= sign;
    const int32_t up = side < 0 ? rise : fall, down = side < 0 ? fall : rise;
    for (int p = 0; anyBroken && p < count; ++p) {
      const int32_t v = -side * residuals[static_cast<size_t>(p)];
      if (std::abs(v) > kSmallestMove) broken[v > 0 ? 0 : 1].push_back({lo, hi, v});
    }
    n[0][static_cast<size_t>(lo)] += up;
    n[0][static_cast<size_t>(hi) + 1] -= up;
    n[1][static_cast<size_t>(lo)] += down;
    n[1][static_cast<size_t>(hi) + 1] -= down;
  }
  void Finish() {
    for (size_t k = 1; k < pairs.size(); ++k) {
      pairs[k] += pairs[k - 1];
      signs[k] += signs[k - 1];
      n[0][k] += n[0][k - 1];
      n[1][k] += n[1][k - 1];
    }
    SortByBreak(broken[0], 1);
    SortByBreak(broken[1], -1);
  }
  // After Finish, gain[k]: what a step that moves 4r of the later side's pairs by
  // `move` gains when it begins at block k (gain: a place per hypothesis, one more).
  void StepGains(int32_t move, std::vector<int64_t>& gain) const {
    const int32_t m = std::abs(move);
    const int sign = move > 0 ? 1 : -1;
    if (beyondAt.size() != gain.size()) beyondAt.assign(gain.size(), 0);  // made when first needed
    for (const Broken& b : broken[move > 0 ? 0 : 1]) {
      const int64_t beyond = int64_t{sign} * b.v - m;
      if (beyond <= 0) break;  // the rest are broken less
      beyondAt[static_cast<size_t>(b.lo)] += beyond;
      beyondAt[static_cast<size_t>(b.hi) + 1] -= beyond;
    }
    const std::vector<int64_t>& sums = n[move > 0 ? 0 : 1];
    int64_t beyond = 0;
    for (size_t k = 0; k < gain.size(); ++k) {
      beyond += beyondAt[k];
      beyondAt[k] = 0;  // ready for the next step
      gain[k] = 2 * sums[k] - int64_t{m} * pairs[k] - 2 * beyond;
    }
  }

 private:
  // Orders a list by how far its pairs are broken (sign * v, at most 4 * 1020), most
  // first, so that a step's pairs are the list's head: a count per amount.
  static void SortByBreak(std::vector<Broken>& list, int sign) {
    constexpr int32_t kMost = 4 * 1020;
    std::vector<int32_t> first(kMost + 1, 0);
    for (const Broken& b : list) ++first[static_cast<size_t>(kMost - sign * b.v)];
    int32_t at = 0;
    for (int32_t& f : first) at += std::exchange(f, at);
    std::vector<Broken> sorted(list.size());
    for (const Broken& b : list)
      sorted[static_cast<size_t>(first[static_cast<size_t>(kMost - sign * b.v)]++)] = b;
    list.swap(sorted);
  }
  // The difference array of the pairs broken beyond a step, all 0 between calls.
  mutable std::vector<int64_t> beyondAt;
};

// Where each recorded block of a component lies on its block grid: the index of its
// record, -1 where none.
struct BlockGrid {
  int32_t width = 0, height = 0;
  std::vector<int32_t> index;
  size_t placed = 0;  // records placed

  BlockGrid(const ComponentPlanes& planes, int c)
      : width(planes.width[static_cast<size_t>(c)] / 8),
        height(planes.height[static_cast<size_t>(c)] / 8),
        index(static_cast<size_t>(width) * height, -1) {}
  // Places the records not placed yet.
  void Place(const ScanModel& model, const std::vector<BlockRecord>& recs) {
    for (; placed < recs.size(); ++placed) {
      const int32_t bx = recs[placed].Bx(model), by = recs[placed].By(model);
      if (bx < width && by < height)
        index[static_cast<size_t>(by * width + bx)] = static_cast<int32_t>(placed);
    }
  }
  int32_t At(int32_t bx, int32_t by) const { return index[static_cast<size_t>(by * width + bx)]; }
};

// Adds to sums every edge of block rows [byFrom, byTo) of component c between two
// recorded blocks: with the block to the right and the block below.
template <class Planes>
void AddEdges(const Planes& planes, int c, const std::vector<BlockRecord>& recs, const BlockGrid& grid,
              int32_t byFrom, int32_t byTo, EdgeSums& sums) {
  const auto i = static_cast<size_t>(c);
  const int32_t vw = planes.visibleWidth[i], vh = planes.visibleHeight[i];
  std::array<int16_t, 8> residuals{};
  const auto add = [&](int32_t a, int32_t b, int count) {
    const BlockRecord& ra = recs[static_cast<size_t>(a)];
    const BlockRecord& rb = recs[static_cast<size_t>(b)];
    if (ra.first == rb.first) {
      sums.Add(std::min(a, b) + 1, std::max(a, b), b > a ? 1 : -1, residuals, count);
    } else {
      sums.Add(ra.first, a, -1, residuals, count);
      sums.Add(rb.first, b, 1, residuals, count);
    }
  };
  for (int32_t by = byFrom; by < std::min(byTo, grid.height); ++by) {
    // The rows of this block row, and those around the edge below it, looked up once
    // (a ring of rows costs a division a row).
    const int32_t y0 = by * 8;
    const int rows = std::max(0, std::min(8, vh - y0));
    std::array<const uint8_t*, 8> lines{};
    for (int k = 0; k < rows; ++k) lines[static_cast<size_t>(k)] = planes.Row(c, y0 + k);
    const bool edgeBelow = by + 1 < grid.height && y0 + 9 < vh;
    const uint8_t *a2 = nullptr, *a = nullptr, *b = nullptr, *b2 = nullptr;
    if (edgeBelow) {
      a2 = planes.Row(c, y0 + 6), a = planes.Row(c, y0 + 7);
      b = planes.Row(c, y0 + 8), b2 = planes.Row(c, y0 + 9);
    }
    for (int32_t bx = 0; bx < grid.width; ++bx) {
      const int32_t here = grid.At(bx, by);
      if (here < 0) continue;
      const int32_t x0 = bx * 8;
      // The edge with the block to the right.
      if (bx + 1 < grid.width && x0 + 9 < vw) {
        const int32_t right = grid.At(bx + 1, by);
        if (right >= 0) {
          const int32_t x = x0 + 8;
          residuals.fill(0);
          for (int k = 0; k < rows; ++k) {
            const uint8_t* line = lines[static_cast<size_t>(k)];
            residuals[static_cast<size_t>(k)] =
                static_cast<int16_t>(4 * EdgeStep(line[x - 2], line[x - 1], line[x], line[x + 1]));
          }
          if (rows > 0) add(here, right, rows);
        }
      }
      // The edge with the block below.
      if (edgeBelow) {
        const int32_t below = grid.At(bx, by + 1);
        if (below >= 0) {
          int count = 0;
          residuals.fill(0);
          for (int32_t x = x0; x < std::min(x0 + 8, vw); ++x, ++count)
            residuals[static_cast<size_t>(count)] =
                static_cast<int16_t>(4 * EdgeStep(a2[x], a[x], b[x], b2[x]));
          if (count > 0) add(here, below, count);
        }
      }
    }
  }
}

// The step sizes looked for whatever their cause, in levels: a step of t levels is
// wholly mended by any size up to t (each pair comes that much nearer), so three
// sizes cover every visible step.
constexpr std::array<int32_t, 3> kStepLevels = {16, 32, 64};
// A step of any size must split a whole row of blocks or more to be told from the
// picture's own edges; then on clean photos of four encoders the best step of 16 to
// 128 levels made every split edge worse on balance (its share below 0), while what a
// lost track left behind mended nearly all of them (0.99 and more).
constexpr int32_t kLeastStepPairs = 256;
constexpr double kLeastStepShare = 0.5;
// A faint step (see EdgeSums::signs) over a row of blocks or more: the share of the
// pairs it splits that lean its way on balance, less that of the same place a row of
// MCUs earlier or later (a smooth gradient quantized leans alike at every row). On 403
// clean files of four encoders at qualities 30 to 98 that difference reached 0.71,
// always where one of the two rows of edges below leaned alone (a horizontal edge of
// the picture on the block grid); where both leaned, it stayed below 0.53 and the
// weaker row below 0.45. Steps that damage left behind (the data of a few MCUs lost
// their track and found it again, the DC predictors a level or two off) reached 0.63
// to 0.97 and leaned 0.65 to 0.97 on both rows.
constexpr double kLeastFaintShare = 0.6;
// Each of the two rows of edges a faint step splits (its MCU's top edge from it on,
// the next row's before it) must lean its way on its own: two blocks' pairs at least.
constexpr int32_t kLeastHalfPairs = 16;
constexpr double kLeastFaintHalf = 0.6;

// Calls f(bit) for every flippable extra bit of block r's DC difference, from the last
// extra bit back.
template <class F>
void ForEachDcBit(std::span<const uint8_t> bytes, const BlockRecord& r, int component, F&& f) {
  const int32_t diff = r.Diff();
  const int size = BitWidth(diff);
  if (size == 0) return;
  const auto raw = static_cast<uint32_t>(diff >= 0 ? diff : diff + (1 << size) - 1);
  BitPos at = r.End();
  for (int k = size - 1; k >= 0; --k) {
    at = PreviousDataBit(bytes, at);
    const int32_t changed = ExtendSign(raw ^ (1u << (size - 1 - k)), size);
    const int64_t byte = at >> 3;
    const int bit = static_cast<int>(at & 7);
    const uint8_t old = bytes[static_cast<size_t>(byte)];
    if ((old ^ (0x80 >> bit)) == 0xFF) continue;
    DcBit d;
    d.edit = ScanEdit::Bit(static_cast<int32_t>(byte), bit, old);
    d.mcu = r.mcu;
    d.component = component;
    d.step = changed - diff;
    f(d);
  }
}

// The best DC bit hypothesis by gain and the best gain of all the others: all that
// the choice looks at.
struct BestBit {
  size_t count = 0;
  DcBit bit;
  int64_t gain = 0;
  int32_t pairs = 0;
  int32_t move = 0;  // |change * q|
  int64_t second = 0;

  // bitOf(): the hypothesis, made only when it leads.
  template <class BitOf>
  void Offer(BitOf&& bitOf, int64_t g, int32_t p, int32_t m) {
    if (count++ == 0 || g > gain) {
      if (count > 1) second = gain;
      bit = bitOf(), gain = g, pairs = p, move = m;
    } else {
      second = count == 2 ? g : std::max(second, g);
    }
  }
};

// The drift (and with step, the step of any size) that the recorded blocks and the
// picture show; unverified. sumsOf(c): the finished edge sums of component c.
template <class SumsOf>
std::optional<DcDrift> DriftOf(const ScanModel& model, std::span<const uint8_t> bytes,
                               const std::array<std::vector<BlockRecord>, 3>& blocks, SumsOf&& sumsOf,
                               std::optional<DcStep>* step, bool faint = false) {
  BestBit best;
  std::optional<DcStep> faintStep;
  for (int c = 0; c < model.components; ++c) {
    const std::vector<BlockRecord>& recs = blocks[static_cast<size_t>(c)];
    if (recs.empty()) continue;
    const EdgeSums sums = sumsOf(c);
    const std::vector<int32_t>& pairs = sums.pairs;  // sample pairs that each hypothesis splits
    const auto n = recs.size();
    // The bits of this component, grouped by what their flip does to 4r of a pair
    // whose later side it moves: the samples move by step * q / 8 levels, r
    // (3b - b2 - 3a + a2) by twice that, 4r by step * q.
    int32_t q = 0;
    int32_t perMcu = 0;  // blocks of this component in an MCU
    for (int b = 0; b < model.blockCount; ++b) {
      if (model.blocks[static_cast<size_t>(b)].component != c) continue;
      q = model.quant[static_cast<size_t>(model.blocks[static_cast<size_t>(b)].quant)][0];
      ++perMcu;
    }
    // A hypothesis as the sort moves it (a sixth of a million in a 12 MP photo): its
    // bit is remade from these when it leads.
    struct Weighed {
      int32_t move;
      int32_t block;
      int32_t position;  // the bit's byte
      int32_t step;
      int8_t bit;
    };
    std::vector<Weighed> weighed;
    for (size_t k = 0; k < n; ++k) {
      // Most differences are too small for any of their bits to count.
      if (!DcBitCounts(MostFlipChange(recs[k].Diff()) * q, kLeastPairs)) continue;
      ForEachDcBit(bytes, recs[k], c, [&](const DcBit& d) {
        const int32_t move = d.step * q;
        if (DcBitCounts(move, kLeastPairs))
          weighed.push_back({move, static_cast<int32_t>(k), d.edit.position, d.step, d.edit.bit});
      });
    }
    std::stable_sort(weighed.begin(), weighed.end(),
                     [](const Weighed& a, const Weighed& b) { return a.move < b.move; });
    std::vector<int64_t> gain(n + 1);
    for (size_t g = 0; g < weighed.size();) {
      const int32_t move = weighed[g].move;
      sums.StepGains(move, gain);
      for (; g < weighed.size() && weighed[g].move == move; ++g) {
        const auto block = static_cast<size_t>(weighed[g].block);
        if (!DcBitCounts(move, pairs[block])) continue;
        const Weighed& w = weighed[g];
        const auto bitOf = [&] {
          DcBit d;
          d.edit = ScanEdit::Bit(w.position, w.bit, bytes[static_cast<size_t>(w.position)]);
          d.mcu = recs[block].mcu;
          d.component = c;
          d.step = w.step;
          return d;
        };
        best.Offer(bitOf, gain[block], pairs[block], std::abs(move));
      }
    }
    if (step != nullptr) {
      // Steps of any size: what a lost track leaves behind it, or a bit's step that
      // one more edit made up for elsewhere.
      for (const int32_t levels : kStepLevels) {
        for (const int sign : {1, -1}) {
          const int32_t move = 8 * levels * sign;
          sums.StepGains(move, gain);
          for (size_t k = 0; k < n; ++k) {
            if (!DcStepCounts(pairs[k])) continue;
            const double share =
                static_cast<double>(gain[k]) / (static_cast<double>(pairs[k]) * std::abs(move));
            if (!*step || share > (*step)->share)
              *step = DcStep{recs[k].mcu, c, -levels * sign, share, pairs[k]};
          }
        }
      }
      if (faint) {
        // Faint steps, by the sign test: each hypothesis against the same place a row
        // of MCUs before and after (rowBlocks blocks of this component away).
        const auto rowBlocks = static_cast<size_t>(perMcu) * static_cast<size_t>(model.geometry.McusPerRow);
        const auto lean = [&](size_t k, double way) {
          return k < n && pairs[k] > 0 ? way * sums.signs[k] / pairs[k] : 0.0;
        };
        for (size_t k = 0; k < n; ++k) {
          // Most hypotheses lean too little to stand out, whatever their neighbours.
          const int32_t signs = sums.signs[k];
          if (std::abs(static_cast<double>(signs)) < kLeastFaintShare * pairs[k] || !DcStepCounts(pairs[k]))
            continue;
          const double way = signs > 0 ? 1 : -1;
          const double around =
              std::max({0.0, lean(k + rowBlocks, way), k >= rowBlocks ? lean(k - rowBlocks, way) : 0.0});
          const double contrast = lean(k, way) - around;
          if (faintStep && contrast <= faintStep->share) continue;
          // Its size by the mean of what it splits (8 units of 4r a level), at least a
          // level, the way the signs say: pairs mended by a step up were moved down.
          const double mean = static_cast<double>(sums.n[0][k] - sums.n[1][k]) / pairs[k];
          const auto levels = std::max<int32_t>(1, static_cast<int32_t>(std::lround(std::abs(mean) / 8)));
          faintStep = DcStep{recs[k].mcu, c, signs > 0 ? -levels : levels, contrast, pairs[k], true};
        }
      }
    }
  }
  if (step != nullptr && *step && !DcStepStandsOut((*step)->share)) step->reset();
  if (step != nullptr && !*step && faintStep && FaintStepStandsOut(faintStep->share)) *step = faintStep;
  if (best.count == 0) return std::nullopt;
  DcDrift found;
  found.bit = best.bit;
  found.pairs = best.pairs;
  found.share = static_cast<double>(best.gain) / (static_cast<double>(best.pairs) * best.move);
  found.margin = best.count > 1 ? static_cast<double>(best.gain - best.second) / best.move
                                : static_cast<double>(best.pairs);
  if (!DcDriftStandsOut(found.share, found.margin)) return std::nullopt;
  return found;
}

// The finished edge sums of component c over the whole picture.
EdgeSums SumEdges(const ScanModel& model, const ComponentPlanes& planes, int c,
                  const std::vector<BlockRecord>& recs) {
  BlockGrid grid(planes, c);
  grid.Place(model, recs);
  EdgeSums sums(recs.size());
  AddEdges(planes, c, recs, grid, 0, grid.height, sums);
  sums.Finish();
  return sums;
}

// The drift that the recorded blocks and the whole picture show; unverified.
std::optional<DcDrift> DriftOf(const ScanModel& model, std::span<const uint8_t> bytes,
                               const ComponentPlanes& planes,
                               const std::array<std::vector<BlockRecord>, 3>& blocks,
                               std::optional<DcStep>* step, bool faint = false) {
  return DriftOf(
      model, bytes, blocks, [&](int c) { return SumEdges(model, planes, c, blocks[static_cast<size_t>(c)]); },
      step, faint);
}

// How the pairs across one block-row edge of component c, samples [x0, x1) of row y
// (the first of the lower blocks), lean the way of a step of levels: pairs and the
// share of them beyond the dead zone that way, less those the other way.
std::pair<int32_t, double> RowLean(const ComponentPlanes& planes, int c, int32_t y, int32_t x0, int32_t x1,
                                   int32_t levels) {
  const auto i = static_cast<size_t>(c);
  x1 = std::min(x1, planes.visibleWidth[i]);
  if (y < 2 || y + 1 >= planes.visibleHeight[i] || x1 <= x0) return {0, 0.0};
  int32_t lean = 0;
  for (int32_t x = x0; x < x1; ++x) {
    const int32_t r4 = 4 * EdgeStep(planes.At(c, x, y - 2), planes.At(c, x, y - 1), planes.At(c, x, y),
                                    planes.At(c, x, y + 1));
    lean += FaintLean(r4);
  }
  return {x1 - x0, (levels > 0 ? lean : -lean) / static_cast<double>(x1 - x0)};
}

// Whether a faint step leans its way on both rows of block edges it splits: the top of
// its MCU's row from the MCU on, and the top of the next row before the MCU. A
// horizontal edge of the picture on the block grid leans on one of them only.
bool FaintStepOnBothRows(const ScanModel& model, const ComponentPlanes& planes, const DcStep& step) {
  const auto i = static_cast<size_t>(step.component);
  const int32_t perRow = model.geometry.McusPerRow;
  const int32_t mcuWidth = 8 * model.h[i], mcuHeight = 8 * model.v[i];
  const int32_t x = (step.mcu % perRow) * mcuWidth, y = (step.mcu / perRow) * mcuHeight;
  const auto [afterPairs, after] = RowLean(planes, step.component, y, x, planes.width[i], step.levels);
  const auto [beforePairs, before] = RowLean(planes, step.component, y + mcuHeight, 0, x, step.levels);
  return FaintHalfLeans(afterPairs, after) && FaintHalfLeans(beforePairs, before);
}

// Whether the scan with edit decodes as an encoder writes it.
bool CleanWith(const ScanModel& model, std::span<const uint8_t> bytes, const ScanEdit& edit) {
  ScanPass check;
  RunScanPass(model, PatchedBytes(bytes.data(), static_cast<int64_t>(bytes.size()), edit), false, check);
  return check.Clean();
}

}  // namespace

bool DriftCanExplain(const ScanPass& pass) {
  const SegmentOutcome* failure = pass.Failure();
  return failure == nullptr ? pass.Clean() : failure->stop.kind == StopKind::DcRange;
}

std::vector<DcBit> DcBitsOf(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass) {
  std::vector<DcBit> out;
  if (!DriftCanExplain(pass)) return out;
  const std::array<std::vector<BlockRecord>, 3> blocks = RecordBlocks(model, bytes, pass);
  for (int c = 0; c < model.components; ++c)
    for (const BlockRecord& r : blocks[static_cast<size_t>(c)])
      ForEachDcBit(bytes, r, c, [&](const DcBit& d) { out.push_back(d); });
  return out;
}

std::optional<DcDrift> FindDcDrift(const ScanModel& model, std::span<const uint8_t> bytes,
                                   const ScanPass& pass, std::optional<DcStep>* step) {
  if (!DriftCanExplain(pass) || pass.planes.count == 0) return std::nullopt;
  std::optional<DcDrift> found = DriftOf(model, bytes, pass.planes, RecordBlocks(model, bytes, pass), step);
  // Verified: the scan with the bit flipped decodes as an encoder writes it.
  if (found && !CleanWith(model, bytes, found->bit.edit)) return std::nullopt;
  return found;
}

}  // namespace vorn

namespace vorn {

namespace {

// Only coefficients whose change moves some sample of the block this much are looked
// for: what a person sees, and more than the edges of a quantized block carry alone.
constexpr double kLeastAcLevels = 16;
// One block's four edges are few pairs, and the picture's own edges give and take:
// on clean photos of four encoders the best hypothesis mended up to 78 % of what it
// could, but never more than 1.6 times what the best hypothesis of any other block
// mended, where it mended more than half. A wrong coefficient mends 90 to 100 % and
// stands 2.7 to 8 times above the next block's.
constexpr double kLeastAcShare = 0.9;
constexpr double kLeastAcLead = 2.5;

// Per natural position, what one unit of the coefficient (dequantized) adds to r
// across each of the block's four edges, 8 pairs each: top, bottom, left, right, in
// the orders EdgeResiduals reads them.
struct BasisEdges {
  std::array<std::array<float, 32>, 64> edge{};
  std::array<float, 64> largest{};  // the largest sample change per unit
  BasisEdges() {
    const double pi = 3.14159265358979323846;
    for (int n = 0; n < 64; ++n) {
      const int u = n % 8, v = n / 8;
      const auto basis = [&](int x, int y) {
        const double cu = u == 0 ? std::sqrt(0.5) : 1, cv = v == 0 ? std::sqrt(0.5) : 1;
        return cu * cv / 4 * std::cos((2 * x + 1) * u * pi / 16) * std::cos((2 * y + 1) * v * pi / 16);
      };
      auto& e = edge[static_cast<size_t>(n)];
      for (int i = 0; i < 8; ++i) {
        e[static_cast<size_t>(i)] = static_cast<float>(3 * basis(i, 0) - basis(i, 1));
        e[static_cast<size_t>(8 + i)] = static_cast<float>(-3 * basis(i, 7) + basis(i, 6));
        e[static_cast<size_t>(16 + i)] = static_cast<float>(3 * basis(0, i) - basis(1, i));
        e[static_cast<size_t>(24 + i)] = static_cast<float>(-3 * basis(7, i) + basis(6, i));
      }
      double most = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) most = std::max(most, std::abs(basis(x, y)));
      largest[static_cast<size_t>(n)] = static_cast<float>(most);
    }
  }
};

const BasisEdges& Basis() {
  static const BasisEdges basis;
  return basis;
}

// r across the four edges of the block at (bx, by) of component c, in BasisEdges'
// order; valid[i] false where a neighbour is missing or outside the picture.
template <class Planes>
void EdgeResiduals(const Planes& planes, int c, int32_t bx, int32_t by, std::array<float, 32>& r,
                   std::array<bool, 32>& valid) {
  const auto i = static_cast<size_t>(c);
  const int32_t vw = planes.visibleWidth[i], vh = planes.visibleHeight[i];
  const int32_t x0 = bx * 8, y0 = by * 8;
  valid.fill(false);
  const auto at = [&](int32_t x, int32_t y) { return static_cast<int32_t>(planes.At(c, x, y)); };
  for (int k = 0; k < 8; ++k) {
    const int32_t x = x0 + k, y = y0 + k;
    if (x < vw && y0 >= 2 && y0 + 1 < vh) {
      r[static_cast<size_t>(k)] =
          static_cast<float>(EdgeStep(at(x, y0 - 2), at(x, y0 - 1), at(x, y0), at(x, y0 + 1)));
      valid[static_cast<size_t>(k)] = true;
    }
    if (x < vw && y0 + 9 < vh) {
      r[static_cast<size_t>(8 + k)] =
          static_cast<float>(EdgeStep(at(x, y0 + 6), at(x, y0 + 7), at(x, y0 + 8), at(x, y0 + 9)));
      valid[static_cast<size_t>(8 + k)] = true;
    }
    if (y < vh && x0 >= 2 && x0 + 1 < vw) {
      r[static_cast<size_t>(16 + k)] =
          static_cast<float>(EdgeStep(at(x0 - 2, y), at(x0 - 1, y), at(x0, y), at(x0 + 1, y)));
      valid[static_cast<size_t>(16 + k)] = true;
    }
    if (y < vh && x0 + 9 < vw) {
      r[static_cast<size_t>(24 + k)] =
          static_cast<float>(EdgeStep(at(x0 + 6, y), at(x0 + 7, y), at(x0 + 8, y), at(x0 + 9, y)));
      valid[static_cast<size_t>(24 + k)] = true;
    }
  }
}

struct AcScore {
  DcBit bit;  // step: the coefficient's change
  double gain = 0, most = 0;
  int64_t block = -1;  // component * 2^40 + by * 2^20 + bx: which block
};

// A flippable AC bit that moves some sample enough to count, before the edges of its
// block are looked at.
struct AcCandidate {
  DcBit bit;  // step: the coefficient's change
  double move = 0;
  int n = 0;  // the coefficient's natural position
  int32_t bx = 0, by = 0;
  int64_t block = 0;  // as AcScore's
};

// Scores candidates by the edges of their blocks in planes, keeping the best hypotheses
// by gain: the best of each block, the three best blocks.
template <class Planes>
class AcScorer {
 public:
  AcScorer(const Planes& planes, std::vector<AcScore>& best) : planes_(planes), best_(best) {}

  void Score(const AcCandidate& candidate) {
    if (candidate.block != residualsOf_) {
      EdgeResiduals(planes_, candidate.bit.component, candidate.bx, candidate.by, r_, valid_);
      residualsOf_ = candidate.block;
    }
    AcScore s;
    const auto& e = Basis().edge[static_cast<size_t>(candidate.n)];
    for (size_t p = 0; p < 32; ++p) {
      if (!valid_[p]) continue;
      const double d = candidate.move * e[p];
      s.gain += std::abs(r_[p]) - std::abs(r_[p] + d);
      s.most += std::abs(d);
    }
    if (s.most <= 0) return;
    s.bit = candidate.bit;
    s.block = candidate.block;
    Keep(s);
  }

 private:
  void Keep(const AcScore& s) {
    for (AcScore& kept : best_) {
      if (kept.block != s.block) continue;
      if (s.gain > kept.gain) kept = s;
      return;
    }
    best_.push_back(s);
    std::sort(best_.begin(), best_.end(), [](const AcScore& a, const AcScore& b) { return a.gain > b.gain; });
    if (best_.size() > 3) best_.pop_back();
  }

  const Planes& planes_;
  std::vector<AcScore>& best_;
  int64_t residualsOf_ = -1;  // the block whose edges r_ holds
  std::array<float, 32> r_{};
  std::array<bool, 32> valid_{};
};

// Finds every flippable extra bit of every AC coefficient that counts as it is
// decoded (the symbols of a block are known once the next block begins, or the MCU
// ends) and hands it to take(candidate).
template <class Take>
class AcSink {
 public:
  static constexpr bool kSymbols = true;
  static constexpr bool kCoefficients = true;

  AcSink(const ScanModel& model, std::span<const uint8_t> bytes, Take take)
      : model_(model), bytes_(bytes), take_(std::move(take)) {
    // Whether any bit of a coefficient can move a sample enough depends on its size
    // alone (MostFlipChange), and grows with it: the least size that can, per table
    // and position, decided by the very test Finish would make.
    const BasisEdges& basis = Basis();
    for (size_t t = 0; t < leastSize_.size(); ++t)
      for (size_t k = 1; k < 64; ++k) {
        const auto n = static_cast<size_t>(kNaturalOrder[k]);
        int size = 1;
        while (size <= 16 && !AcBitCounts(static_cast<double>((3 << (size - 1)) - 1) * model.quant[t][k] *
                                          basis.largest[n]))
          ++size;
        leastSize_[t][k] = static_cast<int8_t>(size);
      }
  }

  void OnSymbol(const ScanPoint& p) {
    if (p.coef == 0) {
      if (pending_) Finish(p.next);
      starts_.clear();
      mcu_ = p.mcu;
      block_ = p.block;
    }
    starts_.push_back({p.next, p.coef});
  }
  bool OnBlock(int, std::array<int32_t, 64>& natural, uint64_t) {
    natural_ = natural;
    pending_ = true;
    return true;
  }
  bool OnMcu(int32_t, BitPos mark, const std::array<int16_t, 3>&) {
    if (pending_) Finish(mark + 1);
    return true;
  }

 private:
  struct Start {
    BitPos at;
    int coef;
  };

  void Finish(BitPos end) {
    pending_ = false;
    const ScanModel::Block& b = model_.blocks[static_cast<size_t>(block_)];
    const auto c = static_cast<size_t>(b.component);
    const int32_t perRow = model_.geometry.McusPerRow;
    const int32_t bx = (mcu_ % perRow) * model_.h[c] + b.x, by = (mcu_ / perRow) * model_.v[c] + b.y;
    const BasisEdges& basis = Basis();
    for (size_t i = 1; i < starts_.size(); ++i) {
      const Start next = i + 1 < starts_.size() ? starts_[i + 1] : Start{end, 64};
      const int k = next.coef - 1;
      if (k < 1 || k > 63) continue;
      const int n = kNaturalOrder[static_cast<size_t>(k)];
      const int32_t value = natural_[static_cast<size_t>(n)];
      const int size = BitWidth(value);
      // Most coefficients cannot move a sample enough whichever bit flips.
      if (value == 0 || size < leastSize_[static_cast<size_t>(b.quant)][static_cast<size_t>(k)]) continue;
      const int32_t q = model_.quant[static_cast<size_t>(b.quant)][static_cast<size_t>(k)];
      const auto raw = static_cast<uint32_t>(value >= 0 ? value : value + (1 << size) - 1);
      BitPos at = next.at;
      for (int j = size - 1; j >= 0; --j) {
        at = PreviousDataBit(bytes_, at);
        const int32_t changed = ExtendSign(raw ^ (1u << (size - 1 - j)), size);
        if (std::abs(changed) > (*b.largest)[static_cast<size_t>(k)]) continue;
        const double move = static_cast<double>(changed - value) * q;
        if (!AcBitCounts(std::abs(move) * basis.largest[static_cast<size_t>(n)])) continue;
        const int64_t byte = at >> 3;
        const int bit = static_cast<int>(at & 7);
        const uint8_t old = bytes_[static_cast<size_t>(byte)];
        if ((old ^ (0x80 >> bit)) == 0xFF) continue;
        AcCandidate candidate;
        candidate.bit.edit = ScanEdit::Bit(static_cast<int32_t>(byte), bit, old);
        candidate.bit.mcu = mcu_;
        candidate.bit.component = b.component;
        candidate.bit.step = changed - value;
        candidate.move = move;
        candidate.n = n;
        candidate.bx = bx;
        candidate.by = by;
        candidate.block = (static_cast<int64_t>(b.component) << 40) | (int64_t{by} << 20) | bx;
        take_(candidate);
      }
    }
  }

  const ScanModel& model_;
  std::span<const uint8_t> bytes_;
  Take take_;
  std::vector<Start> starts_;
  std::array<int32_t, 64> natural_{};
  std::array<std::array<int8_t, 64>, 3> leastSize_{};  // per quantization slot and zig-zag index
  int32_t mcu_ = 0;
  int block_ = 0;
  bool pending_ = false;
};

}  // namespace

bool DcBitCounts(int32_t move, int32_t pairs) {
  return std::abs(move) >= 8 * kLeastStepLevels && pairs >= kLeastPairs;
}

bool DcDriftStandsOut(double share, double margin) {
  return share >= kLeastShare && margin >= kLeastMargin;
}

bool DcStepCounts(int32_t pairs) {
  return pairs >= kLeastStepPairs;
}

bool DcStepStandsOut(double share) {
  return share >= kLeastStepShare;
}

bool FaintStepStandsOut(double share) {
  return share >= kLeastFaintShare;
}

bool FaintHalfLeans(int32_t pairs, double share) {
  return pairs >= kLeastHalfPairs && share >= kLeastFaintHalf;
}

bool AcBitCounts(double levels) {
  return levels >= kLeastAcLevels;
}

bool AcFlipStandsOut(double gain, double most, double nextBlockGain) {
  return gain >= kLeastAcShare * most && gain >= kLeastAcLead * nextBlockGain;
}

namespace {

// The AC bit among the best kept that stands out, verified.
// Whether the best AC bit stands out, before it is verified.
bool AcStandsOut(const std::vector<AcScore>& best) {
  return !best.empty() &&
         AcFlipStandsOut(static_cast<double>(best[0].gain), static_cast<double>(best[0].most),
                         best.size() > 1 ? static_cast<double>(best[1].gain) : 0.0);
}

std::optional<DcBit> AcFlipOf(const ScanModel& model, std::span<const uint8_t> bytes,
                              const std::vector<AcScore>& best) {
  if (!AcStandsOut(best)) return std::nullopt;
  const AcScore& top = best[0];
  if (!CleanWith(model, bytes, top.bit.edit)) return std::nullopt;
  return top.bit;
}

// Records the DC differences and finds the AC bits in the same decode.
template <class Ac>
class DcAcSink {
 public:
  static constexpr bool kSymbols = true;
  static constexpr bool kCoefficients = true;

  DcAcSink(DcSink& dc, Ac& ac) : dc_(dc), ac_(ac) {}
  void OnSymbol(const ScanPoint& p) {
    dc_.OnSymbol(p);
    ac_.OnSymbol(p);
  }
  bool OnBlock(int block, std::array<int32_t, 64>& natural, uint64_t nonZero) {
    return ac_.OnBlock(block, natural, nonZero);
  }
  bool OnMcu(int32_t mcu, BitPos mark, const std::array<int16_t, 3>& dc) { return ac_.OnMcu(mcu, mark, dc); }

 private:
  DcSink& dc_;
  Ac& ac_;
};

}  // namespace

std::optional<DcBit> FindAcFlip(const ScanModel& model, std::span<const uint8_t> bytes,
                                const ScanPass& pass) {
  if (!pass.Clean() || pass.planes.count == 0) return std::nullopt;
  std::vector<AcScore> best;
  ForEachInterval(model, bytes, pass, [&](auto run) {
    AcScorer<ComponentPlanes> scorer(pass.planes, best);
    AcSink sink(model, bytes, [&scorer](const AcCandidate& candidate) { scorer.Score(candidate); });
    run(sink);
  });
  return AcFlipOf(model, bytes, best);
}

IntactDamage FindIntactDamage(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass) {
  IntactDamage out;
  if (!pass.Clean() || pass.planes.count == 0) {
    out.drift = FindDcDrift(model, bytes, pass, &out.step);
    return out;
  }
  std::array<std::vector<BlockRecord>, 3> blocks = EmptyBlockLists(model);
  std::vector<AcScore> best;
  ForEachInterval(model, bytes, pass, [&](auto run) {
    DcSink dc(model, blocks);
    AcScorer<ComponentPlanes> scorer(pass.planes, best);
    AcSink ac(model, bytes, [&scorer](const AcCandidate& candidate) { scorer.Score(candidate); });
    DcAcSink both(dc, ac);
    if (FailedInBlock(run(both))) dc.DropLast();
  });
  out.drift = DriftOf(model, bytes, pass.planes, blocks, &out.step, true);
  if (out.step && out.step->faint && !FaintStepOnBothRows(model, pass.planes, *out.step)) out.step.reset();
  if (out.drift && !CleanWith(model, bytes, out.drift->bit.edit)) out.drift.reset();
  if (!out.drift) out.flip = AcFlipOf(model, bytes, best);
  return out;
}

namespace {

// The decode of ScanLooksWhole: the pass's marks, the DC records and AC candidates,
// and a band of the picture; each MCU row's edges are summed and its AC candidates
// scored once the row below it is drawn.
class BandSink {
 public:
  static constexpr bool kSymbols = true;
  static constexpr bool kCoefficients = true;

  BandSink(const ScanModel& model, std::span<const uint8_t> bytes, ScanPass& marks,
           std::array<std::vector<BlockRecord>, 3>& blocks)
      : model_(model),
        marks_(marks),
        blocks_(blocks),
        draw_(model, band_, 0),
        ac_(model, bytes, [this](const AcCandidate& candidate) { candidates_.push_back(candidate); }),
        scorer_(band_, best_) {
    band_.Reset(model);
    for (int c = 0; c < model.components; ++c) {
      size_t count = 0;
      for (int b = 0; b < model.blockCount; ++b)
        if (model.blocks[static_cast<size_t>(b)].component == c)
          count += static_cast<size_t>(model.totalMcus);
      sums_.emplace_back(count);
      grids_.emplace_back(band_, c);
    }
  }

  // The DC records of the interval about to be decoded go to dc.
  void SetDc(DcSink& dc) { dc_ = &dc; }

  void OnSymbol(const ScanPoint& p) {
    dc_->OnSymbol(p);
    ac_.OnSymbol(p);
  }
  bool OnBlock(int block, std::array<int32_t, 64>& natural, uint64_t nonZero) {
    ac_.OnBlock(block, natural, nonZero);  // before the transform changes natural
    return draw_.OnBlock(block, natural, nonZero);
  }
  bool OnMcu(int32_t mcu, BitPos mark, const std::array<int16_t, 3>& dc) {
    ac_.OnMcu(mcu, mark, dc);
    draw_.OnMcu(mcu, mark, dc);
    if (mcu < static_cast<int32_t>(marks_.marks.size()))
      marks_.marks[static_cast<size_t>(mcu)] = McuMark{mark, dc};
    const int32_t perRow = model_.geometry.McusPerRow;
    // MCU row mcu / perRow - 1 is drawn: the row before it has all it needs.
    if (mcu % perRow == 0 && mcu / perRow >= 2) Finish(mcu / perRow - 2);
    return true;
  }

  // After the whole decode: the rows not finished yet, and whether the picture shows
  // nothing that stands out.
  bool NothingStandsOut(std::span<const uint8_t> bytes) {
    for (int32_t row = finished_; row < model_.geometry.McuRows; ++row) Finish(row);
    for (EdgeSums& sums : sums_) sums.Finish();
    // The rows are summed and scored: their band and block grids make room for the
    // hypotheses.
    std::vector<BlockGrid>().swap(grids_);
    band_ = BandPlanes{};
    std::optional<DcStep> step;
    const std::optional<DcDrift> drift = DriftOf(
        model_, bytes, blocks_, [&](int c) { return std::move(sums_[static_cast<size_t>(c)]); }, &step, true);
    return !drift && !step && !AcStandsOut(best_);
  }

 private:
  // Sums the edges of MCU row `row` and scores its AC candidates.
  void Finish(int32_t row) {
    for (int c = 0; c < model_.components; ++c) {
      const auto i = static_cast<size_t>(c);
      grids_[i].Place(model_, blocks_[i]);
      const int32_t v = model_.v[i];
      AddEdges(band_, c, blocks_[i], grids_[i], row * v, (row + 1) * v, sums_[i]);
    }
    const int32_t perRow = model_.geometry.McusPerRow;
    size_t k = 0;
    for (; k < candidates_.size() && candidates_[k].bit.mcu / perRow <= row; ++k)
      scorer_.Score(candidates_[k]);
    candidates_.erase(candidates_.begin(), candidates_.begin() + static_cast<ptrdiff_t>(k));
    finished_ = row + 1;
  }

  using Take = std::function<void(const AcCandidate&)>;

  const ScanModel& model_;
  ScanPass& marks_;
  std::array<std::vector<BlockRecord>, 3>& blocks_;
  BandPlanes band_;
  PlaneSink<BandPlanes> draw_;
  AcSink<Take> ac_;
  std::vector<AcCandidate> candidates_;  // of the rows not finished
  std::vector<AcScore> best_;
  AcScorer<BandPlanes> scorer_;
  std::vector<EdgeSums> sums_;
  std::vector<BlockGrid> grids_;
  DcSink* dc_ = nullptr;
  int32_t finished_ = 0;  // MCU rows finished
};

}  // namespace

bool ScanLooksWhole(const ScanModel& model, std::span<const uint8_t> bytes) {
  ScanPass marks;
  marks.marks.assign(static_cast<size_t>(model.totalMcus) + 1, McuMark{});
  marks.marks[0].mark = MakeBitPos(model.scanStart - 1, 7);
  std::array<std::vector<BlockRecord>, 3> blocks = EmptyBlockLists(model);
  BandSink sink(model, bytes, marks, blocks);
  const PatchedBytes plain(bytes.data(), static_cast<int64_t>(bytes.size()));
  // Where the strict pass starts each interval: the first at the scan data, each
  // later one after the restart marker that ended the one before.
  BitPos passStart = MakeBitPos(model.scanStart, 0);
  for (int32_t i = 0; i < model.intervals; ++i) {
    const int32_t first = model.IntervalStart(i);
    if (first >= model.totalMcus) break;
    const ScanPoint start = StartPointOf(model, bytes, marks, first);
    if (start.next != passStart) return false;
    StrictDecoder decoder(model);
    DcSink dc(model, blocks);
    sink.SetDc(dc);
    const DecodeStop stop = decoder.Run(plain, start, model.IntervalEnd(i), sink);
    if (!IntervalComplete(model, i, stop)) return false;
    passStart = MakeBitPos((stop.at >> 3) + 2, 0);
  }
  return sink.NothingStandsOut(bytes);
}

}  // namespace vorn
