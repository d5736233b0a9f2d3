// The DC hypotheses of a decoded scan and how they are weighed: where each block's
// DC difference lies (its extra bits: a bit of them changed is a hypothesis), where
// each block lies on its component's grid, and the weighing of every hypothesis by
// the block edges it splits, as the rows of the check's band come in or over a whole
// picture (the thresholds, with their grounds, in dc_hypotheses.cpp).
// intact_damage.cpp puts them to use beside the AC bits.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "decode/bit_rules.h"
#include "decode/simd.h"
#include "repair/intact_damage.h"
#include "repair/picture_fit.h"
#include "repair/scan_model.h"
#include "repair/scan_pass.h"
#include "repair/strict_decoder.h"

namespace vorn::drift {

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
inline BitPos PreviousDataBit(std::span<const uint8_t> bytes, BitPos p) {
  if ((p & 7) != 0) return p - 1;
  int64_t byte = (p >> 3) - 1;
  if (byte >= 1 && bytes[static_cast<size_t>(byte)] == 0x00 && bytes[static_cast<size_t>(byte - 1)] == 0xFF)
    --byte;
  return MakeBitPos(byte, 7);
}

// The size category of a coefficient: the bits of its magnitude.
inline int BitWidth(int32_t v) {
  return static_cast<int>(std::bit_width(static_cast<uint32_t>(std::abs(v))));
}

// The largest change that flipping one extra bit of a coefficient (or DC difference)
// of value v makes: that of its first bit, which flips the sign, 3 * 2^(size-1) - 1.
inline int32_t MostFlipChange(int32_t v) {
  const int size = BitWidth(v);
  return size == 0 ? 0 : (3 << (size - 1)) - 1;
}

// Calls f(at, changed) for each extra bit of a value whose extra bits end before
// `end`, from the last read back: where the bit lies (stepping back over the stuffed
// 00 of a data FF) and the value read with that bit flipped.
template <class F>
void ForEachExtraBit(std::span<const uint8_t> bytes, BitPos end, int32_t value, F&& f) {
  const int size = BitWidth(value);
  const auto raw = static_cast<uint32_t>(value >= 0 ? value : value + (1 << size) - 1);
  BitPos at = end;
  for (int j = size - 1; j >= 0; --j) {
    at = PreviousDataBit(bytes, at);
    f(at, ExtendSign(raw ^ (1u << (size - 1 - j)), size));
  }
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
inline bool FailedInBlock(const DecodeStop& stop) {
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

BlockLists RecordBlocks(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass);

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
  // Places the records not placed yet. They come MCU by MCU: the divisions that place
  // an MCU (and a block row in the ring) are made once for each, not for each block.
  template <class Records>
  void Place(const ScanModel& model, const Records& records, int c) {
    const int32_t perRow = model.geometry.McusPerRow;
    int32_t mcu = -1, column = 0, row = 0, slotRowOf = -1;
    size_t slotRow = 0;
    for (; placed < records.Count(c); ++placed) {
      const BlockRecord& r = records.Record(c, placed);
      if (r.mcu != mcu) mcu = r.mcu, column = mcu % perRow, row = mcu / perRow;
      const ScanModel::Block& b = model.blocks[static_cast<size_t>(r.Block())];
      const int32_t bx = column * model.h[static_cast<size_t>(b.component)] + b.x;
      const int32_t by = row * model.v[static_cast<size_t>(b.component)] + b.y;
      if (bx >= width || by >= height) continue;
      if (by != slotRowOf)
        slotRowOf = by, slotRow = static_cast<size_t>(by % rows) * static_cast<size_t>(width);
      index[slotRow + static_cast<size_t>(bx)] = placed;
    }
  }
  // Block row by's slots, from bx 0 on (a ring of rows costs a division a lookup).
  const int32_t* Row(int32_t by) const { return index.data() + Slot(0, by); }
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

#if VORN_X86
// 4r (see EdgeStep) of eight pairs a2 a | b b2, each a row of eight samples widened to
// 16 bits: |4r| <= 4080, within 16 bits.
inline __m128i EdgeResiduals8(__m128i a2, __m128i a, __m128i b, __m128i b2) {
  const __m128i d = _mm_sub_epi16(b, a);
  const __m128i r = _mm_add_epi16(_mm_add_epi16(d, _mm_add_epi16(d, d)), _mm_sub_epi16(a2, b2));
  return _mm_slli_epi16(r, 2);
}

inline __m128i Widen8(const uint8_t* p) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
}

// 4r across the vertical edge at x of eight rows: the four samples x-2 .. x+1 of each
// row gathered into 32-bit words, two rows' words weighed (1, -3, 3, -1) at a time.
inline __m128i SideResiduals8(const std::array<const uint8_t*, 8>& lines, int32_t x) {
  // Each row's four bytes straight into a register (through memory, a vector load of
  // four separate stores waits for them to be written).
  const auto word = [&](size_t k) {
    int32_t w;
    std::memcpy(&w, lines[k] + x - 2, 4);
    return _mm_cvtsi32_si128(w);
  };
  const auto rows4 = [&](size_t k) {
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(word(k), word(k + 1)),
                              _mm_unpacklo_epi32(word(k + 2), word(k + 3)));
  };
  const __m128i zero = _mm_setzero_si128();
  const __m128i weights = _mm_setr_epi16(1, -3, 3, -1, 1, -3, 3, -1);
  // Four rows' r, each the sum of two adjacent 32-bit halves, in the low lanes' order.
  const auto four = [&](size_t k) {
    const __m128i v = rows4(k);
    const __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), weights);
    const __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), weights);
    const __m128i lo2 = _mm_shuffle_epi32(_mm_add_epi32(lo, _mm_srli_epi64(lo, 32)), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i hi2 = _mm_shuffle_epi32(_mm_add_epi32(hi, _mm_srli_epi64(hi, 32)), _MM_SHUFFLE(3, 1, 2, 0));
    return _mm_unpacklo_epi64(lo2, hi2);
  };
  return _mm_slli_epi16(_mm_packs_epi32(four(0), four(4)), 2);
}
#endif

