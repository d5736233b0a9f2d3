#include "repair/scan_pass.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>

#include "decode/idct.h"

namespace vorn {

void ComponentPlanes::SetShape(const ScanModel& model) {
  count = model.components;
  for (int c = 0; c < 3; ++c) {
    const auto i = static_cast<size_t>(c);
    if (c >= count) {
      width[i] = height[i] = visibleWidth[i] = visibleHeight[i] = 0;
      continue;
    }
    width[i] = model.geometry.McusPerRow * 8 * model.h[i];
    height[i] = model.geometry.McuRows * 8 * model.v[i];
    visibleWidth[i] = std::min(width[i], (model.frameWidth * model.h[i] + model.hMax - 1) / model.hMax);
    visibleHeight[i] = std::min(height[i], (model.frameHeight * model.v[i] + model.vMax - 1) / model.vMax);
  }
}

void ComponentPlanes::Reset(const ScanModel& model) {
  SetShape(model);
  for (size_t i = 0; i < 3; ++i) samples[i].assign(static_cast<size_t>(width[i]) * height[i], 0);
}

void BandPlanes::Reset(const ScanModel& model) {
  SetShape(model);
  for (size_t i = 0; i < 3; ++i) {
    rows[i] = std::max(1, 3 * 8 * model.v[i]);
    samples[i].assign(i < static_cast<size_t>(count) ? static_cast<size_t>(width[i]) * rows[i] : 0, 0);
  }
}

bool TransformBlock(const IdctKernel& kernel, const std::array<int32_t, 64>& quantNatural,
                    std::array<int32_t, 64>& natural, uint64_t nonZero, SampleBlock& samples) {
  int64_t bound = 0;
  for (uint64_t rest = nonZero; rest != 0; rest &= rest - 1) {
    const auto k = static_cast<size_t>(std::countr_zero(rest));
    const int64_t v = static_cast<int64_t>(natural[k]) * quantNatural[k];
    if (v < INT32_MIN || v > INT32_MAX) return false;
    natural[k] = static_cast<int32_t>(v);
    bound += (v < 0 ? -v : v) * kernel.columnMax[k];
  }
  return TransformNatural(kernel, natural, nonZero, bound, samples);
}

bool TransformFits(const ScanModel& model, int block, std::array<int32_t, 64>& natural, uint64_t nonZero) {
  const ScanModel::Block& b = model.blocks[static_cast<size_t>(block)];
  const auto q = static_cast<size_t>(b.quant);
  const std::array<int64_t, 64>& weight = model.overflowWeight[q];
  int64_t bound = 0;
  for (uint64_t rest = nonZero; rest != 0; rest &= rest - 1) {
    const auto k = static_cast<size_t>(std::countr_zero(rest));
    bound += std::abs(static_cast<int64_t>(natural[k])) * weight[k];
  }
  if (bound <= INT32_MAX) return true;
  SampleBlock samples;
  return TransformBlock(model.kernel, model.quantNatural[q], natural, nonZero, samples);
}

bool PackedTransformFits(const ScanModel& model, int block, int32_t dc, const std::array<int32_t, 64>& zigZag,
                         uint64_t mask) {
  std::array<int32_t, 64> natural{};
  uint64_t nonZero = dc != 0 ? 1 : 0;
  natural[0] = dc;
  for (uint64_t rest = mask & ~uint64_t{1}; rest != 0; rest &= rest - 1) {
    const auto z = static_cast<size_t>(std::countr_zero(rest));
    if (zigZag[z] == 0) continue;
    const int n = kNaturalOrder[z];
    natural[static_cast<size_t>(n)] = zigZag[z];
    nonZero |= uint64_t{1} << n;
  }
  // Called where the bound has passed 32 bits: only the exact transform can tell.
  const auto q = static_cast<size_t>(model.blocks[static_cast<size_t>(block)].quant);
  SampleBlock samples;
  return TransformBlock(model.kernel, model.quantNatural[q], natural, nonZero, samples);
}

namespace {

// MCUs whose marks and blocks a stretch leaves as an earlier one decoded them.
struct KeptMcus {
  int32_t first = 0, last = -1;
  bool Holds(int32_t mcu) const { return mcu >= first && mcu <= last; }
};

// Records marks and, when drawing, the blocks, of every MCU but the kept ones.
template <bool kDraw>
class PassSink {
 public:
  static constexpr bool kSymbols = false;
  static constexpr bool kCoefficients = kDraw;

