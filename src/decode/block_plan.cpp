#include "decode/block_plan.h"

#include "jpeg/mcu_sampling.h"

namespace vorn {

bool BuildBlockPlan(const FrameRecord& frame, const ScanRecord& scan, McuBlockPlan& plan) {
  plan = McuBlockPlan{};
  if (frame.ComponentCount > 3) return false;
  int count = 0;
  for (int c = 0; c < frame.ComponentCount; ++c) {
    const McuSampling s = ComponentSampling(frame, c);
    const int blocks = s.h * s.v;
    for (int i = 0; i < blocks; ++i) {
      if (count == 6) {
        plan = McuBlockPlan{};
        return false;
      }
      plan.McuBlockTable[count] = scan.DcTableSelector[c];
      plan.McuBlockTable[6 + count] = scan.AcTableSelector[c];
      plan.McuBlockTable[12 + count] = frame.QuantSelector[c];
      plan.McuBlockTable[18 + count] = static_cast<int16_t>(c);
      ++count;
    }
  }
  plan.McuBlockCount = static_cast<int16_t>(count);
  return count > 0;
}

}  // namespace vorn
