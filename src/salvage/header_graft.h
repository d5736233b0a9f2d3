// Salvage of a file whose headers are missing or destroyed (its first bytes zeroed or
// overwritten, or a fragment carved from the middle of a scan): the headers of a
// reference file from the same camera and settings, grafted onto the file's data.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "repair/scan_model.h"
#include "salvage/salvage_scan.h"

namespace vorn {

struct GraftedFile {
  // The reference's bytes up to its scan data, then the file's from dataStart on.
  std::vector<uint8_t> bytes;
  int64_t dataStart = -1;  // in the file
  bool placeByEnd = true;  // the data's place in the picture is known only from its end
  std::string how;         // how dataStart was found, one line
};

// Finds where the file's scan data begins, as the reference's tables read it: after a
// copy of the reference's scan header, else after the first restart marker from which
// a whole interval decodes, else (no restart markers) at the first byte from which the
// data decodes strictly for many MCUs. False (with why) when none is found.
bool GraftHeader(const ScanModel& reference, std::span<const uint8_t> referenceBytes,
                 std::span<const uint8_t> file, GraftedFile& out, std::string& why);

// Grafts and salvages: the grafted file's MCUs that decode kept (a whole scan kept as
// it is), the rest made up; the steps begin with the graft's.
SalvageRun SalvageWithReference(const ScanModel& reference, std::span<const uint8_t> referenceBytes,
                                std::span<const uint8_t> file);

}  // namespace vorn
