// State of the bit-level tools: the chosen MCU, where traced MCUs ended, and the
// candidates of the single-bit search.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

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

// A repair the verified search found, as its line in LOG stands for it: at Position,
// Removed bytes of the file give way to Inserted bytes of Value (a changed bit or
// byte is one byte replaced).
struct RepairCandidateEntry {
  int32_t Position = 0;
  uint8_t Removed = 1;   // 0..2
  uint8_t Inserted = 1;  // 0..1
  uint8_t Value = 0;
  bool operator==(const RepairCandidateEntry&) const = default;
};

struct InspectState {
  McuPointerState McuPointer;
  std::array<int32_t, 3> McuEnd{};
  std::array<BitCandidateEntry, 9> BitCandidate{};
  std::vector<RepairCandidateEntry> RepairCandidate;  // line i of a repair list is entry i
};

}  // namespace vorn
