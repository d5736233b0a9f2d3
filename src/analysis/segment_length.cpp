#include "analysis/segment_length.h"

#include "analysis/message_log.h"

namespace vorn {

void ReportCutShort(AnalysisContext& ctx, uint8_t code, int32_t p) {
  AddLogLine(ctx.form.LOG, ctx.analysis, ctx.analysis.MarkerName[code] + kBadLength, p + 2);
}

SegmentLength ReadSegmentLength(AnalysisContext& ctx, SegmentReader& r, uint8_t code, int32_t p) {
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

ParseVerdict Refuse(AnalysisContext& ctx, uint8_t code, const std::string& fragment) {
  ctx.Message(ctx.analysis.MarkerName[code] + fragment);
  return ParseVerdict::Stop;
}

}  // namespace vorn
