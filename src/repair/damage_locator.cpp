#include "repair/damage_locator.h"

#include <algorithm>
#include <cstdlib>

#include "jpeg/marker_codes.h"
#include "repair/intact_damage.h"
#include "repair/picture_fit.h"
#include "repair/shifted_run.h"

namespace vorn {

namespace {

// A decode that lost its track fails within this many MCUs, nearly always.
constexpr int32_t kLocalReach = 12;
// Where the picture shows a run of MCUs out of step, the damage lies a few MCUs
// before it at most.
constexpr int32_t kShiftedMargin = 6;

DamageReason AtMcu(const ScanModel& model, DamageKind kind, int32_t mcu) {
  DamageReason reason;
  reason.kind = kind;
  reason.column = mcu % model.geometry.McusPerRow;
  reason.row = mcu / model.geometry.McusPerRow;
  return reason;
}

// Why a stretch of interval `interval` that stopped so is not that interval.
DamageReason Reason(const ScanModel& model, int32_t interval, const DecodeStop& stop) {
  const int32_t start = model.IntervalStart(interval);
  const int32_t end = model.IntervalEnd(interval);
  DamageReason reason = AtMcu(model, DamageKind::IntervalEndsWrongly, stop.mcu);
  reason.interval = model.intervals > 1 ? interval : -1;
  reason.at = stop.at;
  reason.marker = stop.marker;
  reason.expected = end - start;
  reason.decoded = stop.mcu - start;
  const auto is = [&](DamageKind kind) {
    reason.kind = kind;
    return reason;
  };
  switch (stop.kind) {
    case StopKind::BadCode:
      return is(DamageKind::NoCodeMatches);
    case StopKind::CoefficientOverrun:
      return is(DamageKind::CoefficientOverrun);
    case StopKind::DcRange:
      return is(DamageKind::DcOutOfRange);
    case StopKind::Implausible:
      return is(DamageKind::Implausible);
    case StopKind::TransformOverflow:
      return is(DamageKind::TransformOverflow);
    case StopKind::MarkerInsideMcu:
      return is(DamageKind::MarkerInsideMcu);
    case StopKind::ForeignMarker:
      return is(DamageKind::ForeignMarker);
    case StopKind::EndOfFile:
      return is(DamageKind::EndOfFile);
    case StopKind::Limit:
      return is(DamageKind::McuLimit);
    case StopKind::SinkStopped:
      return is(DamageKind::DecodingStopped);
    case StopKind::AtMarker:
      break;
  }
  if (!marker::IsRestartMarker(stop.marker) && stop.marker != marker::kEOI)
    return is(DamageKind::ForeignMarker);
  reason.wanted = model.MarkerAfter(interval);
  if (reason.decoded < reason.expected) return is(DamageKind::TooFewMcus);
  if (reason.decoded > reason.expected) return is(DamageKind::TooManyMcus);
  if (!stop.paddingOnes) return is(DamageKind::PaddingNotOnes);
  if (stop.marker != reason.wanted) {
    if (marker::IsRestartMarker(stop.marker) && marker::IsRestartMarker(reason.wanted))
      return is(DamageKind::RestartOutOfSequence);
    return is(DamageKind::MarkerOutOfPlace);
  }
  return is(DamageKind::IntervalEndsWrongly);
}

// Data that is no whole MCU between the interval's last MCU and its marker: the
// greedy decode ran past the last MCU and failed before the marker.
bool DataLeftBeforeMarker(const ScanModel& model, int32_t interval, const DecodeStop& stop) {
  return stop.kind != StopKind::AtMarker && stop.kind != StopKind::Limit &&
         stop.mcu == model.IntervalEnd(interval);
}

// The first bit of an MCU's data, as the pointer names it: the bit after the mark.
BitPos FirstBit(const McuMark& mark) {
  return mark.mark + 1;
}

// How strongly MCU m's top and left edges break with the picture before it: the mean
// |r| per sample pair over all components.
int32_t BreakScore(const ScanModel& model, const ComponentPlanes& planes, int32_t m) {
  const int32_t perRow = model.geometry.McusPerRow;
  const int32_t column = m % perRow, row = m / perRow;
  int64_t total = 0;
  int64_t pairs = 0;
  for (int c = 0; c < planes.count; ++c) {
    const auto i = static_cast<size_t>(c);
    const int32_t w = 8 * model.h[i], h = 8 * model.v[i];
    const int32_t x0 = column * w, y0 = row * h;
    const int32_t xEnd = std::min(x0 + w, planes.visibleWidth[i]);
    const int32_t yEnd = std::min(y0 + h, planes.visibleHeight[i]);
    if (y0 >= 2 && y0 + 1 < planes.visibleHeight[i]) {
      for (int32_t x = x0; x < xEnd; ++x, ++pairs)
        total += std::abs(EdgeStep(planes.At(c, x, y0 - 2), planes.At(c, x, y0 - 1), planes.At(c, x, y0),
                                   planes.At(c, x, y0 + 1)));
    }
    if (x0 >= 2 && x0 + 1 < planes.visibleWidth[i]) {
      for (int32_t y = y0; y < yEnd; ++y, ++pairs)
        total += std::abs(EdgeStep(planes.At(c, x0 - 2, y), planes.At(c, x0 - 1, y), planes.At(c, x0, y),
                                   planes.At(c, x0 + 1, y)));
    }
  }
  return pairs == 0 ? 0 : static_cast<int32_t>(total / pairs);
}

// The MCUs of scored (score, MCU) with the highest scores, at most count of them and
// each at least 4 MCUs from those taken before, so that the windows built on them
// do not all cover the same stretch; positiveOnly: no MCU of score 0 or less.
std::vector<int32_t> BestApart(std::vector<std::pair<int64_t, int32_t>>& scored, int count,
                               bool positiveOnly) {
  std::sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  std::vector<int32_t> starts;
  for (const auto& [score, m] : scored) {
    if (positiveOnly && score <= 0) break;
    bool near = false;
    for (int32_t s : starts) near = near || std::abs(s - m) < 4;
    if (near) continue;
    starts.push_back(m);
    if (static_cast<int>(starts.size()) == count) break;
  }
  return starts;
}

// MCUs of [first, last] where the picture most likely starts to go wrong, best first:
// where the mean break score of the MCUs that follow rises most above that of the MCUs
// before.
std::vector<int32_t> LikelyStarts(const ScanModel& model, const ScanPass& pass, int32_t first, int32_t last,
                                  int count) {
  last = std::min(last, model.totalMcus - 1);
  if (last < first) return {};
  const int32_t n = last - first + 1;
  std::vector<int64_t> prefix(static_cast<size_t>(n) + 1, 0);
  for (int32_t k = 0; k < n; ++k)
    prefix[static_cast<size_t>(k) + 1] =
        prefix[static_cast<size_t>(k)] + BreakScore(model, pass.planes, first + k);
  const int32_t span = std::max(1, std::min(model.geometry.McusPerRow, 32));
  std::vector<std::pair<int64_t, int32_t>> rises;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t after = std::min(span, n - k);
    const int32_t before = std::min(span, k);
    const int64_t meanAfter =
        (prefix[static_cast<size_t>(k + after)] - prefix[static_cast<size_t>(k)]) * 16 / after;
    const int64_t meanBefore =
        before == 0
            ? 0
            : (prefix[static_cast<size_t>(k)] - prefix[static_cast<size_t>(k - before)]) * 16 / before;
    rises.emplace_back(meanAfter - meanBefore, first + k);
  }
  return BestApart(rises, count, false);
}

// How much better MCU m's top edge fits the picture above when that is taken `shift`
// MCU columns to the side: after a decode lost or gained MCUs and found its way
// again, every MCU shows the one `shift` places further on, until a whole row of
// them has passed and the rows above are out of step alike.
int64_t ShiftGain(const ScanModel& model, const ComponentPlanes& planes, int32_t m, int32_t shift) {
  const int32_t perRow = model.geometry.McusPerRow;
  const int32_t column = m % perRow, row = m / perRow;
  if (row == 0 || column + shift < 0 || column + shift >= perRow) return 0;
  int64_t gain = 0;
  for (int c = 0; c < planes.count; ++c) {
    const auto i = static_cast<size_t>(c);
    const int32_t w = 8 * model.h[i], h = 8 * model.v[i];
    const int32_t x0 = column * w, y0 = row * h;
    const int32_t dx = shift * w;
    if (y0 + 1 >= planes.visibleHeight[i]) continue;
    for (int32_t x = x0; x < std::min(x0 + w, planes.visibleWidth[i]); ++x) {
      if (x + dx < 0 || x + dx >= planes.visibleWidth[i]) continue;
      const int32_t b = planes.At(c, x, y0), b2 = planes.At(c, x, y0 + 1);
      const int32_t straight = std::abs(EdgeStep(planes.At(c, x, y0 - 2), planes.At(c, x, y0 - 1), b, b2));
      const int32_t moved =
          std::abs(EdgeStep(planes.At(c, x + dx, y0 - 2), planes.At(c, x + dx, y0 - 1), b, b2));
      gain += straight - moved;
    }
  }
  return gain;
}

// MCUs of [first, last] where a decode that came out `shift` MCUs short most likely
// went astray, best first: the starts of the runs of a row of MCUs whose top edges
// fit best when the rows above are taken `shift` columns on.
std::vector<int32_t> ShiftedStarts(const ScanModel& model, const ScanPass& pass, int32_t first, int32_t last,
                                   int32_t shift, int count) {
  last = std::min(last, model.totalMcus - 1);
  if (last < first || shift == 0) return {};
  const int32_t n = last - first + 1;
  std::vector<int64_t> prefix(static_cast<size_t>(n) + 1, 0);
  for (int32_t k = 0; k < n; ++k)
    prefix[static_cast<size_t>(k) + 1] =
        prefix[static_cast<size_t>(k)] + ShiftGain(model, pass.planes, first + k, shift);
  const int32_t run = std::max(1, model.geometry.McusPerRow);
  std::vector<std::pair<int64_t, int32_t>> gains;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t end = std::min(n, k + run);
    gains.emplace_back(prefix[static_cast<size_t>(end)] - prefix[static_cast<size_t>(k)], first + k);
  }
  return BestApart(gains, count, true);
}

