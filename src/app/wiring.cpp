#include "app/wiring.h"

namespace vorn {

void WireHandlers(AppState& app) {
  WireAnalysisHandlers(app);
  WireDecodeHandlers(app);
  WireDumpHandlers(app);
  WireInspectHandlers(app);
  WireAppHandlers(app);
}

}  // namespace vorn
