// The length field every parsed segment starts with, and the findings the parsers
// share.
#pragma once

#include <cstdint>

#include "jpeg/segment_parsers.h"
#include "jpeg/segment_reader.h"

namespace vorn {

struct SegmentLength {
  enum class State { Usable, Implausible, CutShort };
  State state = State::Usable;
  int length = 0;  // 0 .. 7FFF when usable
  bool Usable() const { return state == State::Usable; }
};

// Reads the big-endian length at p+2, p+3 of the segment whose marker code is code.
// A length whose high byte is 80 hexadecimal or more, or that lies past the end of
// the file, is reported (a BadLength finding at p+2) rather than read.
SegmentLength ReadSegmentLength(ParseContext& ctx, SegmentReader& r, uint8_t code, int32_t p);

// The finding for a segment of marker code at p that runs past the end of the file.
void ReportCutShort(ParseContext& ctx, uint8_t code, int32_t p);

// Notes a finding about marker code at pos.
void Note(ParseContext& ctx, FindingKind kind, uint8_t code, int64_t pos);

// Notes a refusal of the segment of marker code, which stops the analysis, so a
// parser can write `return Refuse(...)`.
SegmentRead Refuse(ParseContext& ctx, FindingKind kind, uint8_t code, int32_t p);

}  // namespace vorn
