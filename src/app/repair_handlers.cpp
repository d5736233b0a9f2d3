#include "app/repair_handlers.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "analysis/message_log.h"
#include "app/dump_handlers.h"
#include "app/inspect_handlers.h"
#include "app/repair_commands.h"
#include "app/salvage_handlers.h"
#include "app/trace_scan.h"
#include "app/wiring.h"
#include "inspect/correction_preview.h"
#include "inspect/mcu_pointer.h"

namespace vorn {

namespace {

bool Fits(const FileImage& file, const RepairCandidateEntry& repair) {
  return repair.Removed <= 2 && repair.Inserted <= 1 && repair.Position >= 0 &&
         int64_t{repair.Position} + repair.Removed <= file.FileLength() &&
         repair.Removed + repair.Inserted > 0;
}

constexpr const char* kNoDamage = "破損は見つかりませんでした";
constexpr const char* kUndecodable = "このスキャンデータは解読できないため修復できません";
constexpr const char* kSearching = "修復候補を検索しています…";
constexpr const char* kNothingVerified = "検証できる修復候補は見つかりませんでした";
constexpr const char* kTimedOutEmpty = "制限時間内に検証できる修復候補は見つかりませんでした";

const char* KindText(EditKind kind) {
  switch (kind) {
    case EditKind::SetBit:
      return "ビット 0→1";
    case EditKind::ClearBit:
      return "ビット 1→0";
    case EditKind::Replace:
      return "バイト置換";
    case EditKind::Remove:
      return "バイト削除";
    case EditKind::Insert:
      return "バイト挿入";
    case EditKind::RestoreStuffing:
      return "FFの後の00を補う";
    case EditKind::RemoveMarker:
      return "マーカー削除";
    case EditKind::None:
      break;
  }
  return "";
}

// The located damage of the analysed file, with the model and pass it was found on.
struct Located {
  std::unique_ptr<ScanModel> model;
  ScanPass pass;
  DamageReport report;
};

// Null model (after the message) when the scan cannot be decoded at all.
Located Locate(window::Dialogs& dialogs, const FileImage& file, const JpegDocument& doc) {
  Located out;
  std::string problem;
  out.model = ScanModelOf(doc, problem);
  if (!out.model) {
    dialogs.MessageBox(kUndecodable, window::Buttons::Ok);
    return out;
  }
  out.report = LocateDamage(*out.model, file.bytes, out.pass);
  return out;
}

}  // namespace

void LOCATE_Click(AppState& app) {
  const Located located = Locate(app.dialogs, app.file, app.rec);
  if (!located.model) return;
  if (located.report.health == ScanHealth::Clean) {
    app.Message(kNoDamage);
    return;
  }
  PressMcuAt(app, located.report.column, located.report.row);
}

void REPAIR_Click(AppState& app) {
  const Located located = Locate(app.dialogs, app.file, app.rec);
  if (!located.model) return;
  if (located.report.health == ScanHealth::Clean) {
    app.Message(kNoDamage);
    return;
  }
  std::atomic<bool> cancel{false};
  std::optional<ScanEdit> choice;
  SearchResult search;
  {
    const std::unique_ptr<window::ProgressBox> box = app.dialogs.OpenProgress(kSearching);
    SearchControl control;
    control.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    control.cancel = &cancel;
    // The same time limit as vorn-cli repair by default: the search then lists what
    // the windows it finished verified.
    control.deadline = Deadline::After(DefaultTimeLimit(app.file.FileLength()), false);
    control.progress = [&](double fraction) {
      box->Advance(fraction);
      if (box->Cancelled()) cancel = true;
    };
    search = SearchRepairs(*located.model, app.file.bytes, located.pass, located.report, control, &choice);
    if (box->Cancelled()) cancel = true;
  }
  if (search.cancelled || cancel) return;  // cancelled: nothing changes
  if (search.verified.empty()) {
    app.Message(search.timedOut ? kTimedOutEmpty : kNothingVerified);
    return;
  }
  ListRepairCandidates(app.form, app.analysis, app.inspect, RepairLines(search, choice));
}

std::vector<RepairLine> RepairLines(const SearchResult& search, const std::optional<ScanEdit>& choice) {
  // The repair that repair would apply comes first, wherever the fit ranks it; then
  // the others, best first.
  std::vector<const VerifiedEdit*> order;
  for (const VerifiedEdit& v : search.verified)
    if (choice && *choice == v.edit)
      order.insert(order.begin(), &v);
    else
      order.push_back(&v);
  std::vector<RepairLine> lines;
  for (const VerifiedEdit* v : order) {
    if (lines.size() >= kListedRepairs) break;
    const ScanEdit& e = v->edit;
    std::string text = EditNotation(e) + " " + KindText(e.kind) + " 不整合度 " + std::to_string(v->rated.fit);
    if (choice && *choice == e) text += " 推奨";
    lines.push_back({RepairCandidateEntry{e.position, e.removed, e.inserted, e.value}, std::move(text)});
  }
  return lines;
}

bool PressMcuAt(AppState& app, int32_t column, int32_t row) {
  const McuGeometry& g = app.decode.Geometry;
  if (app.ImageInvalid || !g.Valid() || !app.decode.McuStarts.Contains(column, row) ||
      column >= g.McusPerRow || row >= g.McuRows)
    return false;
  PressMcuCell(app, g, column, row);
  const McuPointerState& pointer = app.inspect.McuPointer;
  return app.form.BITCHK.enabled && pointer.Column == column && pointer.Row == row;
}

void ListRepairCandidates(window::WindowModel& form, AnalysisState& analysis, InspectState& inspect,
                          const std::vector<RepairLine>& lines) {
  form.LOG.tag = kRepairListTag;
  ClearLog(form.LOG, analysis);
  inspect.RepairCandidate.clear();
  for (const RepairLine& line : lines) {
    if (!AddLogLine(form.LOG, analysis, line.text, line.entry.Position)) break;
    inspect.RepairCandidate.push_back(line.entry);
  }
}

void PreviewRepair(AppState& app, const RepairCandidateEntry& repair) {
  const McuGeometry& g = app.decode.Geometry;
  if (!g.Valid() || g.McuWidth > kMaxPreviewMcuSide || g.McuHeight > kMaxPreviewMcuSide ||
      !Fits(app.file, repair))
    return;
  int32_t column = 0, row = 0;
  if (!McuBeforeByte(app.decode.McuStarts, repair.Position, column, row)) return;
  const McuPointerState from = PointerToMcu(app.decode.McuStarts.At(column, row), column, row);
  const PointerTrace trace =
      TraceInputsAt(app, from, ByteOverride{repair.Position, repair.Value, repair.Removed, repair.Inserted});
  if (!trace.known) return;
  McuBuffer buffer;
  buffer.Reset(g.McuWidth, g.McuHeight, kPreviewMcus);
  std::array<int32_t, 3> mcuEnd{};  // the pointer's trace results stay as they are
  if (TraceMcus(trace.inputs, mcuEnd, buffer, kPreviewMcus - 1, nullptr) != TraceResult::Done) return;
  DrawCorrectionPreview(buffer, app.form.Picture2, PreviewScale(app.form.LIMAGE.caption));
}

bool ApplyRepair(AppState& app, const RepairCandidateEntry& repair) {
  if (!Fits(app.file, repair)) return false;
  const int64_t length = int64_t{app.file.FileLength()} - repair.Removed + repair.Inserted;
  const HistoryEntry change{.Address = repair.Position,
                            .Length = static_cast<int32_t>(length),
                            .TakeOut = repair.Removed,
                            .PutBack = std::vector<uint8_t>(repair.Inserted, repair.Value)};
  return ApplyChange(app, change);
}

void WireRepairHandlers(AppState& app) {
  app.form.LOCATE.onClick = [&app] { LOCATE_Click(app); };
  app.form.REPAIR.onClick = [&app] { REPAIR_Click(app); };
  app.form.SALVAGE.onClick = [&app] { SALVAGE_Click(app); };
}

}  // namespace vorn