  PassSink(const ScanModel& model, ScanPass& pass, int32_t firstMcu, KeptMcus kept = {})
      : model_(model), pass_(pass), planes_(model, pass.planes, firstMcu), mcu_(firstMcu), kept_(kept) {}
  void OnSymbol(const ScanPoint&) {}
  bool OnBlock(int block, std::array<int32_t, 64>& natural, uint64_t nonZero) {
    if (kept_.Holds(mcu_)) return TransformFits(model_, block, natural, nonZero);
    return planes_.OnBlock(block, natural, nonZero);
  }
  bool OnMcu(int32_t mcu, BitPos mark, const std::array<int16_t, 3>& dc) {
    mcu_ = mcu;
    if (mcu < static_cast<int32_t>(pass_.marks.size()) && !kept_.Holds(mcu))
      pass_.marks[static_cast<size_t>(mcu)] = McuMark{mark, dc};
    if constexpr (kDraw) planes_.OnMcu(mcu, mark, dc);
    return true;
  }

 private:
  const ScanModel& model_;
  ScanPass& pass_;
  PlaneSink<ComponentPlanes> planes_;
  int32_t mcu_;
  KeptMcus kept_;
};

// The first restart marker at or after byte `from`: its position, or -1 when EOI or
// the end of the file comes first.
int64_t NextRestartMarker(const PatchedBytes& bytes, int64_t from) {
  for (int64_t i = std::max<int64_t>(from, 0); i + 1 < bytes.Length(); ++i) {
    if (bytes.At(i) != marker::kFill) continue;
    const uint8_t code = bytes.At(i + 1);
    if (marker::IsRestartMarker(code)) return i;
    if (code == marker::kEOI) return -1;
  }
  return -1;
}

template <bool kDraw>
void Pass(const ScanModel& model, const PatchedBytes& bytes, ScanPass& out) {
  StrictDecoder decoder(model);
  // Past the last MCU a stretch is decoded one MCU row further, to tell too many MCUs
  // from data that is no MCU at all.
  const int32_t limit = model.totalMcus + model.geometry.McusPerRow;
  ScanPoint point;
  point.next = MakeBitPos(model.scanStart, 0);
  out.marks[0].mark = MakeBitPos(model.scanStart - 1, 7);
  int32_t interval = 0;
  int32_t lastOk = -1;  // the last interval that decoded completely
  // The first failure's stretch began where its interval begins (right after the
  // marker of the last interval that decoded) and holds the file's own MCUs up to the
  // damage, which the report and the search start from. A later stretch that claims
  // the same interval (after a stray restart marker inside it, such as a data FF whose
  // stuffed 00 was lost) decodes the rest of the data as those MCUs again: it must
  // not take their place.
  KeptMcus kept;
  PassSink<kDraw> first(model, out, 0);
  DecodeStop stop = decoder.Run(bytes, point, limit, first);
  for (;;) {
    const bool ok = IntervalComplete(model, interval, stop);
    out.segments.push_back(SegmentOutcome{interval, model.IntervalStart(interval), point.next, stop, ok});
    if (!ok && out.firstFailure < 0) {
      out.firstFailure = static_cast<int>(out.segments.size()) - 1;
      kept = {model.IntervalStart(interval), std::min(stop.mcu, model.IntervalEnd(interval) - 1)};
    }
    if (ok) lastOk = interval;
    if (interval + 1 >= model.intervals) return;
    // Go on after the restart marker that ends this stretch, or after the next one.
    // After a failure the marker's number says which interval follows the last one
    // that decoded (a stray marker inside an interval is followed by garbage).
    // An EOI before the last interval is looked past: restart markers after it say
    // that the scan goes on (a data FF whose stuffed 00 was lost reads as FF D9), and
    // an edit before it is verified only against the intervals that follow.
    int64_t rst = -1;
    const bool atMarker = stop.kind == StopKind::AtMarker || stop.kind == StopKind::MarkerInsideMcu;
    if (stop.kind == StopKind::AtMarker && marker::IsRestartMarker(stop.marker))
      rst = stop.at >> 3;
    else
      rst = NextRestartMarker(bytes, (stop.at >> 3) + (atMarker && stop.marker == marker::kEOI ? 2 : 0));
    if (rst < 0) return;
    const int number = bytes.At(rst + 1) - marker::kRST0;
    const int32_t next = ok ? interval + 1 : lastOk + 1 + (((number + 1) - (lastOk + 1)) % 8 + 8) % 8;
    if (next >= model.intervals) return;
    interval = next;
    point = ScanPoint{};
    point.mcu = model.IntervalStart(interval);
    point.next = MakeBitPos(rst + 2, 0);
    if (!ok && !kept.Holds(point.mcu))
      out.marks[static_cast<size_t>(point.mcu)] = McuMark{MakeBitPos(rst - 1, 7), {}};
    PassSink<kDraw> sink(model, out, point.mcu, kept);
    stop = decoder.Run(bytes, point, limit, sink);
  }
}

}  // namespace

bool IntervalComplete(const ScanModel& model, int32_t interval, const DecodeStop& stop) {
  return stop.kind == StopKind::AtMarker && stop.mcu == model.IntervalEnd(interval) && stop.paddingOnes &&
         stop.marker == model.MarkerAfter(interval);
}

namespace {

// Checks that each block transforms within range, as the pass does when it draws.
struct SyntaxSink {
  static constexpr bool kSymbols = false;
  static constexpr bool kCoefficients = false;
  static constexpr bool kBoundOnly = true;

