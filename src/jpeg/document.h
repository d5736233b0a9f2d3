// A JPEG file as plain values: what its segments hold, as the parsers read them.
// It knows no window; the analysis shows it and the decoder, the tracer and the
// repair engine read it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jpeg/records.h"

namespace vorn {

// Bytes Begin .. End - 1 of the file.
struct ByteRange {
  int32_t Begin = 0;
  int32_t End = 0;
  bool operator==(const ByteRange&) const = default;
};

// A marker as the marker scan lists it: its FF byte at Offset, and its length field
// (-1 for a marker without one, or one that cannot be used: 8000h or more, or past
// the end of the file).
struct Segment {
  int32_t Offset = 0;
  uint8_t Marker = 0;
  int32_t Length = -1;
  bool operator==(const Segment&) const = default;
};

// An APPn segment from its marker to the next segment's, and the JPEG picture it
// carries (a camera's thumbnail or preview: SOI up to and with its EOI), if any.
struct AppRange {
  uint8_t Marker = 0;
  ByteRange Bytes;
  std::optional<ByteRange> Thumbnail;
  bool operator==(const AppRange&) const = default;
};

// A DRI segment: its marker at Offset, its length field (-1 when it cannot be used)
// and the interval it defines (read where it belongs whatever the length).
struct RestartSegment {
  int32_t Offset = 0;
  int32_t Length = -1;
  uint16_t Interval = 0;
  bool operator==(const RestartSegment&) const = default;
};

// The records (frame, scan, tables, APP0) are kept from parse to parse and
// overwritten field by field, so a table the current file does not define keeps an
// earlier file's values. The parts below are the last parse's alone: StartParse
// empties them.
struct JpegDocument : Records {
  std::vector<Segment> Segments;  // every marker the scan listed, in file order
  // Found by following the segment lengths from the SOI at position 0, as every
  // reader of the file does: the APPn segments up to the first SOS, that scan's
  // data (up to the EOI that ends it, or the end of the file) and what follows
  // that EOI.
  std::vector<AppRange> Apps;
  ByteRange ScanData;
  ByteRange Trailing;
  std::vector<RestartSegment> Restarts;  // every DRI whose interval was read, in file order
  // MCUs per restart interval in the scan: the last DRI that lies before the scan's
  // data; 0 when there is none. Set by FinishParse.
  int32_t RestartInterval = 0;

  void StartParse() {
    Segments.clear();
    Apps.clear();
    ScanData = {};
    Trailing = {};
    Restarts.clear();
    RestartInterval = 0;
  }
  // Once every segment is parsed: what follows from them all.
  void FinishParse() {
    for (const RestartSegment& dri : Restarts)
      if (dri.Offset < scan.ScanDataStart) RestartInterval = dri.Interval;
  }
};

}  // namespace vorn
