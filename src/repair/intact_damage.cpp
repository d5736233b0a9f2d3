#include "repair/intact_damage.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <functional>
#include <limits>
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
// symbol, whose start the decoder announces. Records: BlockLists or DriftWeigher.
template <class Records>
class DcSink {
 public:
  static constexpr bool kSymbols = true;
  static constexpr bool kCoefficients = false;

  // Called at the start of each restart interval.
  DcSink(const ScanModel& model, Records& out) : model_(model), out_(out) {
    for (int c = 0; c < model.components; ++c) first_[static_cast<size_t>(c)] = out.Count(c);
  }
  void OnSymbol(const ScanPoint& p) {
    if (p.coef != 1) return;
    const ScanModel::Block& b = model_.blocks[static_cast<size_t>(p.block)];
    out_.Push(b.component,
              BlockRecord(p.mcu, first_[static_cast<size_t>(b.component)], p.next, p.pendingDc, p.block));
    last_ = b.component;
  }
  // The decode failed in the block recorded last, which was never drawn.
  void DropLast() {
    if (last_ >= 0) out_.DropLast(last_);
    last_ = -1;
  }
  bool OnBlock(int, std::array<int32_t, 64>&, uint64_t) { return true; }
  bool OnMcu(int32_t, BitPos, const std::array<int16_t, 3>&) { return true; }

 private:
  const ScanModel& model_;
  Records& out_;
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

// The block records of a scan, per component in decode order: what DcSink fills
// when every bit is wanted, not weighed.
struct BlockLists {
  std::array<std::vector<BlockRecord>, 3> lists;

  // With room for every block of the scan: a 12 MP scan holds some 300000, which
  // growing lists would copy over and over.
  explicit BlockLists(const ScanModel& model) {
    for (int b = 0; b < model.blockCount; ++b) {
      std::vector<BlockRecord>& list =
          lists[static_cast<size_t>(model.blocks[static_cast<size_t>(b)].component)];
      list.reserve(list.capacity() + static_cast<size_t>(model.totalMcus));
    }
  }
  int32_t Count(int c) const { return static_cast<int32_t>(lists[static_cast<size_t>(c)].size()); }
  void Push(int c, const BlockRecord& r) { lists[static_cast<size_t>(c)].push_back(r); }
  void DropLast(int c) { lists[static_cast<size_t>(c)].pop_back(); }
};

BlockLists RecordBlocks(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass) {
  BlockLists blocks(model);
  ForEachInterval(model, bytes, pass, [&](auto run) {
    DcSink sink(model, blocks);
    if (FailedInBlock(run(sink))) sink.DropLast();
  });
  return blocks;
}

// Where each recorded block of a component lies on its block grid: the index of its
// record, -1 where none; `rows` block rows are held, row by lying at by % rows (the
// whole grid, or the block rows of the band's three MCU rows).
struct BlockGrid {
  int32_t width = 0, height = 0, rows = 0;
  std::vector<int32_t> index;
  int32_t placed = 0;  // records placed

  BlockGrid(const ComponentPlanes& planes, int c, int32_t heldRows)
      : width(planes.width[static_cast<size_t>(c)] / 8),
        height(planes.height[static_cast<size_t>(c)] / 8),
        rows(std::min(heldRows, height)),
        index(static_cast<size_t>(width) * static_cast<size_t>(std::max(rows, 0)), -1) {}
  // Places the records not placed yet.
  template <class Records>
  void Place(const ScanModel& model, const Records& records, int c) {
    for (; placed < records.Count(c); ++placed) {
      const BlockRecord& r = records.Record(c, placed);
      const int32_t bx = r.Bx(model), by = r.By(model);
      if (bx < width && by < height) index[Slot(bx, by)] = placed;
    }
  }
  int32_t At(int32_t bx, int32_t by) const { return index[Slot(bx, by)]; }
  // Forgets block rows [from, to), whose slots the rows rows later take.
  void Clear(int32_t from, int32_t to) {
    for (int32_t by = from; by < std::min(to, height); ++by)
      std::fill_n(index.begin() + static_cast<ptrdiff_t>(Slot(0, by)), width, -1);
  }

