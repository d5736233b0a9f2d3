// The length field every parsed segment starts with, and the reports the parsers
// share.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/analysis_context.h"
#include "analysis/segment_reader.h"

namespace vorn {

// Appended to a marker's description when its length field cannot be used: a high
// byte of 80 hexadecimal or more, or a segment cut short by the end of the file.
inline constexpr const char* kBadLength = "の長さが不正です";

struct SegmentLength {
  enum class State { Usable, Implausible, CutShort };
  State state = State::Usable;
  int length = 0;  // 0 .. 7FFF when usable
  bool Usable() const { return state == State::Usable; }
};

// Reads the big-endian length at p+2, p+3 of the segment whose marker code is code.
// A length whose high byte is 80 hexadecimal or more, or that lies past the end of
// the file, is reported (a LOG line at p+2) rather than read.
SegmentLength ReadSegmentLength(AnalysisContext& ctx, SegmentReader& r, uint8_t code, int32_t p);

// The LOG line for a segment of marker code at p that runs past the end of the file.
void ReportCutShort(AnalysisContext& ctx, uint8_t code, int32_t p);

// Shows the message box MarkerName[code] + fragment and stops the analysis, so a
// parser can write `return Refuse(...)`.
ParseVerdict Refuse(AnalysisContext& ctx, uint8_t code, const std::string& fragment);

}  // namespace vorn
