#include <algorithm>

#include "analysis/segment_parsers.h"
#include "app/display_state.h"
#include "app/dump_handlers.h"
#include "app/render.h"
#include "dump/editing.h"

namespace vorn {

namespace {

// Bytes inserted or removed inside the scan move everything after them: the end of
// the entropy-coded data, the markers the analysis found there and the end of the
// main image. The decode and
// the trace read up to that end, so it follows the change; the rest of the analysis
// (the headers before the scan) stays valid.
void FollowLengthChange(AnalysisState& analysis, const HistoryEntry& applied) {
  const int32_t growth = static_cast<int32_t>(applied.PutBack.size()) - applied.TakeOut;
  if (growth == 0) return;
  const int64_t end = int64_t{applied.Address} + applied.TakeOut;
  for (int i = 0; i < analysis.MarkerTableCount; ++i) {
    MarkerEntry& e = analysis.MarkerTable[static_cast<size_t>(i)];
    if (e.Position >= end) e.Position += growth;
  }
  if (int64_t{analysis.ScanDataEnd} + 1 >= applied.Address)
    SetScanDataEnd(analysis, analysis.ScanDataEnd + 1 + growth);
  // The main image's end moves with its EOI; bytes put in at that end are trailing.
  if (analysis.AnalysisEnd > applied.Address)
    analysis.AnalysisEnd = std::max(applied.Address, analysis.AnalysisEnd + growth);
}

// Shows the change's position and draws the picture again as after a correction.
void ShowChanged(AppState& app, const HistoryEntry& applied) {
  FollowLengthChange(app.analysis, applied);
  SetUnsaved(app, true);
  JumpToPosition(app.file, app.dump, app.form, applied.Address);
  ClearDecodeFields(app.form, app.analysis);
}

// UNDO and REDO are mirror images: take the newest record of `from`, record the
// present state on `to`, restore, show the position and redraw without a new
// analysis.
void StepHistory(AppState& app, HistoryStack& from, HistoryStack& to, window::Command& fromCommand,
                 window::Command& toCommand) {
  if (from.Empty()) {  // a stale enabled state must not replay an empty entry
    fromCommand.enabled = false;
    return;
  }
  const HistoryEntry record = from.Entries[0];
  const std::optional<HistoryEntry> reverse = ReplayRecord(app.file, record);
  from.Pop();
  if (from.Empty()) fromCommand.enabled = false;
  if (!reverse) return;  // a record that no longer fits the file is dropped
  toCommand.enabled = true;
  to.Push(*reverse);
  ShowChanged(app, record);
  RenderImage(app);
}

}  // namespace

void UNDO_Click(AppState& app) {
  StepHistory(app, app.dump.UndoStack, app.dump.RedoStack, app.form.UNDO, app.form.REDO);
}

void REDO_Click(AppState& app) {
  StepHistory(app, app.dump.RedoStack, app.dump.UndoStack, app.form.REDO, app.form.UNDO);
}

bool ApplyChange(AppState& app, const HistoryEntry& change) {
  const std::optional<HistoryEntry> reverse = ReplayRecord(app.file, change);
  if (!reverse) return false;
  PushUndo(app.dump, app.form, *reverse);
  ShowChanged(app, change);
  app.dump.RedoStack.Clear();
  RenderImage(app);
  return true;
}

}  // namespace vorn
