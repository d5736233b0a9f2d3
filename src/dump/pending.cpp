// Placeholders until the dump lands; each is deleted as it is implemented.
#include "app/wiring.h"
#include "dump/dump_view.h"
#include "dump/editing.h"
#include "dump/segment_list.h"

namespace vorn {
void ShowDump(const FileImage&, int32_t, window::WindowModel&) {}
void DMPFUP_Click(AppState&) {}
void DMPUP_Click(AppState&) {}
void DMPDOWN_Click(AppState&) {}
void DMPFDOWN_Click(AppState&) {}
void JumpToPosition(const FileImage&, DumpState&, window::WindowModel&, int32_t) {}
void ClearDecodeFields(window::WindowModel&) {}
void PushUndo(DumpState&, window::WindowModel&, int32_t, uint8_t, int32_t) {}
void DMP_Click(AppState&, int) {}
void DMPI_LostFocus(AppState&) {}
bool CommitDumpInput(AppState&) { return true; }
void UNDO_Click(AppState&) {}
void REDO_Click(AppState&) {}
void LOG_Click(AppState&, int) {}
void LOG_DblClick(AppState&, int) {}
StartChange ChangeAnalysisStart(AppState&, int32_t, bool) { return StartChange::NotAMarker; }
void WireDumpHandlers(AppState&) {}
}  // namespace vorn
