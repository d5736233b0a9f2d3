#include "salvage/salvage_scan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "base/median.h"
#include "jpeg/marker_codes.h"
#include "repair/damage_locator.h"
#include "repair/intact_damage.h"
#include "salvage/baseline_encoder.h"
#include "salvage/block_fit.h"
#include "salvage/coefficient_grid.h"

namespace vorn {

namespace {

// A run of this many 00 bytes is no entropy-coded data an encoder writes: a sector
// zeroed on the card (or never written).
constexpr int64_t kZeroRun = 32;
// A resume point must decode this many MCUs strictly (or up to the scan's end).
constexpr int32_t kResumeMcus = 64;
// The first MCUs decoded after a resume point may be what a decode makes of the end of
// an MCU before its track is found: they are made up, not kept.
constexpr int32_t kResumeSkip = 2;
// A decode that lost its track fails within this many MCUs, nearly always: the MCUs
// before a marker met with the wrong count that no edge dates are not kept.
constexpr int32_t kLostReach = 12;
// Before a failure whose start the edges date, this many more are not kept: garbage
// that happens to fit the picture is short.
constexpr int32_t kFailReach = 2;

std::string McuText(const ScanModel& model, int32_t mcu) {
  const int32_t perRow = model.geometry.McusPerRow;
  return "(" + std::to_string(mcu % perRow) + "," + std::to_string(mcu / perRow) + ")";
}

std::string RangeText(const ScanModel& model, int32_t first, int32_t end) {
  return end - first == 1 ? "MCU " + McuText(model, first)
                          : "MCUs " + McuText(model, first) + "-" + McuText(model, end - 1);
}

struct ZeroSpan {
  int64_t first = -1, end = -1;  // bytes
};

ZeroSpan FirstZeroRun(std::span<const uint8_t> bytes, int64_t from) {
  const auto size = static_cast<int64_t>(bytes.size());
  for (int64_t i = from; i < size;) {
    if (bytes[static_cast<size_t>(i)] != 0) {
      ++i;
      continue;
    }
    int64_t j = i;
    while (j < size && bytes[static_cast<size_t>(j)] == 0) ++j;
    // A stuffed 00 after an FF belongs to the data byte before it.
    const int64_t first = i > from && bytes[static_cast<size_t>(i - 1)] == marker::kFill ? i + 1 : i;
    if (j - first >= kZeroRun) return ZeroSpan{first, j};
    i = j;
  }
  return ZeroSpan{};
}

// Rows 0, 1, 6 and 7 of a block's samples, unclamped, level shift left out.
using EdgeRows = std::array<std::array<double, 8>, 4>;
EdgeRows EdgeRowsOf(const CoefficientBlock& block, const std::array<int32_t, 64>& quant) {
  const BlockSamples samples = SamplesOf(block, quant);
  EdgeRows rows{};
  static constexpr std::array<size_t, 4> kRows = {0, 1, 6, 7};
  for (size_t r = 0; r < 4; ++r)
    for (size_t x = 0; x < 8; ++x) rows[r][x] = samples[kRows[r] * 8 + x];
  return rows;
}

// Fills every MCU that is not known: each block's DC from the nearest known blocks
// above and below in its column (between them in proportion), the rest 0 — the
// picture continues flat from the rows around the gap, and from the row above alone
// where nothing below is known (a cut file).
void FillUnknown(const ScanModel& model, const std::vector<uint8_t>& known, CoefficientGrid& grid) {
  // The nearest known block above and below each block of a plane, found by one sweep
  // of each column down and one up: a search per block would go through the whole
  // column for every block of a large lost part (250,000 MCUs of a cut 4000 x 4000
  // picture took seconds).
  std::array<std::vector<int32_t>, 3> aboveY, belowY;  // per block of the plane; -1: none
  for (int c = 0; c < model.components && c < 3; ++c) {
    const int32_t wide = PlaneBlocksWide(model, c), high = PlaneBlocksHigh(model, c);
    const size_t count = static_cast<size_t>(wide) * static_cast<size_t>(high);
    std::vector<uint8_t> knownBlock(count, 0);
    for (int32_t y = 0; y < high; ++y)
      for (int32_t x = 0; x < wide; ++x) {
        int32_t mm;
        int bb;
        if (BlockAt(model, c, x, y, mm, bb) && known[static_cast<size_t>(mm)])
          knownBlock[static_cast<size_t>(y) * static_cast<size_t>(wide) + static_cast<size_t>(x)] = 1;
      }
    aboveY[static_cast<size_t>(c)].assign(count, -1);
    belowY[static_cast<size_t>(c)].assign(count, -1);
    for (int32_t x = 0; x < wide; ++x) {
      int32_t last = -1;
      for (int32_t y = 0; y < high; ++y) {
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(wide) + static_cast<size_t>(x);
        aboveY[static_cast<size_t>(c)][i] = last;
        if (knownBlock[i]) last = y;
      }
      last = -1;
      for (int32_t y = high - 1; y >= 0; --y) {
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(wide) + static_cast<size_t>(x);
        belowY[static_cast<size_t>(c)][i] = last;
        if (knownBlock[i]) last = y;
      }
    }
  }
  for (int32_t m = 0; m < model.totalMcus; ++m) {
    if (known[static_cast<size_t>(m)]) continue;
    for (int b = 0; b < model.blockCount; ++b) {
      const BlockPlace place = PlaceOf(model, m, b);
      const int c = place.component;
      std::optional<std::pair<int32_t, int16_t>> above, below;
      const int32_t wide = PlaneBlocksWide(model, c);
      if (c < 3 && place.x < wide && place.y < PlaneBlocksHigh(model, c)) {
        const size_t i = static_cast<size_t>(place.y) * static_cast<size_t>(wide) + static_cast<size_t>(place.x);
        int32_t mm;
        int bb;
        const int32_t ya = aboveY[static_cast<size_t>(c)][i], yb = belowY[static_cast<size_t>(c)][i];
        if (ya >= 0 && BlockAt(model, c, place.x, ya, mm, bb)) above = std::pair{place.y - ya, grid.Block(mm, bb)[0]};
        if (yb >= 0 && BlockAt(model, c, place.x, yb, mm, bb)) below = std::pair{yb - place.y, grid.Block(mm, bb)[0]};
      }
      int32_t dc = 0;
      if (above && below)
        dc = static_cast<int32_t>(std::lround((static_cast<double>(above->second) * below->first +
                                               static_cast<double>(below->second) * above->first) /
                                              (above->first + below->first)));
      else if (above)
        dc = above->second;
      else if (below)
        dc = below->second;
      else if (b > 0 || m > 0) {
        // Nothing in the column: the block before it in the plane.
        int32_t mm;
        int bb;
        if (BlockAt(model, c, place.x - 1, place.y, mm, bb)) dc = grid.Block(mm, bb)[0];
      }
      CoefficientBlock& out = grid.Block(m, b);
      out.fill(0);
      out[0] = static_cast<int16_t>(dc);
    }
  }
}

// Decodes from start as MCU firstMcu into grid (at index + shift).
DecodeStop DecodeInto(const ScanModel& model, const PatchedBytes& bytes, BitPos start, int32_t firstMcu,
                      const std::array<int16_t, 3>& dc, int32_t limit, CoefficientGrid& grid,
                      int32_t shift = 0, std::vector<BitPos>* ends = nullptr) {
  StrictDecoder decoder(model);
  ScanPoint p;
  p.next = start;
  p.mcu = firstMcu;
  p.dc = dc;
  GridSink sink(grid, firstMcu, shift, ends);
  return decoder.Run(bytes, p, limit, sink);
}

// The DC values of the resumed MCUs [first, end) are off by one number per component:
// the one whose blocks continue best from the known blocks above them (the nearest
// in their column, across a gap of made-up rows where there is one). Steps are taken
// across the edge as the picture fit takes them.
std::array<int32_t, 3> DcOffsets(const ScanModel& model, const CoefficientGrid& grid,
                                 const std::vector<uint8_t>& kept, int32_t first, int32_t end) {
  std::array<int32_t, 3> offsets{};
  for (int c = 0; c < model.components; ++c) {
    int quantSlot = 0;
    for (int b = 0; b < model.blockCount; ++b)
      if (model.blocks[static_cast<size_t>(b)].component == c)
        quantSlot = model.blocks[static_cast<size_t>(b)].quant;
    const auto& q = model.quantNatural[static_cast<size_t>(quantSlot)];
    // Per sample pair: the step r and how much one level of DC moves it. Pairs across a
    // gap of made-up rows carry the picture's own change over the gap: they count only
    // where no edge is shared.
    std::vector<std::pair<double, double>> pairs, across;
    const int32_t wide = PlaneBlocksWide(model, c);
    std::vector<uint8_t> done(static_cast<size_t>(wide), 0);
    for (int32_t m = first; m < end; ++m) {
      if (!kept[static_cast<size_t>(m)]) continue;
      for (int b = 0; b < model.blockCount; ++b) {
        const BlockPlace place = PlaceOf(model, m, b);
        if (place.component != c || done[static_cast<size_t>(place.x)]) continue;
        int32_t mm = 0;
        int bb = 0;
        int32_t y = place.y - 1;
        bool inside = true;
        for (; y >= 0; --y) {
          if (!BlockAt(model, c, place.x, y, mm, bb)) break;
          if (mm < first && kept[static_cast<size_t>(mm)]) break;
          if (mm >= first && kept[static_cast<size_t>(mm)]) {
            inside = false;  // the resumed part itself lies above: not a seam
            break;
          }
        }
        if (y < 0 || !inside) continue;
        done[static_cast<size_t>(place.x)] = 1;
        const EdgeRows upper = EdgeRowsOf(grid.Block(mm, bb), q);
        const EdgeRows lower = EdgeRowsOf(grid.Block(m, b), q);
        const bool adjacent = y == place.y - 1;
        const double perLevel = q[0] / 8.0;
        for (size_t x = 0; x < 8; ++x) {
          if (adjacent)
            pairs.emplace_back(3 * lower[0][x] - lower[1][x] - 3 * upper[3][x] + upper[2][x], 2 * perLevel);
          else {
            // Across a gap of made-up rows, the picture's slope on both sides carried
            // over it.
            const double gapRows = 8.0 * (place.y - y - 1) + 1;
            const double slope = ((upper[3][x] - upper[0][x]) + (lower[3][x] - lower[0][x])) / 14.0;
            across.emplace_back(lower[0][x] - upper[3][x] - gapRows * slope, perLevel);
          }
        }
      }
    }
    if (pairs.size() < 16) pairs.insert(pairs.end(), across.begin(), across.end());
    if (pairs.empty()) {
      // Nothing above to continue: the blocks' DC values centred in what 8-bit samples
      // give, as a photo's levels mostly are.
      int32_t low = 32767, high = -32767;
      for (int32_t m = first; m < end; ++m)
        for (int b = 0; b < model.blockCount; ++b)
          if (kept[static_cast<size_t>(m)] && model.blocks[static_cast<size_t>(b)].component == c) {
            low = std::min<int32_t>(low, grid.Block(m, b)[0]);
            high = std::max<int32_t>(high, grid.Block(m, b)[0]);
          }
      if (low <= high) offsets[static_cast<size_t>(c)] = -(low + high) / 2;
      continue;
    }
    // The offset that makes the sum of |r| least: a weighted median, then its
    // neighbours weighed exactly.
    std::vector<std::pair<double, double>> votes;
    for (const auto& [r, w] : pairs) votes.emplace_back(-r / w, w);
    std::sort(votes.begin(), votes.end());
    double total = 0;
    for (const auto& v : votes) total += v.second;
    double acc = 0;
    double median = 0;
    for (const auto& v : votes) {
      acc += v.second;
      if (acc >= total / 2) {
        median = v.first;
        break;
      }
    }
    // Near the median, the least squares of the steps, each bounded so that the
    // picture's own edges weigh no more than a clear break.
    const auto cost = [&](int32_t x) {
      double sum = 0;
      for (const auto& [r, w] : pairs) sum += std::min(std::pow(r + x * w, 2), 24.0 * 24.0);
      return sum;
    };
    const auto around = static_cast<int32_t>(std::lround(median));
    int32_t best = around;
    for (int32_t x = around - 3; x <= around + 3; ++x)
      if (cost(x) < cost(best)) best = x;
    offsets[static_cast<size_t>(c)] = best;
  }
  return offsets;
}

struct Salvager {
  const ScanModel& model;
  std::span<const uint8_t> bytes;
  PatchedBytes patched;
  CoefficientGrid grid;
  std::vector<uint8_t> kept;  // per MCU: the file's own
  SalvageRun run;

