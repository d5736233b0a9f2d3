#include "inspect/trace_scan.h"

namespace vorn {

int16_t TraceScan(AppState& app, McuBuffer& pixels, int16_t lastMcu, bool listing, ByteOverride trial) {
  const McuPointerState& pointer = app.inspect.McuPointer;
  // A pointer left from an earlier decode may name an MCU the latest one does not have.
  if (!app.decode.McuStarts.Contains(pointer.Column, pointer.Row)) return kTraceFailure;
  const McuStart& start = app.decode.McuStarts.At(pointer.Column, pointer.Row);
  const TraceInputs in{app.file,
                       app.rec,
                       app.decode.Plan,
                       app.decode.BitMask,
                       app.decode.IdctMatrix,
                       app.analysis.ScanDataEnd,
                       pointer,
                       {start.Dc[0], start.Dc[1], start.Dc[2]},
                       trial};
  TraceListing sink{app.form.LOG, app.analysis};
  return TraceMcus(in, app.inspect.McuEnd, pixels, lastMcu, listing ? &sink : nullptr);
}

}  // namespace vorn
