#include "analysis/marker_analysis.h"

#include <algorithm>
#include <optional>
#include <span>

#include "analysis/finding_texts.h"
#include "analysis/hex.h"
#include "analysis/message_log.h"
#include "analysis/segment_parsers.h"
#include "analysis/table_pages.h"
#include "jpeg/marker_codes.h"
#include "jpeg/segment_checks.h"
#include "jpeg/segment_map.h"

namespace vorn {
namespace {

using namespace marker;

// Runs one check of the jpeg layer and shows what it found.
template <typename Check>
Findings Checked(AnalysisContext& ctx, Check check) {
  Findings found;
  check(found);
  ShowFindings(ctx, found);
  return found;
}

// Lists every marker from AnalysisStart on. False when the marker limit was
// reached (the analysis stops).
bool ScanMarkers(AnalysisContext& ctx) {
  AnalysisState& a = ctx.analysis;
  std::vector<Segment>& markers = ctx.rec.Segments;
  markers = ListMarkers(ctx.file.bytes, a.AnalysisStart, ScanLimit(a, ctx.file), kMarkerLimit);
  for (const Segment& marker : markers) {
    const int n = a.LogLineCount;
    const int32_t pos = marker.Offset;
    const uint8_t c = marker.Marker;
    AddLogLine(ctx.form.LOG, a, Hex8(pos) + ":" + a.MarkerName[c] + "が見つかりました", pos);
    a.MarkerTable[n] = {c, pos};
    a.MarkerTableCount = static_cast<int16_t>(n + 1);
    ctx.form.LOG.tag = kMarkerListTag;
  }
  a.MarkerCount = CountMarkers(markers);
  bool limited = false;
  Checked(ctx, [&](Findings& found) { limited = CheckMarkerLimit(markers, found); });
  if (limited) a.LastStop.StopKind = AnalysisStop::Kind::MarkerLimit;
  return !limited;
}

// The count checks. False when a check stops the analysis.
bool CheckCounts(AnalysisContext& ctx) {
  AnalysisState& a = ctx.analysis;
  std::optional<int> stop;
  const Findings found = Checked(ctx, [&](Findings& f) { stop = CheckMarkerCounts(a.MarkerCount, f); });
  if (stop) {
    a.LastStop = {AnalysisStop::Kind::CountCheck, static_cast<int16_t>(*stop), 0};
    return false;
  }
  // Without an EOI the entropy-coded data runs to the end of the scanned part.
  if (std::ranges::find(found, Finding{FindingKind::CountMissing, kEOI, 0}) != found.end())
    a.ScanDataEnd = static_cast<int32_t>(ScanLimit(a, ctx.file) - 1);
  return true;
}

// Hands every supported segment to its parser, showing what each found and read.
// False when a parser stops the analysis.
bool Dispatch(AnalysisContext& ctx) {
  AnalysisState& a = ctx.analysis;
  Findings found;
  size_t shown = 0;
  ParseContext parse{ctx.file.bytes, ctx.rec, found};
  const SegmentsParsed parsed =
      ParseSegments(parse, ctx.rec.Segments, [&](const Segment& segment, const SegmentRead& read) {
        ShowFindings(ctx, std::span<const Finding>(found).subspan(shown));
        shown = found.size();
        ShowSegmentRead(ctx, segment, read);
      });
  if (parsed.lastEoi) SetScanDataEnd(a, *parsed.lastEoi);
  if (!parsed.stoppedAt) return true;
  a.LastStop = {AnalysisStop::Kind::Parser, 0, *parsed.stoppedAt};
  return false;
}

// The counters become page numbers and page 0 of each store is shown.
void ShowFirstTables(AnalysisContext& ctx) {
  QuantStore& quant = ctx.rec.quant;
  HuffStore& huff = ctx.rec.huff;
  quant.QuantPageLast = static_cast<int16_t>(quant.QuantTableCount - 1);
  huff.HuffPageLast = static_cast<int16_t>(huff.HuffTableCount - 1);
  quant.QuantTableCount = 0;
  huff.HuffTableCount = 0;
  ShowQuantTable(quant, 0, ctx.form);
  ShowHuffmanTable(huff, 0, ctx.form);
}

}  // namespace

int64_t ScanLimit(const AnalysisState& analysis, const FileImage& file) {
  const int64_t length = file.FileLength();
  return analysis.AnalysisEnd >= 0 ? std::min<int64_t>(analysis.AnalysisEnd, length) : length;
}

void SetScanDataEnd(AnalysisState& analysis, int32_t p) {
  analysis.ScanDataEnd = p - 1;
}

bool AnalyzeSegments(AnalysisContext& ctx) {
  AnalysisState& a = ctx.analysis;
  a.MarkerCount.fill(0);
  a.MarkerTableCount = 0;
  a.LastStop = AnalysisStop{};
  ctx.rec.StartParse();
  MapFile(ctx.file.bytes, ctx.rec);
  ResetSegmentFields(ctx.form);
  ctx.form.LOG.tag.clear();
  ClearLog(ctx.form.LOG, a);

  if (!ScanMarkers(ctx)) return false;
  Checked(ctx,
          [&](Findings& found) { CheckTrailingData(ScanLimit(a, ctx.file), ctx.file.FileLength(), found); });
  if (!CheckCounts(ctx)) return false;
  Checked(ctx, [&](Findings& found) {
    CheckStartsWithSoi(ctx.file.bytes, found);
    CheckSegmentLengths(ctx.file.bytes, ctx.rec.Segments, found);
  });
  if (!Dispatch(ctx)) return false;
  ctx.rec.FinishParse();
  ShowFirstTables(ctx);
  return true;
}

}  // namespace vorn
