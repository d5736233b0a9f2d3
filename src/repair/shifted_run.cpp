#include "repair/shifted_run.h"

#include <algorithm>
#include <cstdlib>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorn {

namespace {

// |r| summed along `pairs` pairs of an edge: under holds 3b - b2 below it, over 3a - a2
// above it where the row above is taken from. Each lies in -255..765, so r fits 16
// bits, and 16 pairs of at most 1020 fit 32.
int32_t StepSum(const int16_t* under, const int16_t* over, int32_t pairs) {
  int32_t sum = 0;
  for (int32_t j = 0; j < pairs; ++j) sum += std::abs(under[j] - over[j]);
  return sum;
}

#if defined(__SSE2__)
// Eight pairs at once (SSE2, which every x86-64 has).
int32_t StepSum8(const int16_t* under, const int16_t* over) {
  const __m128i r = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(under)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(over)));
  const __m128i magnitude = _mm_max_epi16(r, _mm_sub_epi16(_mm_setzero_si128(), r));
  __m128i sum = _mm_madd_epi16(magnitude, _mm_set1_epi16(1));
  sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
  sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(sum);
}

// 3 * near - far for eight samples.
void Predict8(const uint8_t* near, const uint8_t* far, int16_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i n = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(near)), zero);
  const __m128i f = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(far)), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_sub_epi16(_mm_add_epi16(_mm_add_epi16(n, n), n), f));
}
#else
inline int32_t StepSum8(const int16_t* under, const int16_t* over) {
  return StepSum(under, over, 8);
}

void Predict8(const uint8_t* near, const uint8_t* far, int16_t* out) {
  for (int j = 0; j < 8; ++j) out[j] = static_cast<int16_t>(3 * near[j] - far[j]);
}
#endif

// Adds the fits of MCUs first .. end - 1 of `width` pairs each (a multiple of 8), all
// of which can be taken dx samples aside. kWidth, when not 0, is that width known to
// the compiler, which then unrolls the steps of eight (2 % of a check's instructions
// at 4:4:4 otherwise).
template <int kWidth>
void AddMovedFits(const int16_t* below, const int16_t* above, const int32_t* straight, int32_t width,
                  int32_t first, int32_t end, int32_t dx, int32_t* gain, int32_t* base) {
  const int32_t w = kWidth != 0 ? kWidth : width;
  for (int32_t k = first; k < end; ++k) {
    int32_t moved = 0;
    for (int32_t half = 0; half < w; half += 8)
      moved += StepSum8(below + k * w + half, above + k * w + dx + half);
    gain[k] += straight[k] - moved;
    base[k] += straight[k] + kShiftedFloor * w;
  }
}

}  // namespace

bool ShiftedRunStandsOut(double share) {
  return share >= kShiftedRunStandsOut;
}

ShiftedRunFinder::ShiftedRunFinder(const ScanModel& model, int32_t lastMcu)
    : model_(model), lastMcu_(lastMcu), perRow_(std::max(1, model.geometry.McusPerRow)) {
  const auto n = kShifts.size() * static_cast<size_t>(perRow_);
  for (auto* v : {&gain_, &base_, &gainBefore_, &baseBefore_}) v->assign(n, 0);
}

