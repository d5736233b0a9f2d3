#include "repair/intact_damage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <functional>
#include <limits>
#include <optional>
#include <utility>

#include "base/batch_queue.h"
#include "decode/bit_rules.h"
#include "decode/decode_scan.h"
#include "decode/simd.h"
#include "repair/dc_hypotheses.h"
#include "repair/odd_block.h"
#include "repair/picture_fit.h"
#include "repair/shifted_run.h"
#include "repair/strict_decoder.h"

namespace vorn {

using namespace drift;

namespace {

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
  // The rows from two above the block to two below it, each looked up once (a row of
  // the band's ring costs a division); only rows inside the picture are read.
  std::array<const uint8_t*, 12> lines{};
  for (int32_t k = 0; k < 12; ++k)
    if (y0 - 2 + k >= 0 && y0 - 2 + k < vh) lines[static_cast<size_t>(k)] = planes.Row(c, y0 - 2 + k);
  const auto at = [&](int32_t x, int32_t y) {
    return static_cast<int32_t>(lines[static_cast<size_t>(y - y0 + 2)][x]);
  };
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
      weighed_ = std::count(valid_.begin(), valid_.end(), true) >= kLeastEdgePairs;
    }
    if (!weighed_) return;
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
  bool weighed_ = false;  // whether r_'s block has enough pairs in the picture
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
    // A size of s holds magnitudes from 2^(s-1) on: the least magnitude that can count.
    const BasisEdges& basis = Basis();
    for (size_t t = 0; t < leastMagnitude_.size(); ++t)
      for (size_t k = 1; k < 64; ++k) {
        const auto n = static_cast<size_t>(kNaturalOrder[k]);
        int size = 1;
        while (size <= 16 && !AcBitCounts(static_cast<double>((3 << (size - 1)) - 1) * model.quant[t][k] *
                                          basis.largest[n]))
          ++size;
        if (size <= 16) leastMagnitude_[t][n] = int32_t{1} << (size - 1);
      }
  }

  void OnSymbol(const ScanPoint& p) {
    if (p.coef == 0) {
      if (pending_) Finish(p.next, natural_, nonZero_);
      mcu_ = p.mcu;
      block_ = p.block;
    }
    // Each code word begins where the one before it left off: the extra bits of the
    // coefficient at k end where the code word at k + 1 begins.
    if (static_cast<size_t>(p.coef) < startAt_.size()) startAt_[static_cast<size_t>(p.coef)] = p.next;
  }
  bool OnBlock(int, std::array<int32_t, 64>& natural, uint64_t nonZero) {
    // Only the last coefficient's extra bits end where the next code word begins, and
    // only a block that has one at position 63 waits for it (and is kept till then):
    // most blocks end with an end-of-block code word.
    if (natural[static_cast<size_t>(kNaturalOrder[63])] == 0) {
      Finish(0, natural, nonZero);
    } else {
      natural_ = natural;
      nonZero_ = nonZero;
      pending_ = true;
    }
    return true;
  }
  bool OnMcu(int32_t, BitPos mark, const std::array<int16_t, 3>&) {
    if (pending_) Finish(mark + 1, natural_, nonZero_);
    return true;
  }

 private:
  // end: where the block's last code word ends (read only when its coefficient 63 is
  // not 0); nonZero: natural's coefficients that are not 0.
  void Finish(BitPos end, const std::array<int32_t, 64>& natural, uint64_t nonZero) {
    pending_ = false;
    const ScanModel::Block& b = model_.blocks[static_cast<size_t>(block_)];
    // The coefficients that can count, by their magnitudes alone, in zig-zag order:
    // none in most blocks.
    const std::array<int32_t, 64>& least = leastMagnitude_[static_cast<size_t>(b.quant)];
    uint64_t counting = 0;
    for (uint64_t rest = nonZero; rest != 0; rest &= rest - 1) {
      const auto n = static_cast<size_t>(std::countr_zero(rest));
      if (std::abs(natural[n]) >= least[n]) counting |= uint64_t{1} << kZigZag[n];
    }
    if (counting == 0) return;
    const auto c = static_cast<size_t>(b.component);
    const int32_t perRow = model_.geometry.McusPerRow;
    const int32_t bx = (mcu_ % perRow) * model_.h[c] + b.x, by = (mcu_ / perRow) * model_.v[c] + b.y;
    const BasisEdges& basis = Basis();
    for (uint64_t rest = counting; rest != 0; rest &= rest - 1) {
      const int k = std::countr_zero(rest);
      const int n = kNaturalOrder[static_cast<size_t>(k)];
      const int32_t value = natural[static_cast<size_t>(n)];
      const int32_t q = model_.quant[static_cast<size_t>(b.quant)][static_cast<size_t>(k)];
      const BitPos valueEnd = k == 63 ? end : startAt_[static_cast<size_t>(k) + 1];
      ForEachExtraBit(bytes_, valueEnd, value, [&](BitPos at, int32_t changed) {
        if (std::abs(changed) > (*b.largest)[static_cast<size_t>(k)]) return;
        const double move = static_cast<double>(changed - value) * q;
        if (!AcBitCounts(std::abs(move) * basis.largest[static_cast<size_t>(n)])) return;
        const int64_t byte = at >> 3;
        const int bit = static_cast<int>(at & 7);
        const uint8_t old = bytes_[static_cast<size_t>(byte)];
        if ((old ^ (0x80 >> bit)) == 0xFF) return;
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
      });
    }
  }

  const ScanModel& model_;
  std::span<const uint8_t> bytes_;
  Take take_;
  std::array<BitPos, 64> startAt_{};  // where the block's code word at each k begins
  std::array<int32_t, 64> natural_{};
  uint64_t nonZero_ = 0;
  // The least magnitude of a coefficient some bit of which can move a sample enough,
  // per quantization slot and natural position (the DC's: none).
  std::array<std::array<int32_t, 64>, 3> leastMagnitude_ = [] {
    std::array<std::array<int32_t, 64>, 3> none;
    for (auto& slot : none) slot.fill(std::numeric_limits<int32_t>::max());
    return none;
  }();
  int32_t mcu_ = 0;
  int block_ = 0;
  bool pending_ = false;
};

}  // namespace

