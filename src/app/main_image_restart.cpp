#include "app/main_image_restart.h"

#include "analysis/main_image.h"
#include "app/segment_list.h"

namespace vorn {

MainImageRestart RestartAtMainImage(AppState& app, MainImageAnswer answer, bool render) {
  const std::optional<MainImageBounds> bounds = MainImageOf(app.file, app.analysis);
  if (!bounds) return MainImageRestart::NotOffered;
  if (answer == MainImageAnswer::No) return MainImageRestart::Declined;
  if (answer == MainImageAnswer::Ask &&
      app.Message("メイン画像から解析しますか", window::Buttons::YesNo) != window::Answer::Yes)
    return MainImageRestart::Declined;
  app.analysis.AnalysisEnd = bounds->end;
  return RestartAnalysisAt(app, bounds->start, render) == StartChange::Completed ? MainImageRestart::Completed
                                                                                 : MainImageRestart::Stopped;
}

}  // namespace vorn