  void Keep(int32_t first, int32_t end) {
    for (int32_t m = std::max(first, 0); m < std::min(end, model.totalMcus); ++m)
      kept[static_cast<size_t>(m)] = 1;
  }
  void Drop(int32_t first, int32_t end) {
    for (int32_t m = std::max(first, 0); m < std::min(end, model.totalMcus); ++m)
      kept[static_cast<size_t>(m)] = 0;
  }

  // The decoded MCUs of a stretch that did not decode whole that can be trusted: those
  // whose bits all precede a zeroed span; otherwise those before the first MCU whose
  // edges break (a lost track leaves garbage, and a track found again after a lost
  // span puts later MCUs in the wrong place) and before the damage as the locator
  // dates it. A stretch the file's end cuts off is whole up to there.
  int32_t TrustedEnd(int32_t firstMcu, const DecodeStop& stop, const DamageReport& report,
                     const ZeroSpan& zeros, const std::vector<BitPos>& ends) {
    int32_t end = stop.mcu;
    if (zeros.first >= 0) {
      for (size_t i = 0; i < ends.size(); ++i)
        if (ends[i] >= MakeBitPos(zeros.first, 0)) {
          end = std::min<int32_t>(end, firstMcu + static_cast<int32_t>(i));
          break;
        }
      return std::max(end, firstMcu);
    }
    if (stop.kind == StopKind::EndOfFile) return end;
    EdgeBreaks fit(model, grid);
    end = fit.FirstBreak(firstMcu, end, kept);
    // A scan that ends at the EOI with too few MCUs, as an encoder ends it (on an MCU
    // boundary, 1-padding), lost some inside: no cut file ends so.
    if (end == stop.mcu && model.restartInterval == 0 && stop.kind == StopKind::AtMarker &&
        stop.marker == marker::kEOI && stop.paddingOnes && stop.mcu < model.totalMcus)
      end = fit.FirstBreak(firstMcu, end, kept, true);
    if (!AtEoi(stop)) {
      if (report.health == ScanHealth::Damaged && report.mcu >= firstMcu && report.mcu < stop.mcu)
        end = std::min(end, report.mcu);
      // A stretch that ends at a marker with too few or too many MCUs lost some of them
      // where no edge shows it: the locator's reach back from the marker.
      const bool failed = stop.kind != StopKind::AtMarker && stop.kind != StopKind::MarkerInsideMcu;
      end = std::min(end, stop.mcu - (failed || end < stop.mcu ? kFailReach : kLostReach));
    }
    return std::max(end, firstMcu);
  }

