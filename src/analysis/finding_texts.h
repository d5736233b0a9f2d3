// The window's words for the parsers' findings: a LOG line at the finding's position,
// or, for a refusal that stops the analysis, a message box.
#pragma once

#include <span>

#include "analysis/analysis_context.h"
#include "jpeg/findings.h"

namespace vorn {

// Appended to a marker's description when its length field cannot be used: a high
// byte of 80 hexadecimal or more, or a segment cut short by the end of the file.
inline constexpr const char* kBadLength = "の長さが不正です";

// Shows every finding, in order.
void ShowFindings(AnalysisContext& ctx, std::span<const Finding> findings);

// Runs one segment parser of the jpeg layer on the file and shows what it found.
SegmentRead RunParser(AnalysisContext& ctx, SegmentRead (*parser)(ParseContext&, int32_t), int32_t p);

}  // namespace vorn
