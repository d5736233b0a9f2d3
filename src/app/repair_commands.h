// The verified repair as the window runs it, and what vorn-cli shares with it.
#pragma once

#include <memory>
#include <string>

#include "app/app_state.h"
#include "repair/repair_scan.h"

namespace vorn {

// The engine's model of the scan of the file as the last analysis found it; null
// (with the problem) when the scan cannot be decoded at all.
std::unique_ptr<ScanModel> ScanModelOf(const AppState& app, std::string& problem);

// "00000E62-7": a bit of the file as the candidate lines name it.
std::string BitPosText(BitPos position);

}  // namespace vorn