  static bool AtEoi(const DecodeStop& stop) {
    return (stop.kind == StopKind::MarkerInsideMcu || stop.kind == StopKind::AtMarker) &&
           stop.marker == marker::kEOI;
  }

  // The interval each stretch of data between markers holds. The pass numbers a
  // stretch after a failure by its marker, which repeats every 8 intervals: counted
  // back from the EOI, the stretches after a lost span are known whatever was lost
  // (and every stretch is, when nothing before the data is known).
  std::vector<int32_t> IntervalNumbers(const ScanPass& pass, bool placeByEnd) const {
    const auto n = static_cast<int32_t>(pass.segments.size());
    std::vector<int32_t> numbers(static_cast<size_t>(n), -1);
    const bool toEoi = n > 0 && AtEoi(pass.segments.back().stop);
    for (int32_t k = 0; k < n; ++k) {
      const int32_t forward = pass.segments[static_cast<size_t>(k)].interval;
      const int32_t back = model.intervals - n + k;
      const bool after = placeByEnd || (pass.firstFailure >= 0 && k > pass.firstFailure);
      if (toEoi && after && back >= 0 && (placeByEnd || (back >= forward && (back - forward) % 8 == 0)))
        numbers[static_cast<size_t>(k)] = back;
      else if (!placeByEnd)
        numbers[static_cast<size_t>(k)] = forward;
    }
    return numbers;
  }

