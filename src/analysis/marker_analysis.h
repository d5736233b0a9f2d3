// The marker scan and its checks: every marker listed in LOG, the marker counts and
// segment lengths checked, every supported segment handed to its parser.
#pragma once

#include "analysis/analysis_context.h"
#include "analysis/analysis_state.h"

namespace vorn {

// Fills the 256 Japanese marker descriptions (once, at start-up).
void FillMarkerName(AnalysisState& analysis);

// Empties every segment and table field, and LOG; then scans from AnalysisStart up
// to AnalysisEnd (one line then says how many bytes follow), lists the markers,
// checks counts and lengths, dispatches every supported segment to its parser and
// shows page 0 of both table stores. True when it ran to its end.
bool AnalyzeSegments(AnalysisContext& ctx);

// Where the marker scan ends (exclusive): AnalysisEnd, or the end of the file.
int64_t ScanLimit(const AnalysisState& analysis, const FileImage& file);

// Empties the fields of the segment and table areas.
void ResetSegmentFields(window::WindowModel& form);

}  // namespace vorn
