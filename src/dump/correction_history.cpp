#include "decode/render.h"
#include "dump/editing.h"

namespace vorn {

namespace {

// UNDO and REDO are mirror images: take the newest record of `from`, record the
// present state on `to`, restore, show the position and redraw without a new
// analysis.
void StepHistory(AppState& s, HistoryStack& from, HistoryStack& to, window::Command& fromCommand,
                 window::Command& toCommand) {
  if (from.Empty()) {  // a stale enabled state must not replay an empty entry
    fromCommand.enabled = false;
    return;
  }
  const HistoryEntry record = from.entries[0];
  toCommand.enabled = true;
  to.Push({record.address, s.file.At(record.address), s.file.FileLength()});
  // Resize before storing, so that a record pointing past the present end never
  // writes outside the image. Corrections keep the length, so this is normally a
  // no-op.
  if (record.length > 0) s.file.bytes.resize(static_cast<size_t>(record.length));
  if (s.file.Contains(record.address)) s.file.bytes[static_cast<size_t>(record.address)] = record.byte;
  JumpToPosition(s.file, s.dump, s.w, record.address);
  from.Pop();
  if (from.Empty()) fromCommand.enabled = false;
  ClearDecodeFields(s.w);
  RenderImage(s);
}

}  // namespace

void PushUndo(DumpState& dump, window::WindowModel& w, int32_t address, uint8_t byte, int32_t length) {
  w.UNDO.enabled = true;
  w.REDO.enabled = false;
  dump.UndoStack.Push({address, byte, length});
}

void UNDO_Click(AppState& s) {
  StepHistory(s, s.dump.UndoStack, s.dump.RedoStack, s.w.UNDO, s.w.REDO);
}

void REDO_Click(AppState& s) {
  StepHistory(s, s.dump.RedoStack, s.dump.UndoStack, s.w.REDO, s.w.UNDO);
}

}  // namespace vorn
