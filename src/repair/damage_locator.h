// The damage locator: a strict pass over the scan, and where the damage most likely
// begins. A scan that decodes but shows a block far out of keeping with the picture
// around it is reported too.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "decode/decode_scan.h"
#include "repair/edit_search.h"
#include "repair/scan_model.h"
#include "repair/scan_pass.h"

namespace vorn {

enum class ScanHealth { Clean, Damaged };

// Why the locator reports damage, as values: the fields a kind names are set, the
// others left as they are. The words for it are the caller's.
enum class DamageKind {
  None,  // clean
  // The decode fails in the MCU named: no code word matches at `at`, a coefficient
  // past the end of its block, a DC value out of range, the inverse transform
  // overflows; or the MCU holds what no encoder writes.
  NoCodeMatches,
  CoefficientOverrun,
  DcOutOfRange,
  TransformOverflow,
  Implausible,
  MarkerInsideMcu,  // `marker` at `at` inside the MCU named
  ForeignMarker,    // `marker` at `at` belongs to no scan data
  EndOfFile,        // the file ends inside the scan data
  McuLimit,         // more than `decoded` MCUs (in `interval`), `expected` expected
  DecodingStopped,
  // The interval's end: `decoded` of `expected` MCUs before `marker` at `at`;
  // padding bits before it that are not all 1; `marker` where `wanted` belongs (a
  // restart marker out of sequence when both are restart markers); some other
  // wrong end.
  TooFewMcus,
  TooManyMcus,
  PaddingNotOnes,
  RestartOutOfSequence,
  MarkerOutOfPlace,
  IntervalEndsWrongly,
  DataAfterLastMcu,  // data after the last MCU (of `interval`) beyond the padding bits
  // The picture: the DC values of `component` step by `levels` from the MCU named
  // on; they step as though the bit at `at` had changed; a block of `component` in
  // the MCU named breaks with its neighbours as though the bit at `at` had changed.
  DcStep,
  DcDrift,
  BlockAtOdds,
  // The MCUs from the one named on are out of step: each shows the one `shift`
  // places further on (MCUs lost; back where shift < 0), and the rows above fit them
  // only taken that far aside.
  ShiftedRun,
  Undecodable,  // set by a caller whose scan model could not be made: nothing decodes
};

struct DamageReason {
  DamageKind kind = DamageKind::None;
  int32_t column = 0, row = 0;  // the MCU named
  int32_t interval = -1;        // the restart interval, when the scan has more than one
  BitPos at = 0;
  uint8_t marker = 0;  // the second byte of the marker met
  uint8_t wanted = 0;  // the marker that belongs there
  int32_t decoded = 0, expected = 0;
  int component = 0;  // 0 Y, 1 Cb, 2 Cr (a scan of one component: Y)
  int levels = 0;
  int shift = 0;
  bool written = false;  // BlockAtOdds: as though the byte at `at` had been written into the data
  bool operator==(const DamageReason&) const = default;
};

struct DamageReport {
  ScanHealth health = ScanHealth::Clean;
  int32_t mcu = 0;  // the first suspect MCU
  int32_t column = 0, row = 0;
  BitPos position = 0;  // the first bit of its data
  DamageReason reason;
  int32_t mcusDecoded = 0;  // MCUs that decoded in order before the first fault
  int32_t mcusExpected = 0;
  bool syntaxIntact = true;           // the damage is seen only in the picture
  int64_t paddingByte = -1;           // padding bits that are not all 1: the byte before the marker
  int64_t markerByte = -1;            // the FF of a marker that does not belong in the data
  std::vector<SearchWindow> windows;  // where to look for the repair, in turn
  // The one bit whose flip undoes what the picture shows (the DC values of a block
  // and all after it stepped, or one block at odds with its neighbours; for such a
  // block also a byte removed, written into its codes), verified. It
  // lies inside the first window, where the search weighs it against every edit
  // before it (a lost track that found its way again leaves the same behind it).
  std::optional<ScanEdit> suspectBit;
};

// Runs the strict pass (with planes) into pass and reports.
DamageReport LocateDamage(const ScanModel& model, std::span<const uint8_t> bytes, ScanPass& pass);

// LocateDamage's report where no pass is wanted afterwards (a check): a whole scan is
// told with one decode and a band of the picture, and only a scan that may not be
// whole gets the full pass and its picture. threads: as ScanLooksWhole's.
DamageReport CheckDamage(const ScanModel& model, std::span<const uint8_t> bytes,
                         DecodeThreads threads = DecodeThreads::Automatic);

// CheckDamage for the syntax alone: a scan whose every interval decodes is clean
// whatever its picture shows (a moved DC value, one block at odds pass), and costs one
// decode without samples; any other gets LocateDamage's report, as CheckDamage gives,
// unless that report too tells of the picture alone.
DamageReport CheckSyntax(const ScanModel& model, std::span<const uint8_t> bytes);

}  // namespace vorn
