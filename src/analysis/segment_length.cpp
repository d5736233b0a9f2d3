#include "analysis/segment_length.h"

#include "analysis/message_log.h"

namespace vorn {

void ReportCutShort(AppState& s, uint8_t code, int32_t p) {
  AddLogLine(s.w.LOG, s.analysis, s.analysis.MarkerName[code] + kBadLength, p + 2);
}

SegmentLength ReadSegmentLength(AppState& s, SegmentReader& r, uint8_t code, int32_t p) {
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
  ReportCutShort(s, code, p);
  return result;
}

bool Refuse(AppState& s, uint8_t code, const std::string& fragment) {
  s.Message(s.analysis.MarkerName[code] + fragment);
  return true;
}

}  // namespace vorn