  void WithRestarts(const ScanPass& pass, const DamageReport& report, const ZeroSpan& zeros,
                    bool placeByEnd) {
    const std::vector<int32_t> numbers = IntervalNumbers(pass, placeByEnd);
    int32_t renumbered = 0;
    for (size_t k = 0; k < pass.segments.size(); ++k) {
      const SegmentOutcome& s = pass.segments[k];
      const int32_t interval = numbers[k];
      if (interval < 0) continue;
      if (interval != s.interval) ++renumbered;
      const int32_t first = model.IntervalStart(interval), intervalEnd = model.IntervalEnd(interval);
      std::vector<BitPos> ends;
      const DecodeStop stop = DecodeInto(model, patched, s.start, first, {}, intervalEnd, grid, 0, &ends);
      if (IntervalComplete(model, interval, stop)) {
        Keep(first, intervalEnd);
        continue;
      }
      const ZeroSpan here = zeros.first >= 0 && MakeBitPos(zeros.first, 0) >= s.start ? zeros : ZeroSpan{};
      const int32_t end = TrustedEnd(first, stop, report, here, ends);
      Keep(first, end);
      if (end < intervalEnd)
        run.steps.push_back("restart interval " + std::to_string(interval) + " lost from MCU " +
                            McuText(model, end) + ": decoding resumes at the next restart marker");
    }
    if (renumbered > 0)
      run.steps.push_back(
          std::to_string(renumbered) +
          " restart intervals placed by their count to the EOI: intervals were lost before them");
  }

