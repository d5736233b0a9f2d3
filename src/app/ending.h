// Ending the program: the command QUIT and a close request of the window.
#pragma once

#include "app/app_state.h"

namespace vorn {

// Asks "終了します" (or, with changes unsaved, whether to go on without saving them);
// on OK (Yes) releases the buffers and ends the program.
void QUIT_Click(AppState& app);

// A close request: asks as QUIT does and returns whether the window may go away
// (only on OK). Once the program has ended, a close is granted without asking again.
bool Form_Unload(AppState& app);

}  // namespace vorn
