#include "analysis/marker_analysis.h"
#include "app/wiring.h"

namespace vorn {

bool Form_Load(AppState& app, const std::function<bool()>& anotherInstanceRunning) {
  // A second instance ends before it fills or shows anything.
  if (anotherInstanceRunning && anotherInstanceRunning()) return false;
  app.decode.ViewWidth = app.form.Picture1.width;
  app.decode.ViewHeight = app.form.Picture1.height;
  FillMarkerName(app.analysis);
  app.form.VScroll1.SetMax(0);
  app.form.HScroll1.SetMax(0);
  return true;
}

}  // namespace vorn