bool AcBitCounts(double levels) {
  return levels >= kLeastAcLevels;
}

bool AcFlipStandsOut(double gain, double most, double nextBlockGain) {
  return gain >= kLeastAcShare * most && gain >= kLeastAcLead * nextBlockGain;
}

namespace {

// Whether the best AC bit stands out, before it is verified.
bool AcStandsOut(const ScanModel& model, const std::vector<AcScore>& best) {
  return OneBlockWeighable(model) && !best.empty() &&
         AcFlipStandsOut(static_cast<double>(best[0].gain), static_cast<double>(best[0].most),
                         best.size() > 1 ? static_cast<double>(best[1].gain) : 0.0);
}

std::optional<DcBit> AcFlipOf(const ScanModel& model, std::span<const uint8_t> bytes,
                              const std::vector<AcScore>& best) {
  if (!AcStandsOut(model, best)) return std::nullopt;
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
  if (out.step && out.step->faint && !FaintStepHolds(model, pass.planes, *out.step)) out.step.reset();
  if (out.drift && !CleanWith(model, bytes, out.drift->bit.edit)) out.drift.reset();
  if (!out.drift) out.flip = AcFlipOf(model, bytes, best);
  // A code word read as another of its length changes one block without a closed form.
  if (!out.drift && !out.flip && !out.step) out.flip = FindBlockFlip(model, bytes, pass);
  return out;
}

namespace {

// What one stretch of the decode of ScanLooksWhole gives the picture's checks, MCU by
// MCU in decode order: the DC records, the AC candidates, and each block's samples.
struct BandBatch {
  struct Record {
    int component;
    BlockRecord record;
  };
  // Where each MCU's share of the lists ends, and how it ended.
  struct Mcu {
    int32_t next;  // as OnMcu's mcu: the MCUs decoded so far
    McuMark mark;
    size_t records, candidates, words;
  };
  // The words a batch holds at most: 64 KB, some 160 MCUs of 4:2:0 or 320 of 4:4:4.
  static constexpr size_t kWords = 16384;
  // Per block: its index, then its samples, eight rows of eight bytes.
  static constexpr size_t kBlockWords = 1 + 64 / sizeof(int32_t);