// The byte that holds MCU m's first bit.
int64_t FirstByteOf(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass, int32_t m) {
  return StartPointOf(model, bytes, pass, m).next >> 3;
}

// A window of trials starting at MCU first, over the data of MCUs first .. last
// (bytes from first's first bit to lastByte).
SearchWindow WindowOver(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                        int32_t first, int64_t lastByte) {
  SearchWindow w;
  w.firstMcu = first;
  w.firstByte = FirstByteOf(model, bytes, pass, first);
  w.lastByte = std::min<int64_t>(lastByte, static_cast<int64_t>(bytes.size()) - 1);
  w.lastMcu = first;
  while (w.lastMcu + 1 < static_cast<int32_t>(pass.marks.size()) - 1 &&
         pass.marks[static_cast<size_t>(w.lastMcu + 1)].mark >= 0 &&
         (pass.marks[static_cast<size_t>(w.lastMcu + 1)].mark >> 3) <= w.lastByte)
    ++w.lastMcu;
  return w;
}

// The last byte of MCU m's data, when the pass knows where the next MCU begins.
int64_t McuLastByte(const ScanPass& pass, int32_t m, int64_t fallback) {
  if (m + 1 < static_cast<int32_t>(pass.marks.size()) && pass.marks[static_cast<size_t>(m + 1)].mark >= 0)
    return pass.marks[static_cast<size_t>(m + 1)].mark >> 3;
  return fallback;
}

