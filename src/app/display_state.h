// What the window shows of the last analysis and decode, and the one function that
// changes each piece of it that several commands touch.
#pragma once

#include "app/app_state.h"

namespace vorn {

// ImageInvalid: set while no completed analysis or decode stands behind the display.
void SetImageInvalid(AppState& app, bool invalid);

// Unsaved: set by every change of the bytes, cleared by a load and a save.
void SetUnsaved(AppState& app, bool unsaved);

// SAVE is enabled by a fully successful decode and disabled by whatever makes the
// bytes or the display differ from it.
void SetSaveEnabled(window::WindowModel& form, bool enabled);

// LOCATE and REPAIR (the repair menu) work on the scan as the analysis found it,
// whether or not its picture renders: enabled by a completed analysis whose scan the
// repair engine can model, kept by corrections and their undo and redo (they change
// the scan data only), disabled by a new analysis and by a direct edit.
void SetRepairEnabled(window::WindowModel& form, bool enabled);

// Before an analysis: the pictures black, ImageInvalid set, both scroll ranges 0,
// the MCU fields empty, MCUCHK, BITCHK, SAVE, UNDO, REDO, LOCATE and REPAIR
// disabled, and the undo
// history emptied (the redo history is left as it is).
void ResetDisplay(AppState& app);

// Empties the fields that depend on the last decode, disables MCUCHK, BITCHK and SAVE,
// and empties LOG (its tag stays).
void ClearDecodeFields(window::WindowModel& form, AnalysisState& analysis);

// After every stored direct edit: decode fields cleared, UNDO, REDO, LOCATE and
// REPAIR disabled and both histories emptied (a direct edit is not undoable, and the
// analysis no longer stands behind the bytes).
void PostEditReset(window::WindowModel& form, AnalysisState& analysis, DumpState& dump);

}  // namespace vorn