  std::vector<Record> records;
  std::vector<AcCandidate> candidates;
  std::vector<int32_t> words = std::vector<int32_t>(kWords);
  size_t used = 0;  // of words
  std::vector<Mcu> mcus;

  void Clear() {
    records.clear();
    candidates.clear();
    used = 0;
    mcus.clear();
  }
};

// The back of ScanLooksWhole's decode: draws a band of the picture, and, for each MCU
// row, sums its edges, weighs its DC hypotheses as far as no later edge splits them
// and scores its AC candidates once the row below it is drawn. It takes what the
// decode gives one item at a time, or a batch at a time from another thread.
class BandBack {
 public:
  BandBack(const ScanModel& model, std::span<const uint8_t> bytes, DriftWeigher& weigher)
      : model_(model),
        bytes_(bytes),
        weigher_(weigher),
        draw_(model, band_, 0),
        scorer_(band_, best_),
        runs_(model, model.totalMcus - 1),
        odd_(model),
        marks_(static_cast<size_t>(3 * model.geometry.McusPerRow)) {
    band_.Reset(model);
    marks_[0] = McuMark{MakeBitPos(model.scanStart - 1, 7), {}};
    // The block rows of the band's three MCU rows.
    for (int c = 0; c < model.components; ++c) {
      grids_.emplace_back(band_, c, 3 * model.v[static_cast<size_t>(c)]);
      edgeSums_.emplace_back(grids_.back().width, grids_.back().rows);
    }
  }

  void AddRecord(int c, const BlockRecord& r) { weigher_.Push(c, r); }
  void AddCandidate(const AcCandidate& candidate) { candidates_.push_back(candidate); }
  // False when the block's transform overflows: then the decode stops, and the scan
  // is not whole.
  bool DrawBlock(int block, std::array<int32_t, 64>& natural, uint64_t nonZero) {
    return draw_.OnBlock(block, natural, nonZero);
  }
  void EndMcu(int32_t mcu, const McuMark& mark) {
    draw_.OnMcu(mcu, mark.mark, mark.dc);
    marks_[static_cast<size_t>(mcu) % marks_.size()] = mark;
    const int32_t perRow = model_.geometry.McusPerRow;
    // MCU row mcu / perRow - 1 is drawn: the row before it has all it needs.
    if (mcu % perRow == 0 && mcu / perRow >= 2) Finish(mcu / perRow - 2);
  }

  void Take(const BandBatch& batch) {
    size_t r = 0, k = 0, w = 0;
    for (const BandBatch::Mcu& m : batch.mcus) {
      for (; r < m.records; ++r) AddRecord(batch.records[r].component, batch.records[r].record);
      for (; k < m.candidates; ++k) AddCandidate(batch.candidates[k]);
      for (; w < m.words; w += BandBatch::kBlockWords)
        draw_.OnSamples(batch.words[w], reinterpret_cast<const uint8_t*>(&batch.words[w + 1]));
      EndMcu(m.next, m.mark);
    }
  }

  // After the whole decode: the rows not finished yet, and whether the picture shows
  // nothing that stands out (twoThreads: the last of it shared with a second thread).
  bool NothingStandsOut(bool twoThreads) {
    for (int32_t row = finished_; row < model_.geometry.McuRows; ++row) Finish(row);
    std::optional<DcStep> step;
    const std::optional<DcDrift> drift = weigher_.Finish(&step);
    return !drift && !step && !AcStandsOut(model_, best_) && !runs_.Found() && !odd_.Best(bytes_, twoThreads);
  }

