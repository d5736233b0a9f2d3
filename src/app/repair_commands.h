// The verified repair as the window runs it, and what vorn-cli shares with it.
#pragma once

#include <memory>
#include <string>

#include "app/app_state.h"
#include "repair/repair_scan.h"

namespace vorn {

// "00000E62-7": a bit of the file as the candidate lines name it.
std::string BitPosText(BitPos position);

}  // namespace vorn
