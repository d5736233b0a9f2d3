// The rules of the entropy-coded data that the decoder and the tracer both apply,
// each written once.
#pragma once

#include <cstdint>

namespace vorn {

// The value of `size` extra bits (ISO/IEC 10918-1 F.2.2.1): bits itself when its top
// bit is set, else bits - 2^size + 1; 0 for size 0. Without a branch on the sign:
// in the decoder's inner loop the sign is a coin toss.
inline int32_t ExtendSign(uint32_t bits, int size) {
  if (size == 0) return 0;
  const int32_t top = static_cast<int32_t>(bits >> (size - 1));  // 0 or 1
  return static_cast<int32_t>(bits) + ((top - 1) & (1 - (1 << size)));
}

// DC values and predictors are 16-bit: a sum outside is a decoding failure.
constexpr bool FitsInt16(int32_t v) {
  return v >= -32768 && v <= 32767;
}

// A DHT segment gives 4-bit sizes. A larger one (only a hand-made table can hold
// one) would collect more extra bits than a 32-bit value keeps: a failure.
inline constexpr int kLargestSize = 15;

}  // namespace vorn
