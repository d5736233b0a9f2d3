#include "app/trace_scan.h"

namespace vorn {

PointerTrace TraceInputsOf(const AppState& app, ByteOverride trial) {
  return TraceInputsAt(app, app.inspect.McuPointer, trial);
}

PointerTrace TraceInputsAt(const AppState& app, const McuPointerState& pointer, ByteOverride trial) {
  // A trial that inserts or removes bytes in the scan moves its end.
  const int32_t scanDataEnd = app.analysis.ScanDataEnd;
  const int32_t end = trial.position >= 0 && trial.position <= int64_t{scanDataEnd} + 1
                          ? scanDataEnd + trial.Growth()
                          : scanDataEnd;
  const bool known = app.decode.McuStarts.Contains(pointer.Column, pointer.Row);
  const McuStart start = known ? app.decode.McuStarts.At(pointer.Column, pointer.Row) : McuStart{};
  return {TraceInputs{app.file,
                      app.rec,
                      app.decode.Plan,
                      app.decode.BitMask,
                      app.decode.IdctMatrix,
                      end,
                      pointer,
                      {start.Dc[0], start.Dc[1], start.Dc[2]},
                      trial},
          known};
}

TraceResult TraceScan(AppState& app, McuBuffer& pixels, int16_t lastMcu, bool listing, ByteOverride trial) {
  const PointerTrace trace = TraceInputsOf(app, trial);
  if (!trace.known) return TraceResult::Failure;
  TraceListing sink{app.form.LOG, app.analysis};
  return TraceMcus(trace.inputs, app.inspect.McuEnd, pixels, lastMcu, listing ? &sink : nullptr);
}

}  // namespace vorn
