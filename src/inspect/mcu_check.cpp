#include "inspect/mcu_check.h"

#include "inspect/trace_scan.h"

namespace vorn {

void MCUCHK_Click(AppState& s) {
  const McuGeometry geometry = ComputeMcuGeometry(s.rec.frame);
  McuBuffer buffer;
  if (geometry.Valid()) buffer.Reset(geometry.McuWidth, geometry.McuHeight, 1);
  const int16_t result = TraceScan(s, buffer, 0, true);
  s.Message(result == kTraceDone ? "正常！" : "異常！");
}

}  // namespace vorn
