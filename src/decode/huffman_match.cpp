#include "decode/huffman_match.h"

namespace vorn {

int MatchCode(const HuffCodeTable& table, int length, int32_t codeValue) {
  if (length < 1 || length > 16) return -1;
  const int n = length - 1;
  const int count = table.count[n];
  for (int k = 0; k < count && k < 256; ++k)
    if (table.code[n][k] == codeValue) return k;
  return -1;
}

}  // namespace vorn
