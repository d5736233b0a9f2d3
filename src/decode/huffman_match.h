// Matching collected code bits against a stored Huffman table.
#pragma once

#include <cstdint>

#include "analysis/records.h"

namespace vorn {

// The first code k (stored order) of length `length` (1..16) equal to codeValue,
// or -1 when none matches. A linear search of the table as stored; where many code
// words are matched, build a HuffmanLookup (decode/huffman_lookup.h) once and use
// its Find and Peek, which give the same answers in constant time.
int MatchCode(const HuffCodeTable& table, int length, int32_t codeValue);

}  // namespace vorn
