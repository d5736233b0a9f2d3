#include "jpeg/marker_codes.h"
#include "jpeg/segment_length.h"

namespace vorn {

SegmentRead ParseRestartInterval(ParseContext& ctx, int32_t p) {
  using marker::kDRI;
  SegmentReader r(ctx.bytes);
  const SegmentLength length = ReadSegmentLength(ctx, r, kDRI, p);
  if (length.state == SegmentLength::State::CutShort) return {};
  // Lr is not compared with 4: the interval is read where it belongs, for the scan
  // even behind a length that cannot be used.
  const uint16_t interval = r.Word(int64_t{p} + 4);
  if (r.RanOut()) {
    if (length.Usable()) ReportCutShort(ctx, kDRI, p);
    return {};
  }
  ctx.doc.Restarts.push_back({p, length.Usable() ? length.length : -1, interval});
  if (!length.Usable()) return {};
  return {ParseVerdict::GoOn, true, length.length};
}

}  // namespace vorn
