#include "app/salvage_handlers.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "analysis/message_log.h"
#include "app/analyze.h"
#include "app/display_state.h"
#include "app/dump_handlers.h"
#include "app/render.h"
#include "app/repair_commands.h"
#include "dump/editing.h"
#include "repair/damage_locator.h"
#include "repair/repair_scan.h"

namespace vorn {

namespace {

constexpr const char* kNoDamage = "破損は見つかりませんでした";
constexpr const char* kUndecodable = "このスキャンデータは解読できないため救出できません";
constexpr const char* kSalvaging = "救出しています…";
constexpr const char* kRepairable = "この破損は自動修復で元どおりに修復できます。自動修復を使ってください";
constexpr const char* kNotSalvaged = "救出できませんでした";
constexpr uint32_t kMadeUpColour = 0xFF0000;  // red: not the file's own
constexpr uint32_t kShiftedColour = 0xFFFF00;  // yellow: the file's own, its colour moved back

std::string McuText(const McuGeometry& g, int32_t mcu) {
  return "(" + std::to_string(mcu % g.McusPerRow) + "," + std::to_string(mcu / g.McusPerRow) + ")";
}

int32_t Count(const std::vector<McuRange>& ranges) {
  int32_t n = 0;
  for (const McuRange& r : ranges) n += r.count;
  return n;
}

// One LOG line a range, at the byte where its first MCU's data begins in the picture
// now shown.
void ListRanges(AppState& app, const std::vector<McuRange>& ranges, const char* what) {
  const McuGeometry& g = app.decode.Geometry;
  for (const McuRange& r : ranges) {
    const int32_t column = r.first % g.McusPerRow, row = r.first / g.McusPerRow;
    const int32_t at = app.decode.McuStarts.Contains(column, row) ? app.decode.McuStarts.At(column, row).BytePos
                                                                   : app.rec.scan.ScanDataStart;
    std::string text = std::string(what) + " MCU " + McuText(g, r.first);
    if (r.count > 1) text += "〜" + McuText(g, r.first + r.count - 1);
    text += " " + std::to_string(r.count) + "個";
    if (!AddLogLine(app.form.LOG, app.analysis, text, at)) return;
  }
}

// A new analysis of the file image, keeping the correction history that a new
// analysis would empty.
void Reanalyse(AppState& app) {
  const DumpState kept = app.dump;
  const bool undo = app.form.UNDO.enabled, redo = app.form.REDO.enabled;
  if (AnalyzeMarkers(app)) RenderImage(app);
  app.dump.UndoStack = kept.UndoStack;
  app.dump.RedoStack = kept.RedoStack;
  app.form.UNDO.enabled = undo;
  app.form.REDO.enabled = redo;
}

// Applies the change as one correction and analyses the file anew: the salvaged scan
// is written anew, with an EOI where a cut file had none and maybe new tables, so
// the analysis of the damaged file no longer describes it.
bool Apply(AppState& app, const HistoryEntry& change) {
  const std::optional<HistoryEntry> reverse = ReplayRecord(app.file, change);
  if (!reverse) return false;
  PushUndo(app.dump, app.form, *reverse);
  app.dump.RedoStack.Clear();
  SetUnsaved(app, true);
  Reanalyse(app);
  return true;
}

// Takes the change just applied back, leaving nothing to redo and the unsaved state
// as it was.
void TakeBack(AppState& app, bool unsaved) {
  if (ReplayRecord(app.file, app.dump.UndoStack.Entries[0])) {
    app.dump.UndoStack.Pop();
    Reanalyse(app);
  }
  app.form.UNDO.enabled = !app.dump.UndoStack.Empty();
  app.form.REDO.enabled = !app.dump.RedoStack.Empty();
  SetUnsaved(app, unsaved);
}

}  // namespace

HistoryEntry ChangeBetween(std::span<const uint8_t> before, std::span<const uint8_t> after) {
  size_t head = 0;
  const size_t shorter = std::min(before.size(), after.size());
  while (head < shorter && before[head] == after[head]) ++head;
  size_t tail = 0;
  while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) ++tail;
  return HistoryEntry{.Address = static_cast<int32_t>(head),
                      .Length = static_cast<int32_t>(after.size()),
                      .TakeOut = static_cast<int32_t>(before.size() - head - tail),
                      .PutBack = std::vector<uint8_t>(after.begin() + static_cast<ptrdiff_t>(head),
                                                      after.end() - static_cast<ptrdiff_t>(tail))};
}