 private:
  // Sums the edges of MCU row `row`, weighs what they settle and scores its AC
  // candidates.
  void Finish(int32_t row) {
    for (int c = 0; c < model_.components; ++c) {
      const auto i = static_cast<size_t>(c);
      grids_[i].Place(model_, weigher_, c);
      const int32_t v = model_.v[i];
      AddEdges(band_, c, weigher_, grids_[i], row * v, (row + 1) * v, &edgeSums_[i]);
      grids_[i].Clear(row * v, (row + 1) * v);  // their slots take the row after next
    }
    runs_.AddRow(band_, row);  // its top edges: the band still holds the row above
    odd_.AddRow(
        band_, row, [this](int32_t mcu) { return marks_[static_cast<size_t>(mcu) % marks_.size()]; },
        &edgeSums_);
    // The row above is done with: its lower edges were this row's top ones.
    for (int c = 0; c < model_.components && row > 0; ++c) {
      const int32_t v = model_.v[static_cast<size_t>(c)];
      edgeSums_[static_cast<size_t>(c)].Clear((row - 1) * v, row * v);
    }
    const int32_t perRow = model_.geometry.McusPerRow;
    weigher_.Settle((row + 1) * perRow);
    size_t k = 0;
    for (; k < candidates_.size() && candidates_[k].bit.mcu / perRow <= row; ++k)
      scorer_.Score(candidates_[k]);
    candidates_.erase(candidates_.begin(), candidates_.begin() + static_cast<ptrdiff_t>(k));
    finished_ = row + 1;
  }

  const ScanModel& model_;
  std::span<const uint8_t> bytes_;
  DriftWeigher& weigher_;
  BandPlanes band_;
  PlaneSink<BandPlanes> draw_;
  std::vector<AcCandidate> candidates_;  // of the rows not finished
  std::vector<AcScore> best_;
  AcScorer<BandPlanes> scorer_;
  std::vector<BlockGrid> grids_;
  std::vector<EdgeSums> edgeSums_;  // per component, as grids_
  ShiftedRunFinder runs_;
  OddBlockFinder odd_;
  std::vector<McuMark> marks_;  // where each MCU of the band's three rows begins
  int32_t finished_ = 0;        // MCU rows finished
};

// The front of ScanLooksWhole's decode: the strict decoder's sink. The DC records and
// AC candidates (both read the symbols) and the blocks go to the back: at once, or,
// with a queue, in batches that a second thread takes, each block transformed here
// (which balances the two threads' work).
class BandFront {
 public:
  static constexpr bool kSymbols = true;
  static constexpr bool kCoefficients = true;

  BandFront(const ScanModel& model, std::span<const uint8_t> bytes, BandBack& back,
            BatchQueue<BandBatch>* queue)
      : model_(model),
        back_(back),
        queue_(queue),
        batch_(queue != nullptr ? &queue->Filling() : nullptr),
        fullAt_(BandBatch::kWords - static_cast<size_t>(model.blockCount) * BandBatch::kBlockWords),
        ac_(model, bytes, TakeCandidate{this}) {}

  // The records DcSink keeps: counted here, weighed by the back.
  int32_t Count(int c) const { return counts_[static_cast<size_t>(c)]; }
  void Push(int c, const BlockRecord& r) {
    ++counts_[static_cast<size_t>(c)];
    if (batch_ == nullptr) {
      back_.AddRecord(c, r);
    } else {
      batch_->records.push_back({c, r});
    }
  }

  // The DC records of the interval about to be decoded go to dc.
  void SetDc(DcSink<BandFront>& dc) { dc_ = &dc; }
  // Where the MCU decoded last ends (before the scan's data at first): where the next
  // interval's data begins, after its restart marker.
  const McuMark& LastMark() const { return last_; }

