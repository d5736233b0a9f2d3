#include "app/wiring.h"

namespace vorn {

void WireHandlers(AppState& app) {
  WireAnalysisHandlers(app);
  WireDecodeHandlers(app);
  WireDumpHandlers(app);
  WireInspectHandlers(app);
  WireRepairHandlers(app);
  WireAppHandlers(app);
}

}  // namespace vorn
