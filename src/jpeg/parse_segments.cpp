#include "jpeg/marker_codes.h"
#include "jpeg/segment_parsers.h"

namespace vorn {

SegmentsParsed ParseSegments(ParseContext& ctx, std::span<const Segment> segments,
                             const SegmentObserver& observe) {
  using namespace marker;
  QuantStore& quant = ctx.doc.quant;
  HuffStore& huff = ctx.doc.huff;
  quant.QuantTableCount = 0;
  huff.HuffTableCount = 0;
  SegmentsParsed parsed;
  for (const Segment& segment : segments) {
    SegmentRead (*parser)(ParseContext&, int32_t) = nullptr;
    switch (segment.Marker) {
      case kSOF0:
      case kSOF2:
        parser = ParseFrameHeader;
        break;
      case kDHT:
        if (huff.HuffTableCount < 4) parser = ParseHuffmanSegment;
        break;
      case kEOI:
        parsed.lastEoi = segment.Offset;
        break;
      case kSOS:
        parser = ParseScanHeader;
        break;
      case kDQT:
        if (quant.QuantTableCount < 2) parser = ParseQuantSegment;
        break;
      case kDRI:
        parser = ParseRestartInterval;
        break;
      case kAPP0:
        parser = ParseApp0Segment;
        break;
      case kCOM:
        parser = ParseCommentSegment;
        break;
      default:
        break;
    }
    if (parser == nullptr) continue;
    const SegmentRead read = parser(ctx, segment.Offset);
    observe(segment, read);
    if (read.verdict == ParseVerdict::Stop) {
      parsed.stoppedAt = segment.Offset;
      break;
    }
  }
  return parsed;
}

}  // namespace vorn
