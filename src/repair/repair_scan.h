// Verified automatic repair of a scan: locate the damage, search the edits around
// it, apply the best verified one, and again, until the scan checks clean.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "repair/damage_locator.h"
#include "repair/edit_search.h"
#include "repair/scan_model.h"

namespace vorn {

enum class RepairResult { Clean, Repaired, NotRepaired, Cancelled };

struct RepairRun {
  RepairResult result = RepairResult::NotRepaired;
  std::vector<ScanEdit> applied;  // in order, each at positions of the bytes as they were then
  DamageReport first;             // the damage as first located
  bool timedOut = false;          // the control's deadline stopped the search
};

// The time a repair of a file of this many bytes gets unless told otherwise, in
// seconds: 2.5 up to 1 MB, then 3.5 more per MB, at most 28 (a 12 MP photo).
double DefaultTimeLimit(int64_t fileBytes);

// Searches the report's windows in turn, until one gives a repair (ChooseRepair);
// returns that window's search and sets *choice (when given) to the repair, or
// returns the first window's search that verified anything and resets *choice.
SearchResult SearchRepairs(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                           const DamageReport& report, const SearchControl& control,
                           std::optional<ScanEdit>* choice = nullptr);

// The edit to apply for the damage that report tells of: the best-fitting verified edit,
// when it fits clearly better than every verified edit that gives another picture,
// and, where the scan decoded without it, clearly better than the file as it is.
// None otherwise. The edits the search left out of the whole-run rating
// (search.leftOut) are weighed by SearchRepairs, which can decode them.
std::optional<ScanEdit> ChooseRepair(const SearchResult& search, const DamageReport& report);

// Repairs bytes in place: at most maxEdits edits. Clean: nothing was wrong (bytes
// unchanged). Repaired: the scan checks clean now. NotRepaired and Cancelled: bytes
// may hold edits that did not lead to a clean scan; the caller keeps its original.
// Once the control's deadline passes no search begins and the one running returns
// what its complete windows give.
RepairRun RepairScan(const ScanModel& model, std::vector<uint8_t>& bytes, int maxEdits,
                     const SearchControl& control);

}  // namespace vorn
