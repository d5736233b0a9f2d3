// The damage locator: a strict pass over the scan, and where the damage most likely
// begins. A scan that decodes but shows a block far out of keeping with the picture
// around it is reported too.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "repair/edit_search.h"
#include "repair/scan_model.h"
#include "repair/scan_pass.h"

namespace vorn {

enum class ScanHealth { Clean, Damaged };

struct DamageReport {
  ScanHealth health = ScanHealth::Clean;
  int32_t mcu = 0;  // the first suspect MCU
  int32_t column = 0, row = 0;
  BitPos position = 0;  // the first bit of its data
  std::string reason;
  int32_t mcusDecoded = 0;  // MCUs that decoded in order before the first fault
  int32_t mcusExpected = 0;
  bool syntaxIntact = true;           // the damage is seen only in the picture
  int64_t paddingByte = -1;           // padding bits that are not all 1: the byte before the marker
  int64_t markerByte = -1;            // the FF of a marker that does not belong in the data
  std::vector<SearchWindow> windows;  // where to look for the repair, in turn
  // The one bit whose flip undoes what the picture shows (the DC values of a block
  // and all after it stepped, or one block at odds with its neighbours), verified. It
  // lies inside the first window, where the search weighs it against every edit
  // before it (a lost track that found its way again leaves the same behind it).
  std::optional<ScanEdit> suspectBit;
};

// Runs the strict pass (with planes) into pass and reports.
DamageReport LocateDamage(const ScanModel& model, std::span<const uint8_t> bytes, ScanPass& pass);

}  // namespace vorn
