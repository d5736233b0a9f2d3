// The message list LOG and the file position of each of its lines. Every line of
// LOG is added, and LOG is emptied, only through these functions, which keep
// LineAddress and LogLineCount in step with the lines.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/analysis_state.h"
#include "window/elements.h"

namespace vorn {

// LOG's tag names the kind of list it holds, which decides what a click and a
// double click on a line do; any other content (a trace, a list being built) has
// an empty tag.
inline const std::string kMarkerListTag = "0";     // the analysis' marker lines
inline const std::string kCandidateListTag = "1";  // the single-bit check's candidates
inline const std::string kRepairListTag = "2";     // the verified repairs

// Adds a line at index LogLineCount with its LineAddress and advances LogLineCount.
// LOG never grows past kMaxLogLines lines: further lines are dropped (returns false).
bool AddLogLine(window::ListBox& LOG, AnalysisState& analysis, std::string text, int32_t address);

// Empties LOG and its positions; the tag stays.
void ClearLog(window::ListBox& LOG, AnalysisState& analysis);

}  // namespace vorn