// The window over the MCUs before a run out of step that begins at MCU `first`, and
// over as many MCUs past its start as it is shifted by and one more (up to lastByte):
// the damage that put it out of step lies there. On a dark, flat picture the start of
// a run two MCUs short was found a few MCUs early, and windows that reached one MCU
// past it ended 3 to 56 bytes before the byte removed (the search then took an edit
// far after it).
SearchWindow ShiftedRunWindow(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                              int32_t first, int32_t shift, int64_t lastByte) {
  const int32_t from = std::max(model.IntervalStart(model.IntervalOf(first)), first - kShiftedMargin);
  const int32_t reach = first + 1 + std::abs(shift);
  return WindowOver(model, bytes, pass, from, std::min(McuLastByte(pass, reach, lastByte), lastByte));
}

// The window over the MCUs before a DC step up to its bit: a lost track that found
// its way again leaves such a step behind it, and a few MCUs of garbage before.
// Where the scan decodes as it is nearly every edit verifies, so the window is kept
// short: in the damaged photos measured, the garbage before such a step was at most
// 36 bytes, well within four MCUs.
constexpr int32_t kDriftReach = 4;
constexpr int32_t kDriftAfter = 3;

SearchWindow DriftWindow(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                         const DcBit& bit) {
  const int32_t from = std::max(model.IntervalStart(model.IntervalOf(bit.mcu)), bit.mcu - kDriftReach);
  // And the MCUs just after it: a byte changed there may move a later DC value by the
  // same step, which the earlier bit then only seems to explain (a flipped bit three
  // MCUs after the one found, past a window of two, let the earlier bit be written).
  const int32_t after = std::min(model.totalMcus - 1, bit.mcu + kDriftAfter);
  return WindowOver(model, bytes, pass, from, McuLastByte(pass, after, bit.edit.position));
}

