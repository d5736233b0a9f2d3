// The dump's commands as the window runs them: paging, cell clicks, the input field,
// and undo and redo of corrections.
#pragma once

#include "app/app_state.h"

namespace vorn {

void DMPFUP_Click(AppState& app);
void DMPUP_Click(AppState& app);
void DMPDOWN_Click(AppState& app);
void DMPFDOWN_Click(AppState& app);

void DMP_Click(AppState& app, int index);
void DMPI_LostFocus(AppState& app);
// Stores the text of DMPI if it changed (resetting what depended on the old bytes);
// returns false only after an input error.
bool CommitDumpInput(AppState& app);

// Take the newest correction record, put its byte (and length) back, and redraw
// without a new analysis; the present state goes to the other history.
void UNDO_Click(AppState& app);
void REDO_Click(AppState& app);

// Applies a change of the file as a correction: change.TakeOut bytes at
// change.Address give way to the change.PutBack bytes, change.Length being the
// file's length after it. The dump shows the position
// selected, the reverse record goes on the undo history, REDO is disabled and its
// history emptied, and the picture is drawn again without a new analysis. False,
// with nothing changed, when the change does not fit the file.
bool ApplyChange(AppState& app, const HistoryEntry& change);

}  // namespace vorn
