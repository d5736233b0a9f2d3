// A pixel as the decoder and the window store it: 0x00RRGGBB.
#pragma once

#include <cstdint>

namespace vorn::testing {

constexpr uint32_t Rgb(int r, int g, int b) {
  return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}

}  // namespace vorn::testing
