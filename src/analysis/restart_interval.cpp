#include <string>

#include "analysis/marker_codes.h"
#include "analysis/segment_length.h"
#include "analysis/segment_parsers.h"

namespace vorn {

void ParseRestartInterval(AppState& s, int32_t p) {
  using marker::kDRI;
  SegmentReader r(s.file);
  const SegmentLength length = ReadSegmentLength(s, r, kDRI, p);
  if (!length.Usable()) return;
  // Lr is not compared with 4: the interval is read where it belongs.
  const uint16_t interval = r.Word(int64_t{p} + 4);
  if (r.RanOut()) {
    ReportCutShort(s, kDRI, p);
    return;
  }
  s.w.DRILEN.text = std::to_string(length.length);
  s.w.DRI.text = std::to_string(interval);
}

}  // namespace vorn