  void OnSymbol(const ScanPoint& p) {
    dc_->OnSymbol(p);
    ac_.OnSymbol(p);
  }
  bool OnBlock(int block, std::array<int32_t, 64>& natural, uint64_t nonZero) {
    ac_.OnBlock(block, natural, nonZero);  // before the transform changes natural
    if (batch_ == nullptr) return back_.DrawBlock(block, natural, nonZero);
    int32_t* out = batch_->words.data() + batch_->used;
    out[0] = block;
    if (!BlockToBytes(model_, block, natural, nonZero, reinterpret_cast<uint8_t*>(out + 1), 8)) return false;
    batch_->used += BandBatch::kBlockWords;
    return true;
  }
  bool OnMcu(int32_t mcu, BitPos mark, const std::array<int16_t, 3>& dc) {
    ac_.OnMcu(mcu, mark, dc);
    last_ = McuMark{mark, dc};
    if (batch_ == nullptr) {
      back_.EndMcu(mcu, last_);
      return true;
    }
    batch_->mcus.push_back({mcu, last_, batch_->records.size(), batch_->candidates.size(), batch_->used});
    // Room for one more MCU's blocks, or handed on.
    if (batch_->used > fullAt_) Hand();
    return true;
  }

  // Hands what the batch holds to the back (with a queue).
  void Hand() {
    if (queue_ == nullptr) return;
    queue_->Hand();
    batch_ = &queue_->Filling();
  }

 private:
  struct TakeCandidate {
    BandFront* front;
    void operator()(const AcCandidate& candidate) const {
      if (front->batch_ == nullptr) {
        front->back_.AddCandidate(candidate);
      } else {
        front->batch_->candidates.push_back(candidate);
      }
    }
  };

  const ScanModel& model_;
  BandBack& back_;
  BatchQueue<BandBatch>* queue_;
  BandBatch* batch_;  // being filled, with a queue
  size_t fullAt_;
  AcSink<TakeCandidate> ac_;
  std::array<int32_t, 3> counts_{};
  DcSink<BandFront>* dc_ = nullptr;
  McuMark last_;
};

}  // namespace

bool ScanLooksWhole(const ScanModel& model, std::span<const uint8_t> bytes, DecodeThreads threads) {
  DriftWeigher weigher(model, bytes, true, true);
  BandBack back(model, bytes, weigher);
  // The decode on this thread and the picture's checks on a second, for a large scan:
  // the back sees the same items in the same order either way.
  std::optional<BatchQueue<BandBatch>> queue;
  if (UseTwoThreads(threads, model.totalMcus)) {
    try {
      queue.emplace([&back](BandBatch& batch) { back.Take(batch); });
    } catch (const std::exception&) {
      // No second thread (or no ring) to be had: the back takes each item at once.
      queue.reset();
    }
  }
  BandFront front(model, bytes, back, queue ? &*queue : nullptr);
  const PatchedBytes plain(bytes.data(), static_cast<int64_t>(bytes.size()));
  // Where the strict pass starts each interval: the first at the scan data, each
  // later one after the restart marker that ended the one before.
  BitPos passStart = MakeBitPos(model.scanStart, 0);
  for (int32_t i = 0; i < model.intervals; ++i) {
    const int32_t first = model.IntervalStart(i);
    if (first >= model.totalMcus) break;
    const ScanPoint start =
        i == 0 ? StartPointOf(model, bytes, McuMark{MakeBitPos(model.scanStart - 1, 7), {}}, 0)
               : StartPointOf(model, bytes, front.LastMark(), first);
    if (start.next != passStart) return false;  // the queue's destructor waits for the back
    StrictDecoder decoder(model);
    DcSink dc(model, front);
    front.SetDc(dc);
    const DecodeStop stop = decoder.Run(plain, start, model.IntervalEnd(i), front);
    if (!IntervalComplete(model, i, stop)) return false;
    passStart = MakeBitPos((stop.at >> 3) + 2, 0);
  }
  front.Hand();
  const bool twoThreads = queue.has_value();
  if (queue) queue->Finish();
  return back.NothingStandsOut(twoThreads);
}

}  // namespace vorn
