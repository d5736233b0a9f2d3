#include "jpeg/marker_codes.h"
#include "jpeg/segment_length.h"

namespace vorn {

SegmentRead ParseCommentSegment(ParseContext& ctx, int32_t p) {
  using marker::kCOM;
  SegmentReader r(ctx.bytes);
  const SegmentLength length = ReadSegmentLength(ctx, r, kCOM, p);
  if (!length.Usable()) return {};
  if (!r.Covers(int64_t{p} + 4, int64_t{p} + 1 + length.length)) ReportCutShort(ctx, kCOM, p);
  return {ParseVerdict::GoOn, true, length.length};
}

}  // namespace vorn
