// The zig-zag order in which a block's 64 coefficients (and a quantization table's
// values) are stored in the file.
#pragma once

#include <array>
#include <cstdint>

namespace vorn {

// Natural position k = v*8 + u -> zig-zag position.
inline constexpr std::array<uint8_t, 64> kZigZag = {
    0,  1,  5,  6,  14, 15, 27, 28,  //
    2,  4,  7,  13, 16, 26, 29, 42,  //
    3,  8,  12, 17, 25, 30, 41, 43,  //
    9,  11, 18, 24, 31, 40, 44, 53,  //
    10, 19, 23, 32, 39, 45, 52, 54,  //
    20, 22, 33, 38, 46, 51, 55, 60,  //
    21, 34, 37, 47, 50, 56, 59, 61,  //
    35, 36, 48, 49, 57, 58, 62, 63,
};

// Zig-zag position -> natural position (the inverse of kZigZag).
inline constexpr std::array<uint8_t, 64> kNaturalOrder = [] {
  std::array<uint8_t, 64> natural{};
  for (int k = 0; k < 64; ++k) natural[kZigZag[k]] = static_cast<uint8_t>(k);
  return natural;
}();

}  // namespace vorn