 private:
  size_t Slot(int32_t bx, int32_t by) const {
    return static_cast<size_t>(by % rows) * static_cast<size_t>(width) + static_cast<size_t>(bx);
  }
};

// Adds to the weigher every edge of block rows [byFrom, byTo) of component c between
// two recorded blocks: with the block to the right and the block below.
template <class Planes, class Weigher>
void AddEdges(const Planes& planes, int c, Weigher& weigher, const BlockGrid& grid, int32_t byFrom,
              int32_t byTo) {
  const auto i = static_cast<size_t>(c);
  const int32_t vw = planes.visibleWidth[i], vh = planes.visibleHeight[i];
  weigher.Grow(c);
  std::array<int16_t, 8> residuals{};
  const auto add = [&](int32_t a, int32_t b, int count) {
    const int32_t firstA = weigher.Record(c, a).first, firstB = weigher.Record(c, b).first;
    if (firstA == firstB) {
      weigher.Add(c, std::min(a, b) + 1, std::max(a, b), b > a ? 1 : -1, residuals, count);
    } else {
      weigher.Add(c, firstA, a, -1, residuals, count);
      weigher.Add(c, firstB, b, 1, residuals, count);
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
// A faint step (see DriftWeigher::Lane::signs) over a row of blocks or more: the share of the
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

// How far a pair can be broken: |4r| of samples 0..255 (see EdgeStep).
constexpr int32_t kMostBreak = 4 * 1020;

// The pairs broken beyond the smallest step that the weighed hypotheses split, by how
// far they are broken (1..kMostBreak): what any step leaves of them. A count per
// amount and per run of 64 amounts: adding a pair touches three counters (pairs come
// and go far more often than a bit is weighed), a query reads at most 64 runs and 63
// amounts.
class BreakCounts {
 public:
  BreakCounts() : count_(kMostBreak + 1, 0), runCount_(kRuns, 0), runSum_(kRuns, 0) {}
  // sign: 1 to add a pair broken by w, -1 to take it away.
  void Add(int32_t w, int sign) {
    const auto run = static_cast<size_t>(w) / kRun;
    count_[static_cast<size_t>(w)] += sign;
    runCount_[run] += sign;
    runSum_[run] += int64_t{sign} * w;
  }
  // The sum over the pairs broken by more than m of what a step of m leaves: w - m.
  int64_t Beyond(int32_t m) const {
    if (m >= kMostBreak) return 0;
    const auto from = static_cast<size_t>(std::max(m, 0));
    const size_t run = from / kRun;
    int64_t count = 0, sum = 0;
    for (size_t w = from + 1; w < std::min((run + 1) * kRun, count_.size()); ++w) {
      count += count_[w];
      sum += int64_t{count_[w]} * static_cast<int64_t>(w);
    }
    for (size_t r = run + 1; r < kRuns; ++r) {
      count += runCount_[r];
      sum += runSum_[r];
    }
    return sum - int64_t{m} * count;
  }

 private:
  static constexpr size_t kRun = 64;
  static constexpr size_t kRuns = (kMostBreak + kRun) / kRun;
  std::vector<int32_t> count_;
  std::vector<int32_t> runCount_;
  std::vector<int64_t> runSum_;
};

// Weighs every DC hypothesis of a scan: each bit of a DC difference, each step of the
// sizes of kStepLevels, and (faint) each faint step, the block edges that they split
// coming in row by row. A pair across an edge with 4r = r gains |r| - |r + u| when its
// later side moves by u; with m = |u| and n = max(-sign(u) r, 0) that is
// 2n - m - 2 max(n - m, 0), and the last term is 0 unless the pair is broken by more
// than m. So per hypothesis the sums of n (one per sign of u), the count of pairs and
// the pairs broken by more than the smallest step give every step's gain exactly.
// The hypotheses of a block are weighed once no edge still to come splits them (see
// Settle), and only those of the blocks not weighed yet are held, with a row of MCUs
// of weighed sums on either side for the faint test: a few MCU rows of a 12 MP check,
// not the picture's 300000 blocks (but a whole restart interval where its last rows
// are still to come).
class DriftWeigher {
 public:
  DriftWeigher(const ScanModel& model, std::span<const uint8_t> bytes, bool steps, bool faint)
      : model_(model), bytes_(bytes), steps_(steps), faint_(steps && faint) {
    lanes_.resize(static_cast<size_t>(model.components));
    for (int b = 0; b < model.blockCount; ++b) {
      const ScanModel::Block& block = model.blocks[static_cast<size_t>(b)];
      Lane& lane = lanes_[static_cast<size_t>(block.component)];
      lane.q = model.quant[static_cast<size_t>(block.quant)][0];
      lane.rowBlocks += model.geometry.McusPerRow;
    }
  }

  // The records, as DcSink leaves them.
  int32_t Count(int c) const { return Lane::Of(lanes_, c).count; }
  void Push(int c, const BlockRecord& r) {
    Lane& lane = Lane::Of(lanes_, c);
    lane.recs.push_back(r);
    ++lane.count;
  }
  void DropLast(int c) {
    Lane& lane = Lane::Of(lanes_, c);
    lane.recs.pop_back();
    --lane.count;
    if (lane.pairs.size() > lane.recs.size() + 1) lane.Grow();
  }
  // Makes room for the edges of every record of component c so far.
  void Grow(int c) { Lane::Of(lanes_, c).Grow(); }
  const BlockRecord& Record(int c, int32_t k) const {
    const Lane& lane = Lane::Of(lanes_, c);
    return lane.recs[static_cast<size_t>(k - lane.base)];
  }

  // The sample pairs across one edge, split by hypotheses [lo, hi] of component c (no
  // hypothesis weighed yet): residuals holds the pairs' 4r, the first count of them,
  // the rest 0 (which add nothing), so that the sums run over all eight at once;
  // side: -1 where the hypotheses move the pairs' earlier side, 1 the later.
  void Add(int c, int32_t lo, int32_t hi, int side, const std::array<int16_t, 8>& residuals, int count) {
    Lane& lane = Lane::Of(lanes_, c);
    assert(lo >= lane.weighed && hi < lane.count && lane.pairs.size() == lane.recs.size() + 1);
    const auto at = static_cast<size_t>(lo - lane.base), past = static_cast<size_t>(hi + 1 - lane.base);
    lane.pairs[at] += count;
    lane.pairs[past] -= count;
    int32_t rise = 0, fall = 0;  // at most 8 pairs of |4r| <= kMostBreak: within 16 bits
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
    // v = -side * r: n[0] sums max(v, 0), n[1] max(-v, 0), and the signs lean -side times.
    const int32_t sign = -side * lean;
    lane.signs[at] += sign;
    lane.signs[past] -= sign;
    const int32_t up = side < 0 ? rise : fall, down = side < 0 ? fall : rise;
    for (int p = 0; anyBroken && p < count; ++p) {
      const int32_t v = -side * residuals[static_cast<size_t>(p)];
      // A step mends only the pairs broken its own way: those with v > 0 [0] apart
      // from those with v < 0 [1].
      if (std::abs(v) > kSmallestMove) lane.waiting[v > 0 ? 0 : 1].push_back({lo, hi, std::abs(v)});
    }
    lane.n[0][at] += up;
    lane.n[0][past] -= up;
    lane.n[1][at] += down;
    lane.n[1][past] -= down;
  }

  // No edge added from now on splits a hypothesis of the blocks of MCUs before mcu:
  // weighs them. An edge splits the hypotheses between its two blocks, the later one
  // within an MCU row of blocks after the earlier; and where the two lie in different
  // restart intervals, those of the earlier block's interval up to it as well. So
  // once the edges of MCU rows before mcu's row are in, the blocks before mcu are
  // weighed, but for an interval that runs on past mcu and is followed by another:
  // its edges with that one come with its last rows.
  void Settle(int32_t mcu) {
    if (mcu <= 0) return;
    const int32_t interval = model_.IntervalOf(mcu - 1);
    if (model_.IntervalEnd(interval) > mcu && interval + 1 < model_.intervals &&
        model_.IntervalStart(interval + 1) < model_.totalMcus)
      mcu = model_.IntervalStart(interval);
    for (Lane& lane : lanes_) {
      int32_t to = lane.weighed;
      while (to < lane.count && lane.recs[static_cast<size_t>(to - lane.base)].mcu < mcu) ++to;
      Weigh(lane, to);
    }
  }

  // Every edge of component c is in: weighs the rest of its hypotheses and lets go of
  // what they were weighed by.
  void FinishComponent(int c) {
    Lane& lane = Lane::Of(lanes_, c);
    Weigh(lane, lane.count);
    while (faint_ && lane.faintNext < lane.count) WeighFaint(lane, lane.faintNext++);
    std::vector<BlockRecord>().swap(lane.recs);
    std::vector<int32_t>().swap(lane.pairs);
    std::vector<int32_t>().swap(lane.signs);
    for (auto& n : lane.n) std::vector<int64_t>().swap(n);
    for (auto& list : lane.active) std::vector<Broken>().swap(list);
    std::deque<Weighed>().swap(lane.done);
  }

  // Every edge is in: weighs the rest and returns the drift that stands out (and with
  // step, the step of any size, or the faint step where none is larger); unverified.
  std::optional<DcDrift> Finish(std::optional<DcStep>* step) {
    for (int c = 0; c < model_.components; ++c) FinishComponent(c);
    if (step != nullptr) {
      *step = std::nullopt;
      if (steps_ && step_.any && DcStepStandsOut(step_.step.share)) *step = step_.step;
      if (!*step && faintStep_.any && FaintStepStandsOut(faintStep_.step.share)) *step = faintStep_.step;
    }
    if (bit_.count == 0) return std::nullopt;
    DcDrift found;
    found.bit = bit_.bit;
    found.pairs = bit_.pairs;
    found.share = static_cast<double>(bit_.gain) / (static_cast<double>(bit_.pairs) * bit_.move);
    found.margin = bit_.count > 1 ? static_cast<double>(bit_.gain - bit_.second) / bit_.move
                                  : static_cast<double>(bit_.pairs);
    if (!DcDriftStandsOut(found.share, found.margin)) return std::nullopt;
    return found;
  }

 private:
  struct Broken {
    int32_t lo, hi;  // the hypotheses that split the pair
    int32_t w;       // how far it is broken the way of its list
  };
  // The sums of a weighed hypothesis that the faint test of its neighbours reads.
  struct Weighed {
    int32_t pairs, signs;
    int64_t n0, n1;
    int32_t mcu;
  };
  struct Lane {
    int32_t q = 0;          // the DC quantizer: a bit's step of s moves 4r by s * q
    int32_t rowBlocks = 0;  // blocks of the component in an MCU row
    int32_t count = 0;      // records
    int32_t base = 0;       // the record of recs[0] and of the difference arrays' first entries
    int32_t weighed = 0;    // records weighed
    std::vector<BlockRecord> recs;
    // Difference arrays over the hypotheses [base, count]: each edge adds to those
    // that split it, [lo, hi], at lo and takes away after hi. pairs: the sample
    // pairs; signs: those with v above the dead zone less those below it (a sign test
    // that a faint step, which no gain of a visible step size tells from the
    // picture's own edges, passes as clearly as a large one); n: the sums of max(v, 0)
    // [0] and max(-v, 0) [1], v = -side * 4r (positive when a step up of the later
    // side mends the pair).
    std::vector<int32_t> pairs, signs;
    std::array<std::vector<int64_t>, 2> n;
    Weighed sums{0, 0, 0, 0, 0};  // the running sums at `weighed`
    // Pairs broken beyond the smallest step, per list: waiting (no hypothesis that
    // splits them weighed yet), active (splitting the next one), and the active
    // ones by how far they are broken, also summed beyond each size of kStepLevels.
    std::array<std::vector<Broken>, 2> waiting, active;
    std::array<BreakCounts, 2> breaks;
    std::array<std::array<int64_t, 3>, 2> stepCount{}, stepSum{};
    // The weighed sums of the hypotheses [doneBase, weighed) still read, and the next
    // hypothesis whose faint test is due (when a row of MCUs after it is weighed).
    std::deque<Weighed> done;
    int32_t doneBase = 0, faintNext = 0;

    static Lane& Of(std::vector<Lane>& lanes, int c) { return lanes[static_cast<size_t>(c)]; }
    static const Lane& Of(const std::vector<Lane>& lanes, int c) { return lanes[static_cast<size_t>(c)]; }
    // The difference arrays over every record (made as edges come, not as records
    // do: a whole picture's records come first, and its components' edges one after
    // the other).
    void Grow() {
      const size_t size = recs.size() + 1;
      pairs.resize(size, 0);
      signs.resize(size, 0);
      for (auto& sums : n) sums.resize(size, 0);
    }
    // A pair broken by w starts (sign 1) or stops (-1) splitting the next hypothesis.
    void Activate(int32_t w, int list, int sign) {
      breaks[static_cast<size_t>(list)].Add(w, sign);
      for (size_t s = 0; s < kStepLevels.size(); ++s) {
        if (w <= 8 * kStepLevels[s]) break;
        stepCount[static_cast<size_t>(list)][s] += sign;
        stepSum[static_cast<size_t>(list)][s] += int64_t{sign} * w;
      }
    }
  };

  // Weighs the hypotheses of lane's records [weighed, to).
  void Weigh(Lane& lane, int32_t to) {
    const int32_t from = lane.weighed;
    if (to <= from) return;
    lane.Grow();
    const auto span = static_cast<size_t>(to - from);
    // Per list, where each broken pair starts or stops splitting the hypotheses of
    // [from, to), by place: +w where a pair broken by w starts, -w where it stops
    // (a count per place, then the events; 4 bytes an event, so that a whole picture's
    // pairs, weighed at once, take less than their list).
    std::array<std::vector<int32_t>, 2> eventAt, events;
    for (size_t list = 0; list < 2; ++list) {
      std::vector<Broken>& waiting = lane.waiting[list];
      std::vector<Broken>& active = lane.active[list];
      const auto starts =
          std::partition(waiting.begin(), waiting.end(), [to](const Broken& b) { return b.lo >= to; });
      const auto ends =
          std::partition(active.begin(), active.end(), [to](const Broken& b) { return b.hi + 1 >= to; });
      std::vector<int32_t>& at = eventAt[list];
      at.assign(span + 1, 0);
      const auto count = [&](int32_t place) { ++at[static_cast<size_t>(place - from) + 1]; };
      for (auto b = starts; b != waiting.end(); ++b) {
        count(b->lo);
        if (b->hi + 1 < to) count(b->hi + 1);
      }
      for (auto b = ends; b != active.end(); ++b) count(b->hi + 1);
      for (size_t i = 1; i <= span; ++i) at[i] += at[i - 1];
      events[list].resize(static_cast<size_t>(at[span]));
      const auto place = [&](int32_t where, int32_t event) {
        events[list][static_cast<size_t>(at[static_cast<size_t>(where - from)]++)] = event;
      };
      for (auto b = starts; b != waiting.end(); ++b) {
        place(b->lo, b->w);
        if (b->hi + 1 < to) place(b->hi + 1, -b->w);
      }
      for (auto b = ends; b != active.end(); ++b) place(b->hi + 1, -b->w);
      for (size_t i = span; i > 0; --i) at[i] = at[i - 1];  // back from ends to starts
      at[0] = 0;
      // The pairs that still split hypotheses after `to` stay active.
      active.erase(ends, active.end());
      for (auto b = starts; b != waiting.end(); ++b)
        if (b->hi + 1 >= to) active.push_back(*b);
      waiting.erase(starts, waiting.end());
      if (waiting.empty()) std::vector<Broken>().swap(waiting);
    }
    for (int32_t k = from; k < to; ++k) {
      const auto i = static_cast<size_t>(k - from);
      for (size_t list = 0; list < 2; ++list) {
        for (int32_t e = eventAt[list][i]; e < eventAt[list][i + 1]; ++e) {
          const int32_t event = events[list][static_cast<size_t>(e)];
          lane.Activate(std::abs(event), static_cast<int>(list), event > 0 ? 1 : -1);
        }
      }
      const auto at = static_cast<size_t>(k - lane.base);
      lane.sums.pairs += lane.pairs[at];
      lane.sums.signs += lane.signs[at];
      lane.sums.n0 += lane.n[0][at];
      lane.sums.n1 += lane.n[1][at];
      lane.sums.mcu = lane.recs[at].mcu;
      WeighBlock(lane, k);
      if (faint_) {
        lane.done.push_back(lane.sums);
        // A block's faint test reads the sums a row of MCUs before and after it.
        while (lane.faintNext + lane.rowBlocks <= k) WeighFaint(lane, lane.faintNext++);
        while (lane.doneBase < lane.faintNext - lane.rowBlocks) {
          lane.done.pop_front();
          ++lane.doneBase;
        }
      }
    }
    lane.weighed = to;
    // What no later edge reaches is dropped: an edge's earlier block is one before
    // the first hypothesis it splits at most.
    const int32_t keep = to - 1 - lane.base;
    if (keep > 4096 && static_cast<size_t>(keep) > lane.recs.size() / 2) {
      const auto drop = static_cast<ptrdiff_t>(keep);
      lane.recs.erase(lane.recs.begin(), lane.recs.begin() + drop);
      lane.pairs.erase(lane.pairs.begin(), lane.pairs.begin() + drop);
      lane.signs.erase(lane.signs.begin(), lane.signs.begin() + drop);
      for (auto& n : lane.n) n.erase(n.begin(), n.begin() + drop);
      lane.base += keep;
    }
  }

  // What a step that moves 4r of the later side's pairs by `move` gains when it begins
  // at the block being weighed.
  static int64_t Gain(const Lane& lane, int32_t move, int64_t beyond) {
    const int64_t sums = move > 0 ? lane.sums.n0 : lane.sums.n1;
    return 2 * sums - int64_t{std::abs(move)} * lane.sums.pairs - 2 * beyond;
  }

  // Weighs the DC bits of block k and the steps that begin at it.
  void WeighBlock(const Lane& lane, int32_t k) {
    const int c = static_cast<int>(&lane - lanes_.data());
    const BlockRecord& r = lane.recs[static_cast<size_t>(k - lane.base)];
    const int32_t pairs = lane.sums.pairs;
    // Most differences are too small for any of their bits to count.
    if (DcBitCounts(MostFlipChange(r.Diff()) * lane.q, kLeastPairs)) {
      int order = 0;
      ForEachDcBit(bytes_, r, c, [&](const DcBit& d) {
        const int32_t move = d.step * lane.q;
        ++order;
        if (!DcBitCounts(move, kLeastPairs) || !DcBitCounts(move, pairs)) return;
        // The pairs broken beyond the step only take from its gain: one that could not
        // reach the second best even without them is counted and no more.
        if (bit_.count >= 2 && Gain(lane, move, 0) < bit_.second) {
          ++bit_.count;
          return;
        }
        const int64_t gain = Gain(lane, move, lane.breaks[move > 0 ? 0 : 1].Beyond(std::abs(move)));
        bit_.Offer(gain, {c, move, k, order}, d, pairs, std::abs(move));
      });
    }
    if (!steps_ || !DcStepCounts(pairs)) return;
    // Steps of any size: what a lost track leaves behind it, or a bit's step that one
    // more edit made up for elsewhere. Only a step that stands out is ever reported,
    // and a step's share is at most (2 n - m pairs) / (m pairs), less for a larger m:
    // where the smallest size cannot reach kLeastStepShare that way, none can (the
    // bound is exact in integers, and a share below it by 1 / (2 m pairs) stays below
    // it when rounded), so the way is not weighed.
    std::array<bool, 2> may{};
    for (const size_t list : {size_t{0}, size_t{1}}) {
      const int64_t most = int64_t{8 * kStepLevels[0]} * pairs;
      const int64_t n = list == 0 ? lane.sums.n0 : lane.sums.n1;
      may[list] = static_cast<double>(2 * n - most) >= kLeastStepShare * static_cast<double>(most);
    }
    for (size_t s = 0; s < kStepLevels.size(); ++s) {
      for (const int sign : {1, -1}) {
        if (!may[sign > 0 ? 0 : 1]) continue;
        const int32_t move = 8 * kStepLevels[s] * sign;
        const auto list = static_cast<size_t>(move > 0 ? 0 : 1);
        const int64_t beyond = lane.stepSum[list][s] - int64_t{std::abs(move)} * lane.stepCount[list][s];
        const int64_t gain = Gain(lane, move, beyond);
        const double most = static_cast<double>(pairs) * std::abs(move);
        // The quotient only where it may lead: a gain below the leader's share of the
        // most by more than 2^-40 of it has a share below the leader's whatever the
        // rounding (a division a step costs more than the rest of its weighing).
        if (step_.any) {
          const double bound = step_.step.share * most;
          if (static_cast<double>(gain) < bound - std::abs(bound) * 0x1p-40) continue;
        }
        const double share = static_cast<double>(gain) / most;
        step_.Offer(share, {c, static_cast<int32_t>(s), sign > 0 ? 0 : 1, k},
                    DcStep{lane.sums.mcu, c, -kStepLevels[s] * sign, share, pairs});
      }
    }
  }

  // The faint test of block k, by the sign test: against the same place a row of
  // MCUs before and after (rowBlocks blocks of this component away).
  void WeighFaint(const Lane& lane, int32_t k) {
    const auto sumsAt = [&](int32_t j) -> const Weighed& {
      return lane.done[static_cast<size_t>(j - lane.doneBase)];
    };
    const Weighed& here = sumsAt(k);
    // Most hypotheses lean too little to stand out, whatever their neighbours.
    if (std::abs(static_cast<double>(here.signs)) < kLeastFaintShare * here.pairs ||
        !DcStepCounts(here.pairs))
      return;
    const double way = here.signs > 0 ? 1 : -1;
    const auto lean = [&](int32_t j) {
      if (j >= lane.count) return 0.0;
      const Weighed& w = sumsAt(j);
      return w.pairs > 0 ? way * w.signs / w.pairs : 0.0;
    };
    const double around =
        std::max({0.0, lean(k + lane.rowBlocks), k >= lane.rowBlocks ? lean(k - lane.rowBlocks) : 0.0});
    const double contrast = lean(k) - around;
    // Its size by the mean of what it splits (8 units of 4r a level), at least a level,
    // the way the signs say: pairs mended by a step up were moved down.
    const double mean = static_cast<double>(here.n0 - here.n1) / here.pairs;
    const auto levels = std::max<int32_t>(1, static_cast<int32_t>(std::lround(std::abs(mean) / 8)));
    const int c = static_cast<int>(&lane - lanes_.data());
    faintStep_.Offer(contrast, {c, 0, 0, k},
                     DcStep{here.mcu, c, here.signs > 0 ? -levels : levels, contrast, here.pairs, true});
  }

  // Ties go to the hypothesis of the least key (component first): the same choice
  // whatever order the blocks are weighed in.
  using Key = std::array<int32_t, 4>;
  // The best DC bit by gain and the best gain of all the others: all that the choice
  // looks at.
  struct BitLead {
    size_t count = 0;
    DcBit bit;
    int64_t gain = 0, second = std::numeric_limits<int64_t>::min();
    int32_t pairs = 0, move = 0;  // move: |change * q|
    Key key{};
    void Offer(int64_t g, const Key& k, const DcBit& d, int32_t p, int32_t m) {
      if (count++ == 0 || g > gain || (g == gain && k < key)) {
        if (count > 1) second = std::max(second, gain);
        bit = d, gain = g, key = k, pairs = p, move = m;
      } else {
        second = std::max(second, g);
      }
    }
  };
  // The step of the largest share.
  struct StepLead {
    bool any = false;
    DcStep step;
    Key key{};
    void Offer(double share, const Key& k, const DcStep& s) {
      if (!any || share > step.share || (share == step.share && k < key)) any = true, step = s, key = k;
    }
  };

  const ScanModel& model_;
  std::span<const uint8_t> bytes_;
  bool steps_, faint_;
  std::vector<Lane> lanes_;
  BitLead bit_;
  StepLead step_, faintStep_;
};

// Weighs the DC hypotheses over the whole picture, every record in.
std::optional<DcDrift> WeighWhole(const ScanModel& model, const ComponentPlanes& planes,
                                  DriftWeigher& weigher, std::optional<DcStep>* step) {
  for (int c = 0; c < model.components; ++c) {
    BlockGrid grid(planes, c, planes.height[static_cast<size_t>(c)] / 8);
    grid.Place(model, weigher, c);
    AddEdges(planes, c, weigher, grid, 0, grid.height);
    // One component's edges at a time: a 12 MP picture's are tens of MB.
    weigher.FinishComponent(c);
  }
  return weigher.Finish(step);
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
  const BlockLists blocks = RecordBlocks(model, bytes, pass);
  for (int c = 0; c < model.components; ++c)
    for (const BlockRecord& r : blocks.lists[static_cast<size_t>(c)])
      ForEachDcBit(bytes, r, c, [&](const DcBit& d) { out.push_back(d); });
  return out;
}

std::optional<DcDrift> FindDcDrift(const ScanModel& model, std::span<const uint8_t> bytes,
                                   const ScanPass& pass, std::optional<DcStep>* step) {
  if (!DriftCanExplain(pass) || pass.planes.count == 0) return std::nullopt;
  DriftWeigher weigher(model, bytes, step != nullptr, false);
  ForEachInterval(model, bytes, pass, [&](auto run) {
    DcSink sink(model, weigher);
    if (FailedInBlock(run(sink))) sink.DropLast();
  });
  std::optional<DcDrift> found = WeighWhole(model, pass.planes, weigher, step);
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
template <class Dc, class Ac>
class DcAcSink {
 public:
  static constexpr bool kSymbols = true;
  static constexpr bool kCoefficients = true;

  DcAcSink(Dc& dc, Ac& ac) : dc_(dc), ac_(ac) {}
  void OnSymbol(const ScanPoint& p) {
    dc_.OnSymbol(p);
    ac_.OnSymbol(p);
  }
  bool OnBlock(int block, std::array<int32_t, 64>& natural, uint64_t nonZero) {
    return ac_.OnBlock(block, natural, nonZero);
  }
  bool OnMcu(int32_t mcu, BitPos mark, const std::array<int16_t, 3>& dc) { return ac_.OnMcu(mcu, mark, dc); }

 private:
  Dc& dc_;
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
  DriftWeigher weigher(model, bytes, true, true);
  std::vector<AcScore> best;
  ForEachInterval(model, bytes, pass, [&](auto run) {
    DcSink dc(model, weigher);
    AcScorer<ComponentPlanes> scorer(pass.planes, best);
    AcSink ac(model, bytes, [&scorer](const AcCandidate& candidate) { scorer.Score(candidate); });
    DcAcSink both(dc, ac);
    if (FailedInBlock(run(both))) dc.DropLast();
  });
  out.drift = WeighWhole(model, pass.planes, weigher, &out.step);
  if (out.step && out.step->faint && !FaintStepOnBothRows(model, pass.planes, *out.step)) out.step.reset();
  if (out.drift && !CleanWith(model, bytes, out.drift->bit.edit)) out.drift.reset();
  if (!out.drift) out.flip = AcFlipOf(model, bytes, best);
  return out;
}

namespace {

// The decode of ScanLooksWhole: where the last MCU ends, the DC records and AC candidates,
// and a band of the picture; each MCU row's edges are summed, its DC hypotheses
// weighed as far as no later edge splits them and its AC candidates scored once the
// row below it is drawn.
class BandSink {
 public:
  static constexpr bool kSymbols = true;
  static constexpr bool kCoefficients = true;

  BandSink(const ScanModel& model, std::span<const uint8_t> bytes, DriftWeigher& weigher)
      : model_(model),
        weigher_(weigher),
        draw_(model, band_, 0),
        ac_(model, bytes, [this](const AcCandidate& candidate) { candidates_.push_back(candidate); }),
        scorer_(band_, best_) {
    band_.Reset(model);
    // The block rows of the band's three MCU rows.
    for (int c = 0; c < model.components; ++c)
      grids_.emplace_back(band_, c, 3 * model.v[static_cast<size_t>(c)]);
  }

  // The DC records of the interval about to be decoded go to dc.
  void SetDc(DcSink<DriftWeigher>& dc) { dc_ = &dc; }
  // Where the MCU decoded last ends (before the scan's data at first): where the next
  // interval's data begins, after its restart marker.
  const McuMark& LastMark() const { return last_; }

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
    last_ = McuMark{mark, dc};
    const int32_t perRow = model_.geometry.McusPerRow;
    // MCU row mcu / perRow - 1 is drawn: the row before it has all it needs.
    if (mcu % perRow == 0 && mcu / perRow >= 2) Finish(mcu / perRow - 2);
    return true;
  }

  // After the whole decode: the rows not finished yet, and whether the picture shows
  // nothing that stands out.
  bool NothingStandsOut() {
    for (int32_t row = finished_; row < model_.geometry.McuRows; ++row) Finish(row);
    std::optional<DcStep> step;
    const std::optional<DcDrift> drift = weigher_.Finish(&step);
    return !drift && !step && !AcStandsOut(best_);
  }

 private:
  // Sums the edges of MCU row `row`, weighs what they settle and scores its AC
  // candidates.
  void Finish(int32_t row) {
    for (int c = 0; c < model_.components; ++c) {
      const auto i = static_cast<size_t>(c);
      grids_[i].Place(model_, weigher_, c);
      const int32_t v = model_.v[i];
      AddEdges(band_, c, weigher_, grids_[i], row * v, (row + 1) * v);
      grids_[i].Clear(row * v, (row + 1) * v);  // their slots take the row after next
    }
    const int32_t perRow = model_.geometry.McusPerRow;
    weigher_.Settle((row + 1) * perRow);
    size_t k = 0;
    for (; k < candidates_.size() && candidates_[k].bit.mcu / perRow <= row; ++k)
      scorer_.Score(candidates_[k]);
    candidates_.erase(candidates_.begin(), candidates_.begin() + static_cast<ptrdiff_t>(k));
    finished_ = row + 1;
  }

  using Take = std::function<void(const AcCandidate&)>;

  const ScanModel& model_;
  DriftWeigher& weigher_;
  BandPlanes band_;
  PlaneSink<BandPlanes> draw_;
  AcSink<Take> ac_;
  std::vector<AcCandidate> candidates_;  // of the rows not finished
  std::vector<AcScore> best_;
  AcScorer<BandPlanes> scorer_;
  std::vector<BlockGrid> grids_;
  DcSink<DriftWeigher>* dc_ = nullptr;
  McuMark last_;
  int32_t finished_ = 0;  // MCU rows finished
};

}  // namespace

bool ScanLooksWhole(const ScanModel& model, std::span<const uint8_t> bytes) {
  DriftWeigher weigher(model, bytes, true, true);
  BandSink sink(model, bytes, weigher);
  const PatchedBytes plain(bytes.data(), static_cast<int64_t>(bytes.size()));
  // Where the strict pass starts each interval: the first at the scan data, each
  // later one after the restart marker that ended the one before.
  BitPos passStart = MakeBitPos(model.scanStart, 0);
  for (int32_t i = 0; i < model.intervals; ++i) {
    const int32_t first = model.IntervalStart(i);
    if (first >= model.totalMcus) break;
    const ScanPoint start =
        i == 0 ? StartPointOf(model, bytes, McuMark{MakeBitPos(model.scanStart - 1, 7), {}}, 0)
               : StartPointOf(model, bytes, sink.LastMark(), first);
    if (start.next != passStart) return false;
    StrictDecoder decoder(model);
    DcSink dc(model, weigher);
    sink.SetDc(dc);
    const DecodeStop stop = decoder.Run(plain, start, model.IntervalEnd(i), sink);
    if (!IntervalComplete(model, i, stop)) return false;
    passStart = MakeBitPos((stop.at >> 3) + 2, 0);
  }
  return sink.NothingStandsOut();
}

}  // namespace vorn
