// Camera files carry a small JPEG (the EXIF thumbnail in APP1, MPF previews in APP2
// ...) inside an APPn segment ahead of the main image's tables, and phones write
// more after the main image's EOI: a motion photo's video, a vendor's trailer, an
// MPO's second picture. The marker scan lists the markers of both, and their counts
// or headers stop the analysis of a file whose main image is sound.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "analysis/analysis_state.h"
#include "analysis/file_image.h"
#include "jpeg/segment_map.h"

namespace vorn {

// An APPn segment: its marker at start, the next segment's marker at end.
struct AppSegment {
  int32_t start = 0;
  int32_t end = 0;
  bool operator==(const AppSegment&) const = default;
};

// The APPn segments of the image whose first marker lies at first, found by
// following the segment lengths up to the image's SOS. The walk ends early at a
// length that does not lead to the next marker: past it nothing is known.
std::vector<AppSegment> AppSegmentsOfImage(const FileImage& file, int32_t first);

// Where the main image lies: the analysis starts at start and, when bytes follow
// the EOI that ends its scan, ends at end (just after that EOI; -1: nothing follows).
struct MainImageBounds {
  int32_t start = 0;
  int32_t end = -1;
  bool operator==(const MainImageBounds&) const = default;
};

// The main image, when the markers that stopped the last analysis lie inside APPn
// segments of the main image or after the EOI that ends its scan. It starts at the
// first marker after the last APPn segment that holds listed markers (as the scan
// listed it, or where the segment lengths lead when the scan stopped before it), or
// at the first marker listed when no APPn segment holds any. None when the analysis
// ran to its end, or when what stopped it lies in the main image itself.
std::optional<MainImageBounds> MainImageOf(const FileImage& file, const AnalysisState& analysis);

// MainImageOf's start.
std::optional<int32_t> MainImageStart(const FileImage& file, const AnalysisState& analysis);

}  // namespace vorn
