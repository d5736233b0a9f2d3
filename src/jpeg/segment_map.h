// Where the segments of a file lie, found from the bytes alone: the markers a scan
// for FF bytes lists, and the segments a walk along their lengths meets.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jpeg/document.h"

namespace vorn {

// Every marker from first on whose second byte lies before limit, at most `most` of
// them. Stuffed zeros, fill bytes and restart markers are not listed; in a fill run
// FF FF .. FF c the marker is the last FF.
std::vector<Segment> ListMarkers(std::span<const uint8_t> bytes, int64_t first, int64_t limit, size_t most);

// Follows the segment lengths from the image whose first marker (or SOI) lies at
// first to its SOS, collecting the APPn segments into apps (with their thumbnails
// when withThumbnails); returns the SOS's position, or -1 when the walk ends before
// it, at a length that does not lead to the next marker.
int64_t WalkHeaders(std::span<const uint8_t> bytes, int64_t first, std::vector<AppRange>& apps,
                    bool withThumbnails = false);

// Just after the first EOI at or after scanData, the first byte of a scan's data
// (where FF is followed only by 00 or a restart marker); -1 when there is none.
int64_t ImageEndAfter(std::span<const uint8_t> bytes, int64_t scanData);

// The document's Apps, ScanData and Trailing for the file bytes.
void MapFile(std::span<const uint8_t> bytes, JpegDocument& doc);

}  // namespace vorn