template <class Planes>
void ShiftedRunFinder::AddRow(const Planes& planes, int32_t row) {
  if (row < 1 || row * perRow_ > lastMcu_ || perRow_ < kLeastRunMcus) return;
  // This row's sums become the row before's; a row skipped leaves none.
  std::swap(gain_, gainBefore_);
  std::swap(base_, baseBefore_);
  if (lastRow_ != row - 1) {
    std::fill(gainBefore_.begin(), gainBefore_.end(), 0);
    std::fill(baseBefore_.begin(), baseBefore_.end(), 0);
  }
  std::fill(gain_.begin(), gain_.end(), 0);
  std::fill(base_.begin(), base_.end(), 0);
  lastRow_ = row;
  // Every MCU of the row at once: with A = 3a - a2 above the edge and B = 3b - b2
  // below it, r = B - A straight and B(x) - A(x + dx) with the rows above taken aside,
  // over the pairs both can be taken for.
  // Every MCU is summed, also those past lastMcu: no window weighed reaches them.
  bool summed = false;
  for (int c = 0; c < planes.count; ++c) {
    const auto i = static_cast<size_t>(c);
    const int32_t w = 8 * model_.h[i], y0 = row * 8 * model_.v[i];
    const int32_t width = planes.visibleWidth[i];
    if (y0 + 1 >= planes.visibleHeight[i]) continue;
    summed = true;
    const uint8_t* a2 = planes.Row(c, y0 - 2);
    const uint8_t* a = planes.Row(c, y0 - 1);
    const uint8_t* b = planes.Row(c, y0);
    const uint8_t* b2 = planes.Row(c, y0 + 1);
    // The rows are whole MCUs wide, a multiple of 8 samples.
    const int32_t gridWidth = planes.width[i];
    above_.resize(static_cast<size_t>(gridWidth));
    below_.resize(static_cast<size_t>(gridWidth));
    for (int32_t x = 0; x < gridWidth; x += 8) {
      Predict8(a + x, a2 + x, above_.data() + x);
      Predict8(b + x, b2 + x, below_.data() + x);
    }
    // The straight fit of each MCU's visible pairs, once for all shifts.
    straight_.resize(static_cast<size_t>(perRow_));
    for (int32_t k = 0; k < perRow_; ++k) {
      const int16_t* under = below_.data() + k * w;
      const int16_t* over = above_.data() + k * w;
      const int32_t pairs = std::clamp(width - k * w, 0, w);
      int32_t& straight = straight_[static_cast<size_t>(k)];
      if (pairs == w) {  // w is a multiple of 8
        straight = 0;
        for (int32_t half = 0; half < w; half += 8) straight += StepSum8(under + half, over + half);
      } else {
        straight = StepSum(under, over, pairs);
      }
    }
    for (size_t s = 0; s < kShifts.size(); ++s) {
      const int32_t dx = kShifts[s] * w;
      const int32_t lo = std::max(0, -dx), hi = std::min(width, width - dx);
      int32_t* gain = gain_.data() + s * static_cast<size_t>(perRow_);
      int32_t* base = base_.data() + s * static_cast<size_t>(perRow_);
      // The MCUs whose pairs can all be taken aside; then one cut by the picture's
      // edge, where its width is no multiple of the MCU's.
      const int32_t first = lo / w, whole = hi / w;
      const auto add = w == 8 ? AddMovedFits<8> : w == 16 ? AddMovedFits<16> : AddMovedFits<0>;
      add(below_.data(), above_.data(), straight_.data(), w, first, whole, dx, gain, base);
      if (const int32_t pairs = hi - whole * w; pairs > 0 && whole >= first) {
        const int32_t x0 = whole * w;
        const int32_t straight = StepSum(below_.data() + x0, above_.data() + x0, pairs);
        gain[whole] += straight - StepSum(below_.data() + x0, above_.data() + x0 + dx, pairs);
        base[whole] += straight + kShiftedFloor * pairs;
      }
    }
  }
  // A last row of MCUs whose picture ends one sample row below its top edge has no
  // edge to weigh: windows ending in it would be weighed on the few MCUs of the row
  // before alone, where two MCUs of a clean picture can mend half their misfit.
  if (summed) Weigh(row);
}

template void ShiftedRunFinder::AddRow(const ComponentPlanes&, int32_t);
template void ShiftedRunFinder::AddRow(const BandPlanes&, int32_t);

void ShiftedRunFinder::Weigh(int32_t row) {
  const auto n = static_cast<size_t>(perRow_);
  // Windows of a row's worth of MCUs that end in this row and begin in row 1 or later:
  // from the one that begins just after the row before's first MCU to this row itself.
  // Window `end` holds the row before's MCUs end + 1 .. n - 1 and this row's 0 .. end.
  const size_t firstEnd = row == 1 ? n - 1 : 0;
  for (size_t s = 0; s < kShifts.size(); ++s) {
    const int32_t* gainBefore = gainBefore_.data() + s * n;
    const int32_t* baseBefore = baseBefore_.data() + s * n;
    const int32_t* gain = gain_.data() + s * n;
    const int32_t* base = base_.data() + s * n;
    int64_t g = 0, b = 0;
    for (size_t k = firstEnd + 1; k < n; ++k) g += gainBefore[k], b += baseBefore[k];
    for (size_t k = 0; k < firstEnd; ++k) g += gain[k], b += base[k];
    for (size_t end = firstEnd; end < n; ++end) {
      // The window moves one MCU on: it gains this row's MCU `end` and, past the
      // first, loses the row before's.
      g += gain[end], b += base[end];
      if (end > firstEnd) g -= gainBefore[end], b -= baseBefore[end];
      const int32_t endMcu = row * perRow_ + static_cast<int32_t>(end);
      if (endMcu > lastMcu_) break;
      if (g <= 0 || b <= 0) continue;  // taking it aside mends nothing
      const double share = static_cast<double>(g) / static_cast<double>(b);
      if (!any_ || share > best_.share) {
        any_ = true;
        best_ = ShiftedRun{endMcu - perRow_ + 1, kShifts[s], share};
      }
    }
  }
}

std::optional<ShiftedRun> ShiftedRunFinder::Found() const {
  if (!any_ || !ShiftedRunStandsOut(best_.share)) return std::nullopt;
  return best_;
}

std::optional<ShiftedRun> FindShiftedRun(const ScanModel& model, const ComponentPlanes& planes,
                                         int32_t lastMcu) {
  ShiftedRunFinder finder(model, lastMcu);
  for (int32_t row = 1; row < model.geometry.McuRows; ++row) finder.AddRow(planes, row);
  return finder.Found();
}

}  // namespace vorn