// Damage in the last bytes of an MCU often shows only from the MCUs after it (its
// last blocks decode as something, and the next MCU starts at a wrong bit), so a
// window that begins at the first MCU that looks wrong or a few MCUs before it may
// begin just after the damage: 2, 3 and 7 bytes after it in damaged 4:4:4 and grey
// photos, whose MCUs take a few bytes each, where a chance edit further on that made
// up for it was written. A window of a scan that does not decode therefore begins at
// least this many bytes before its first MCU's data (at an MCU of its interval). On
// two seeds of 1,438 damaged copies, 16 bytes restored 3 copies more and wrote 4
// wrong pictures fewer (the damage's own edit is now among their rivals), 32 bytes
// 3 more again and no wrong one more; the search then takes about 8 % more CPU time,
// within the same limit.
constexpr int64_t kLeadBytes = 32;

void LeadWindow(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                SearchWindow& w) {
  const int32_t start = model.IntervalStart(model.IntervalOf(w.firstMcu));
  const int64_t wanted = w.firstByte - kLeadBytes;
  while (w.firstMcu > start && pass.marks[static_cast<size_t>(w.firstMcu - 1)].mark >= 0 &&
         w.firstByte > wanted) {
    --w.firstMcu;
    w.firstByte = FirstByteOf(model, bytes, pass, w.firstMcu);
  }
}

// The component as the reason names it: Y, Cb or Cr.
int NamedComponent(const ScanModel& model, int component) {
  return model.components == 1 ? 0 : std::clamp(component, 0, 2);
}

void SetSuspect(const ScanModel& model, const ScanPass& pass, int32_t mcu, DamageReport& report) {
  report.mcu = mcu;
  report.column = mcu % model.geometry.McusPerRow;
  report.row = mcu / model.geometry.McusPerRow;
  report.position = FirstBit(pass.marks[static_cast<size_t>(mcu)]);
}

}  // namespace

