// Placeholders until the file commands land; each is deleted as it is implemented.
#include "app/wiring.h"
#include "analysis/marker_analysis.h"

namespace vorn {
void WireAppHandlers(AppState&) {}
bool Form_Load(AppState& s, const std::function<bool()>& anotherInstanceRunning) {
  if (anotherInstanceRunning && anotherInstanceRunning()) return false;
  FillMarkerName(s.analysis);
  return true;
}
}  // namespace vorn
