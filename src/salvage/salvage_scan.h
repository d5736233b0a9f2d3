// Salvage: what exact repair cannot restore. The scan's MCUs that decode from the
// file are kept exactly (every coefficient the file's own); the MCUs that are lost
// (a cut file, a lost or zeroed span of data, a part that cannot be placed) are made
// up from their neighbours; a DC step over the rest of the picture is shifted back.
// The result is a whole baseline file, written anew from the coefficients with the
// file's own headers and tables, and the list of the MCUs that are not the file's.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "repair/repair_scan.h"
#include "repair/scan_model.h"

namespace vorn {

// MCUs first .. first + count - 1, in scan order.
struct McuRange {
  int32_t first = 0;
  int32_t count = 0;
  bool operator==(const McuRange&) const = default;
};

enum class SalvageResult {
  Clean,        // nothing to salvage: the scan checks clean
  Salvaged,     // bytes holds the salvaged file
  NotSalvaged,  // why says why
};

struct SalvageRun {
  SalvageResult result = SalvageResult::NotSalvaged;
  // The whole output file: the input's segments before the scan (a DHT segment added
  // before the SOS when newTables), the scan written anew, an EOI. Its kept MCUs hold
  // exactly the input's coefficients (checked by decoding it again).
  std::vector<uint8_t> bytes;
  std::vector<McuRange> madeUp;    // MCUs made up (not the file's), ascending
  std::vector<McuRange> shifted;   // MCUs the file's own but for a DC shift, ascending
  std::vector<std::string> steps;  // what was done, one line each
  bool newTables = false;          // a made-up block needed a symbol the file's tables lack
  std::string why;                 // NotSalvaged: why
};

// Salvages the scan of bytes (the whole file image the model was built from). A
// function of its inputs: no window, no file system. placeByEnd: the data's place in
// the picture is not known from its start (headers grafted onto data that begins
// somewhere in a scan): it is placed by its count of MCUs or intervals to the EOI.
SalvageRun SalvageScan(const ScanModel& model, std::span<const uint8_t> bytes, bool placeByEnd = false);

// Salvage as the commands run it: the exact repair first (at most four edits, under
// control), and the salvage only where that repair ends NotRepaired — it never stands
// in for a repair that restores the file. repair: how the repair ended; run: the
// salvage, NotSalvaged (why empty) when it was not attempted.
struct SalvageAttempt {
  RepairResult repair = RepairResult::NotRepaired;
  SalvageRun run;
};
SalvageAttempt SalvageUnlessRepairable(const ScanModel& model, std::span<const uint8_t> bytes,
                                       const SearchControl& control);

// The model with no bound on DC values, for decoding from a point where the
// predictors are not known.
void RelaxDc(const ScanModel& model, ScanModel& relaxed);

// The ranges of MCUs whose flag is 0.
std::vector<McuRange> RangesOf(const std::vector<uint8_t>& known);

}  // namespace vorn
