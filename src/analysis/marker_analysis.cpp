#include "analysis/marker_analysis.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "analysis/hex.h"
#include "analysis/message_log.h"
#include "analysis/segment_parsers.h"
#include "analysis/table_pages.h"
#include "jpeg/marker_codes.h"
#include "jpeg/segment_map.h"

namespace vorn {
namespace {

using namespace marker;

// The scan lists at most this many markers; the last one listed ends the analysis.
constexpr int kMarkerLimit = 1000;

enum class Verdict { Warn, Stop };

// One row of the count checks: the marker whose count is tested, the test, the
// fragment shown after its description, and whether the analysis goes on.
struct CountCheck {
  uint8_t code;
  bool (*fails)(int count);
  const char* fragment;
  Verdict verdict;
};

constexpr bool Missing(int count) {
  return count == 0;
}
constexpr bool Repeated(int count) {
  return count > 1;
}
constexpr bool ThreeOrMore(int count) {
  return count > 2;
}
constexpr bool FiveOrMore(int count) {
  return count > 4;
}

constexpr const char* kMissingWarn = "がありません（ワーニング）";
constexpr const char* kRepeatedWarn = "が複数あります（ワーニング）";
constexpr const char* kMissingStop = "がありません（中止）";

// In the order they are checked. Only SOF0 counts as a frame header.
constexpr CountCheck kCountChecks[] = {
    {kSOI, Missing, kMissingWarn, Verdict::Warn},
    {kSOI, Repeated, kRepeatedWarn, Verdict::Warn},
    {kAPP0, Missing, kMissingWarn, Verdict::Warn},
    {kAPP0, Repeated, kRepeatedWarn, Verdict::Warn},
    {kCOM, Repeated, kRepeatedWarn, Verdict::Warn},
    {kDRI, Repeated, kRepeatedWarn, Verdict::Warn},
    {kDQT, Missing, kMissingStop, Verdict::Stop},
    {kDQT, ThreeOrMore, "が３個以上あります（ワーニング）", Verdict::Warn},
    {kSOF0, Missing, kMissingStop, Verdict::Stop},
    {kSOF0, Repeated, kRepeatedWarn, Verdict::Warn},
    {kDHT, Missing, kMissingStop, Verdict::Stop},
    {kDHT, FiveOrMore, "が５個以上あります（ワーニング）", Verdict::Warn},
    {kSOS, Missing, kMissingStop, Verdict::Stop},
    {kSOS, Repeated, "が複数あります（中止）", Verdict::Stop},
    {kEOI, Missing, kMissingWarn, Verdict::Warn},
    {kEOI, Repeated, kRepeatedWarn, Verdict::Warn},
};

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
    ++a.MarkerCount[c];
    if (n >= kMarkerLimit - 1) {
      ctx.Message("マーカーが９９９個を超えました（中止）");
      a.LastStop.StopKind = AnalysisStop::Kind::MarkerLimit;
      return false;
    }
    ctx.form.LOG.tag = kMarkerListTag;
  }
  return true;
}

// The count checks, in the order of kCountChecks. False when a check stops the analysis.
bool CheckCounts(AnalysisContext& ctx) {
  AnalysisState& a = ctx.analysis;
  for (size_t i = 0; i < std::size(kCountChecks); ++i) {
    const CountCheck& check = kCountChecks[i];
    if (!check.fails(a.MarkerCount[check.code])) continue;
    ctx.Message(a.MarkerName[check.code] + check.fragment);
    if (check.verdict == Verdict::Stop) {
      a.LastStop = {AnalysisStop::Kind::CountCheck, static_cast<int16_t>(i), 0};
      return false;
    }
    if (check.code == kEOI && check.fails == Missing)
      a.ScanDataEnd = static_cast<int32_t>(ScanLimit(a, ctx.file) - 1);
  }
  return true;
}

// The bytes after the scan's end are not the main image's: one line says how many.
void NoteTrailingData(AnalysisContext& ctx) {
  const int64_t end = ScanLimit(ctx.analysis, ctx.file);
  if (end >= ctx.file.FileLength()) return;
  const std::string count = std::to_string(ctx.file.FileLength() - end);
  AddLogLine(ctx.form.LOG, ctx.analysis, "画像終了の後にデータがあります（" + count + "バイト）",
             static_cast<int32_t>(end));
}

