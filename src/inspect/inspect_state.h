// State of the bit-level tools: the chosen MCU, where traced MCUs ended, and the
// candidates of the single-bit search.
#pragma once

#include <array>
#include <cstdint>

namespace vorn {

struct McuPointerState {
  int32_t BytePos = 0;   // byte that holds the chosen MCU's first bit
  int32_t BitIndex = 0;  // 0 = most significant
  int32_t Column = 0;
  int32_t Row = 0;
};

struct BitCandidateEntry {
  int32_t Score = 512;
  int32_t Position = 0;
  int32_t BitIndex = 0;
  int32_t Reach = 0;
};

struct InspectState {
  McuPointerState McuPointer;
  std::array<int32_t, 3> McuEnd{};
  std::array<BitCandidateEntry, 9> BitCandidate{};
};

}  // namespace vorn
