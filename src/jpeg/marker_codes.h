// Second bytes of the markers the analysis treats specially.
#pragma once

#include <cstdint>

namespace vorn::marker {

inline constexpr uint8_t kStuffedZero = 0x00;
inline constexpr uint8_t kSOF0 = 0xC0;
inline constexpr uint8_t kSOF2 = 0xC2;
inline constexpr uint8_t kDHT = 0xC4;
inline constexpr uint8_t kRST0 = 0xD0;
inline constexpr uint8_t kRST7 = 0xD7;
inline constexpr uint8_t kSOI = 0xD8;
inline constexpr uint8_t kEOI = 0xD9;
inline constexpr uint8_t kSOS = 0xDA;
inline constexpr uint8_t kDQT = 0xDB;
inline constexpr uint8_t kDRI = 0xDD;
inline constexpr uint8_t kAPP0 = 0xE0;
inline constexpr uint8_t kCOM = 0xFE;
inline constexpr uint8_t kFill = 0xFF;

// RST0 .. RST7: the only markers the entropy-coded data may hold.
constexpr bool IsRestartMarker(uint8_t code) {
  return code >= kRST0 && code <= kRST7;
}

// SOF0 .. SOF15: a frame header of some coding process (C4, C8 and CC are DHT, JPG
// and DAC).
constexpr bool IsFrameMarker(uint8_t code) {
  return code >= kSOF0 && code <= 0xCF && code != kDHT && code != 0xC8 && code != 0xCC;
}

}  // namespace vorn::marker
