#include "analysis/marker_analysis.h"
#include "app/wiring.h"

namespace vorn {

bool Form_Load(AppState& s, const std::function<bool()>& anotherInstanceRunning) {
  // A second instance ends before it fills or shows anything.
  if (anotherInstanceRunning && anotherInstanceRunning()) return false;
  s.decode.ViewWidth = s.w.Picture1.width;
  s.decode.ViewHeight = s.w.Picture1.height;
  FillMarkerName(s.analysis);
  s.w.VScroll1.SetMax(0);
  s.w.HScroll1.SetMax(0);
  return true;
}

}  // namespace vorn
