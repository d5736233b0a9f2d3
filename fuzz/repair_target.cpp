#include <vector>

#include "app/repair_commands.h"
#include "fuzz_targets.h"
#include "fuzz_window.h"
#include "repair/intact_damage.h"
#include "salvage/salvage_scan.h"

namespace vorn::fuzz {

std::string CheckRepair(const uint8_t* data, size_t size) {
  FuzzWindow w;
  w.Load(data, size);
  std::string problem;
  const std::unique_ptr<ScanModel> model = ScanModelOf(w.app.rec, problem);
  if (!model) return "";  // no scan to check: the commands stop before the engine

  const std::vector<uint8_t> original(data, data + size);
  ScanPass pass;
  const DamageReport report = LocateDamage(*model, original, pass);
  // The check of the syntax alone agrees, but for damage seen only in the picture.
  const bool pictureOnly = report.health == ScanHealth::Damaged && report.syntaxIntact;
  const DamageReport syntax = CheckSyntax(*model, original);
  if (syntax.health != (pictureOnly ? ScanHealth::Clean : report.health) ||
      (!pictureOnly && !(syntax.reason == report.reason)))
    return "the check of the syntax disagrees with the locator";
  // The one decode that tells a whole scan (its picture held a few rows at a time)
  // never calls whole what the locator finds damaged; it may send a clean scan to the
  // locator (fill bytes before a marker, which only the full pass reads).
  const bool whole = ScanLooksWhole(*model, original, DecodeThreads::One);
  if (whole && report.health != ScanHealth::Clean) return "the one-decode check calls a damaged scan whole";
  if (ScanLooksWhole(*model, original, DecodeThreads::Two) != whole)
    return "the one-decode check tells otherwise with its picture on a second thread";

  // Two edits at most and one thread keep an input's CPU time measurable; the
  // search itself is the same as with more. As `repair` and the window do, the search
  // stops at a CPU time: a scan that decodes as it is lets nearly every edit verify,
  // and rating them all may take seconds even for a small picture (a fuzzed file of
  // 2 KB took 6 s, 100 s under the sanitizers). 4 s leave the fuzzer's limit of 60 s
  // per input to everything else, and a search cut short is checked like any other.
  constexpr int kMaxEdits = 2;
  constexpr double kSearchCpuSeconds = 4;
  SearchControl control;
  control.threads = 1;
  control.deadline = Deadline::After(kSearchCpuSeconds, false);
  std::vector<uint8_t> bytes = original;
  const RepairRun run = RepairScan(*model, bytes, kMaxEdits, control);
  if (static_cast<int>(run.applied.size()) > kMaxEdits) return "more edits applied than allowed";
  switch (run.result) {
    case RepairResult::Clean:
      if (report.health != ScanHealth::Clean) return "repair says clean where check found damage";
      if (bytes != original) return "a clean scan was edited";
      break;
    case RepairResult::Repaired: {
      if (report.health == ScanHealth::Clean) return "a scan that checked clean was repaired";
      if (run.applied.empty()) return "repaired without an edit";
      ScanPass after;
      if (LocateDamage(*model, bytes, after).health != ScanHealth::Clean)
        return "a repaired scan does not check clean";
      break;
    }
    case RepairResult::NotRepaired:
    case RepairResult::Cancelled:
      // The caller keeps its original: nothing to check in the bytes.
      if (report.health == ScanHealth::Clean) return "a scan that checked clean was not repaired";
      break;
  }
  // Salvage, as `salvage` runs it after a repair that found nothing: a whole file
  // from SOI to EOI, made-up MCUs inside the picture, a clean scan left alone.
  if (run.result != RepairResult::NotRepaired) return "";
  const SalvageRun salvage = SalvageScan(*model, original);
  if (salvage.result == SalvageResult::Clean) return "salvage says clean where check found damage";
  if (salvage.result != SalvageResult::Salvaged) return "";
  const std::vector<uint8_t>& out = salvage.bytes;
  if (out.size() < 4 || out[0] != 0xFF || out[1] != 0xD8 || out[out.size() - 2] != 0xFF || out.back() != 0xD9)
    return "a salvaged file that is not SOI .. EOI";
  for (const McuRange& r : salvage.madeUp)
    if (r.first < 0 || r.count < 1 || int64_t{r.first} + r.count > model->totalMcus)
      return "made-up MCUs outside the picture";
  return "";
}

}  // namespace vorn::fuzz
