// The repair menu as the window runs it: the located damage chosen as a press on its
// MCU would choose it, and the verified repairs listed in LOG, where a click previews
// one and a double click applies it through the correction history.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"

namespace vorn {

// Scrolls the view so that MCU (column, row) is in sight and presses Picture1 on it,
// as a user would. False when the picture has no such MCU or the press chose none.
bool PressMcuAt(AppState& app, int32_t column, int32_t row);

struct RepairLine {
  RepairCandidateEntry entry;
  std::string text;  // starts with the change's position in the candidate-line style
};

// Refills LOG with one line per repair (line i is entry i, its LineAddress the
// repair's position) and gives it the repair-list tag.
void ListRepairCandidates(AppState& app, const std::vector<RepairLine>& lines);

// Traces three MCUs from the MCU in which the repair begins, as if it were made, and
// draws them into Picture2 when the trace completes. The repair is handed to the
// tracer as an override: the file image is never written.
void PreviewRepair(AppState& app, const RepairCandidateEntry& repair);

// Makes the repair as a correction, undoable with UNDO. False, with nothing changed,
// when it no longer fits the file.
bool ApplyRepair(AppState& app, const RepairCandidateEntry& repair);

}  // namespace vorn
