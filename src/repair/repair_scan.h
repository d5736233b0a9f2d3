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
#include "repair/thumbnail_guide.h"

namespace vorn {

enum class RepairResult { Clean, Repaired, NotRepaired, Cancelled };

// What a choice stood on, kept when repairs are calibrated: the choice then takes the
// best-fitting verified edit whatever its margins and records them, so that the rule
// can be fitted afterwards on thousands of damaged files (scripts/repair-eval).
struct ChoiceEvidence {
  struct Margin {
    double votes = 0;    // FitVotes of the choice against a rival
    int32_t levels = 0;  // the largest sample difference between the two
  };
  // The weakest margins against the rivals weighed: none is at least as large as
  // another in both, so that a rule that needs both above thresholds is decided here.
  std::vector<Margin> margins;
  bool lone = false;         // the only verified edit, where the scan does not point at it
  bool otherWindow = false;  // best of the windows together, not its own window's choice
  bool unweighed = false;    // a rival could not be rated before the deadline
  void Against(double votes, int32_t levels);
};

struct RepairRun {
  RepairResult result = RepairResult::NotRepaired;
  std::vector<ScanEdit> applied;  // in order, each at positions of the bytes as they were then
  DamageReport first;             // the damage as first located
  bool timedOut = false;          // the control's deadline stopped the search
  std::vector<ChoiceEvidence> evidence;  // calibrating: what each applied edit stood on
};

// The time a repair of a file of this many bytes gets unless told otherwise, in
// seconds: 2.5 up to 1 MB, then 3.5 more per MB, at most 28 (a 12 MP photo).
double DefaultTimeLimit(int64_t fileBytes);

// Searches the report's windows in turn, until one gives a repair (ChooseRepair);
// returns that window's search and sets *choice (when given) to the repair, or
// returns the first window's search that verified anything and resets *choice.
SearchResult SearchRepairs(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                           const DamageReport& report, const SearchControl& control,
                           std::optional<ScanEdit>* choice = nullptr, ChoiceEvidence* evidence = nullptr);

// What a chosen edit must fit better than each rival that gives another picture by:
// FitVotes at least `votes`, and some sample `levels` apart or more. The fewer ways
// an edit of its kind has to make a scan whole (one byte removed: one; a bit: eight
// a byte; a value inserted or replaced: 256), the less a chance rival can outfit it,
// so the smaller the margin it needs.
struct RequiredMargin {
  double votes = 0;
  int32_t levels = 0;
};
RequiredMargin MarginFor(EditKind kind);

// The edit to apply for the damage that report tells of: the best-fitting verified edit,
// when it fits clearly better (MarginFor) than every verified edit that gives another picture,
// and, where the scan decoded without it, clearly better than the file as it is.
// None otherwise. The edits the search left out of the whole-run rating
// (search.leftOut) are weighed by SearchRepairs, which can decode them.
// With evidence, the calibrating choice: the best-fitting edit, its margins recorded.
// With the file's thumbnail (guide), where the edges leave the choice open, the
// picture that the thumbnail makes likelier than every other verified one (and than
// the file as it is, where that decodes) by kThumbnailMargin is taken.
std::optional<ScanEdit> ChooseRepair(const SearchResult& search, const DamageReport& report,
                                     ChoiceEvidence* evidence = nullptr,
                                     const ThumbnailGuide* guide = nullptr);

// How much likelier by the thumbnail (ThumbnailGuide::Preference, in nats) a picture
// must be than every other for the thumbnail to choose it. On the damaged copies of
// 24 photos with thumbnails (two seeds, 1,869 visibly damaged) it chose 7 pictures,
// all the original's; the nearest wrong one came to 12 (an edit 811 bytes after an
// inserted byte that made up for it, garbage left before it).
inline constexpr double kThumbnailMargin = 20;
// And a picture taken by the thumbnail must have no MCU less likely than this many
// times the least likely undamaged one: the likeliest of pictures that all keep the
// damage's garbage is none of them.
inline constexpr double kThumbnailWorstMcu = 2;

// Drops every edit of run.applied but the last without which the scan (original with
// the other edits applied) checks clean too, and sets bytes to that scan. Each edit is
// chosen on a scan still broken after it; one that the scan no longer needs once a
// later edit has undone the damage was a guess: one damage is far likelier than two,
// and in thousands of damaged copies with one damage each, every repair of two edits
// or more wrote another picture (a bit 440 bytes before an inserted byte, applied
// first, was written beside the byte's removal); dropping such edits restored a
// quarter of them.
void DropUnneededEdits(const ScanModel& model, const std::vector<uint8_t>& original,
                       std::vector<uint8_t>& bytes, RepairRun& run);

// Repairs bytes in place: at most maxEdits edits. Clean: nothing was wrong (bytes
// unchanged). Repaired: the scan checks clean now. NotRepaired and Cancelled: bytes
// may hold edits that did not lead to a clean scan; the caller keeps its original.
// Once the control's deadline passes no search begins and the one running returns
// what its complete windows give. With control.calibrate, every choice is the
// calibrating one and run.evidence holds what each stood on.
RepairRun RepairScan(const ScanModel& model, std::vector<uint8_t>& bytes, int maxEdits,
                     const SearchControl& control);

}  // namespace vorn
