#include "analysis/main_image.h"

#include <algorithm>
#include <iterator>

#include "analysis/marker_analysis.h"
#include "analysis/marker_codes.h"

namespace vorn {

namespace {

using namespace marker;

constexpr bool IsAppMarker(uint8_t code) {
  return code >= 0xE0 && code <= 0xEF;
}

// Markers without a length: where a walk by lengths cannot go on.
constexpr bool HasNoLength(uint8_t code) {
  return code == kStuffedZero || code == 0x01 || IsRestartMarker(code) || code == kSOI || code == kEOI;
}

bool Inside(const AppSegment& s, int32_t position) {
  // The segment's own marker is not inside it.
  return position >= int64_t{s.start} + 2 && position < s.end;
}

}  // namespace

std::vector<AppSegment> AppSegmentsOfImage(const FileImage& file, int32_t first) {
  std::vector<AppSegment> segments;
  int64_t p = first;
  if (file.At(p) == kFill && file.At(p + 1) == kSOI) p += 2;
  while (file.Contains(p + 3) && file.At(p) == kFill) {
    // FF FF .. FF c: the marker is at the last FF.
    while (file.Contains(p + 3) && file.At(p + 1) == kFill) ++p;
    const uint8_t code = file.At(p + 1);
    if (code == kSOS || HasNoLength(code)) break;
    const int length = file.At(p + 2) * 256 + file.At(p + 3);
    const int64_t end = p + 2 + length;
    if (length < 2 || !file.Contains(end) || file.At(end) != kFill) break;
    if (IsAppMarker(code)) segments.push_back({static_cast<int32_t>(p), static_cast<int32_t>(end)});
    p = end;
  }
  return segments;
}

std::optional<int32_t> MainImageStart(const FileImage& file, const AnalysisState& analysis) {
  const AnalysisStop& stop = analysis.LastStop;
  const int markers = std::clamp<int>(analysis.MarkerTableCount, 0, kMaxLogLines);
  if (stop.StopKind == AnalysisStop::Kind::None || markers == 0) return std::nullopt;
  const auto listed = [&](int j) { return analysis.MarkerTable[static_cast<size_t>(j)]; };

  // The segments follow each other in file order without overlapping.
  const std::vector<AppSegment> segments = AppSegmentsOfImage(file, listed(0).Position);
  const auto holder = [&](int32_t position) -> const AppSegment* {
    const auto after = std::upper_bound(segments.begin(), segments.end(), position,
                                        [](int32_t p, const AppSegment& s) { return p < s.start; });
    if (after == segments.begin() || !Inside(*std::prev(after), position)) return nullptr;
    return &*std::prev(after);
  };
  const AppSegment* lastHolding = nullptr;
  std::array<int16_t, 256> outsideCounts{};
  for (int j = 0; j < markers; ++j) {
    const MarkerEntry e = listed(j);
    if (const AppSegment* s = holder(e.Position)) {
      if (lastHolding == nullptr || s->start > lastHolding->start) lastHolding = s;
    } else {
      ++outsideCounts[static_cast<uint8_t>(e.Code)];
    }
  }
  if (lastHolding == nullptr) return std::nullopt;

  bool stoppedInside = false;
  switch (stop.StopKind) {
    case AnalysisStop::Kind::MarkerLimit:
      // The markers inside the segments helped fill the list.
      stoppedInside = true;
      break;
    case AnalysisStop::Kind::CountCheck:
      stoppedInside = !CountCheckStops(stop.CountCheck, outsideCounts);
      break;
    case AnalysisStop::Kind::Parser:
      stoppedInside = holder(stop.Position) != nullptr;
      break;
    case AnalysisStop::Kind::None:
      break;
  }
  if (!stoppedInside) return std::nullopt;
  for (int j = 0; j < markers; ++j)
    if (listed(j).Position >= lastHolding->end) return listed(j).Position;
  // The scan stopped before it: the next marker the lengths lead to.
  int64_t p = lastHolding->end;
  while (file.At(p + 1) == kFill) ++p;
  if (!file.Contains(p + 1)) return std::nullopt;
  return static_cast<int32_t>(p);
}

}  // namespace vorn
