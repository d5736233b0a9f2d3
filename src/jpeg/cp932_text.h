// Text from bytes in code page 932 (Shift_JIS with the Windows extensions), the
// encoding of Japanese comments and identifiers written on the platform the files
// usually come from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorn {

// The bytes as UTF-8 text. A byte sequence that is no CP932 character becomes
// U+FFFD and conversion goes on with the next byte.
std::string Cp932ToUtf8(const uint8_t* bytes, size_t count);
inline std::string Cp932ToUtf8(const std::vector<uint8_t>& bytes) {
  return Cp932ToUtf8(bytes.data(), bytes.size());
}

}  // namespace vorn
