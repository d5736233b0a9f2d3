#include "repair/intact_damage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <map>

#include "decode/bit_rules.h"
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

struct BlockRecord {
  int32_t bx = 0, by = 0;
  int32_t mcu = 0;
  int32_t first = 0;  // the first block of the component in its restart interval
  int32_t diff = 0;
  BitPos end = 0;  // the first bit after the difference's extra bits
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
    const int32_t perRow = model_.geometry.McusPerRow;
    BlockRecord r;
    r.bx = (p.mcu % perRow) * model_.h[c] + b.x;
    r.by = (p.mcu / perRow) * model_.v[c] + b.y;
    r.mcu = p.mcu;
    r.first = first_[c];
    r.diff = p.pendingDc;
    r.end = p.next;
    out_[c].push_back(r);
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

std::array<std::vector<BlockRecord>, 3> RecordBlocks(const ScanModel& model, std::span<const uint8_t> bytes,
                                                     const ScanPass& pass) {
  std::array<std::vector<BlockRecord>, 3> blocks;
  const PatchedBytes plain(bytes.data(), static_cast<int64_t>(bytes.size()));
  for (int32_t i = 0; i < model.intervals; ++i) {
    const int32_t first = model.IntervalStart(i);
    if (first >= model.totalMcus) break;
    StrictDecoder decoder(model);
    DcSink sink(model, blocks);
    const DecodeStop stop =
        decoder.Run(plain, StartPointOf(model, bytes, pass, first), model.IntervalEnd(i), sink);
    if (stop.kind != StopKind::AtMarker && stop.kind != StopKind::Limit) sink.DropLast();
  }
  return blocks;
}

// One block edge of a component: 4r for each sample pair across it (see PairGain)
// and the hypotheses that split it.
struct Edge {
  std::array<int16_t, 8> residuals{};  // 4r of each sample pair across the edge
  int8_t count = 0;
  // Hypotheses (block indices) in [lo[k], hi[k]] move side[k] alone: +1 the
  // bottom or right block, -1 the top or left one.
  std::array<int32_t, 2> lo{}, hi{};
  std::array<int8_t, 2> side{};
  int8_t ranges = 0;
};

// How much closer to 0 a pair's 4r comes when the hypothesis moves it by `move`.
int64_t PairGain(int32_t r4, int32_t move) {
  return std::abs(r4) - std::abs(r4 + move);
}

std::vector<Edge> EdgesOf(const ComponentPlanes& planes, int c, const std::vector<BlockRecord>& recs,
                          const std::vector<int32_t>& grid, int32_t gridWidth, int32_t gridHeight) {
  std::vector<Edge> edges;
  const auto i = static_cast<size_t>(c);
  const int32_t vw = planes.visibleWidth[i], vh = planes.visibleHeight[i];
  const auto add = [&](int32_t a, int32_t b, Edge& e) {
    const BlockRecord& ra = recs[static_cast<size_t>(a)];
    const BlockRecord& rb = recs[static_cast<size_t>(b)];
    if (ra.first == rb.first) {
      e.lo[0] = std::min(a, b) + 1;
      e.hi[0] = std::max(a, b);
      e.side[0] = b > a ? 1 : -1;
      e.ranges = 1;
    } else {
      e.lo[0] = ra.first, e.hi[0] = a, e.side[0] = -1;
      e.lo[1] = rb.first, e.hi[1] = b, e.side[1] = 1;
      e.ranges = 2;
    }
    edges.push_back(e);
  };
  for (int32_t by = 0; by < gridHeight; ++by) {
    for (int32_t bx = 0; bx < gridWidth; ++bx) {
      const int32_t here = grid[static_cast<size_t>(by * gridWidth + bx)];
      if (here < 0) continue;
      const int32_t x0 = bx * 8, y0 = by * 8;
      // The edge with the block to the right.
      if (bx + 1 < gridWidth && x0 + 9 < vw) {
        const int32_t right = grid[static_cast<size_t>(by * gridWidth + bx + 1)];
        if (right >= 0) {
          Edge e;
          const int32_t x = x0 + 8;
          for (int32_t y = y0; y < std::min(y0 + 8, vh); ++y, ++e.count)
            e.residuals[static_cast<size_t>(e.count)] =
                static_cast<int16_t>(4 * EdgeStep(planes.At(c, x - 2, y), planes.At(c, x - 1, y),
                                                  planes.At(c, x, y), planes.At(c, x + 1, y)));
          if (e.count > 0) add(here, right, e);
        }
      }
      // The edge with the block below.
      if (by + 1 < gridHeight && y0 + 9 < vh) {
        const int32_t below = grid[static_cast<size_t>((by + 1) * gridWidth + bx)];
        if (below >= 0) {
          Edge e;
          const int32_t y = y0 + 8;
          for (int32_t x = x0; x < std::min(x0 + 8, vw); ++x, ++e.count)
            e.residuals[static_cast<size_t>(e.count)] =
                static_cast<int16_t>(4 * EdgeStep(planes.At(c, x, y - 2), planes.At(c, x, y - 1),
                                                  planes.At(c, x, y), planes.At(c, x, y + 1)));
          if (e.count > 0) add(here, below, e);
        }
      }
    }
  }
  return edges;
}

// Fills gain[k] with what a step that moves 4r of the later side's pairs by `move`
// gains when it begins at block k: a difference array over the ranges of blocks
// that split each edge.
void StepGains(const std::vector<Edge>& edges, int32_t move, std::vector<int64_t>& gain) {
  std::fill(gain.begin(), gain.end(), 0);
  for (const Edge& e : edges) {
    for (int k = 0; k < e.ranges; ++k) {
      int64_t g = 0;
      const int32_t signedMove = move * e.side[static_cast<size_t>(k)];
      for (int p = 0; p < e.count; ++p) g += PairGain(e.residuals[static_cast<size_t>(p)], signedMove);
      gain[static_cast<size_t>(e.lo[static_cast<size_t>(k)])] += g;
      gain[static_cast<size_t>(e.hi[static_cast<size_t>(k)]) + 1] -= g;
    }
  }
  for (size_t k = 1; k < gain.size(); ++k) gain[k] += gain[k - 1];
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

struct Scored {
  size_t bit = 0;  // index into the DC bits
  int64_t gain = 0;
  int32_t pairs = 0;
  int32_t move = 0;  // |change * q|
};

// The DC bits of the recorded blocks, each with the index of its block in its
// component's list.
std::vector<std::pair<DcBit, int32_t>> BitsOfBlocks(const ScanModel& model, std::span<const uint8_t> bytes,
                                                    const std::array<std::vector<BlockRecord>, 3>& blocks) {
  std::vector<std::pair<DcBit, int32_t>> bits;
  for (int c = 0; c < model.components; ++c) {
    const std::vector<BlockRecord>& recs = blocks[static_cast<size_t>(c)];
    for (size_t index = 0; index < recs.size(); ++index) {
      const BlockRecord& r = recs[index];
      const int size = BitWidth(r.diff);
      if (size == 0) continue;
      const auto raw = static_cast<uint32_t>(r.diff >= 0 ? r.diff : r.diff + (1 << size) - 1);
      BitPos at = r.end;
      for (int k = size - 1; k >= 0; --k) {  // from the last extra bit back
        at = PreviousDataBit(bytes, at);
        const int32_t changed = ExtendSign(raw ^ (1u << (size - 1 - k)), size);
        const int64_t byte = at >> 3;
        const int bit = static_cast<int>(at & 7);
        const uint8_t old = bytes[static_cast<size_t>(byte)];
        if ((old ^ (0x80 >> bit)) == 0xFF) continue;
        DcBit d;
        d.edit = ScanEdit::Bit(static_cast<int32_t>(byte), bit, old);
        d.mcu = r.mcu;
        d.component = c;
        d.step = changed - r.diff;
        bits.emplace_back(d, static_cast<int32_t>(index));
      }
    }
  }
  return bits;
}

}  // namespace

bool DriftCanExplain(const ScanPass& pass) {
  const SegmentOutcome* failure = pass.Failure();
  return failure == nullptr ? pass.Clean() : failure->stop.kind == StopKind::DcRange;
}

std::vector<DcBit> DcBitsOf(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass) {
  std::vector<DcBit> out;
  if (!DriftCanExplain(pass)) return out;
  for (const auto& [bit, block] : BitsOfBlocks(model, bytes, RecordBlocks(model, bytes, pass)))
    out.push_back(bit);
  return out;
}

std::optional<DcDrift> FindDcDrift(const ScanModel& model, std::span<const uint8_t> bytes,
                                   const ScanPass& pass, std::optional<DcStep>* step) {
  if (!DriftCanExplain(pass) || pass.planes.count == 0) return std::nullopt;
  const std::array<std::vector<BlockRecord>, 3> blocks = RecordBlocks(model, bytes, pass);
  const std::vector<std::pair<DcBit, int32_t>> bits = BitsOfBlocks(model, bytes, blocks);
  std::vector<Scored> scored;
  scored.reserve(bits.size());
  for (int c = 0; c < model.components; ++c) {
    const auto ci = static_cast<size_t>(c);
    const std::vector<BlockRecord>& recs = blocks[ci];
    if (recs.empty()) continue;
    const int32_t gridWidth = pass.planes.width[ci] / 8, gridHeight = pass.planes.height[ci] / 8;
    std::vector<int32_t> grid(static_cast<size_t>(gridWidth) * gridHeight, -1);
    for (size_t k = 0; k < recs.size(); ++k)
      if (recs[k].bx < gridWidth && recs[k].by < gridHeight)
        grid[static_cast<size_t>(recs[k].by * gridWidth + recs[k].bx)] = static_cast<int32_t>(k);
    const std::vector<Edge> edges = EdgesOf(pass.planes, c, recs, grid, gridWidth, gridHeight);
    const auto n = recs.size();
    // Sample pairs that each hypothesis splits.
    std::vector<int32_t> pairs(n + 1, 0);
    for (const Edge& e : edges)
      for (int k = 0; k < e.ranges; ++k) {
        pairs[static_cast<size_t>(e.lo[static_cast<size_t>(k)])] += e.count;
        pairs[static_cast<size_t>(e.hi[static_cast<size_t>(k)]) + 1] -= e.count;
      }
    for (size_t k = 1; k <= n; ++k) pairs[k] += pairs[k - 1];
    // The bits of this component, grouped by what their flip does to 4r of a pair
    // whose later side it moves: the samples move by step * q / 8 levels, r
    // (3b - b2 - 3a + a2) by twice that, 4r by step * q.
    int32_t q = 0;
    for (int b = 0; b < model.blockCount; ++b)
      if (model.blocks[static_cast<size_t>(b)].component == c)
        q = model.quant[static_cast<size_t>(model.blocks[static_cast<size_t>(b)].quant)][0];
    std::map<int32_t, std::vector<std::pair<size_t, int32_t>>> byMove;  // move -> (bit, block)
    for (size_t k = 0; k < bits.size(); ++k) {
      const auto& [d, block] = bits[k];
      const int32_t move = d.step * q;
      if (d.component == c && DcBitCounts(move, kLeastPairs)) byMove[move].emplace_back(k, block);
    }
    std::vector<int64_t> gain(n + 1);
    for (const auto& [move, group] : byMove) {
      StepGains(edges, move, gain);
      for (const auto& [bit, block] : group) {
        Scored s;
        s.bit = bit;
        s.gain = gain[static_cast<size_t>(block)];
        s.pairs = pairs[static_cast<size_t>(block)];
        s.move = std::abs(move);
        if (DcBitCounts(move, s.pairs)) scored.push_back(s);
      }
    }
    if (step != nullptr) {
      // Steps of any size: what a lost track leaves behind it, or a bit's step that
      // one more edit made up for elsewhere.
      for (const int32_t levels : kStepLevels) {
        for (const int sign : {1, -1}) {
          const int32_t move = 8 * levels * sign;
          StepGains(edges, move, gain);
          for (size_t k = 0; k < n; ++k) {
            if (!DcStepCounts(pairs[k])) continue;
            const double share =
                static_cast<double>(gain[k]) / (static_cast<double>(pairs[k]) * std::abs(move));
            if (!*step || share > (*step)->share)
              *step = DcStep{recs[k].mcu, c, -levels * sign, share, pairs[k]};
          }
        }
      }
    }
  }
  if (step != nullptr && *step && !DcStepStandsOut((*step)->share)) step->reset();
  if (scored.empty()) return std::nullopt;
  std::sort(scored.begin(), scored.end(), [](const Scored& a, const Scored& b) { return a.gain > b.gain; });
  const Scored& best = scored[0];
  DcDrift found;
  found.bit = bits[best.bit].first;
  found.pairs = best.pairs;
  found.share = static_cast<double>(best.gain) / (static_cast<double>(best.pairs) * best.move);
  found.margin = scored.size() > 1 ? static_cast<double>(best.gain - scored[1].gain) / best.move
                                   : static_cast<double>(best.pairs);
  if (!DcDriftStandsOut(found.share, found.margin)) return std::nullopt;
  // Verified: the scan with the bit flipped decodes as an encoder writes it.
  ScanPass check;
  RunScanPass(model, PatchedBytes(bytes.data(), static_cast<int64_t>(bytes.size()), found.bit.edit), false,
              check);
  if (!check.Clean()) return std::nullopt;
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
void EdgeResiduals(const ComponentPlanes& planes, int c, int32_t bx, int32_t by, std::array<float, 32>& r,
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

// Scores every flippable extra bit of every AC coefficient as it is decoded: the
// symbols of a block are known once the next block begins (or the MCU ends).
class AcSink {
 public:
  static constexpr bool kSymbols = true;
  static constexpr bool kCoefficients = true;

  AcSink(const ScanModel& model, std::span<const uint8_t> bytes, const ComponentPlanes& planes,
         std::vector<AcScore>& best)
      : model_(model), bytes_(bytes), planes_(planes), best_(best) {}

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
    bool residualsKnown = false;
    std::array<float, 32> r{};
    std::array<bool, 32> valid{};
    const BasisEdges& basis = Basis();
    for (size_t i = 1; i < starts_.size(); ++i) {
      const Start next = i + 1 < starts_.size() ? starts_[i + 1] : Start{end, 64};
      const int k = next.coef - 1;
      if (k < 1 || k > 63) continue;
      const int n = kNaturalOrder[static_cast<size_t>(k)];
      const int32_t value = natural_[static_cast<size_t>(n)];
      if (value == 0) continue;
      const int32_t q = model_.quant[static_cast<size_t>(b.quant)][static_cast<size_t>(k)];
      const int size = BitWidth(value);
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
        if (!residualsKnown) {
          EdgeResiduals(planes_, b.component, bx, by, r, valid);
          residualsKnown = true;
        }
        AcScore s;
        const auto& e = basis.edge[static_cast<size_t>(n)];
        for (size_t p = 0; p < 32; ++p) {
          if (!valid[p]) continue;
          const double d = move * e[p];
          s.gain += std::abs(r[p]) - std::abs(r[p] + d);
          s.most += std::abs(d);
        }
        if (s.most <= 0) continue;
        s.bit.edit = ScanEdit::Bit(static_cast<int32_t>(byte), bit, old);
        s.bit.mcu = mcu_;
        s.bit.component = b.component;
        s.bit.step = changed - value;
        s.block = (static_cast<int64_t>(b.component) << 40) | (int64_t{by} << 20) | bx;
        Keep(s);
      }
    }
  }

  // The best hypotheses by gain: the best of each block, the three best blocks.
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

  const ScanModel& model_;
  std::span<const uint8_t> bytes_;
  const ComponentPlanes& planes_;
  std::vector<AcScore>& best_;
  std::vector<Start> starts_;
  std::array<int32_t, 64> natural_{};
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

bool AcBitCounts(double levels) {
  return levels >= kLeastAcLevels;
}

bool AcFlipStandsOut(double gain, double most, double nextBlockGain) {
  return gain >= kLeastAcShare * most && gain >= kLeastAcLead * nextBlockGain;
}

std::optional<DcBit> FindAcFlip(const ScanModel& model, std::span<const uint8_t> bytes,
                                const ScanPass& pass) {
  if (!pass.Clean() || pass.planes.count == 0) return std::nullopt;
  std::vector<AcScore> best;
  const PatchedBytes plain(bytes.data(), static_cast<int64_t>(bytes.size()));
  for (int32_t i = 0; i < model.intervals; ++i) {
    const int32_t first = model.IntervalStart(i);
    if (first >= model.totalMcus) break;
    StrictDecoder decoder(model);
    AcSink sink(model, bytes, pass.planes, best);
    decoder.Run(plain, StartPointOf(model, bytes, pass, first), model.IntervalEnd(i), sink);
  }
  if (best.empty()) return std::nullopt;
  const AcScore& top = best[0];
  if (!AcFlipStandsOut(static_cast<double>(top.gain), static_cast<double>(top.most),
                       best.size() > 1 ? static_cast<double>(best[1].gain) : 0.0))
    return std::nullopt;
  ScanPass check;
  RunScanPass(model, PatchedBytes(bytes.data(), static_cast<int64_t>(bytes.size()), top.bit.edit), false,
              check);
  if (!check.Clean()) return std::nullopt;
  return top.bit;
}

}  // namespace vorn
