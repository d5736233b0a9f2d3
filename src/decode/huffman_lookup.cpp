#include "decode/huffman_lookup.h"

#include <algorithm>

#include "decode/bit_rules.h"

namespace vorn {

void HuffmanLookup::Build(const HuffCodeTable& table) {
  irregularCodes_.clear();
  for (int n = 0; n < 16; ++n) {
    // Only k below the count is meaningful, and never more than 256 codes.
    const int count = std::clamp(table.Count[n], 0, 256);
    count_[n] = count;
    first_[n] = count > 0 ? table.Code[n][0] : 0;
    bool contiguous = true;
    for (int k = 0; k < count; ++k) {
      contiguous =
          contiguous && static_cast<int64_t>(table.Code[n][k]) == static_cast<int64_t>(first_[n]) + k;
      run_[n][k] = table.Run[n][k];
      size_[n][k] = table.Size[n][k];
    }
    contiguous_[n] = contiguous;
    irregular_[n] = static_cast<int32_t>(irregularCodes_.size());
    if (!contiguous)
      irregularCodes_.insert(irregularCodes_.end(), table.Code[n].begin(), table.Code[n].begin() + count);
  }
  // Longest first and, within a length, last code first, so that what is left in
  // an entry is the shortest length and the first code of it: the code at which
  // the bit-by-bit search stops.
  fast_.fill(0);
  for (int length = kPeekBits; length >= 1; --length) {
    const int n = length - 1;
    for (int k = count_[n] - 1; k >= 0; --k) {
      const int32_t code = table.Code[n][k];
      if (code < 0 || code >= (1 << length)) continue;  // over-full: never matches
      const uint32_t entry = static_cast<uint32_t>(length) | static_cast<uint32_t>(run_[n][k]) << 8 |
                             static_cast<uint32_t>(size_[n][k]) << 16 | static_cast<uint32_t>(k) << 24;
      const int shift = kPeekBits - length;
      std::fill(fast_.begin() + (code << shift), fast_.begin() + ((code + 1) << shift), entry);
    }
  }
}

void HuffmanLookup::BuildValues(bool ac) {
  constexpr int kSpare = 16 - kValueBits;
  for (uint32_t prefix = 0; prefix < values_.size(); ++prefix) {
    values_[prefix] = 0;
    // The code word the search stops at, when its bits all lie in the prefix.
    const Code c = Peek(prefix << kSpare);
    if (c.length == 0 || c.length + c.size > kValueBits) continue;
    if (ac && c.run == 0 && c.size == 0) {
      values_[prefix] = kEndOfBlock | c.length;
      continue;
    }
    if (ac ? c.size == 0 : c.run != 0) continue;
    const uint32_t bits = (prefix >> (kValueBits - c.length - c.size)) & ((1u << c.size) - 1);
    values_[prefix] = (c.length + c.size) | c.run << 8 |
                      static_cast<int32_t>(static_cast<uint32_t>(ExtendSign(bits, c.size)) << 16);
  }
}

int HuffmanLookup::Find(int length, int32_t codeValue) const {
  if (length < 1 || length > 16) return -1;
  const int n = length - 1;
  if (contiguous_[n]) {
    const int64_t k = static_cast<int64_t>(codeValue) - first_[n];
    return k >= 0 && k < count_[n] ? static_cast<int>(k) : -1;
  }
  const int32_t* codes = irregularCodes_.data() + irregular_[n];
  for (int k = 0; k < count_[n]; ++k)
    if (codes[k] == codeValue) return k;
  return -1;
}

HuffmanLookup::Code HuffmanLookup::PeekLong(uint32_t window) const {
  for (int length = kPeekBits + 1; length <= 16; ++length) {
    const int k = Find(length, static_cast<int32_t>((window & 0xFFFF) >> (16 - length)));
    if (k >= 0) return Code{length, k, run_[length - 1][k], size_[length - 1][k]};
  }
  return Code{};
}

}  // namespace vorn
