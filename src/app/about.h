// The version box of the help menu.
#pragma once

#include <string>

#include "app/app_state.h"

namespace vorn {

// The program's version, as the build names it ("0.95").
const char* ProgramVersion();

// Name, version, what the program does and its licence, lines broken by carriage
// returns as every message of the window.
std::string AboutText();

// Shows AboutText in a message box.
void ABOUT_Click(AppState& app);

}  // namespace vorn