  // The first MCU boundary after which decodes begun at several bits from `at` on
  // agree: the data's own MCUs from there on, whatever the bits before were. -1 when
  // they do not agree within a few MCUs.
  BitPos Synchronised(const ScanModel& relaxed, BitPos at) const {
    struct MarkSink : NullSink {
      std::vector<BitPos>* marks = nullptr;
      bool OnMcu(int32_t mcu, BitPos mark, const std::array<int16_t, 3>&) {
        if (mcu > 0) marks->push_back(mark);
        return true;
      }
    };
    StrictDecoder decoder(relaxed);
    const auto marksFrom = [&](BitPos b) {
      std::vector<BitPos> marks;
      MarkSink sink;
      sink.marks = &marks;
      ScanPoint p;
      p.next = b;
      decoder.Run(patched, p, kResumeMcus, sink);
      return marks;
    };
    const std::vector<BitPos> base = marksFrom(at);
    std::vector<std::vector<BitPos>> others;
    for (const int d : {1, 2, 3, 5, 8, 13, 21, 34}) {
      const BitPos b = at + d;
      const int64_t byte = b >> 3;
      if (byte >= static_cast<int64_t>(bytes.size()) || bytes[static_cast<size_t>(byte)] == marker::kFill)
        continue;
      others.push_back(marksFrom(b));
    }
    for (const BitPos mark : base) {
      int agree = 0, reached = 0;
      for (const auto& o : others) {
        if (o.empty() || o.back() < mark) continue;
        ++reached;
        agree += std::binary_search(o.begin(), o.end(), mark) ? 1 : 0;
      }
      if (reached >= 3 && agree == reached) return mark + 1;
    }
    return -1;
  }

