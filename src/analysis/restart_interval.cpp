#include <string>

#include "analysis/marker_codes.h"
#include "analysis/segment_length.h"
#include "analysis/segment_parsers.h"

namespace vorn {

void ParseRestartInterval(AppState& app, int32_t p) {
  using marker::kDRI;
  SegmentReader r(app.file);
  const SegmentLength length = ReadSegmentLength(app, r, kDRI, p);
  if (!length.Usable()) return;
  // Lr is not compared with 4: the interval is read where it belongs.
  const uint16_t interval = r.Word(int64_t{p} + 4);
  if (r.RanOut()) {
    ReportCutShort(app, kDRI, p);
    return;
  }
  app.form.DRILEN.text = std::to_string(length.length);
  app.form.DRI.text = std::to_string(interval);
}

}  // namespace vorn