  void OnSymbol(const ScanPoint&) {}
  void OnBlockDc(int, int32_t) {}
  bool OnMcu(int32_t, BitPos, const std::array<int16_t, 3>&) { return true; }
};

}  // namespace

bool ScanSyntaxWhole(const ScanModel& model, std::span<const uint8_t> bytes) {
  const PatchedBytes plain(bytes.data(), static_cast<int64_t>(bytes.size()));
  StrictDecoder decoder(model);
  SyntaxSink sink;
  // Each interval starts right after the restart marker that ended the one before,
  // with the DC predictors reset: where the full pass would start it.
  ScanPoint start;
  start.next = MakeBitPos(model.scanStart, 0);
  for (int32_t i = 0; i < model.intervals; ++i) {
    start.mcu = model.IntervalStart(i);
    if (start.mcu >= model.totalMcus) break;
    const DecodeStop stop = decoder.Run(plain, start, model.IntervalEnd(i), sink);
    if (!IntervalComplete(model, i, stop)) return false;
    start.next = MakeBitPos((stop.at >> 3) + 2, 0);
  }
  return true;
}

void RunScanPass(const ScanModel& model, const PatchedBytes& bytes, bool withPlanes, ScanPass& out) {
  out.marks.assign(static_cast<size_t>(model.totalMcus) + 1, McuMark{});
  out.segments.clear();
  out.firstFailure = -1;
  if (withPlanes) {
    out.planes.Reset(model);
    Pass<true>(model, bytes, out);
  } else {
    out.planes = ComponentPlanes{};
    Pass<false>(model, bytes, out);
  }
}

}  // namespace vorn
