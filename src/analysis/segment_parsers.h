// The analysis of each supported segment: its parser (jpeg/segment_parsers.h) fills
// the document, its findings become LOG lines or message boxes, and what it read is
// shown in the segment's fields. Those that can end the analysis return the verdict.
#pragma once

#include <cstdint>

#include "analysis/analysis_context.h"

namespace vorn {

// SOF0 and SOF2.
[[nodiscard]] ParseVerdict ParseFrameHeader(AnalysisContext& ctx, int32_t p);
// SOS; sets ScanDataStart.
[[nodiscard]] ParseVerdict ParseScanHeader(AnalysisContext& ctx, int32_t p);
// DQT: fills quantization slots from QuantTableCount on; never stops.
void ParseQuantSegment(AnalysisContext& ctx, int32_t p);
// DHT: fills Huffman slots from HuffTableCount on.
[[nodiscard]] ParseVerdict ParseHuffmanSegment(AnalysisContext& ctx, int32_t p);
void ParseApp0Segment(AnalysisContext& ctx, int32_t p);
void ParseCommentSegment(AnalysisContext& ctx, int32_t p);
void ParseRestartInterval(AnalysisContext& ctx, int32_t p);

// What the window shows of one segment once its parser has read it (the findings
// apart): the fields of a frame or scan header, APP0, COM or DRI read whole.
void ShowSegmentRead(AnalysisContext& ctx, const Segment& segment, const SegmentRead& read);

// An EOI at p: the entropy-coded data ends at the byte before it.
void SetScanDataEnd(AnalysisState& analysis, int32_t p);

}  // namespace vorn
