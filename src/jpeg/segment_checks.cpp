#include "jpeg/segment_checks.h"

#include <algorithm>
#include <limits>

#include "jpeg/marker_codes.h"

namespace vorn {
namespace {

using namespace marker;

enum class Verdict { Warn, Stop };

// One row of the count checks: the marker whose count is tested, the test, what a
// failure is called, and whether the analysis goes on.
struct CountCheck {
  uint8_t code;
  bool (*fails)(int count);
  FindingKind kind;
  Verdict verdict;
};

constexpr bool Missing(int count) {
  return count == 0;
}
constexpr bool Repeated(int count) {
  return count > 1;
}
constexpr bool ThreeOrMore(int count) {
  return count > 2;
}
constexpr bool FiveOrMore(int count) {
  return count > 4;
}

// In the order they are checked. Only SOF0 counts as a frame header.
constexpr CountCheck kCountChecks[] = {
    {kSOI, Missing, FindingKind::CountMissing, Verdict::Warn},
    {kSOI, Repeated, FindingKind::CountRepeated, Verdict::Warn},
    {kAPP0, Missing, FindingKind::CountMissing, Verdict::Warn},
    {kAPP0, Repeated, FindingKind::CountRepeated, Verdict::Warn},
    {kCOM, Repeated, FindingKind::CountRepeated, Verdict::Warn},
    {kDRI, Repeated, FindingKind::CountRepeated, Verdict::Warn},
    {kDQT, Missing, FindingKind::CountMissingStop, Verdict::Stop},
    {kDQT, ThreeOrMore, FindingKind::CountThreeOrMore, Verdict::Warn},
    {kSOF0, Missing, FindingKind::CountMissingStop, Verdict::Stop},
    {kSOF0, Repeated, FindingKind::CountRepeated, Verdict::Warn},
    {kDHT, Missing, FindingKind::CountMissingStop, Verdict::Stop},
    {kDHT, FiveOrMore, FindingKind::CountFiveOrMore, Verdict::Warn},
    {kSOS, Missing, FindingKind::CountMissingStop, Verdict::Stop},
    {kSOS, Repeated, FindingKind::CountRepeatedStop, Verdict::Stop},
    {kEOI, Missing, FindingKind::CountMissing, Verdict::Warn},
    {kEOI, Repeated, FindingKind::CountRepeated, Verdict::Warn},
};

// Whether the length field of the segment at p leads exactly to the next marker.
bool LengthLeadsToMarker(std::span<const uint8_t> bytes, int64_t p) {
  const auto size = static_cast<int64_t>(bytes.size());
  if (p < 0 || p + 3 >= size) return false;
  const int high = bytes[static_cast<size_t>(p + 2)];
  // Such a length is not a length at all (it would be negative as a 16-bit value).
  if (high >= 0x80) return false;
  const int64_t next = p + high * 256 + bytes[static_cast<size_t>(p + 3)] + 2;
  return next < size && bytes[static_cast<size_t>(next)] == kFill;
}

}  // namespace

MarkerCounts CountMarkers(std::span<const Segment> segments) {
  MarkerCounts counts{};
  for (const Segment& segment : segments) ++counts[segment.Marker];
  return counts;
}

bool CheckMarkerLimit(std::span<const Segment> segments, Findings& findings) {
  if (segments.size() < static_cast<size_t>(kMarkerLimit)) return false;
  findings.push_back({FindingKind::MarkerLimit, 0, segments.back().Offset});
  return true;
}

void CheckTrailingData(int64_t scanEnd, int64_t fileLength, Findings& findings) {
  if (scanEnd >= fileLength) return;
  findings.push_back({FindingKind::TrailingData, 0, static_cast<int32_t>(scanEnd), fileLength - scanEnd});
}

std::optional<int> CheckMarkerCounts(const MarkerCounts& counts, Findings& findings) {
  for (size_t i = 0; i < std::size(kCountChecks); ++i) {
    const CountCheck& check = kCountChecks[i];
    if (!check.fails(counts[check.code])) continue;
    findings.push_back({check.kind, check.code, 0});
    if (check.verdict == Verdict::Stop) return static_cast<int>(i);
  }
  return std::nullopt;
}

bool CountCheckStops(int check, const MarkerCounts& counts) {
  if (check < 0 || check >= static_cast<int>(std::size(kCountChecks))) return false;
  const CountCheck& c = kCountChecks[check];
  return c.verdict == Verdict::Stop && c.fails(counts[c.code]);
}

void CheckStartsWithSoi(std::span<const uint8_t> bytes, Findings& findings) {
  if (bytes.size() >= 2 && bytes[0] == kFill && bytes[1] == kSOI) return;
  findings.push_back({FindingKind::NoStartingSoi, kSOI, 0});
}

void CheckSegmentLengths(std::span<const uint8_t> bytes, std::span<const Segment> segments,
                         Findings& findings) {
  for (size_t j = 1; j < segments.size(); ++j) {
    const Segment& segment = segments[j];
    if (segment.Marker == kSOS) break;
    if (LengthLeadsToMarker(bytes, segment.Offset)) continue;
    const auto lengthLow = static_cast<int32_t>(
        std::min<int64_t>(int64_t{segment.Offset} + 3, std::numeric_limits<int32_t>::max()));
    findings.push_back({FindingKind::LengthNotToMarker, segment.Marker, lengthLow});
  }
}

}  // namespace vorn
