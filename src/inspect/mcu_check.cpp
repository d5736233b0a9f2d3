#include "inspect/mcu_check.h"

#include "inspect/trace_scan.h"

namespace vorn {

void MCUCHK_Click(AppState& app) {
  const McuGeometry geometry = ComputeMcuGeometry(app.rec.frame);
  McuBuffer buffer;
  if (geometry.Valid()) buffer.Reset(geometry.McuWidth, geometry.McuHeight, 1);
  const int16_t result = TraceScan(app, buffer, 0, true);
  app.Message(result == kTraceDone ? "正常！" : "異常！");
}

}  // namespace vorn
