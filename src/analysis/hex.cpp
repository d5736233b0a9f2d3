#include "analysis/hex.h"

namespace vorn {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

std::string HexNoZeros(uint32_t value) {
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return out;
}

std::string Hex2(uint8_t value) { return {kDigits[value >> 4], kDigits[value & 0xF]}; }

std::string Hex8(int32_t value) {
  auto v = static_cast<uint32_t>(value);
  std::string out(8, '0');
  for (int i = 7; i >= 0; --i, v >>= 4) out[i] = kDigits[v & 0xF];
  return out;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace vorn
