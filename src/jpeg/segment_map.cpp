#include "jpeg/segment_map.h"

#include <algorithm>
#include <cstring>

#include "jpeg/marker_codes.h"

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

// The length field of the segment whose marker is at p (0 past the end).
int64_t LengthAt(std::span<const uint8_t> bytes, int64_t p) {
  const auto at = [&](int64_t i) {
    return i < static_cast<int64_t>(bytes.size()) ? bytes[static_cast<size_t>(i)] : 0;
  };
  return at(p + 2) * 256 + at(p + 3);
}

// The first byte of the data of the scan whose SOS lies at sos.
int64_t DataAfter(std::span<const uint8_t> bytes, int64_t sos) {
  return sos + 2 + std::max<int64_t>(LengthAt(bytes, sos), 0);
}

// The picture an APPn segment carries: from the first SOI it holds (FF D8 FF) up to
// and with the EOI that ends that picture's scan, all inside the segment.
std::optional<ByteRange> ThumbnailIn(std::span<const uint8_t> bytes, const ByteRange& app) {
  const std::span<const uint8_t> segment = bytes.first(static_cast<size_t>(app.End));
  for (int64_t i = int64_t{app.Begin} + 4; i + 2 < app.End; ++i) {
    const auto at = [&](int64_t k) { return segment[static_cast<size_t>(k)]; };
    if (at(i) != kFill || at(i + 1) != kSOI || at(i + 2) != kFill) continue;
    std::vector<AppRange> inner;
    const int64_t sos = WalkHeaders(segment, i, inner);
    if (sos < 0) return std::nullopt;
    const int64_t end = ImageEndAfter(segment, DataAfter(segment, sos));
    if (end < 0) return std::nullopt;
    return ByteRange{static_cast<int32_t>(i), static_cast<int32_t>(end)};
  }
  return std::nullopt;
}

}  // namespace

std::vector<Segment> ListMarkers(std::span<const uint8_t> bytes, int64_t first, int64_t limit, size_t most) {
  std::vector<Segment> markers;
  const int64_t last = std::min<int64_t>(limit, static_cast<int64_t>(bytes.size())) - 2;
  for (int64_t i = std::max<int64_t>(first, 0); i <= last && markers.size() < most; ++i) {
    // Straight to the next FF (megabytes of scan data hold few).
    const void* fill = std::memchr(bytes.data() + i, kFill, static_cast<size_t>(last - i + 1));
    if (fill == nullptr) break;
    i = static_cast<const uint8_t*>(fill) - bytes.data();
    const uint8_t c = bytes[static_cast<size_t>(i + 1)];
    if (c == kStuffedZero || c == kFill || IsRestartMarker(c)) continue;
    Segment s{static_cast<int32_t>(i), c};
    if (!HasNoLength(c) && i + 3 < static_cast<int64_t>(bytes.size()) &&
        bytes[static_cast<size_t>(i + 2)] < 0x80)
      s.Length = static_cast<int32_t>(LengthAt(bytes, i));
    markers.push_back(s);
  }
  return markers;
}

int64_t WalkHeaders(std::span<const uint8_t> bytes, int64_t first, std::vector<AppRange>& apps,
                    bool withThumbnails) {
  const auto size = static_cast<int64_t>(bytes.size());
  const auto contains = [&](int64_t i) { return i >= 0 && i < size; };
  const auto at = [&](int64_t i) { return contains(i) ? bytes[static_cast<size_t>(i)] : 0; };
  int64_t p = first;
  if (at(p) == kFill && at(p + 1) == kSOI) p += 2;
  while (contains(p + 3) && at(p) == kFill) {
    // FF FF .. FF c: the marker is at the last FF.
    while (contains(p + 3) && at(p + 1) == kFill) ++p;
    const uint8_t code = at(p + 1);
    if (code == kSOS) return p;
    if (HasNoLength(code)) break;
    const int64_t length = LengthAt(bytes, p);
    const int64_t end = p + 2 + length;
    if (length < 2 || !contains(end) || at(end) != kFill) break;
    if (IsAppMarker(code)) {
      AppRange app{code, {static_cast<int32_t>(p), static_cast<int32_t>(end)}, std::nullopt};
      if (withThumbnails) app.Thumbnail = ThumbnailIn(bytes, app.Bytes);
      apps.push_back(app);
    }
    p = end;
  }
  return -1;
}

int64_t ImageEndAfter(std::span<const uint8_t> bytes, int64_t scanData) {
  const auto size = static_cast<int64_t>(bytes.size());
  // In scan data an FF is followed only by 00 or a restart marker: the first FF D9
  // (after fill bytes, too) is the EOI.
  for (int64_t i = std::max<int64_t>(scanData, 0); i + 1 < size; ++i) {
    const void* fill = std::memchr(bytes.data() + i, kFill, static_cast<size_t>(size - 1 - i));
    if (fill == nullptr) break;
    i = static_cast<const uint8_t*>(fill) - bytes.data();
    if (bytes[static_cast<size_t>(i + 1)] == kEOI) return i + 2;
  }
  return -1;
}

void MapFile(std::span<const uint8_t> bytes, JpegDocument& doc) {
  doc.Apps.clear();
  doc.ScanData = {};
  doc.Trailing = {};
  const auto size = static_cast<int64_t>(bytes.size());
  if (size < 2 || bytes[0] != kFill || bytes[1] != kSOI) return;
  const int64_t sos = WalkHeaders(bytes, 0, doc.Apps, true);
  if (sos < 0) return;
  const int64_t data = std::min(DataAfter(bytes, sos), size);
  const int64_t end = ImageEndAfter(bytes, data);
  doc.ScanData = {static_cast<int32_t>(data), static_cast<int32_t>(end >= 0 ? end - 2 : size)};
  if (end >= 0) doc.Trailing = {static_cast<int32_t>(end), static_cast<int32_t>(size)};
}

}  // namespace vorn