  // No restart markers: the data after the damage is found by the first bit from which
  // it decodes strictly for many MCUs, placed by its count of MCUs up to the EOI, its DC
  // values re-based by the rows above. placeByEnd: nothing before it is known.
  void WithoutRestarts(const DamageReport& report, const ZeroSpan& zeros, bool placeByEnd) {
    std::vector<BitPos> ends;
    const DecodeStop stop =
        DecodeInto(model, patched, MakeBitPos(model.scanStart, 0), 0, {}, model.totalMcus, grid, 0, &ends);
    const int32_t keepEnd = placeByEnd ? 0 : TrustedEnd(0, stop, report, zeros, ends);
    Keep(0, keepEnd);
    if (!placeByEnd && zeros.first < 0 && keepEnd >= stop.mcu &&
        (stop.kind == StopKind::EndOfFile || AtEoi(stop))) {
      run.steps.push_back("the scan ends early at MCU " + McuText(model, stop.mcu) + ": " +
                          std::to_string(model.totalMcus - keepEnd) + " MCUs continued from the rows above");
      return;
    }
    // Where to look for the resumed data: after the zeros, or after the first MCU that
    // the damage reached (the decode may have found its track again after it).
    const int32_t damaged = std::min<int32_t>(keepEnd + 1, static_cast<int32_t>(ends.size()) - 1);
    const BitPos from = placeByEnd         ? MakeBitPos(model.scanStart, 0)
                        : zeros.first >= 0 ? MakeBitPos(zeros.end, 0)
                        : damaged >= 0     ? ends[static_cast<size_t>(damaged)] + 1
                                           : MakeBitPos(model.scanStart, 0);
    const BitPos dataEnd = MakeBitPos(static_cast<int64_t>(bytes.size()), 0);
    const BitPos searchEnd = std::min(dataEnd, std::max(stop.at, from) + 8 * 4096);
    ScanModel relaxed;
    RelaxDc(model, relaxed);
    StrictDecoder decoder(relaxed);
    // The predictors of the last kept MCU: near enough for a trial decode.
    std::array<int16_t, 3> dc{};
    if (keepEnd > 0) {
      for (int b = 0; b < model.blockCount; ++b)
        dc[static_cast<size_t>(model.blocks[static_cast<size_t>(b)].component)] =
            grid.Block(keepEnd - 1, b)[0];
    }
    BitPos resume = -1;
    for (BitPos b = from; b < searchEnd; ++b) {
      const int64_t byte = b >> 3;
      if (bytes[static_cast<size_t>(byte)] == marker::kFill) continue;
      if (byte > 0 && bytes[static_cast<size_t>(byte - 1)] == marker::kFill &&
          bytes[static_cast<size_t>(byte)] == 0)
        continue;  // inside a stuffed 00
      if (zeros.first < 0 && byte + 16 <= static_cast<int64_t>(bytes.size()) &&
          std::all_of(bytes.begin() + byte, bytes.begin() + byte + 16, [](uint8_t v) { return v == 0; }))
        continue;  // zeros decode as plain blocks, endlessly
      ScanPoint p;
      p.next = b;
      p.dc = dc;
      NullSink sink;
      const DecodeStop s = decoder.Run(patched, p, kResumeMcus, sink);
      const bool whole =
          s.kind == StopKind::Limit ||
          (s.kind == StopKind::AtMarker && s.marker == marker::kEOI && s.paddingOnes && s.mcu >= 4);
      if (whole) {
        resume = b;
        break;
      }
    }
    if (resume < 0) {
      run.steps.push_back("no data decodes after the damage at MCU " + McuText(model, keepEnd) +
                          ": the rest is continued from the rows above");
      return;
    }
    // The MCUs decoded before the decode finds the data's own MCU boundaries are made up.
    int32_t skip = kResumeSkip;
    if (const BitPos synced = Synchronised(relaxed, resume); synced >= 0) {
      resume = synced;
      skip = 0;
    }
    CoefficientGrid tail;
    tail.Reset(model);
    std::vector<BitPos> tailEnds;
    const DecodeStop s = DecodeInto(relaxed, patched, resume, 0, dc, model.totalMcus, tail, 0, &tailEnds);
    int32_t count = s.mcu;
    const bool toEnd = s.kind == StopKind::AtMarker && s.marker == marker::kEOI && s.paddingOnes;
    int32_t base = model.totalMcus - count;
    if (!toEnd) {
      // No count to the EOI: the place where its first row continues the rows above
      // best, near where the lost bytes put it.
      int32_t estimate = keepEnd;
      if (zeros.first >= 0 && keepEnd > 0) {
        const double bytesPerMcu =
            static_cast<double>((ends[static_cast<size_t>(keepEnd - 1)] >> 3) - model.scanStart) / keepEnd;
        if (bytesPerMcu > 0)
          estimate += static_cast<int32_t>(static_cast<double>(zeros.end - zeros.first) / bytesPerMcu);
      }
      // Edges tell the place only where the first row lies right below kept rows.
      base = estimate >= keepEnd + model.geometry.McusPerRow / 2
                 ? estimate
                 : BestPlace(tail, count - kFailReach, keepEnd);
      count = std::min(count - kFailReach, model.totalMcus - std::max(base, 0));
    }
    if (base < 0 || count <= skip) {
      run.steps.push_back("the data after the damage at MCU " + McuText(model, keepEnd) +
                          " does not run to the end: the rest is continued from the rows above");
      return;
    }
    int32_t keptEnd = std::min(keepEnd, base + skip);
    Drop(keptEnd, model.totalMcus);
    for (int32_t i = skip; i < count; ++i) {
      if (base + i < keptEnd) continue;
      for (int b = 0; b < model.blockCount; ++b) grid.Block(base + i, b) = tail.Block(i, b);
      kept[static_cast<size_t>(base + i)] = 1;
    }
    const int32_t first = std::max(base + skip, keptEnd);
    const std::array<int32_t, 3> offsets = DcOffsets(model, grid, kept, first, model.totalMcus);
    for (int32_t m = first; m < model.totalMcus; ++m)
      for (int b = 0; b < model.blockCount; ++b) {
        int16_t& v = grid.Block(m, b)[0];
        v = static_cast<int16_t>(
            v + offsets[static_cast<size_t>(model.blocks[static_cast<size_t>(b)].component)]);
      }
    const auto bytePos = [](BitPos p) { return std::to_string(p >> 3); };
    run.steps.push_back(
        (keptEnd > 0 ? "data lost after MCU " + McuText(model, keptEnd) + "; d" : std::string("D")) +
        "ecoding resumes at byte " + bytePos(resume) + " bit " + std::to_string(resume & 7) + " as MCU " +
        McuText(model, base) + " (" + std::to_string(count) + " MCUs to the end)");
    std::string rebase = "DC values of the resumed MCUs re-based by";
    for (int c = 0; c < model.components; ++c)
      rebase += " " + std::to_string(offsets[static_cast<size_t>(c)]);
    run.steps.push_back(rebase);
  }

