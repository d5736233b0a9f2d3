#include "salvage/block_fit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/median.h"

namespace vorn {

namespace {

// A rating this many times the usual one (and above kBreakFloor) breaks; of the
// kBreakWindow MCUs from a break, kBreakShare at least must break too.
constexpr double kBreakFactor = 3.0;
constexpr double kBreakFloor = 6.0;
constexpr int32_t kBreakWindow = 8;
constexpr int32_t kBreakShare = 5;
// And of the row of MCUs from a break, kRowShare in kRowShareOf.
constexpr int32_t kRowShare = 2;
constexpr int32_t kRowShareOf = 5;
// Where MCUs are known to be lost, kLostShare of the kBreakWindow suffice.
constexpr int32_t kLostShare = 3;
// MCUs before a break that are not kept either.
constexpr int32_t kBreakBefore = 2;

}  // namespace

BlockSamples SamplesOf(const CoefficientBlock& block, const std::array<int32_t, 64>& quant) {
  static const auto cosines = [] {
    std::array<std::array<double, 8>, 8> c{};
    for (int x = 0; x < 8; ++x)
      for (int u = 0; u < 8; ++u)
        c[static_cast<size_t>(x)][static_cast<size_t>(u)] =
            (u == 0 ? std::numbers::sqrt2 / 2 : 1.0) * std::cos((2 * x + 1) * u * std::numbers::pi / 16) / 2;
    return c;
  }();
  // Rows first: per vertical frequency v, the samples across.
  std::array<std::array<double, 8>, 8> across{};  // [v][x]
  std::array<bool, 8> any{};
  for (size_t v = 0; v < 8; ++v)
    for (size_t u = 0; u < 8; ++u) {
      const double f = static_cast<double>(block[v * 8 + u]) * quant[v * 8 + u];
      if (f == 0) continue;
      any[v] = true;
      for (size_t x = 0; x < 8; ++x) across[v][x] += f * cosines[x][u];
    }
  BlockSamples out{};
  for (size_t v = 0; v < 8; ++v) {
    if (!any[v]) continue;
    for (size_t y = 0; y < 8; ++y)
      for (size_t x = 0; x < 8; ++x) out[y * 8 + x] += across[v][x] * cosines[y][v];
  }
  return out;
}

const std::array<int32_t, 64>& QuantOf(const ScanModel& model, int c) {
  for (int b = 0; b < model.blockCount; ++b)
    if (model.blocks[static_cast<size_t>(b)].component == c)
      return model.quantNatural[static_cast<size_t>(model.blocks[static_cast<size_t>(b)].quant)];
  return model.quantNatural[0];
}

double EdgeBreaks::Cost(int32_t mcu, const std::vector<uint8_t>& usable, int32_t from) {
  const auto& q = QuantOf(model_, 0);
  const auto ok = [&](int32_t m) {
    return m != mcu && m >= 0 && (m < from ? usable[static_cast<size_t>(m)] != 0 : m < mcu);
  };
  double sum = 0;
  int count = 0;
  for (int b = 0; b < model_.blockCount; ++b) {
    const BlockPlace place = PlaceOf(model_, mcu, b);
    if (place.component != 0) continue;
    int32_t up = 0, left = 0;
    int ub = 0, lb = 0;
    const bool hasUp = BlockAt(model_, 0, place.x, place.y - 1, up, ub) && ok(up);
    const bool hasLeft = BlockAt(model_, 0, place.x - 1, place.y, left, lb) && ok(left);
    if (!hasUp && !hasLeft) continue;
    const BlockSamples s = SamplesOf(grid_.Block(mcu, b), q);
    if (hasUp) {
      const BlockSamples a = SamplesOf(grid_.Block(up, ub), q);
      for (size_t x = 0; x < 8; ++x) sum += std::abs(3 * s[x] - s[8 + x] - 3 * a[56 + x] + a[48 + x]);
      count += 8;
    }
    if (hasLeft) {
      const BlockSamples a = SamplesOf(grid_.Block(left, lb), q);
      for (size_t y = 0; y < 8; ++y)
        sum += std::abs(3 * s[y * 8] - s[y * 8 + 1] - 3 * a[y * 8 + 7] + a[y * 8 + 6]);
      count += 8;
    }
  }
  return count == 0 ? -1 : sum / count;
}

int32_t EdgeBreaks::FirstBreak(int32_t first, int32_t end, const std::vector<uint8_t>& usable, bool lost) {
  if (first >= end) return end;
  const int32_t perRow = model_.geometry.McusPerRow;
  // The usual fit: the MCUs kept before, else those rated (most of which fit: a lost
  // track breaks the edges where it begins and where it was placed wrongly).
  std::vector<double> usual;
  for (int32_t m = std::max(0, first - 2 * perRow); m < first; ++m)
    if (usable[static_cast<size_t>(m)])
      if (const double c = Cost(m, usable, m); c >= 0) usual.push_back(c);
  std::vector<double> costs(static_cast<size_t>(end - first), -1);
  for (int32_t m = first; m < end; ++m) costs[static_cast<size_t>(m - first)] = Cost(m, usable, first);
  if (usual.size() < 16)
    for (const double c : costs)
      if (c >= 0) usual.push_back(c);
  const double limit = kBreakFactor * Median(usual) + kBreakFloor;
  // Where the picture itself is busy (the MCU above rates worse than usual: an edge of
  // the subject crosses it), so may this one.
  std::vector<double> local(costs.size(), 0);
  for (int32_t m = first; m < end; ++m) {
    const int32_t above = m - perRow;
    if (above >= 0 && (above >= first || usable[static_cast<size_t>(above)]))
      local[static_cast<size_t>(m - first)] = Cost(above, usable, std::min(above, first));
  }
  const auto breaks = [&](int32_t m) {
    const auto i = static_cast<size_t>(m - first);
    return costs[i] > std::max(limit, kBreakFactor * local[i] + kBreakFloor);
  };
  for (int32_t m = first; m < end; ++m) {
    if (!breaks(m)) continue;
    const int32_t windowEnd = std::min(end, m + kBreakWindow);
    int32_t n = 0;
    for (int32_t k = m; k < windowEnd; ++k) n += breaks(k) ? 1 : 0;
    // A track found again at another place breaks a whole row of top edges; the
    // picture's own edges seldom do.
    const int32_t rowEnd = std::min(end, m + perRow);
    int32_t inRow = 0;
    for (int32_t k = m; k < rowEnd; ++k) inRow += breaks(k) ? 1 : 0;
    if (lost ? n >= std::min(kLostShare, windowEnd - m)
             : n >= std::min(kBreakShare, windowEnd - m) && inRow * kRowShareOf >= (rowEnd - m) * kRowShare)
      // The MCUs before may hold the first wrong bits in blocks the rating does not see
      // (chroma), or garbage that happens to look plain.
      return std::max(first, m - kBreakBefore);
  }
  return end;
}

}  // namespace vorn
