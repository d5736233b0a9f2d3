#include "dump/segment_list.h"

#include <limits>

#include "analysis/hex.h"
#include "analysis/marker_analysis.h"
#include "analysis/message_log.h"
#include "decode/render.h"
#include "dump/correction_preview.h"
#include "dump/dump_view.h"
#include "dump/editing.h"

namespace vorn {

namespace {

// The single-bit search lists at most eight candidates; its ninth table entry is
// only a sentinel and never has a line.
constexpr int kListedCandidates = 8;

bool IsListedLine(const AppState& s, int index) {
  return index >= 0 && index < s.w.LOG.Count() && index < kMaxLogLines;
}

// The candidate behind line `index` of a candidate list, when it still names a bit
// of the file image.
const BitCandidateEntry* CandidateOfLine(const AppState& s, int index) {
  if (index < 0 || index >= kListedCandidates) return nullptr;
  const BitCandidateEntry& c = s.inspect.BitCandidate[static_cast<size_t>(index)];
  if (!s.file.Contains(c.Position) || c.BitIndex < 0 || c.BitIndex > 7) return nullptr;
  return &c;
}

// Sets the candidate's bit, with an undo record, and redraws without a new analysis.
// The jump selects the byte's cell; PushUndo disables REDO.
void ApplyCorrection(AppState& s, const BitCandidateEntry& c) {
  const int32_t position = c.Position;
  JumpToPosition(s.file, s.dump, s.w, position);
  uint8_t& byte = s.file.bytes[static_cast<size_t>(position)];
  PushUndo(s.dump, s.w, position, byte, s.file.FileLength());
  byte |= static_cast<uint8_t>(0x80u >> c.BitIndex);
  window::Label& cell = s.w.DMP[s.dump.SelectedCell];
  cell.text = Hex2(byte);
  s.w.DMPI.SetText(cell.text);
  ClearDecodeFields(s.w);
  s.dump.RedoStack.Clear();
  RenderImage(s);
}

}  // namespace

void LOG_Click(AppState& s, int index) {
  if (!IsListedLine(s, index)) return;
  JumpToPosition(s.file, s.dump, s.w, s.analysis.LineAddress[static_cast<size_t>(index)]);
  if (s.w.LOG.tag != kCandidateListTag) return;
  if (const BitCandidateEntry* c = CandidateOfLine(s, index)) PreviewCorrection(s, c->Position, c->BitIndex);
}

void LOG_DblClick(AppState& s, int index) {
  if (!IsListedLine(s, index)) return;
  if (s.w.LOG.tag == kMarkerListTag) {
    // The click before the double click selected the line's position. A line whose
    // position could not be shown (negative) must not restart at a stale selection.
    const int64_t selected = CellPosition(s.dump.DumpPage, s.dump.SelectedCell);
    const bool shown = s.analysis.LineAddress[static_cast<size_t>(index)] >= 0 &&
                       selected <= std::numeric_limits<int32_t>::max();
    ChangeAnalysisStart(s, shown ? static_cast<int32_t>(selected) : -1);
  } else if (s.w.LOG.tag == kCandidateListTag) {
    if (const BitCandidateEntry* c = CandidateOfLine(s, index)) ApplyCorrection(s, *c);
  }
}

StartChange ChangeAnalysisStart(AppState& s, int32_t p, bool render) {
  if (s.Message("解析開始位置を変更しますか", window::Buttons::YesNo) != window::Answer::Yes)
    return StartChange::Declined;
  if (p < 0 || int64_t{p} >= int64_t{s.file.FileLength()} - 1 || s.file.At(p) != 0xFF) {
    s.Message("マーカー（FFデータ）位置を指定してください");
    return StartChange::NotAMarker;
  }
  s.analysis.AnalysisStart = p;
  s.w.STANA.text = HexNoZeros(static_cast<uint32_t>(p));
  if (!AnalyzeMarkers(s)) return StartChange::Stopped;
  if (render) RenderImage(s);
  return StartChange::Completed;
}

}  // namespace vorn
