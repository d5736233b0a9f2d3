#include "dump/hex_input.h"

#include "analysis/hex.h"

namespace vorn {

HexInput ParseHexInput(std::string_view text) {
  uint32_t value = 0;
  for (char c : text) {
    if (c == ' ' || c == '\t') continue;
    const int digit = HexDigitValue(c);
    if (digit < 0) break;
    value = value * 16 + static_cast<uint32_t>(digit);
    if (value > 0xFF) return {};
  }
  if (value != 0) return {true, static_cast<uint8_t>(value)};
  if (text == "0" || text == "00") return {true, 0};
  return {};
}

}  // namespace vorn
