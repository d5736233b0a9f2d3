// Camera files: when only the markers of a thumbnail inside an APPn segment, or of
// what follows the main image's EOI, stopped the analysis, the analysis can start
// again at the main image and end at its EOI.
#pragma once

#include "app/app_state.h"

namespace vorn {

// What to do about the question "メイン画像から解析しますか".
enum class MainImageAnswer {
  Ask,  // show it and restart on Yes (the window; vorn-cli --main-image)
  Yes,  // restart without asking (callers that decide for the user)
  No,   // neither ask nor restart
};

enum class MainImageRestart {
  NotOffered,  // the analysis completed, or the main image itself stopped it
  Declined,    // answered No (or told No)
  Stopped,     // restarted at the main image, and that analysis stopped
  Completed,   // restarted at the main image, and that analysis ran to its end
};

// After an analysis that stopped: when the markers that stopped it lie inside APPn
// segments of the main image or after the EOI that ends its scan (MainImageOf),
// asks (as answer says) and analyses the main image alone: from the first marker
// after the last such segment, exactly as a double click on that marker line and
// Yes would (AnalysisStart, STANA, LOG, and when render is set and the analysis
// completed, the picture), and up to that EOI (AnalysisEnd), when bytes follow it.
// Restarts at most once.
MainImageRestart RestartAtMainImage(AppState& app, MainImageAnswer answer, bool render = true);

}  // namespace vorn
