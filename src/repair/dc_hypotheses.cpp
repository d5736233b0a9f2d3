#include "repair/dc_hypotheses.h"

#include <cassert>
#include <cmath>
#include <utility>

#include "decode/simd.h"

namespace vorn {
namespace drift {

namespace {

constexpr int32_t kLeastStepLevels = kLeastVisibleLevels;
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
// A faint step is weighed only from three levels on: where a smooth gradient's DC
// values cross a quantization level along the block grid, the picture itself steps by
// a level or two, and on 420 fresh clean crops (three encoders, qualities 30 to 98)
// three of the four faint steps taken were of two levels (Cb of a sky, Y of a sea);
// of the faint steps that damage left on three seeds of damaged copies, none of two
// levels or less was visible damage (on two seeds after them, one visible copy each
// showed only such a step: the price of a check that passes clean photos).
constexpr int32_t kLeastFaintLevels = 3;
// The lines of samples two to six rows below the edges a faint step splits see no
// step: over 141 faint steps that damage left (three seeds of damaged copies of 24
// photos) the most that any one of them leaned either way, both rows of edges
// together, was 0.18; a sea of ripples along the block grid (crops of one wallpaper,
// Pillow at quality 55) leaned 0.32 to 0.38.
constexpr double kMostInnerLean = 0.25;

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

}  // namespace

BlockLists RecordBlocks(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass) {
  BlockLists blocks(model);
  ForEachInterval(model, bytes, pass, [&](auto run) {
    DcSink sink(model, blocks);
    if (FailedInBlock(run(sink))) sink.DropLast();
  });
  return blocks;
}

DriftWeigher::DriftWeigher(const ScanModel& model, std::span<const uint8_t> bytes, bool steps, bool faint)
    : model_(model), bytes_(bytes), steps_(steps), faint_(steps && faint) {
  lanes_.resize(static_cast<size_t>(model.components));
  for (int c = 0; c < model.components; ++c) lanes_[static_cast<size_t>(c)].component = c;
  for (int b = 0; b < model.blockCount; ++b) {
    const ScanModel::Block& block = model.blocks[static_cast<size_t>(b)];
    Lane& lane = lanes_[static_cast<size_t>(block.component)];
    lane.q = model.quant[static_cast<size_t>(block.quant)][0];
    lane.rowBlocks += model.geometry.McusPerRow;
  }
}

void DriftWeigher::Add(int c, int32_t lo, int32_t hi, int side, const std::array<int16_t, 8>& residuals,
                       int count) {
  Lane& lane = Lane::Of(lanes_, c);
  assert(lo >= lane.weighed && hi < lane.Count() && lane.pairs.size() == lane.recs.size() + 1);
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

void DriftWeigher::Settle(int32_t mcu) {
  if (mcu <= 0) return;
  const int32_t interval = model_.IntervalOf(mcu - 1);
  if (model_.IntervalEnd(interval) > mcu && interval + 1 < model_.intervals &&
      model_.IntervalStart(interval + 1) < model_.totalMcus)
    mcu = model_.IntervalStart(interval);
  for (Lane& lane : lanes_) {
    int32_t to = lane.weighed;
    while (to < lane.Count() && lane.recs[static_cast<size_t>(to - lane.base)].mcu < mcu) ++to;
    Weigh(lane, to);
  }
}

void DriftWeigher::FinishComponent(int c) {
  Lane& lane = Lane::Of(lanes_, c);
  const int32_t count = lane.Count();
  Weigh(lane, count);
  while (faint_ && lane.faintNext < count) WeighFaint(lane, lane.faintNext++);
  lane.base = count;  // no record is held, and none comes
  std::vector<BlockRecord>().swap(lane.recs);
  std::vector<int32_t>().swap(lane.pairs);
  std::vector<int32_t>().swap(lane.signs);
  for (auto& n : lane.n) std::vector<int64_t>().swap(n);
  for (auto& list : lane.active) std::vector<Broken>().swap(list);
  std::deque<Weighed>().swap(lane.done);
}

std::optional<DcDrift> DriftWeigher::Finish(std::optional<DcStep>* step) {
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

void DriftWeigher::Lane::Activate(int32_t w, int list, int sign) {
  breaks[static_cast<size_t>(list)].Add(w, sign);
  for (size_t s = 0; s < kStepLevels.size(); ++s) {
    if (w <= 8 * kStepLevels[s]) break;
    stepCount[static_cast<size_t>(list)][s] += sign;
    stepSum[static_cast<size_t>(list)][s] += int64_t{sign} * w;
  }
}

void DriftWeigher::Weigh(Lane& lane, int32_t to) {
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

int64_t DriftWeigher::Gain(const Lane& lane, int32_t move, int64_t beyond) {
  const int64_t sums = move > 0 ? lane.sums.n0 : lane.sums.n1;
  return 2 * sums - int64_t{std::abs(move)} * lane.sums.pairs - 2 * beyond;
}

void DriftWeigher::WeighBlock(const Lane& lane, int32_t k) {
  const int c = lane.component;
  const BlockRecord& r = lane.recs[static_cast<size_t>(k - lane.base)];
  const int32_t pairs = lane.sums.pairs;
  // Most differences are too small for any of their bits to count.
  if (DcBitCounts(MostFlipChange(r.Diff()) * lane.q, kLeastPairs)) {
    int order = 0;
    ForEachDcBit(bytes_, r, c, [&](const DcBit& d) {
      const int32_t move = d.step * lane.q;
      ++order;
      if (!DcBitCounts(move, pairs)) return;
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
  if (!may[0] && !may[1]) return;  // as for nearly every block of a clean picture
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

void DriftWeigher::WeighFaint(const Lane& lane, int32_t k) {
  const auto sumsAt = [&](int32_t j) -> const Weighed& {
    return lane.done[static_cast<size_t>(j - lane.doneBase)];
  };
  const Weighed& here = sumsAt(k);
  // Most hypotheses lean too little to stand out, whatever their neighbours.
  if (std::abs(static_cast<double>(here.signs)) < kLeastFaintShare * here.pairs || !DcStepCounts(here.pairs))
    return;
  const double way = here.signs > 0 ? 1 : -1;
  const auto lean = [&](int32_t j) {
    if (j >= lane.Count()) return 0.0;
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
  if (levels < kLeastFaintLevels) return;
  const int c = lane.component;
  faintStep_.Offer(contrast, {c, 0, 0, k},
                   DcStep{here.mcu, c, here.signs > 0 ? -levels : levels, contrast, here.pairs, true});
}

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

bool FaintStepHolds(const ScanModel& model, const ComponentPlanes& planes, const DcStep& step) {
  const auto i = static_cast<size_t>(step.component);
  const int32_t perRow = model.geometry.McusPerRow;
  const int32_t mcuWidth = 8 * model.h[i], mcuHeight = 8 * model.v[i];
  const int32_t x = (step.mcu % perRow) * mcuWidth, y = (step.mcu / perRow) * mcuHeight;
  // Row by row of samples below each edge: 0 is the edge itself (its step, r, reads
  // two samples either side), 1 reads one sample above it, 7 one of the next edge's.
  const auto lean = [&](int32_t below) {
    return std::pair{RowLean(planes, step.component, y + below, x, planes.width[i], step.levels),
                     RowLean(planes, step.component, y + mcuHeight + below, 0, x, step.levels)};
  };
  const auto [after, before] = lean(0);
  if (!FaintHalfLeans(after.first, after.second) || !FaintHalfLeans(before.first, before.second))
    return false;
  for (int32_t below = 2; below <= 6; ++below) {
    const auto [a, b] = lean(below);
    const int32_t pairs = a.first + b.first;
    if (pairs > 0 && std::abs(a.first * a.second + b.first * b.second) > kMostInnerLean * pairs) return false;
  }
  return true;
}

}  // namespace drift

bool DcBitCounts(int32_t move, int32_t pairs) {
  return std::abs(move) >= 8 * drift::kLeastStepLevels && pairs >= drift::kLeastPairs;
}

bool DcDriftStandsOut(double share, double margin) {
  return share >= drift::kLeastShare && margin >= drift::kLeastMargin;
}

bool DcStepCounts(int32_t pairs) {
  return pairs >= drift::kLeastStepPairs;
}

bool DcStepStandsOut(double share) {
  return share >= drift::kLeastStepShare;
}

bool FaintStepStandsOut(double share) {
  return share >= drift::kLeastFaintShare;
}

bool FaintHalfLeans(int32_t pairs, double share) {
  return pairs >= drift::kLeastHalfPairs && share >= drift::kLeastFaintHalf;
}

}  // namespace vorn
