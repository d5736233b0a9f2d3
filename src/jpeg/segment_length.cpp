#include "jpeg/segment_length.h"

namespace vorn {

void Note(ParseContext& ctx, FindingKind kind, uint8_t code, int64_t pos) {
  ctx.findings.push_back({kind, code, static_cast<int32_t>(pos)});
}

void ReportCutShort(ParseContext& ctx, uint8_t code, int32_t p) {
  Note(ctx, FindingKind::BadLength, code, int64_t{p} + 2);
}

SegmentLength ReadSegmentLength(ParseContext& ctx, SegmentReader& r, uint8_t code, int32_t p) {
  const int high = r.Byte(int64_t{p} + 2);
  const int low = r.Byte(int64_t{p} + 3);
  SegmentLength result;
  if (r.RanOut()) {
    result.state = SegmentLength::State::CutShort;
  } else if (high >= 0x80) {
    result.state = SegmentLength::State::Implausible;
  } else {
    result.length = high * 256 + low;
    return result;
  }
  ReportCutShort(ctx, code, p);
  return result;
}

SegmentRead Refuse(ParseContext& ctx, FindingKind kind, uint8_t code, int32_t p) {
  Note(ctx, kind, code, p);
  return {ParseVerdict::Stop};
}

}  // namespace vorn
