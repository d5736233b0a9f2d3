// The one rule for how many blocks each component gives an MCU, which shapes the
// MCU grid (McuWidth, McuHeight, McuStarts), the block plan, the colour conversion,
// the tracer and the MCU pointer alike.
#pragma once

#include <algorithm>
#include <cstdint>

#include "jpeg/records.h"

namespace vorn {

// Sampling factors as the scan codes the component: blocks across and down in one MCU.
struct McuSampling {
  int32_t h = 0;
  int32_t v = 0;
};

// A frame of one component is coded one block per MCU, 8 x 8 pixels, whatever factors
// its header gives (its scan is not interleaved); the components of a larger frame
// are interleaved with the factors of their headers. A zero factor stays zero: such
// a component has no grid.
inline McuSampling ComponentSampling(const FrameRecord& frame, int c) {
  const McuSampling s{frame.HSampling[c], frame.VSampling[c]};
  if (frame.ComponentCount == 1 && s.h >= 1 && s.v >= 1) return {1, 1};
  return s;
}

// Blocks one MCU holds: h x v summed over the frame's components.
inline int BlocksPerMcu(const FrameRecord& frame) {
  int blocks = 0;
  for (int c = 0; c < std::clamp<int>(frame.ComponentCount, 0, 3); ++c) {
    const McuSampling s = ComponentSampling(frame, c);
    blocks += s.h * s.v;
  }
  return blocks;
}

}  // namespace vorn
