// The message list LOG and the file position of each of its lines.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/analysis_state.h"
#include "window/elements.h"

namespace vorn {

// Adds a line at index LogLineCount with its LineAddress and advances LogLineCount.
// LOG never grows past kMaxLogLines lines: further lines are dropped (returns false).
bool AddLogLine(window::ListBox& LOG, AnalysisState& analysis, std::string text, int32_t address);

}  // namespace vorn