// The file itself must begin with SOI, wherever the scan began.
void CheckStart(AnalysisContext& ctx) {
  if (ctx.file.At(0) == kFill && ctx.file.At(1) == kSOI) return;
  AddLogLine(ctx.form.LOG, ctx.analysis, ctx.analysis.MarkerName[kSOI] + "のマーカーが最初にありません", 0);
}

// Whether the length field of the segment at p leads exactly to the next marker.
bool LengthLeadsToMarker(const FileImage& file, int64_t p) {
  if (!file.Contains(p + 3)) return false;
  const int high = file.At(p + 2);
  // Such a length is not a length at all (it would be negative as a 16-bit value).
  if (high >= 0x80) return false;
  const int64_t next = p + high * 256 + file.At(p + 3) + 2;
  return next < file.FileLength() && file.At(next) == kFill;
}

// Every marker after the first up to (not including) the first SOS: the entropy-
// coded data after it has no lengths to check.
void CheckLengths(AnalysisContext& ctx, int last) {
  AnalysisState& a = ctx.analysis;
  for (int j = 1; j <= last; ++j) {
    const MarkerEntry e = a.MarkerTable[j];
    if (e.Code == kSOS) break;
    if (LengthLeadsToMarker(ctx.file, e.Position)) continue;
    const int32_t lengthLow =
        static_cast<int32_t>(std::min<int64_t>(int64_t{e.Position} + 3, std::numeric_limits<int32_t>::max()));
    AddLogLine(ctx.form.LOG, a, a.MarkerName[e.Code] + "のパラメータ長が不正です", lengthLow);
  }
}

// A parser stopped the analysis at marker entry e.
bool StoppedByParser(AnalysisState& a, const MarkerEntry e) {
  a.LastStop = {AnalysisStop::Kind::Parser, 0, e.Position};
  return false;
}

// Hands every supported segment to its parser. False when a parser stops the
// analysis.
bool Dispatch(AnalysisContext& ctx, int last) {
  AnalysisState& a = ctx.analysis;
  QuantStore& quant = ctx.rec.quant;
  HuffStore& huff = ctx.rec.huff;
  quant.QuantTableCount = 0;
  huff.HuffTableCount = 0;
  for (int j = 0; j <= last; ++j) {
    const MarkerEntry e = a.MarkerTable[j];
    switch (e.Code) {
      case kSOF0:
      case kSOF2:
        if (ParseFrameHeader(ctx, e.Position) == ParseVerdict::Stop) return StoppedByParser(a, e);
        break;
      case kDHT:
        if (huff.HuffTableCount < 4 && ParseHuffmanSegment(ctx, e.Position) == ParseVerdict::Stop)
          return StoppedByParser(a, e);
        break;
      case kEOI:
        // With several EOI markers the last one wins.
        SetScanDataEnd(a, e.Position);
        break;
      case kSOS:
        if (ParseScanHeader(ctx, e.Position) == ParseVerdict::Stop) return StoppedByParser(a, e);
        break;
      case kDQT:
        if (quant.QuantTableCount < 2) ParseQuantSegment(ctx, e.Position);
        break;
      case kDRI:
        ParseRestartInterval(ctx, e.Position);
        break;
      case kAPP0:
        ParseApp0Segment(ctx, e.Position);
        break;
      case kCOM:
        ParseCommentSegment(ctx, e.Position);
        break;
      default:
        break;
    }
  }
  return true;
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

bool CountCheckStops(int check, const std::array<int16_t, 256>& counts) {
  if (check < 0 || check >= static_cast<int>(std::size(kCountChecks))) return false;
  const CountCheck& c = kCountChecks[check];
  return c.verdict == Verdict::Stop && c.fails(counts[c.code]);
}

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
  const int last = a.MarkerTableCount - 1;
  NoteTrailingData(ctx);
  if (!CheckCounts(ctx)) return false;
  CheckStart(ctx);
  CheckLengths(ctx, last);
  if (!Dispatch(ctx, last)) return false;
  ctx.rec.FinishParse();
  ShowFirstTables(ctx);
  return true;
}

}  // namespace vorn
