#include "inspect/trace_scan.h"

namespace vorn {

int16_t TraceScan(AppState& s, McuBuffer& pixels, int16_t lastMcu, bool listing, ByteOverride trial) {
  const McuPointerState& pointer = s.inspect.McuPointer;
  // A pointer left from an earlier decode may name an MCU the latest one does not have.
  if (!s.decode.McuStarts.Contains(pointer.column, pointer.row)) return kTraceFailure;
  const McuStart& start = s.decode.McuStarts.At(pointer.column, pointer.row);
  const TraceInputs in{s.file,
                       s.rec,
                       s.decode.plan,
                       s.decode.BitMask,
                       s.decode.IdctMatrix,
                       s.analysis.ScanDataEnd,
                       pointer,
                       {start.dc[0], start.dc[1], start.dc[2]},
                       trial};
  TraceListing sink{s.w.LOG, s.analysis};
  return TraceMcus(in, s.inspect.McuEnd, pixels, lastMcu, listing ? &sink : nullptr);
}

}  // namespace vorn
