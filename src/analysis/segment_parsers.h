// The parsers the marker analysis hands each supported segment to. Each receives
// the position p of the segment's FF byte, reads its fields by position, fills its
// record or store and its display fields, and reports findings as LOG lines or
// message boxes. Those that can end the analysis return their verdict.
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
// Reads the tables of one DHT segment from the table at q up to end (the first
// position after the segment), one slot each, building their canonical codes.
// p is the segment's marker position, for reports.
[[nodiscard]] ParseVerdict BuildHuffmanTable(AnalysisContext& ctx, int64_t q, int64_t end, int32_t p);
void ParseApp0Segment(AnalysisContext& ctx, int32_t p);
void ParseCommentSegment(AnalysisContext& ctx, int32_t p);
void ParseRestartInterval(AnalysisContext& ctx, int32_t p);

// An EOI at p: the entropy-coded data ends at the byte before it.
void SetScanDataEnd(AnalysisState& analysis, int32_t p);

}  // namespace vorn
