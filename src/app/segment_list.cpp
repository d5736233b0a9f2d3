#include "app/segment_list.h"

#include <limits>

#include "analysis/hex.h"
#include "analysis/message_log.h"
#include "app/analyze.h"
#include "app/display_state.h"
#include "app/inspect_handlers.h"
#include "app/render.h"
#include "app/repair_handlers.h"
#include "dump/dump_view.h"
#include "dump/editing.h"
#include "inspect/candidates.h"
#include "jpeg/marker_codes.h"

namespace vorn {

namespace {

bool IsListedLine(const window::WindowModel& form, int index) {
  return index >= 0 && index < form.LOG.Count() && index < kMaxLogLines;
}

// The candidate behind line `index` of a candidate list, when it still names a bit
// of the file image.
const BitCandidateEntry* CandidateOfLine(const InspectState& inspect, const FileImage& file, int index) {
  if (index < 0 || index >= kListedCandidates) return nullptr;
  const BitCandidateEntry& c = inspect.BitCandidate[static_cast<size_t>(index)];
  if (!file.Contains(c.Position) || c.BitIndex < 0 || c.BitIndex > 7) return nullptr;
  return &c;
}

// The repair behind line `index` of a repair list.
const RepairCandidateEntry* RepairOfLine(const InspectState& inspect, int index) {
  const auto& repairs = inspect.RepairCandidate;
  return index >= 0 && static_cast<size_t>(index) < repairs.size() ? &repairs[static_cast<size_t>(index)]
                                                                   : nullptr;
}

// Sets the candidate's bit, with an undo record, and redraws without a new analysis.
// The jump selects the byte's cell; PushUndo disables REDO.
void ApplyCorrection(AppState& app, const BitCandidateEntry& c) {
  const int32_t position = c.Position;
  JumpToPosition(app.file, app.dump, app.form, position);
  uint8_t& byte = app.file.bytes[static_cast<size_t>(position)];
  PushUndo(app.dump, app.form, position, byte, app.file.FileLength());
  byte |= static_cast<uint8_t>(0x80u >> c.BitIndex);
  SetUnsaved(app, true);
  window::Label& cell = app.form.DMP[app.dump.SelectedCell];
  cell.text = Hex2(byte);
  app.form.DMPI.SetText(cell.text);
  ClearDecodeFields(app.form, app.analysis);
  app.dump.RedoStack.Clear();
  RenderImage(app);
}

}  // namespace

void LOG_Click(AppState& app, int index) {
  if (!IsListedLine(app.form, index)) return;
  JumpToPosition(app.file, app.dump, app.form, app.analysis.LineAddress[static_cast<size_t>(index)]);
  if (app.form.LOG.tag == kRepairListTag) {
    if (const RepairCandidateEntry* r = RepairOfLine(app.inspect, index)) PreviewRepair(app, *r);
    return;
  }
  if (app.form.LOG.tag != kCandidateListTag) return;
  if (const BitCandidateEntry* c = CandidateOfLine(app.inspect, app.file, index))
    PreviewCorrection(app, c->Position, c->BitIndex);
}

void LOG_DblClick(AppState& app, int index) {
  if (!IsListedLine(app.form, index)) return;
  if (app.form.LOG.tag == kMarkerListTag) {
    // The click before the double click selected the line's position. A line whose
    // position could not be shown (negative) must not restart at a stale selection.
    const int64_t selected = CellPosition(app.dump.DumpPage, app.dump.SelectedCell);
    const bool shown = app.analysis.LineAddress[static_cast<size_t>(index)] >= 0 &&
                       selected <= std::numeric_limits<int32_t>::max();
    ChangeAnalysisStart(app, shown ? static_cast<int32_t>(selected) : -1);
  } else if (app.form.LOG.tag == kCandidateListTag) {
    if (const BitCandidateEntry* c = CandidateOfLine(app.inspect, app.file, index)) ApplyCorrection(app, *c);
  } else if (app.form.LOG.tag == kRepairListTag) {
    // A copy: the redraw after the change empties the list.
    if (const RepairCandidateEntry* r = RepairOfLine(app.inspect, index))
      ApplyRepair(app, RepairCandidateEntry{*r});
  }
}

StartChange ChangeAnalysisStart(AppState& app, int32_t p, bool render) {
  if (app.Message("解析開始位置を変更しますか", window::Buttons::YesNo) != window::Answer::Yes)
    return StartChange::Declined;
  if (p < 0 || int64_t{p} >= int64_t{app.file.FileLength()} - 1 || app.file.At(p) != marker::kFill) {
    app.Message("マーカー（FFデータ）位置を指定してください");
    return StartChange::NotAMarker;
  }
  return RestartAnalysisAt(app, p, render);
}

StartChange RestartAnalysisAt(AppState& app, int32_t p, bool render) {
  app.analysis.AnalysisStart = p;
  // A start at or after the main image's end (the data after it) analyses on to the
  // end of the file.
  if (p >= app.analysis.AnalysisEnd) app.analysis.AnalysisEnd = -1;
  app.form.STANA.text = HexNoZeros(static_cast<uint32_t>(p));
  if (!AnalyzeMarkers(app)) return StartChange::Stopped;
  if (render) RenderImage(app);
  return StartChange::Completed;
}

}  // namespace vorn
