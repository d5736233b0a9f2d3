// The marker scan and its checks, and loading a file into the file image.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/analysis_state.h"
#include "analysis/file_image.h"
#include "app/app_state.h"

namespace vorn {

// Fills the 256 Japanese marker descriptions (once, at start-up).
void FillMarkerName(AnalysisState& analysis);

// Scans from AnalysisStart, lists the markers, checks counts and lengths, dispatches
// every supported segment to its parser. True when it ran to its end.
bool AnalyzeMarkers(AppState& app);

// Empties every field a previous analysis or decode may have filled.
void ResetSegmentFields(AppState& app);

struct LoadResult {
  FileError error;         // the read failed: nothing was analysed
  bool completed = false;  // the analysis ran to its end
};

// Reads the file whole into the file image, sets AnalysisStart to 0 and analyses;
// when render is set and the analysis completed, renders the picture. A failed read
// (or an empty or too large file) changes neither the file image nor anything else.
LoadResult LoadFileImage(AppState& app, const std::string& path, bool render = true);

}  // namespace vorn
