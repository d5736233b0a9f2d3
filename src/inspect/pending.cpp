// Placeholders until the bit-level tools land; each is deleted as it is implemented.
#include "app/wiring.h"
#include "inspect/trace_scan.h"

namespace vorn {
int16_t TraceScan(AppState&, McuBuffer&, int16_t, bool, ByteOverride) { return kTraceFailure; }
void WireInspectHandlers(AppState&) {}
}  // namespace vorn
