// The repair menu as the window runs it: the located damage chosen as a press on its
// MCU would choose it, and the verified repairs listed in LOG, where a click previews
// one and a double click applies it through the correction history.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "repair/repair_scan.h"

namespace vorn {

// "破損位置へ移動": locates the first damage of the scan and chooses its MCU as a
// press on the picture would; "破損は見つかりませんでした" when the scan is clean.
void LOCATE_Click(AppState& app);

// "自動修復": locates the damage and runs the verified search under a progress box
// (cancellable), then lists the verified repairs in LOG, best first. A clean scan, a
// search that verified nothing and a cancelled one change nothing.
void REPAIR_Click(AppState& app);

// Scrolls the view so that MCU (column, row) is in sight and presses Picture1 on it,
// as a user would. False when the picture has no such MCU or the press chose none.
bool PressMcuAt(AppState& app, int32_t column, int32_t row);

struct RepairLine {
  RepairCandidateEntry entry;
  std::string text;  // starts with the change's position in the candidate-line style
};

// The repairs a search verified as LOG lists them, at most kListedRepairs (the list
// scrolls), the one the repair would choose first, then best first:
// "00000E62-7:7E→7F ビット 0→1 不整合度 1234", with "推奨" after the one the
// repair would choose.
inline constexpr size_t kListedRepairs = 32;
std::vector<RepairLine> RepairLines(const SearchResult& search, const std::optional<ScanEdit>& choice);

// Refills LOG with one line per repair (line i is entry i, its LineAddress the
// repair's position) and gives it the repair-list tag.
void ListRepairCandidates(window::WindowModel& form, AnalysisState& analysis, InspectState& inspect,
                          const std::vector<RepairLine>& lines);

// Traces three MCUs from the MCU in which the repair begins, as if it were made, and
// draws them into Picture2 when the trace completes. The repair is handed to the
// tracer as an override: the file image is never written.
void PreviewRepair(AppState& app, const RepairCandidateEntry& repair);

// Makes the repair as a correction, undoable with UNDO. False, with nothing changed,
// when it no longer fits the file.
bool ApplyRepair(AppState& app, const RepairCandidateEntry& repair);

}  // namespace vorn