DamageReport LocateDamage(const ScanModel& model, std::span<const uint8_t> bytes, ScanPass& pass) {
  DamageReport report;
  report.mcusExpected = model.totalMcus;
  const PatchedBytes plain(bytes.data(), static_cast<int64_t>(bytes.size()));
  RunScanPass(model, plain, true, pass);
  const SegmentOutcome* failure = pass.Failure();
  if (failure == nullptr) {
    report.mcusDecoded = model.totalMcus;
    const IntactDamage intact = FindIntactDamage(model, bytes, pass);
    const std::optional<DcDrift>& drift = intact.drift;
    const std::optional<DcStep>& step = intact.step;
    const std::optional<DcBit>& flip = intact.flip;
    if (!drift && !flip && step) {
      // A step that no one bit explains: the search looks at the MCUs before it.
      report.health = ScanHealth::Damaged;
      report.syntaxIntact = true;
      const int32_t from =
          std::max(model.IntervalStart(model.IntervalOf(step->mcu)), step->mcu - kDriftReach);
      report.windows.push_back(WindowOver(
          model, bytes, pass, from, McuLastByte(pass, step->mcu, static_cast<int64_t>(bytes.size()) - 1)));
      SetSuspect(model, pass, step->mcu, report);
      report.reason = AtMcu(model, DamageKind::DcStep, step->mcu);
      report.reason.component = NamedComponent(model, step->component);
      report.reason.levels = step->levels;
      return report;
    }
    if (!drift && !flip) {
      // A decode that lost MCUs and gained as many again (two faults, or an edit that
      // made up for the first) keeps the syntax and leaves the picture between them
      // out of step.
      if (const std::optional<ShiftedRun> run = FindShiftedRun(model, pass.planes, model.totalMcus - 1)) {
        report.health = ScanHealth::Damaged;
        report.syntaxIntact = true;
        const int64_t dataEnd =
            McuLastByte(pass, model.totalMcus - 1, static_cast<int64_t>(bytes.size()) - 1);
        report.windows.push_back(ShiftedRunWindow(model, bytes, pass, run->mcu, run->shift, dataEnd));
        SetSuspect(model, pass, run->mcu, report);
        report.reason = AtMcu(model, DamageKind::ShiftedRun, run->mcu);
        report.reason.shift = run->shift;
        return report;
      }
      report.health = ScanHealth::Clean;
      return report;
    }
    const DcBit& bit = drift ? drift->bit : *flip;
    report.health = ScanHealth::Damaged;
    report.syntaxIntact = true;
    report.suspectBit = bit.edit;
    report.windows.push_back(DriftWindow(model, bytes, pass, bit));
    SetSuspect(model, pass, bit.mcu, report);
    report.reason = AtMcu(model, drift ? DamageKind::DcDrift : DamageKind::BlockAtOdds, bit.mcu);
    report.reason.component = NamedComponent(model, bit.component);
    report.reason.at = MakeBitPos(bit.edit.position, bit.edit.bit);
    report.reason.written = bit.edit.kind == EditKind::Remove;
    return report;
  }

  report.health = ScanHealth::Damaged;
  report.syntaxIntact = false;
  const int32_t interval = failure->interval;
  const DecodeStop& stop = failure->stop;
  const int32_t start = model.IntervalStart(interval);
  const int32_t end = model.IntervalEnd(interval);
  report.mcusDecoded = std::min(stop.mcu, end);
  report.reason = Reason(model, interval, stop);
  if (DataLeftBeforeMarker(model, interval, stop)) report.reason.kind = DamageKind::DataAfterLastMcu;
  const int64_t stopByte = stop.at >> 3;
  if (stop.kind == StopKind::AtMarker && !stop.paddingOnes && stop.mcu == end)
    report.paddingByte = stopByte - 1;
  const int32_t failing = std::clamp(stop.mcu, start, std::max(start, std::min(end, model.totalMcus) - 1));

  // A marker that belongs to no scan data, or a failure in the middle of it, is
  // near the damage; a wrong count at the end of the data is not.
  const bool foreign =
      stop.kind == StopKind::AtMarker && !marker::IsRestartMarker(stop.marker) && stop.marker != marker::kEOI;
  if (foreign || stop.kind == StopKind::ForeignMarker) report.markerByte = stopByte;
  const bool local = foreign || (stop.kind != StopKind::AtMarker && stop.kind != StopKind::Limit &&
                                 !DataLeftBeforeMarker(model, interval, stop));
  int32_t suspect = failing;
  if (local) {
    // The decode went wrong at, or some MCUs before, where it failed.
    const int32_t from = std::max(start, failing - kLocalReach);
    report.windows.push_back(WindowOver(model, bytes, pass, from, stopByte + 2));
    const std::vector<int32_t> starts = LikelyStarts(model, pass, from, failing, 1);
    if (!starts.empty()) suspect = starts[0];
    // A decode that lost its track may go on for many MCUs before it fails (a DC
    // value moved by a wrong bit drifts until it leaves the range): where the
    // picture before the window starts to go wrong is searched too.
    if (from > start) {
      for (const int32_t s : LikelyStarts(model, pass, start, from - 1, 1)) {
        const int32_t earlier = std::max(start, s - kShiftedMargin);
        report.windows.push_back(WindowOver(model, bytes, pass, earlier, McuLastByte(pass, s + 1, stopByte)));
      }
    }
  } else if (end - start <= 8) {
    // A short interval: all of it.
    report.windows.push_back(WindowOver(model, bytes, pass, start, stopByte));
    suspect = start;
  } else {
    // The count came out wrong: the picture shows where the decode left the track,
    // and, after it found its way again, everything moved by the MCUs it lost or
    // gained.
    const int32_t last = std::min(stop.mcu, end) - 1;
    const int32_t shift = stop.kind == StopKind::AtMarker ? end - stop.mcu : -1;
    std::vector<int32_t> starts = ShiftedStarts(model, pass, start, last, shift, 2);
    if (shift == -1) {
      for (int32_t s : ShiftedStarts(model, pass, start, last, -2, 1)) starts.push_back(s);
    }
    for (int32_t s : LikelyStarts(model, pass, start, last, 2)) {
      bool near = false;
      for (int32_t t : starts) near = near || std::abs(s - t) < 4;
      if (!near) starts.push_back(s);
    }
    for (int32_t s : starts) {
      const SearchWindow w = ShiftedRunWindow(model, bytes, pass, s, shift, stopByte);
      bool same = false;
      for (const SearchWindow& other : report.windows) same = same || other.firstByte == w.firstByte;
      if (!same) report.windows.push_back(w);
    }
    if (!starts.empty()) {
      // A run shifted by the MCUs lost begins after the MCU whose data the damage
      // broke: that MCU ended at the wrong bit. The break is where the edges of the
      // MCUs just before the run rise most.
      suspect = starts[0];
      const std::vector<int32_t> rise =
          LikelyStarts(model, pass, std::max(start, suspect - 2), std::max(start, suspect - 1), 1);
      if (!rise.empty()) suspect = rise[0];
    }
  }
  if (stop.kind == StopKind::DcRange) {
    // Where a moved DC value was carried out of range by later differences, the step
    // it made shows from the block of the moved value on.
    std::optional<DcStep> step;
    if (const std::optional<DcDrift> drift = FindDcDrift(model, bytes, pass, &step)) {
      report.suspectBit = drift->bit.edit;
      report.windows.insert(report.windows.begin(), DriftWindow(model, bytes, pass, drift->bit));
      suspect = drift->bit.mcu;
    } else if (step && step->mcu >= start && step->mcu <= failing) {
      // A decode that lost its track and found it again with its DC predictors
      // moved leaves a step over what follows, which later differences carried out
      // of range, often many MCUs before the failure (never in an interval before
      // it: a restart resets the predictors). The damage lies in the MCUs of
      // garbage before the step, or a step's split an MCU or two off: searched after
      // the windows at the failure, and the step's MCU is the one named.
      const int32_t from = std::max(start, step->mcu - kLocalReach);
      const int32_t after = std::min(model.totalMcus - 1, step->mcu + kDriftAfter);
      report.windows.push_back(WindowOver(model, bytes, pass, from, McuLastByte(pass, after, stopByte)));
      suspect = std::min(suspect, step->mcu);
    }
  }
  // A run out of step before the failure: the decode lost or gained MCUs there and
  // went on, and the failure is only where it finally broke (or where a later fault
  // broke it). An edit after the run cannot put it back in step, so its window is
  // searched first, and the MCU named is where the edges just before it rise most
  // (the MCU whose data the damage broke).
  const int32_t lastDecoded = std::min(stop.mcu, std::min(end, model.totalMcus)) - 1;
  if (const std::optional<ShiftedRun> run = FindShiftedRun(model, pass.planes, lastDecoded);
      run && run->mcu >= start && (report.windows.empty() || run->mcu < report.windows.front().firstMcu)) {
    const SearchWindow w = ShiftedRunWindow(model, bytes, pass, run->mcu, run->shift, stopByte);
    std::erase_if(report.windows, [&](const SearchWindow& other) { return other.firstByte == w.firstByte; });
    report.windows.insert(report.windows.begin(), w);
    const std::vector<int32_t> rise =
        LikelyStarts(model, pass, std::max(start, run->mcu - 2), std::max(start, run->mcu - 1), 1);
    suspect = std::min(suspect, rise.empty() ? run->mcu : rise[0]);
  }
  for (SearchWindow& w : report.windows) LeadWindow(model, bytes, pass, w);
  // Windows led back to the same MCU overlap: one that lies inside a window searched
  // before it would only try its edits again (and choose among fewer rivals).
  for (size_t i = 1; i < report.windows.size();) {
    const SearchWindow& w = report.windows[i];
    const bool inside = std::any_of(
        report.windows.begin(), report.windows.begin() + static_cast<ptrdiff_t>(i),
        [&](const SearchWindow& e) { return e.firstByte <= w.firstByte && w.lastByte <= e.lastByte; });
    if (inside) {
      report.windows.erase(report.windows.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  SetSuspect(model, pass, suspect, report);
  return report;
}

namespace {

// The report of a scan told whole.
DamageReport WholeScan(const ScanModel& model) {
  DamageReport report;
  report.mcusExpected = report.mcusDecoded = model.totalMcus;
  return report;
}

DamageReport Located(const ScanModel& model, std::span<const uint8_t> bytes) {
  ScanPass pass;
  return LocateDamage(model, bytes, pass);
}

}  // namespace

DamageReport CheckDamage(const ScanModel& model, std::span<const uint8_t> bytes, DecodeThreads threads) {
  return ScanLooksWhole(model, bytes, threads) ? WholeScan(model) : Located(model, bytes);
}

DamageReport CheckSyntax(const ScanModel& model, std::span<const uint8_t> bytes) {
  if (ScanSyntaxWhole(model, bytes)) return WholeScan(model);
  // Whatever the one decode missed that the full pass reads as whole, its picture is
  // not this check's business.
  const DamageReport report = Located(model, bytes);
  return report.health == ScanHealth::Damaged && report.syntaxIntact ? WholeScan(model) : report;
}

}  // namespace vorn
