// The rule for a value typed into the dump's two-character input field.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorn {

struct HexInput {
  bool accepted = false;
  uint8_t value = 0;
};

// Blanks and tabs are ignored wherever they stand; the value is that of the hex
// digits at the start of what remains, up to the first other character. A value of
// 0 is accepted only from the exact texts "0" and "00", so an empty field, "-", "G"
// or "0 " is an input error. A value that does not fit in a byte is an error too
// (the field holds two characters, so only a text set around it can carry more).
HexInput ParseHexInput(std::string_view text);

}  // namespace vorn
