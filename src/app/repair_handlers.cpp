#include "app/repair_handlers.h"

#include <algorithm>

#include "analysis/message_log.h"
#include "app/dump_handlers.h"
#include "app/inspect_handlers.h"
#include "app/trace_scan.h"
#include "inspect/correction_preview.h"
#include "inspect/mcu_pointer.h"

namespace vorn {

namespace {

// Sampling factors are at most 2: three MCUs at scale 2 fill the 96 x 32 preview.
constexpr int32_t kMaxMcuSide = 16;

// The view position (in MCUs) that shows MCU `index`: the MCU itself at the view's
// edge, or the scroll maximum, where the window already reaches past the picture.
int32_t ScrollTo(window::ScrollBar& bar, int32_t index) {
  bar.SetValue(std::min(index, bar.max));
  return bar.value;
}

// Middle of the part [start, start + unit) of a cell that lies in a picture of
// `size` pixels.
int32_t CellMiddle(int32_t start, int32_t unit, int32_t size) {
  return start + (std::min(start + unit, size) - start) / 2;
}

bool Fits(const FileImage& file, const RepairCandidateEntry& repair) {
  return repair.Removed <= 2 && repair.Inserted <= 1 && repair.Position >= 0 &&
         int64_t{repair.Position} + repair.Removed <= file.FileLength() &&
         repair.Removed + repair.Inserted > 0;
}

}  // namespace

bool PressMcuAt(AppState& app, int32_t column, int32_t row) {
  const McuGeometry& g = app.decode.Geometry;
  if (app.ImageInvalid || !g.Valid() || !app.decode.McuStarts.Contains(column, row) ||
      column >= g.McusPerRow || row >= g.McuRows)
    return false;
  const int32_t hv = ScrollTo(app.form.HScroll1, column);
  const int32_t vv = ScrollTo(app.form.VScroll1, row);
  const int32_t x = CellMiddle(column * g.McuWidth, g.McuWidth, app.rec.frame.FrameWidth) - hv * g.McuWidth;
  const int32_t y = CellMiddle(row * g.McuHeight, g.McuHeight, app.rec.frame.FrameHeight) - vv * g.McuHeight;
  Picture1_MouseDown(app, 1, 0, static_cast<float>(x), static_cast<float>(y));
  const McuPointerState& pointer = app.inspect.McuPointer;
  return app.form.BITCHK.enabled && pointer.Column == column && pointer.Row == row;
}

void ListRepairCandidates(AppState& app, const std::vector<RepairLine>& lines) {
  app.form.LOG.tag = kRepairListTag;
  ClearLog(app.form.LOG, app.analysis);
  app.inspect.RepairCandidate.clear();
  for (const RepairLine& line : lines) {
    if (!AddLogLine(app.form.LOG, app.analysis, line.text, line.entry.Position)) break;
    app.inspect.RepairCandidate.push_back(line.entry);
  }
}

void PreviewRepair(AppState& app, const RepairCandidateEntry& repair) {
  const McuGeometry& g = app.decode.Geometry;
  if (!g.Valid() || g.McuWidth > kMaxMcuSide || g.McuHeight > kMaxMcuSide || !Fits(app.file, repair)) return;
  int32_t column = 0, row = 0;
  if (!McuBeforeByte(app.decode.McuStarts, repair.Position, column, row)) return;
  const McuPointerState from = PointerToMcu(app.decode.McuStarts.At(column, row), column, row);
  const PointerTrace trace =
      TraceInputsAt(app, from, ByteOverride{repair.Position, repair.Value, repair.Removed, repair.Inserted});
  if (!trace.known) return;
  McuBuffer buffer;
  buffer.Reset(g.McuWidth, g.McuHeight, kPreviewMcus);
  std::array<int32_t, 3> mcuEnd{};  // the pointer's trace results stay as they are
  if (TraceMcus(trace.inputs, mcuEnd, buffer, kPreviewMcus - 1, nullptr) != TraceResult::Done) return;
  DrawCorrectionPreview(buffer, app.form.Picture2, PreviewScale(app.form.LIMAGE.caption));
}

bool ApplyRepair(AppState& app, const RepairCandidateEntry& repair) {
  if (!Fits(app.file, repair)) return false;
  const int64_t length = int64_t{app.file.FileLength()} - repair.Removed + repair.Inserted;
  const HistoryEntry change{repair.Position, repair.Value,   static_cast<int32_t>(length), 0,
                            repair.Removed,  repair.Inserted};
  return ApplyChange(app, change);
}

}  // namespace vorn
