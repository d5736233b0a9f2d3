#include "analysis/main_image.h"

#include <algorithm>
#include <iterator>

#include "analysis/marker_analysis.h"
#include "jpeg/marker_codes.h"
#include "jpeg/segment_checks.h"

namespace vorn {

namespace {

using namespace marker;

bool Inside(const AppSegment& s, int32_t position) {
  // The segment's own marker is not inside it.
  return position >= int64_t{s.start} + 2 && position < s.end;
}

// The APPn segments from first to the SOS, and the SOS's position (-1: not reached).
int64_t WalkImageHeaders(const FileImage& file, int32_t first, std::vector<AppSegment>& segments) {
  std::vector<AppRange> apps;
  const int64_t sos = WalkHeaders(file.bytes, first, apps);
  for (const AppRange& app : apps) segments.push_back({app.Bytes.Begin, app.Bytes.End});
  return sos;
}

// Just after the EOI that ends the scan whose SOS lies at sos; -1 when there is none.
int64_t ScanEnd(const FileImage& file, int64_t sos) {
  const int64_t length = file.At(sos + 2) * 256 + file.At(sos + 3);
  return ImageEndAfter(file.bytes, sos + 2 + std::max<int64_t>(length, 0));
}

}  // namespace

std::vector<AppSegment> AppSegmentsOfImage(const FileImage& file, int32_t first) {
  std::vector<AppSegment> segments;
  WalkImageHeaders(file, first, segments);
  return segments;
}

std::optional<MainImageBounds> MainImageOf(const FileImage& file, const AnalysisState& analysis) {
  const AnalysisStop& stop = analysis.LastStop;
  const int markers = std::clamp<int>(analysis.MarkerTableCount, 0, kMaxLogLines);
  if (stop.StopKind == AnalysisStop::Kind::None || markers == 0) return std::nullopt;
  const auto listed = [&](int j) { return analysis.MarkerTable[static_cast<size_t>(j)]; };

  // The segments follow each other in file order without overlapping.
  std::vector<AppSegment> segments;
  // Past a length that leads nowhere the scan is unknown: so is the image's end.
  const int64_t sos = WalkImageHeaders(file, listed(0).Position, segments);
  const auto holder = [&](int32_t position) -> const AppSegment* {
    const auto after = std::upper_bound(segments.begin(), segments.end(), position,
                                        [](int32_t p, const AppSegment& s) { return p < s.start; });
    if (after == segments.begin() || !Inside(*std::prev(after), position)) return nullptr;
    return &*std::prev(after);
  };
  const int64_t end = sos >= 0 ? ScanEnd(file, sos) : -1;
  const auto afterEnd = [&](int32_t position) { return end >= 0 && position >= end; };

  const AppSegment* lastHolding = nullptr;
  bool trailing = false;
  std::array<int16_t, 256> ownCounts{};
  for (int j = 0; j < markers; ++j) {
    const MarkerEntry e = listed(j);
    if (const AppSegment* s = holder(e.Position)) {
      if (lastHolding == nullptr || s->start > lastHolding->start) lastHolding = s;
    } else if (afterEnd(e.Position)) {
      trailing = true;
    } else {
      ++ownCounts[static_cast<uint8_t>(e.Code)];
    }
  }
  if (lastHolding == nullptr && !trailing) return std::nullopt;

  bool stoppedOutside = false;
  switch (stop.StopKind) {
    case AnalysisStop::Kind::MarkerLimit:
      // The markers outside the main image helped fill the list.
      stoppedOutside = true;
      break;
    case AnalysisStop::Kind::CountCheck:
      stoppedOutside = !CountCheckStops(stop.CountCheck, ownCounts);
      break;
    case AnalysisStop::Kind::Parser:
      stoppedOutside = holder(stop.Position) != nullptr || afterEnd(stop.Position);
      break;
    case AnalysisStop::Kind::None:
      break;
  }
  if (!stoppedOutside) return std::nullopt;
  MainImageBounds bounds;
  bounds.end = end >= 0 && end < file.FileLength() ? static_cast<int32_t>(end) : -1;
  if (lastHolding == nullptr) {
    bounds.start = listed(0).Position;
    return bounds;
  }
  for (int j = 0; j < markers; ++j)
    if (listed(j).Position >= lastHolding->end) {
      bounds.start = listed(j).Position;
      return bounds;
    }
  // The scan stopped before it: the next marker the lengths lead to.
  int64_t p = lastHolding->end;
  while (file.At(p + 1) == kFill) ++p;
  if (!file.Contains(p + 1)) return std::nullopt;
  bounds.start = static_cast<int32_t>(p);
  return bounds;
}

std::optional<int32_t> MainImageStart(const FileImage& file, const AnalysisState& analysis) {
  const std::optional<MainImageBounds> bounds = MainImageOf(file, analysis);
  if (!bounds) return std::nullopt;
  return bounds->start;
}

}  // namespace vorn
