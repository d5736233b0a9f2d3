// The whole analysis of the file image as the window runs it: loading a file,
// analysing from AnalysisStart, and the table page buttons.
#pragma once

#include <string>

#include "analysis/analysis_context.h"
#include "analysis/file_image.h"
#include "app/app_state.h"
#include "app/main_image_restart.h"

namespace vorn {

// The analysis' view of the window's state.
AnalysisContext AnalysisContextOf(AppState& app);

// Resets the dump to page 0, the display and every segment field, then scans from
// AnalysisStart, lists the markers, checks counts and lengths and dispatches every
// supported segment to its parser. True when it ran to its end; only then is
// ImageInvalid cleared, IMAGE enabled, and LOCATE and REPAIR enabled when the repair
// engine can model the scan.
bool AnalyzeMarkers(AppState& app);

struct LoadResult {
  FileError error;         // the read failed: nothing was analysed
  bool completed = false;  // the analysis ran to its end
  bool foreign = false;    // a file of another format: said in a message, not taken
};

// Reads the file whole; a file that begins with another format's signature is
// refused with a message naming it. Otherwise the bytes become the file image, Fname
// shows path, nothing counts as unsaved, AnalysisStart is set to 0 (and the end of
// the analysis to the end of the file) and the file is analysed; when only markers
// outside the main image stopped the analysis, deals with analysing the main image
// alone as mainImage says (RestartAtMainImage); when
// render is set and the last analysis completed, renders the picture. A failed read
// (or an empty or too large file) or a refused format changes nothing at all.
LoadResult LoadFileImage(AppState& app, const std::string& path, bool render = true,
                         MainImageAnswer mainImage = MainImageAnswer::Ask);

void DQTUP_Click(AppState& app);
void DQTDOWN_Click(AppState& app);
void DHTUP_Click(AppState& app);
void DHTDOWN_Click(AppState& app);

}  // namespace vorn
