#include "dump/hex_input.h"

namespace vorn {

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

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