void OutlineMcus(PixelStore& pixels, int32_t width, int32_t height, const McuGeometry& g,
                 const std::vector<McuRange>& ranges, uint32_t colour) {
  if (!g.Valid() || g.McusPerRow < 1 || pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height))
    return;
  // Rows are stored bottom-up.
  const auto put = [&](int32_t x, int32_t y) {
    if (x >= 0 && y >= 0 && x < width && y < height)
      pixels[static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = colour;
  };
  for (const McuRange& r : ranges) {
    for (int32_t m = r.first; m < r.first + r.count; ++m) {
      const int32_t x0 = (m % g.McusPerRow) * g.McuWidth, y0 = (m / g.McusPerRow) * g.McuHeight;
      const int32_t x1 = x0 + g.McuWidth - 1, y1 = y0 + g.McuHeight - 1;
      for (int32_t x = x0; x <= x1; ++x) put(x, y0), put(x, y1);
      for (int32_t y = y0; y <= y1; ++y) put(x0, y), put(x1, y);
    }
  }
}

void SALVAGE_Click(AppState& app) {
  std::string problem;
  const std::unique_ptr<ScanModel> model = ScanModelOf(app.rec, problem);
  if (!model) {
    app.Message(kUndecodable);
    return;
  }
  ScanPass pass;
  if (LocateDamage(*model, app.file.bytes, pass).health == ScanHealth::Clean) {
    app.Message(kNoDamage);
    return;
  }
  std::atomic<bool> cancel{false};
  SalvageRun run;
  bool repairable = false;
  {
    const std::unique_ptr<window::ProgressBox> box = app.dialogs.OpenProgress(kSalvaging);
    SearchControl control;
    control.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    control.cancel = &cancel;
    control.deadline = Deadline::After(DefaultTimeLimit(app.file.FileLength()), false);
    control.progress = [&](double fraction) {
      box->Advance(0.9 * fraction);
      if (box->Cancelled()) cancel = true;
    };
    SalvageAttempt attempt = SalvageUnlessRepairable(*model, app.file.bytes, control);
    if (cancel || box->Cancelled() || attempt.repair == RepairResult::Cancelled) return;
    repairable = attempt.repair == RepairResult::Repaired;
    run = std::move(attempt.run);
  }
  if (repairable) {
    app.Message(kRepairable);
    return;
  }
  if (run.result != SalvageResult::Salvaged) {
    app.Message(kNotSalvaged);
    return;
  }
  // Bytes after the main image (a camera file's trailing data) stay as they are.
  std::vector<uint8_t> after = std::move(run.bytes);
  const int32_t end = app.analysis.AnalysisEnd;
  if (end >= 0 && end < app.file.FileLength())
    after.insert(after.end(), app.file.bytes.begin() + end, app.file.bytes.begin() + app.file.FileLength());
  const HistoryEntry change = ChangeBetween(std::span(app.file.bytes).first(app.file.FileLength()), after);
  const bool unsaved = app.Unsaved;
  if (!Apply(app, change)) {
    app.Message(kNotSalvaged);
    return;
  }
  DecodeState& d = app.decode;
  OutlineMcus(d.ImagePixels, d.ImageWidth, d.ImageHeight, d.Geometry, run.madeUp, kMadeUpColour);
  OutlineMcus(d.ImagePixels, d.ImageWidth, d.ImageHeight, d.Geometry, run.shifted, kShiftedColour);
  app.form.Picture3.Repaint();
  RefreshView(app.decode, app.form, true, true);
  app.form.LOG.tag = "";
  ClearLog(app.form.LOG, app.analysis);
  ListRanges(app, run.madeUp, "作成");
  ListRanges(app, run.shifted, "色補正");
  const std::string question = "赤枠のMCU " + std::to_string(Count(run.madeUp)) +
                               "個は周りから作ったもので、元の画像ではありません（黄枠は色のずれを戻したMCU " +
                               std::to_string(Count(run.shifted)) + "個）。\r救出した画像を残しますか？";
  if (app.Message(question, window::Buttons::YesNo) == window::Answer::Yes) return;
  TakeBack(app, unsaved);
}

}  // namespace vorn
