#include "analysis/bit_string.h"

namespace vorn {

std::string BitString16(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  std::string text(16, '0');
  for (int i = 0; i < 16; ++i) {
    if (bits & (1u << i)) text[15 - i] = '1';
  }
  return text;
}

}  // namespace vorn