// 4r across the vertical edge at x of the first `rows` of lines; the rest 0.
inline void SideResiduals(const std::array<const uint8_t*, 8>& lines, int rows, int32_t x,
                          std::array<int16_t, 8>& residuals) {
#if VORN_X86
  if (rows == 8) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(residuals.data()), SideResiduals8(lines, x));
    return;
  }
#endif
  residuals.fill(0);
  for (int k = 0; k < rows; ++k) {
    const uint8_t* line = lines[static_cast<size_t>(k)];
    residuals[static_cast<size_t>(k)] =
        static_cast<int16_t>(4 * EdgeStep(line[x - 2], line[x - 1], line[x], line[x + 1]));
  }
}

// 4r across the horizontal edge between rows a and b of the first `count` samples; the
// rest 0. The rows hold eight samples from each pointer (a block row's width is whole
// blocks).
inline void BelowResiduals(const uint8_t* a2, const uint8_t* a, const uint8_t* b, const uint8_t* b2,
                           int count, std::array<int16_t, 8>& residuals) {
#if VORN_X86
  if (count == 8) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(residuals.data()),
                     EdgeResiduals8(Widen8(a2), Widen8(a), Widen8(b), Widen8(b2)));
    return;
  }
#endif
  residuals.fill(0);
  for (int x = 0; x < count; ++x)
    residuals[static_cast<size_t>(x)] = static_cast<int16_t>(4 * EdgeStep(a2[x], a[x], b[x], b2[x]));
}

// |r| summed over the pairs whose 4r residuals holds.
inline int32_t AbsSum(const std::array<int16_t, 8>& residuals) {
  int32_t sum = 0;
  for (const int16_t r : residuals) sum += std::abs(int32_t{r});
  return sum / 4;
}

// Adds to the weigher every edge of block rows [byFrom, byTo) of component c between
// two recorded blocks: with the block to the right and the block below; and, with
// sums, keeps each such edge's |r| summed there.
template <class Planes, class Weigher>
void AddEdges(const Planes& planes, int c, Weigher& weigher, const BlockGrid& grid, int32_t byFrom,
              int32_t byTo, EdgeSums* sums = nullptr) {
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
    const int32_t* row = grid.Row(by);
    const int32_t* rowBelow = by + 1 < grid.height ? grid.Row(by + 1) : nullptr;
    const size_t sumsRow = sums != nullptr ? sums->Slot(0, by) : 0;
    for (int32_t bx = 0; bx < grid.width; ++bx) {
      const int32_t here = row[bx];
      if (here < 0) continue;
      const int32_t x0 = bx * 8;
      // The edge with the block to the right.
      if (bx + 1 < grid.width && x0 + 9 < vw) {
        const int32_t right = row[bx + 1];
        if (right >= 0 && rows > 0) {
          SideResiduals(lines, rows, x0 + 8, residuals);
          add(here, right, rows);
          if (sums != nullptr) sums->right[sumsRow + static_cast<size_t>(bx)] = AbsSum(residuals);
        }
      }
      // The edge with the block below.
      if (edgeBelow) {
        const int32_t below = rowBelow[bx];
        if (below >= 0) {
          const int count = std::min(8, vw - x0);
          if (count > 0) {
            BelowResiduals(a2 + x0, a + x0, b + x0, b2 + x0, count, residuals);
            add(here, below, count);
            if (sums != nullptr) sums->below[sumsRow + static_cast<size_t>(bx)] = AbsSum(residuals);
          }
        }
      }
    }
  }
}

