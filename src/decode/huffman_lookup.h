// A Huffman table prepared for fast decoding.
//
// Decoding means: append bits one at a time and, after each, compare the bits
// collected so far with the stored codes of that length in stored order; the first
// equal code wins. HuffmanLookup answers the same question without the search:
//  - Find(length, value) is that comparison for one length, in constant time for
//    the contiguous code ranges that canonical code assignment produces, by
//    linear search otherwise;
//  - Peek(window) takes the next 16 bits at once and returns the code word the
//    bit-by-bit search would stop at (shortest length first, then stored order),
//    through a 512-entry table for codes of up to 9 bits.
// Any HuffCodeTable works, including over-full tables whose codes no longer fit
// their length (such codes never match), empty tables and tables with repeated
// codes. Build takes about a microsecond; rebuild whenever the table may have
// changed. The tracer builds its own per trace.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "jpeg/records.h"

namespace vorn {

class HuffmanLookup {
 public:
  static constexpr int kPeekBits = 9;

  // A code word found by Peek: length 0 when no code of 1..16 bits matches.
  struct Code {
    int length = 0;
    int k = 0;  // index among the codes of that length
    int run = 0;
    int size = 0;
  };

  void Build(const HuffCodeTable& table);

  // The first code k of `length` (1..16) bits equal to codeValue, or -1.
  int Find(int length, int32_t codeValue) const;
  int Run(int length, int k) const { return run_[length - 1][k]; }
  int Size(int length, int k) const { return size_[length - 1][k]; }

  // window holds the next 16 bits, the first in bit 15. Bits past the end of the
  // data may be anything: the caller must check that `length` bits were there.
  Code Peek(uint32_t window) const {
    const uint32_t e = fast_[window >> (16 - kPeekBits)];
    return e != 0 ? Unpack(e) : PeekLong(window);
  }

  // The packed form behind Peek, for the decoder's inner loop: the entry of the
  // first kPeekBits bits, length | run << 8 | size << 16 | k << 24, or 0 when the
  // code word is longer (then PeekLong).
  uint32_t ShortEntry(uint32_t firstBits) const { return fast_[firstBits]; }
  static Code Unpack(uint32_t e) {
    return Code{static_cast<int>(e & 0xFF), static_cast<int>(e >> 24), static_cast<int>((e >> 8) & 0xFF),
                static_cast<int>((e >> 16) & 0xFF)};
  }
  Code PeekLong(uint32_t window) const;

  // For the decoder's inner loop, per kValueBits-bit prefix that holds a whole code
  // word and all its extra bits: the bits to take (length + size) | run << 8 |
  // value << 16 (the extra bits' value, sign extended, in the top 16 bits), or
  // kEndOfBlock | length for an AC end of block; 0 otherwise (a longer code word or
  // value, an AC code word of size 0 other than the end of block, a DC code word
  // with a run). Built by BuildValues (after Build), for one class.
  static constexpr int kValueBits = 11;
  static constexpr int32_t kEndOfBlock = 1 << 15;
  void BuildValues(bool ac);
  int32_t ValueEntry(uint32_t firstBits) const { return values_[firstBits]; }

 private:
  // Entry per 9-bit prefix: length | run << 8 | size << 16 | k << 24; 0 = no code of
  // up to 9 bits is a prefix of it.
  std::array<uint32_t, 1 << kPeekBits> fast_{};
  std::array<int32_t, 1 << kValueBits> values_{};
  std::array<int32_t, 16> count_{};
  std::array<int32_t, 16> first_{};      // code of k = 0 when the length is contiguous
  std::array<bool, 16> contiguous_{};    // code[k] == code[0] + k for every k
  std::array<int32_t, 16> irregular_{};  // offset into irregularCodes_ otherwise
  std::vector<int32_t> irregularCodes_;
  std::array<std::array<uint8_t, 256>, 16> run_{};
  std::array<std::array<uint8_t, 256>, 16> size_{};
};

}  // namespace vorn
