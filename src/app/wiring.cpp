#include "app/wiring.h"

namespace vorn {

void WireHandlers(AppState& s) {
  WireAnalysisHandlers(s);
  WireDecodeHandlers(s);
  WireDumpHandlers(s);
  WireInspectHandlers(s);
  WireAppHandlers(s);
}

}  // namespace vorn
