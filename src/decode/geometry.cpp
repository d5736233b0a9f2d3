#include "decode/decode_state.h"
#include "jpeg/mcu_sampling.h"

namespace vorn {

McuGeometry ComputeMcuGeometry(const FrameRecord& frame) {
  McuGeometry g;
  const McuSampling s = ComponentSampling(frame, 0);
  g.McuWidth = 8 * s.h;
  g.McuHeight = 8 * s.v;
  if (!g.Valid()) return g;  // a zero sampling factor: no MCU grid, and nothing to divide by
  // Truncating division, as the grid has always been counted: a picture of width 0
  // (refused by the frame checks anyway) still gets one column.
  g.McusPerRow = (static_cast<int32_t>(frame.FrameWidth) - 1) / g.McuWidth + 1;
  g.McuRows = (static_cast<int32_t>(frame.FrameHeight) - 1) / g.McuHeight + 1;
  return g;
}

}  // namespace vorn
