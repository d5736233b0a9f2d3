// Camera files: when only the markers of a thumbnail inside an APPn segment stopped
// the analysis, the analysis can start again at the main image.
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
  NotOffered,  // the analysis completed, or stopped for something outside APPn segments
  Declined,    // answered No (or told No)
  Stopped,     // restarted at the main image, and that analysis stopped
  Completed,   // restarted at the main image, and that analysis ran to its end
};

// After an analysis that stopped: when the markers that stopped it lie inside APPn
// segments of the main image, asks (as answer says) and restarts the analysis at
// the first marker after the last such segment, exactly as a double click on that
// marker line and Yes would (AnalysisStart, STANA, LOG, and when render is set and
// the analysis completed, the picture). Restarts at most once.
MainImageRestart RestartAtMainImage(AppState& app, MainImageAnswer answer, bool render = true);

}  // namespace vorn
