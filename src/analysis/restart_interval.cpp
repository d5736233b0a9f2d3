#include <string>

#include "analysis/marker_codes.h"
#include "analysis/segment_length.h"
#include "analysis/segment_parsers.h"

namespace vorn {

void ParseRestartInterval(AnalysisContext& ctx, int32_t p) {
  using marker::kDRI;
  SegmentReader r(ctx.file);
  const SegmentLength length = ReadSegmentLength(ctx, r, kDRI, p);
  if (!length.Usable()) return;
  // Lr is not compared with 4: the interval is read where it belongs.
  const uint16_t interval = r.Word(int64_t{p} + 4);
  if (r.RanOut()) {
    ReportCutShort(ctx, kDRI, p);
    return;
  }
  ctx.form.DRILEN.text = std::to_string(length.length);
  ctx.form.DRI.text = std::to_string(interval);
}

}  // namespace vorn
