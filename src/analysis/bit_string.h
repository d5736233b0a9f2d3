// Binary text of code words.
#pragma once

#include <cstdint>
#include <string>

namespace vorn {

// The low 16 bits of value as exactly 16 characters "0"/"1", most significant
// first; higher bits are ignored. The right-most n characters show an n-bit code.
std::string BitString16(int32_t value);

}  // namespace vorn