  // Where decoded MCUs (tail's first `count`) lie when nothing counts them to the EOI:
  // the place within a row after keepEnd whose first row's luma top edges continue the
  // kept rows above best, the DC step across them left out. -1 when no place shares
  // enough edges with kept rows.
  int32_t BestPlace(const CoefficientGrid& tail, int32_t count, int32_t keepEnd) const {
    const int32_t perRow = model.geometry.McusPerRow;
    const auto& q = QuantOf(model, 0);
    int32_t best = -1;
    double bestCost = 0;
    const int32_t last = std::min(keepEnd + perRow - 1, model.totalMcus - count);
    for (int32_t base = keepEnd; base <= last; ++base) {
      std::vector<double> steps;
      for (int32_t i = 0; i < std::min(count, perRow); ++i) {
        const int32_t m = base + i;
        for (int b = 0; b < model.blockCount; ++b) {
          const BlockPlace place = PlaceOf(model, m, b);
          int32_t up = 0;
          int ub = 0;
          if (place.component != 0 || !BlockAt(model, 0, place.x, place.y - 1, up, ub) || up == m ||
              up >= keepEnd || !kept[static_cast<size_t>(up)])
            continue;
          const BlockSamples lower = SamplesOf(tail.Block(i, b), q), upper = SamplesOf(grid.Block(up, ub), q);
          for (size_t x = 0; x < 8; ++x)
            steps.push_back(3 * lower[x] - lower[8 + x] - 3 * upper[56 + x] + upper[48 + x]);
        }
      }
      if (steps.size() < 32) continue;
      const double median = Median(steps);
      double cost = 0;
      for (const double r : steps) cost += std::abs(r - median);
      cost /= static_cast<double>(steps.size());
      if (best < 0 || cost < bestCost) {
        best = base;
        bestCost = cost;
      }
    }
    return best;
  }

