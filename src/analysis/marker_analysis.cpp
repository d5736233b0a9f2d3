#include "analysis/marker_analysis.h"

#include <algorithm>
#include <limits>

#include "analysis/hex.h"
#include "analysis/marker_codes.h"
#include "analysis/message_log.h"
#include "analysis/segment_parsers.h"
#include "analysis/table_pages.h"
#include "dump/dump_view.h"

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
bool ScanMarkers(AppState& s) {
  AnalysisState& a = s.analysis;
  const std::vector<uint8_t>& bytes = s.file.bytes;
  const int64_t last = static_cast<int64_t>(bytes.size()) - 2;
  for (int64_t i = std::max<int32_t>(a.AnalysisStart, 0); i <= last; ++i) {
    if (bytes[i] != kFill) continue;
    const uint8_t c = bytes[i + 1];
    // Stuffed zeros, fill bytes and restart markers are never listed; in a fill
    // run FF FF .. FF c the marker is found at the last FF.
    if (c == kStuffedZero || c == kFill || (c >= kRST0 && c <= kRST7)) continue;
    const int n = a.LogLineCount;
    const auto pos = static_cast<int32_t>(i);
    s.w.LOG.AddItem(Hex8(pos) + ":" + a.MarkerName[c] + "が見つかりました");
    a.LineAddress[n] = pos;
    a.MarkerTable[n] = {c, pos};
    ++a.MarkerCount[c];
    if (n >= kMarkerLimit - 1) {
      s.Message("マーカーが９９９個を超えました（中止）");
      return false;
    }
    ++a.LogLineCount;
    s.w.LOG.tag = kMarkerListTag;
  }
  return true;
}

// The count checks, in the order of kCountChecks. False when a check stops the analysis.
bool CheckCounts(AppState& s) {
  AnalysisState& a = s.analysis;
  for (const CountCheck& check : kCountChecks) {
    if (!check.fails(a.MarkerCount[check.code])) continue;
    s.Message(a.MarkerName[check.code] + check.fragment);
    if (check.verdict == Verdict::Stop) return false;
    if (check.code == kEOI && check.fails == Missing) a.ScanDataEnd = s.file.FileLength() - 1;
  }
  return true;
}

// The file itself must begin with SOI, wherever the scan began.
void CheckStart(AppState& s) {
  if (s.file.At(0) == kFill && s.file.At(1) == kSOI) return;
  AddLogLine(s.w.LOG, s.analysis, s.analysis.MarkerName[kSOI] + "のマーカーが最初にありません", 0);
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
void CheckLengths(AppState& s, int last) {
  AnalysisState& a = s.analysis;
  for (int j = 1; j <= last; ++j) {
    const MarkerEntry e = a.MarkerTable[j];
    if (e.code == kSOS) break;
    if (LengthLeadsToMarker(s.file, e.position)) continue;
    const int32_t lengthLow =
        static_cast<int32_t>(std::min<int64_t>(int64_t{e.position} + 3, std::numeric_limits<int32_t>::max()));
    AddLogLine(s.w.LOG, a, a.MarkerName[e.code] + "のパラメータ長が不正です", lengthLow);
  }
}

// Hands every supported segment to its parser. False when a parser stops the
// analysis.
bool Dispatch(AppState& s, int last) {
  AnalysisState& a = s.analysis;
  QuantStore& quant = s.rec.quant;
  HuffStore& huff = s.rec.huff;
  quant.QuantTableCount = 0;
  huff.HuffTableCount = 0;
  for (int j = 0; j <= last; ++j) {
    const MarkerEntry e = a.MarkerTable[j];
    switch (e.code) {
      case kSOF0:
      case kSOF2:
        if (ParseFrameHeader(s, e.position)) return false;
        break;
      case kDHT:
        if (huff.HuffTableCount < 4 && ParseHuffmanSegment(s, e.position)) return false;
        break;
      case kEOI:
        // With several EOI markers the last one wins.
        SetScanDataEnd(a, e.position);
        break;
      case kSOS:
        if (ParseScanHeader(s, e.position)) return false;
        break;
      case kDQT:
        if (quant.QuantTableCount < 2) ParseQuantSegment(s, e.position);
        break;
      case kDRI:
        ParseRestartInterval(s, e.position);
        break;
      case kAPP0:
        ParseApp0Segment(s, e.position);
        break;
      case kCOM:
        ParseCommentSegment(s, e.position);
        break;
      default:
        break;
    }
  }
  return true;
}

// The counters become page numbers and page 0 of each store is shown.
void Finish(AppState& s) {
  QuantStore& quant = s.rec.quant;
  HuffStore& huff = s.rec.huff;
  quant.QuantPageLast = static_cast<int16_t>(quant.QuantTableCount - 1);
  huff.HuffPageLast = static_cast<int16_t>(huff.HuffTableCount - 1);
  quant.QuantTableCount = 0;
  huff.HuffTableCount = 0;
  ShowQuantTable(quant, 0, s.w);
  ShowHuffmanTable(huff, 0, s.w);
  s.analysis.ImageInvalid = false;
  s.w.IMAGE.enabled = true;
}

}  // namespace

void SetScanDataEnd(AnalysisState& analysis, int32_t p) {
  analysis.ScanDataEnd = p - 1;
}

bool AnalyzeMarkers(AppState& s) {
  AnalysisState& a = s.analysis;
  s.w.IMAGE.enabled = false;
  s.dump.DumpPage = 0;
  s.dump.SelectedPage = 0;
  s.dump.SelectedCell = 0;
  ShowDump(s.file, 0, s.w);
  s.w.DMPI.SetText(s.w.DMP[0].text);

  a.MarkerCount.fill(0);
  ResetSegmentFields(s);
  a.LogLineCount = 0;
  s.w.LOG.tag.clear();
  s.w.LOG.Clear();

  if (!ScanMarkers(s)) return false;
  const int last = a.LogLineCount - 1;
  if (!CheckCounts(s)) return false;
  CheckStart(s);
  CheckLengths(s, last);
  if (!Dispatch(s, last)) return false;
  Finish(s);
  return true;
}

}  // namespace vorn
