// Byte editing in the dump: the selected cell, the input field DMPI, and the records
// of the correction history.
#pragma once

#include <cstdint>

#include "analysis/file_image.h"
#include "dump/dump_state.h"
#include "window/dialogs.h"
#include "window/window_model.h"

namespace vorn {

// What a direct edit reads and changes.
struct DumpContext {
  FileImage& file;
  DumpState& dump;
  window::WindowModel& form;
  window::Dialogs& dialogs;
};

// Shows position p in the dump with its cell selected (white on black), copies the
// cell's text into DMPI and sets SelectedCell. SelectedPage stays when p is on it;
// otherwise it becomes kNoSelectedPage, so that typed input is stored on no page
// until a cell is clicked. A negative p names no position: nothing changes.
void JumpToPosition(const FileImage& file, DumpState& dump, window::WindowModel& form, int32_t p);

enum class EditOutcome { Unchanged, Stored, Rejected };

// Stores the text of DMPI into the selected cell's byte when it changed there: an
// overwrite, the last byte removed (empty text on it) or a byte appended (at the
// position after the last). A text that is no byte value shows "入力エラー", puts
// the cell's text back and is Rejected. The caller resets what depended on the old
// bytes after Stored.
EditOutcome StoreDumpInput(DumpContext& ctx);

// Selects cell `index` of the page shown (at most the append position): the old
// selection painted normal, the new one highlighted, its text in DMPI. False when
// the cell holds no position that can be selected.
bool SelectDumpCell(const FileImage& file, DumpState& dump, window::WindowModel& form, int index);

// Records a correction: UNDO enabled, REDO disabled, the record pushed.
void PushUndo(DumpState& dump, window::WindowModel& form, int32_t address, uint8_t byte, int32_t length);
void PushUndo(DumpState& dump, window::WindowModel& form, const HistoryEntry& record);

}  // namespace vorn
