#include "analysis/segment_length.h"

#include "analysis/message_log.h"

namespace vorn {

void ReportCutShort(AppState& app, uint8_t code, int32_t p) {
  AddLogLine(app.form.LOG, app.analysis, app.analysis.MarkerName[code] + kBadLength, p + 2);
}

SegmentLength ReadSegmentLength(AppState& app, SegmentReader& r, uint8_t code, int32_t p) {
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
  ReportCutShort(app, code, p);
  return result;
}

bool Refuse(AppState& app, uint8_t code, const std::string& fragment) {
  app.Message(app.analysis.MarkerName[code] + fragment);
  return true;
}

}  // namespace vorn
