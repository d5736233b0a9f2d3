// Byte editing in the dump and the correction history.
#pragma once

#include <cstdint>
#include <string>

#include "app/app_state.h"

namespace vorn {

// Shows position p in the dump with its cell selected (white on black), copies the
// cell's text into DMPI and sets SelectedCell. SelectedPage stays when p is on it;
// otherwise it becomes kNoSelectedPage, so that typed input is stored on no page
// until a cell is clicked. A negative p names no position: nothing changes.
void JumpToPosition(const FileImage& file, DumpState& dump, window::WindowModel& form, int32_t p);

// Empties the fields that depend on the last decode, disables MCUCHK, BITCHK and
// SAVE, and empties LOG (its tag stays).
void ClearDecodeFields(window::WindowModel& form);

// After every stored direct edit: decode fields cleared, UNDO and REDO disabled and
// both histories emptied (a direct edit is not undoable).
void PostEditReset(AppState& app);

// Records a correction: UNDO enabled, REDO disabled, the record pushed.
void PushUndo(DumpState& dump, window::WindowModel& form, int32_t address, uint8_t byte, int32_t length);

void DMP_Click(AppState& app, int index);
void DMPI_LostFocus(AppState& app);
// Stores the text of DMPI if it changed; returns false only after an input error.
bool CommitDumpInput(AppState& app);
void UNDO_Click(AppState& app);
void REDO_Click(AppState& app);

}  // namespace vorn
