#include "app/display_state.h"
#include "app/dump_handlers.h"
#include "app/render.h"
#include "dump/editing.h"

namespace vorn {

namespace {

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
  toCommand.enabled = true;
  to.Push({record.Address, app.file.At(record.Address), app.file.FileLength()});
  // Resize before storing, so that a record pointing past the present end never
  // writes outside the image. Corrections keep the length, so this is normally a
  // no-op.
  if (record.Length > 0) app.file.bytes.resize(static_cast<size_t>(record.Length));
  if (app.file.Contains(record.Address)) app.file.bytes[static_cast<size_t>(record.Address)] = record.Byte;
  JumpToPosition(app.file, app.dump, app.form, record.Address);
  from.Pop();
  if (from.Empty()) fromCommand.enabled = false;
  ClearDecodeFields(app);
  RenderImage(app);
}

}  // namespace

void UNDO_Click(AppState& app) {
  StepHistory(app, app.dump.UndoStack, app.dump.RedoStack, app.form.UNDO, app.form.REDO);
}

void REDO_Click(AppState& app) {
  StepHistory(app, app.dump.RedoStack, app.dump.UndoStack, app.form.REDO, app.form.UNDO);
}

}  // namespace vorn
