// The checks of the marker scan as a whole: how many markers it listed, what
// follows the scanned part, how many of each marker there are, where the file
// begins and whether the segment lengths lead from marker to marker. Each appends
// what it finds to the findings and shows nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "jpeg/document.h"
#include "jpeg/findings.h"

namespace vorn {

// The marker scan lists at most this many markers; the last one listed ends the
// analysis.
inline constexpr int kMarkerLimit = 1000;

using MarkerCounts = std::array<int16_t, 256>;

// How many of each marker the list holds.
MarkerCounts CountMarkers(std::span<const Segment> segments);

// Whether the list reached kMarkerLimit (a MarkerLimit finding).
bool CheckMarkerLimit(std::span<const Segment> segments, Findings& findings);

// The bytes from scanEnd to fileLength follow the scanned part: a TrailingData
// finding with their count, when there are any.
void CheckTrailingData(int64_t scanEnd, int64_t fileLength, Findings& findings);

// The count checks, in their order, up to the first that stops the analysis: its
// index, which CountCheckStops takes.
std::optional<int> CheckMarkerCounts(const MarkerCounts& counts, Findings& findings);

// Whether count check `check` stops an analysis with these marker counts.
bool CountCheckStops(int check, const MarkerCounts& counts);

// The file itself must begin with SOI, wherever the scan began.
void CheckStartsWithSoi(std::span<const uint8_t> bytes, Findings& findings);

// Every marker after the first up to (not including) the first SOS: the entropy-
// coded data after it has no lengths to check.
void CheckSegmentLengths(std::span<const uint8_t> bytes, std::span<const Segment> segments,
                         Findings& findings);

}  // namespace vorn