  // The DC step of one component over the rest of an interval, shifted back.
  bool UndoDrift(const ScanPass& pass) {
    if (!DriftCanExplain(pass)) return false;
    std::optional<DcStep> step;
    const std::optional<DcDrift> drift = FindDcDrift(model, bytes, pass, &step);
    int32_t mcu = 0, levels = 0;
    int component = 0;
    if (step) {
      mcu = step->mcu;
      component = step->component;
      levels = step->levels;
    } else if (drift) {
      mcu = drift->bit.mcu;
      component = drift->bit.component;
      levels = drift->bit.step;
    } else {
      return false;
    }
    const int32_t end = model.IntervalEnd(model.IntervalOf(mcu));
    // Where the step begins and in which component, as found; its size by the
    // continuity of the blocks' edges with the rows above, which the DC bit or
    // step found need not match exactly.
    std::vector<uint8_t> inside(static_cast<size_t>(model.totalMcus), 0);
    for (int32_t m = 0; m < end; ++m) inside[static_cast<size_t>(m)] = 1;
    const std::array<int32_t, 3> offsets = DcOffsets(model, grid, inside, mcu, end);
    if (offsets[static_cast<size_t>(component)] != 0) levels = -offsets[static_cast<size_t>(component)];
    if (levels == 0) return false;
    for (int32_t m = mcu; m < end; ++m)
      for (int b = 0; b < model.blockCount; ++b)
        if (model.blocks[static_cast<size_t>(b)].component == component) {
          int16_t& v = grid.Block(m, b)[0];
          v = static_cast<int16_t>(std::clamp<int32_t>(v - levels, -32767, 32767));
        }
    run.shifted.push_back(McuRange{mcu, end - mcu});
    static const char* const kNames[] = {"Y", "Cb", "Cr"};
    run.steps.push_back(std::string("DC of ") + kNames[component] + " shifted by " + std::to_string(-levels) +
                        " over " + RangeText(model, mcu, end));
    return true;
  }
};

}  // namespace

void RelaxDc(const ScanModel& model, ScanModel& relaxed) {
  CopyScanModel(model, relaxed);
  for (auto& q : relaxed.largest) q[0] = 32767;
}

std::vector<McuRange> RangesOf(const std::vector<uint8_t>& known) {
  std::vector<McuRange> ranges;
  for (size_t m = 0; m < known.size(); ++m) {
    if (known[m]) continue;
    if (!ranges.empty() && ranges.back().first + ranges.back().count == static_cast<int32_t>(m))
      ++ranges.back().count;
    else
      ranges.push_back(McuRange{static_cast<int32_t>(m), 1});
  }
  return ranges;
}

SalvageRun SalvageScan(const ScanModel& model, std::span<const uint8_t> bytes, bool placeByEnd) {
  Salvager s{model, bytes, PatchedBytes(bytes.data(), static_cast<int64_t>(bytes.size())), {}, {}, {}};
  ScanPass pass;
  const DamageReport report = LocateDamage(model, bytes, pass);
  if (report.health == ScanHealth::Clean) {
    s.run.result = SalvageResult::Clean;
    return s.run;
  }
  HeaderTables tables;
  if (!ReadHeaderTables(bytes, model.scanStart, tables, s.run.why)) return s.run;
  s.grid.Reset(model);
  s.kept.assign(static_cast<size_t>(model.totalMcus), 0);
  // Syntax intact (or broken only by a DC value carried out of range): a step of the
  // colours, shifted back. The blocks are read without the bound on DC values.
  bool drifted = false;
  const ZeroSpan zeros = FirstZeroRun(bytes, model.scanStart);
  if (!placeByEnd && zeros.first < 0 && DriftCanExplain(pass)) {
    ScanModel relaxed;
    RelaxDc(model, relaxed);
    // Every interval must decode whole without the bound: a track lost and found again
    // can break on a DC value too.
    bool whole = true;
    for (const SegmentOutcome& seg : pass.segments)
      whole = IntervalComplete(model, seg.interval,
                               DecodeInto(relaxed, s.patched, seg.start, seg.firstMcu, {},
                                          model.IntervalEnd(seg.interval), s.grid)) &&
              whole;
    s.Keep(0, model.totalMcus);
    drifted = whole && s.UndoDrift(pass);
    if (!drifted && pass.Clean()) {
      s.run.why = "the scan decodes whole and no step of its colours stands out";
      return s.run;
    }
  }
  if (!drifted) {
    s.grid.Reset(model);
    s.kept.assign(static_cast<size_t>(model.totalMcus), 0);
    if (model.restartInterval > 0)
      s.WithRestarts(pass, report, zeros, placeByEnd);
    else
      s.WithoutRestarts(report, zeros, placeByEnd);
  }
  s.run.madeUp = RangesOf(s.kept);
  // A picture made up whole is none of the file's: nothing is salvaged.
  if (std::find(s.kept.begin(), s.kept.end(), uint8_t{1}) == s.kept.end()) {
    s.run.madeUp.clear();
    s.run.steps.clear();
    s.run.why = "no MCU of the scan decodes: nothing of the file's own picture is left to keep";
    return s.run;
  }
  FillUnknown(model, s.kept, s.grid);
  for (const McuRange& r : s.run.madeUp)
    s.run.steps.push_back("made up " + RangeText(model, r.first, r.first + r.count));
  // A re-based DC value beyond what 8-bit samples give is held to it: such a file
  // decodes nowhere the same.
  for (int32_t m = 0; m < model.totalMcus; ++m)
    for (int b = 0; b < model.blockCount; ++b) {
      const int32_t bound = model.largest[static_cast<size_t>(model.blocks[static_cast<size_t>(b)].quant)][0];
      int16_t& v = s.grid.Block(m, b)[0];
      v = static_cast<int16_t>(std::clamp<int32_t>(v, -bound, bound));
    }
  EncodedFile encoded;
  if (!EncodeBaseline(model, bytes, s.grid, encoded, s.run.why)) return s.run;
  if (const int32_t bad = FirstMismatch(model, encoded, s.grid); bad >= 0) {
    s.run.why = "the written scan does not decode to its blocks at MCU " + McuText(model, bad);
    return s.run;
  }
  s.run.newTables = !encoded.newTables.empty();
  if (s.run.newTables) {
    std::string names;
    for (const std::string& n : encoded.newTables) names += (names.empty() ? "" : ", ") + n;
    s.run.steps.push_back("Huffman tables " + names +
                          " written anew: made-up blocks need codes the file's lack");
  }
  s.run.bytes = std::move(encoded.bytes);
  s.run.result = SalvageResult::Salvaged;
  return s.run;
}

SalvageAttempt SalvageUnlessRepairable(const ScanModel& model, std::span<const uint8_t> bytes,
                                       const SearchControl& control) {
  SalvageAttempt attempt;
  std::vector<uint8_t> trial(bytes.begin(), bytes.end());
  attempt.repair = RepairScan(model, trial, 4, control).result;
  if (attempt.repair == RepairResult::NotRepaired) attempt.run = SalvageScan(model, bytes);
  return attempt;
}

}  // namespace vorn
