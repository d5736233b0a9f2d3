// Text forms of numbers used across the window: upper-case hexadecimal only.
#pragma once

#include <cstdint>
#include <string>

namespace vorn {

// Upper-case hexadecimal without leading zeros ("0", "1A2B").
std::string HexNoZeros(uint32_t value);
// Exactly two upper-case digits of a byte ("0A", "FF").
std::string Hex2(uint8_t value);
// Exactly eight upper-case digits; a negative value shows its 32-bit two's complement.
std::string Hex8(int32_t value);

// The value of one hexadecimal digit (0-9, A-F, a-f), or -1 for any other character.
int HexDigitValue(char c);

}  // namespace vorn
