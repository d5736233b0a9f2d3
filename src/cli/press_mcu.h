// The press on one MCU that vorn-cli mcu, trace and bitcheck start with.
#pragma once

#include <cstdint>

#include "cli/cli_session.h"

namespace vorn::cli {

// Scrolls the view (HScroll1, VScroll1) so that MCU (column, row) is in sight and
// presses Picture1 at the middle of the part of its cell that lies in the picture,
// as a user would. Returns kExitOk, or kExitError (after saying why) when the
// picture has no such MCU or the press chose nothing.
int PressMcu(CliSession& session, int32_t column, int32_t row);

}  // namespace vorn::cli
