// The segment parsers. Each receives the position p of the segment's FF byte, reads
// its fields by position, writes what it read into the document and appends what
// it found wrong to the findings; it shows nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "jpeg/document.h"
#include "jpeg/findings.h"

namespace vorn {

// Whether a parser lets the analysis go on.
enum class ParseVerdict { GoOn, Stop };

// What a parser reads and writes.
struct ParseContext {
  std::span<const uint8_t> bytes;
  JpegDocument& doc;
  Findings& findings;
};

// What became of one segment: whether the analysis goes on, whether its values were
// read whole, and its length field.
struct SegmentRead {
  ParseVerdict verdict = ParseVerdict::GoOn;
  bool whole = false;
  int length = 0;
};

// SOF0 and SOF2.
SegmentRead ParseFrameHeader(ParseContext& ctx, int32_t p);
// SOS; sets ScanDataStart.
SegmentRead ParseScanHeader(ParseContext& ctx, int32_t p);
// DQT: fills quantization slots from QuantTableCount on; never stops.
SegmentRead ParseQuantSegment(ParseContext& ctx, int32_t p);
// DHT: fills Huffman slots from HuffTableCount on.
SegmentRead ParseHuffmanSegment(ParseContext& ctx, int32_t p);
// APP0: the JFIF fields into the APP0 record; whole when they were all read.
SegmentRead ParseApp0Segment(ParseContext& ctx, int32_t p);
// COM: whole when its length can be used (the text is the bytes after it).
SegmentRead ParseCommentSegment(ParseContext& ctx, int32_t p);
// DRI: whole when its length can be used and the interval read; the interval is
// kept (in Restarts) also behind a length that cannot be used.
SegmentRead ParseRestartInterval(ParseContext& ctx, int32_t p);

// Called after each segment a parser read, with what became of it, before the next
// is read: what a reader of the document shows of it.
using SegmentObserver = std::function<void(const Segment& segment, const SegmentRead& read)>;

// Where the parse of the segments ended.
struct SegmentsParsed {
  std::optional<int32_t> stoppedAt;  // the marker whose parser stopped it
  std::optional<int32_t> lastEoi;    // the last EOI met (with several the last one wins)
};

// Hands every supported segment of the list, in order, to its parser, up to one
// that stops: the first two DQT and the first four DHT that define tables.
SegmentsParsed ParseSegments(ParseContext& ctx, std::span<const Segment> segments,
                             const SegmentObserver& observe);

}  // namespace vorn