// Calls f(bit) for every flippable extra bit of block r's DC difference, from the last
// extra bit back.
template <class F>
void ForEachDcBit(std::span<const uint8_t> bytes, const BlockRecord& r, int component, F&& f) {
  const int32_t diff = r.Diff();
  ForEachExtraBit(bytes, r.End(), diff, [&](BitPos at, int32_t changed) {
    const int64_t byte = at >> 3;
    const int bit = static_cast<int>(at & 7);
    const uint8_t old = bytes[static_cast<size_t>(byte)];
    if ((old ^ (0x80 >> bit)) == 0xFF) return;
    DcBit d;
    d.edit = ScanEdit::Bit(static_cast<int32_t>(byte), bit, old);
    d.mcu = r.mcu;
    d.component = component;
    d.step = changed - diff;
    f(d);
  });
}

// How far a pair can be broken: |4r| of samples 0..255 (see EdgeStep).
inline constexpr int32_t kMostBreak = 4 * 1020;

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
  DriftWeigher(const ScanModel& model, std::span<const uint8_t> bytes, bool steps, bool faint);

  // The records, as DcSink leaves them.
  int32_t Count(int c) const { return Lane::Of(lanes_, c).Count(); }
  void Push(int c, const BlockRecord& r) { Lane::Of(lanes_, c).recs.push_back(r); }
  void DropLast(int c) {
    Lane& lane = Lane::Of(lanes_, c);
    lane.recs.pop_back();
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
  void Add(int c, int32_t lo, int32_t hi, int side, const std::array<int16_t, 8>& residuals, int count);

  // No edge added from now on splits a hypothesis of the blocks of MCUs before mcu:
  // weighs them. An edge splits the hypotheses between its two blocks, the later one
  // within an MCU row of blocks after the earlier; and where the two lie in different
  // restart intervals, those of the earlier block's interval up to it as well. So
  // once the edges of MCU rows before mcu's row are in, the blocks before mcu are
  // weighed, but for an interval that runs on past mcu and is followed by another:
  // its edges with that one come with its last rows.
  void Settle(int32_t mcu);

  // Every edge of component c is in: weighs the rest of its hypotheses and lets go of
  // what they were weighed by.
  void FinishComponent(int c);

  // Every edge is in: weighs the rest and returns the drift that stands out (and with
  // step, the step of any size, or the faint step where none is larger); unverified.
  std::optional<DcDrift> Finish(std::optional<DcStep>* step);

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
    int component = 0;
    int32_t q = 0;          // the DC quantizer: a bit's step of s moves 4r by s * q
    int32_t rowBlocks = 0;  // blocks of the component in an MCU row
    int32_t base = 0;       // the record of recs[0] and of the difference arrays' first entries
    int32_t weighed = 0;    // records weighed
    std::vector<BlockRecord> recs;  // [base, Count())
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

    int32_t Count() const { return base + static_cast<int32_t>(recs.size()); }
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
    void Activate(int32_t w, int list, int sign);
  };

  // Weighs the hypotheses of lane's records [weighed, to).
  void Weigh(Lane& lane, int32_t to);

  // What a step that moves 4r of the later side's pairs by `move` gains when it begins
  // at the block being weighed.
  static int64_t Gain(const Lane& lane, int32_t move, int64_t beyond);

  // Weighs the DC bits of block k and the steps that begin at it.
  void WeighBlock(const Lane& lane, int32_t k);

  // The faint test of block k, by the sign test: against the same place a row of
  // MCUs before and after (rowBlocks blocks of this component away).
  void WeighFaint(const Lane& lane, int32_t k);

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
                                  DriftWeigher& weigher, std::optional<DcStep>* step);

// Whether a faint step holds in the samples: it leans its way on both rows of block
// edges it splits (the top of its MCU's row from the MCU on, and the top of the next
// row before the MCU; a horizontal edge of the picture on the block grid leans on one
// of them only), and the lines of samples inside those blocks do not lean (ripples
// whose crests run along the block grid lean there too).
bool FaintStepHolds(const ScanModel& model, const ComponentPlanes& planes, const DcStep& step);

}  // namespace vorn::drift
