// Connects the window model's events to the handlers, and start-up.
#pragma once

#include <functional>

#include "app/app_state.h"

namespace vorn {

// Each subsystem binds the events of the elements it owns.
void WireAnalysisHandlers(AppState& app);  // DQTUP, DQTDOWN, DHTUP, DHTDOWN
void WireDecodeHandlers(AppState& app);    // IMAGE, LIMAGE, MODE, HScroll1, VScroll1
void WireDumpHandlers(AppState& app);      // paging, DMP, DMPI, UNDO, REDO, LOG
void WireInspectHandlers(AppState& app);   // Picture1 press, MCUCHK, BITCHK
void WireRepairHandlers(AppState& app);    // LOCATE, REPAIR
void WireAppHandlers(AppState& app);       // LOAD, SAVE, QUIT, ABOUT, close, drop

// All of the above.
void WireHandlers(AppState& app);

// Start-up of the window (before it is shown). Returns false when the program must
// end at once because another instance runs.
bool Form_Load(AppState& app, const std::function<bool()>& anotherInstanceRunning);

}  // namespace vorn
