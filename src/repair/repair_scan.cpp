#include "repair/repair_scan.h"

#include <algorithm>
#include <optional>

#include "repair/intact_damage.h"

namespace vorn {

namespace {

// The best edits of each window that meet again, rated over the same MCUs.
constexpr size_t kFinalistsPerWindow = 4;
// Two pictures count as different only where some sample differs by this much.
constexpr int32_t kDistinctLevels = 12;

bool IsBit(const ScanEdit& e) {
  return e.kind == EditKind::SetBit || e.kind == EditKind::ClearBit;
}

// Whether the byte replacement `wide` changes the bit that the one-bit edit `bit`
// changes, at the same position (and more bits besides).
bool Subsumes(const ScanEdit& wide, const ScanEdit& bit) {
  if (wide.kind != EditKind::Replace || wide.position != bit.position) return false;
  const auto flipped = static_cast<uint8_t>(bit.value ^ bit.old);
  return (static_cast<uint8_t>(wide.value ^ wide.old) & flipped) == flipped;
}

// Whether the chosen edit, a bit, need not outfit the rival, a value of its byte that
// changes that bit and more: the one bit is the likelier damage (one bit of 8 against
// one value of 255), but only while the value does not fit clearly better. Skipped
// whatever its fit, a value that outfitted the bit by 5.9 votes, 12 levels apart, was
// the original of an overwritten byte, and the bit was written for the repair.
bool BitOutweighs(const ScanEdit& chosen, const RatedMcus& own, const ScanEdit& rivalEdit,
                  const RatedMcus& rival) {
  return IsBit(chosen) && Subsumes(rivalEdit, chosen) && !ClearlyBetter(rival, own);
}

// Whether every verified edit gives one and the same picture, with none left out of
// the rating: then nothing weighs it against another, however many edits give it.
bool OnePicture(const SearchResult& search) {
  return search.leftOut.empty() && !search.verified.empty() &&
         std::ranges::all_of(search.verified, [&](const VerifiedEdit& v) {
           return v.rated.hash == search.verified.front().rated.hash;
         });
}

// Whether a picture clearly and visibly fits better than another: pictures a few
// levels apart (the DC of what follows moved by a step, the last bit of a small
// coefficient) cannot be told apart by how they fit, and count as the same evidence.
bool Outfits(const RatedMcus& a, const RatedMcus& b) {
  return ClearlyBetter(a, b) && LargestDifference(a, b) >= kDistinctLevels;
}

// The one bit is likelier than one byte value that also changes it by 255 to 8, but
// not likelier than many of them together: where a byte takes many values that
// decode and look about alike (low bits of an amplitude, a region the picture does
// not constrain), the damage may as well have been one of those values. With at
// most this many look-alike values the bit keeps nine in ten of the odds.
// Replacements left out of the whole-run rating all count: rated over the short run
// instead, and counted only where the bit did not clearly outfit them there, they
// restored about five flips more a seed but wrote a wrong picture more on two fresh
// seeds of three (another bit of the flipped byte; a bit three bytes after it).
constexpr int kMostLookAlikes = 3;

// Whether few verified replacements of the bit's byte give a picture that the bit's
// does not clearly outfit.
bool FewLookAlikes(const SearchResult& search, const VerifiedEdit& bit) {
  const auto sameByte = [&](const ScanEdit& e) {
    return e.kind == EditKind::Replace && e.position == bit.edit.position;
  };
  int lookAlikes = static_cast<int>(std::count_if(search.leftOut.begin(), search.leftOut.end(), sameByte));
  for (const VerifiedEdit& v : search.verified) {
    if (!sameByte(v.edit) || v.rated.hash == bit.rated.hash) continue;
    if (!Outfits(bit.rated, v.rated)) ++lookAlikes;
  }
  return lookAlikes <= kMostLookAlikes;
}

// The chosen bit's verified edit where its picture is not the best-fitting one (it was
// taken over a value of its byte), or null.
const VerifiedEdit* BitTakenOverItsByte(const SearchResult& search, const ScanEdit& chosen) {
  if (!IsBit(chosen) || search.verified.empty()) return nullptr;
  for (const VerifiedEdit& v : search.verified)
    if (v.edit == chosen) return v.rated.hash != search.verified.front().rated.hash ? &v : nullptr;
  return nullptr;
}

// Whether `removed`, a byte removed, stands in for `best`, a value replaced or
// inserted at that byte, as the choice: its picture outfits best's by a removed
// byte's margin of votes where the two differ, although best's edges add up to less.
// One way to make a scan whole against 256: a chance value that fits a little better
// in sum is no evidence against the removal that wins the steps where they differ;
// the choice then stands or falls by its own margin against every other verified
// picture, best's included (so a removal is taken over best only where it outfits it
// by the 3 votes removed bytes ask). Two votes were asked here when removed bytes
// asked one: on three seeds of 1,438 damaged copies each, 15 removals stood in, 14 of
// them the original's (by 1.1 to 29 votes) and one an overwritten byte's chance
// removal (by 1.8); at two votes 12 of the 14 stay and the wrong one goes. A bit
// standing in for a value of its byte the same way restored 34 flips more on three
// seeds and wrote 2 wrong pictures more (a bit of the next byte, a bit far from the
// damage): not taken.
constexpr double kStandInVotes = 2;

bool StandsInFor(const VerifiedEdit& removed, const VerifiedEdit& best) {
  const bool manyWays = best.edit.kind == EditKind::Replace || best.edit.kind == EditKind::Insert;
  return manyWays && removed.edit.kind == EditKind::Remove && removed.edit.position == best.edit.position &&
         FitVotes(removed.rated, best.rated) >= kStandInVotes;
}

// Whether the choice a (an edit of kind) stands against the rival b: calibrating,
// always, with the margin recorded.
bool StandsAgainst(EditKind kind, const RatedMcus& a, const RatedMcus& b, ChoiceEvidence* evidence) {
  const double votes = FitVotes(a, b);
  const int32_t levels = LargestDifference(a, b);
  if (evidence == nullptr) {
    const RequiredMargin need = MarginFor(kind);
    return votes >= need.votes && levels >= need.levels;
  }
  evidence->Against(votes, levels);
  return true;
}

// Whether the chosen edit outfits every edit that ChooseRepair did not weigh against
// it because the search left it out of the whole-run rating: those are rated one at a
// time over the short run that left them out. Among many verified edits the original
// may fit a little worse there and still be the one. Not when the deadline passes
// before every one is rated.
// With nearOnly, only the left-out edits within a byte of the chosen one are weighed,
// and the chosen one need only fit better than each.
bool OutfitsLeftOut(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                    const SearchResult& search, const ScanEdit& chosen, const Deadline& deadline,
                    ChoiceEvidence* evidence, const ThumbnailGuide* guide, bool nearOnly = false) {
  const auto weighed = [&](const ScanEdit& e) {
    return !nearOnly || std::abs(e.position - chosen.position) <= 1;
  };
  if (std::none_of(search.leftOut.begin(), search.leftOut.end(), weighed)) return true;
  PictureFit fit(model, bytes, pass, search.shortFirst, search.shortSpan);
  RatedMcus own, rival;
  fit.Rate(&chosen, own, true);
  // A rival that the thumbnail makes far less likely is no evidence against the
  // choice, however the edges fit (not when calibrating the edges' margins).
  const bool thumbnail = guide != nullptr && evidence == nullptr;
  for (const ScanEdit& e : search.leftOut) {
    if (!weighed(e)) continue;
    if (deadline.Passed()) {
      if (evidence == nullptr) return false;
      evidence->unweighed = true;
      return true;
    }
    fit.Rate(&e, rival, true);
    if (rival.hash == own.hash || BitOutweighs(chosen, own, e, rival)) continue;
    if (nearOnly) {
      // The locator's bit need only fit better than the edits beside it: it already
      // stood out of every bit of the scan. Calibrating, only a rival that fits as
      // well is recorded, so that the rule in use replays as it decides.
      const double votes = FitVotes(own, rival);
      if (votes > 0) continue;
      if (evidence != nullptr) {
        evidence->Against(votes, LargestDifference(own, rival));
        continue;
      }
    } else if (StandsAgainst(chosen.kind, own, rival, evidence)) {
      continue;
    }
    if (!thumbnail || guide->Preference(own, rival, search.shortFirst) < kThumbnailMargin) return false;
  }
  return true;
}

// ChooseRepair with the left-out edits as rivals too.
std::optional<ScanEdit> ChooseAgainstAll(const ScanModel& model, std::span<const uint8_t> bytes,
                                         const ScanPass& pass, const SearchResult& search,
                                         const DamageReport& report, const Deadline& deadline,
                                         ChoiceEvidence* evidence, const ThumbnailGuide* guide) {
  std::optional<ScanEdit> chosen = ChooseRepair(search, report, evidence, guide);
  // Where the scan decodes as it is, nearly every edit of the window verifies: those
  // left out of the whole-run rating are no evidence against the bit that the
  // locator found as the best of all such bits of the scan, when it fits better than
  // every edit the search rated over the whole run (not when taken over a value of
  // its byte that fits better) -- except the edits of its own byte and the bytes on
  // either side, which change the same code words: a byte lost beside the bit's
  // byte once had the bit written for it, its own insertion left unweighed.
  const bool suspectBit = report.syntaxIntact && chosen && report.suspectBit == chosen &&
                          BitTakenOverItsByte(search, *chosen) == nullptr;
  if (chosen && !OutfitsLeftOut(model, bytes, pass, search, *chosen, deadline, evidence, guide, suspectBit))
    chosen.reset();
  return chosen;
}

}  // namespace

// CPU seconds for weighing the windows' choices once the deadline has passed: well
// within the half second between the default limit and the resource bound.
constexpr double kWeighingGrace = 0.25;

SearchResult SearchRepairs(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                           const DamageReport& report, const SearchControl& control,
                           std::optional<ScanEdit>* choice, ChoiceEvidence* evidence) {
  // Each window (a likely place of the damage) is searched and rated on its own. A
  // window that begins after the damage may still verify edits (that make up for
  // the MCUs lost before it) whose pictures look right from that window on; so when
  // windows give repairs, their best edits meet again over MCUs from the first
  // window's first MCU on, where those leave the damage in sight.
  // Once the deadline passes, only the windows searched and weighed to their end count.
  if (choice != nullptr) choice->reset();
  // The thumbnail is calibrated on the MCUs before the first window, where the
  // locator found the damage: the picture there is the undamaged one. (Later windows
  // may reach back further: to where the scan begins, say.)
  const std::unique_ptr<ThumbnailGuide> guide =
      choice != nullptr && !report.windows.empty()
          ? ThumbnailGuide::Make(model, bytes, pass, report.windows.front().firstMcu)
          : nullptr;
  std::vector<SearchResult> results;
  std::vector<std::optional<ScanEdit>> windowChoice;  // of each result
  std::vector<ChoiceEvidence> windowEvidence;         // of each result, calibrating
  std::vector<ScanEdit> finalists;
  std::vector<ScanEdit> chosenByWindow;
  bool anyChoice = false;
  bool timedOut = false;
  for (size_t i = 0; i < report.windows.size(); ++i) {
    SearchControl part = control;
    if (control.progress) {
      const double base = static_cast<double>(i) / static_cast<double>(report.windows.size());
      const double share = 1.0 / static_cast<double>(report.windows.size());
      part.progress = [&control, base, share](double f) { control.progress(base + share * f); };
    }
    SearchResult result = SearchEdits(model, bytes, pass, {report.windows[i]}, report.syntaxIntact, part);
    if (result.cancelled) return result;
    if (result.timedOut) {
      timedOut = true;
      break;
    }
    // A deadline that passes here leaves the window without a choice, never another.
    ChoiceEvidence own;
    const std::optional<ScanEdit> chosen = ChooseAgainstAll(
        model, bytes, pass, result, report, control.deadline, evidence ? &own : nullptr, guide.get());
    windowChoice.push_back(chosen);
    windowEvidence.push_back(std::move(own));
    anyChoice = anyChoice || chosen.has_value();
    if (chosen) {
      finalists.push_back(*chosen);
      chosenByWindow.push_back(*chosen);
    }
    for (size_t k = 0; k < result.verified.size() && k < kFinalistsPerWindow; ++k)
      finalists.push_back(result.verified[k].edit);
    results.push_back(std::move(result));
    if (control.deadline.Passed()) {
      timedOut = true;
      break;
    }
  }
  const auto timed = [&timedOut](SearchResult&& r) {
    r.timedOut = timedOut;
    return std::move(r);
  };
  if (results.size() == 1) {
    if (choice != nullptr) *choice = windowChoice[0];
    if (evidence != nullptr) *evidence = std::move(windowEvidence[0]);
    return timed(std::move(results[0]));
  }
  if (!anyChoice) {
    for (SearchResult& r : results)
      if (!r.verified.empty()) return timed(std::move(r));
    return timed(results.empty() ? SearchResult{} : std::move(results[0]));
  }
  std::sort(finalists.begin(), finalists.end(), [](const ScanEdit& a, const ScanEdit& b) {
    if (a.position != b.position) return a.position < b.position;
    if (a.kind != b.kind) return a.kind < b.kind;
    return a.value < b.value;
  });
  finalists.erase(std::unique(finalists.begin(), finalists.end()), finalists.end());
  int32_t first = model.totalMcus, last = 0;
  for (const SearchWindow& w : report.windows) {
    first = std::min(first, w.firstMcu);
    last = std::max(last, w.lastMcu);
  }
  // The choices of the windows searched to their end are weighed against each other
  // even where the deadline stopped a later window: a handful of edits over a row or
  // two of MCUs (milliseconds), and the best found so far is what a search cut short
  // gives. A window added after the failure's own once took the time this needed.
  const Deadline weighing = timedOut ? Deadline::After(kWeighingGrace, false) : control.deadline;
  SearchResult combined =
      RateEdits(model, bytes, pass, finalists, first, last - first + model.geometry.McusPerRow + 2,
                report.syntaxIntact, control.threads, true, weighing);
  for (const SearchResult& r : results) combined.trials += r.trials;
  if (combined.timedOut) {
    // The windows' best were not weighed against each other: none is chosen, and the
    // list is the first window's that verified anything.
    timedOut = true;
    for (SearchResult& r : results)
      if (!r.verified.empty()) return timed(std::move(r));
    return timed(SearchResult{});
  }
  combined.timedOut = timedOut;
  if (choice != nullptr) {
    // Only an edit that its own window chose: the others were rated there against
    // rivals that the combined rating no longer holds.
    *choice = ChooseRepair(combined, report, evidence, guide.get());
    if (*choice && std::find(chosenByWindow.begin(), chosenByWindow.end(), **choice) == chosenByWindow.end()) {
      if (evidence == nullptr) {
        choice->reset();
      } else {
        evidence->otherWindow = true;
      }
    }
    // Calibrating: the choice stood on its own window's margins too.
    for (size_t i = 0; evidence != nullptr && *choice && i < windowChoice.size(); ++i) {
      if (windowChoice[i] != *choice) continue;
      for (const ChoiceEvidence::Margin& m : windowEvidence[i].margins) evidence->Against(m.votes, m.levels);
      evidence->lone = evidence->lone || windowEvidence[i].lone;
      evidence->unweighed = evidence->unweighed || windowEvidence[i].unweighed;
    }
  }
  return combined;
}

void ChoiceEvidence::Against(double votes, int32_t levels) {
  for (const Margin& m : margins)
    if (m.votes <= votes && m.levels <= levels) return;
  std::erase_if(margins, [&](const Margin& m) { return m.votes >= votes && m.levels >= levels; });
  margins.push_back({votes, levels});
}

RequiredMargin MarginFor(EditKind kind) {
  // Fitted on 2,748 damaged copies of 24 photos of four encoders (1,811 visibly
  // damaged), every best-fitting edit taken and its margins recorded: one margin for
  // all kinds (4 votes, 12 levels) wrote 515 repairs, 2 of them another picture, and
  // restored 28.1 % of the visible damage; these wrote 614, 1 of them another
  // picture, and restored 33.3 %. A best-fitting bit or removed byte was the
  // original's in nine cases of ten, a replaced or inserted byte in one of five: at
  // 4 votes and 4 levels replaced bytes wrote 8 right and 1 wrong on that seed, and
  // 1 right and 2 wrong on a fresh one, so they need as much as inserted ones.
  // Refitted on three seeds of 1,438 copies each: replaced and inserted bytes asked
  // 12 votes and 4 levels wrote 8 more repairs than with 12 levels, all of them
  // right; asked no levels, 27 more, but a value of a byte 3 levels from the
  // original's outfitted it by 16 votes in a photo-like test picture and was
  // written: a twin that close is still no evidence either way. Removed bytes asked
  // no levels restored 19 copies more on those seeds and none wrong, but on a fresh
  // seed 13 more and 2 wrong (a byte removed beside a flipped bit, another two bytes
  // after an inserted one), so they keep their 4 levels. On five fresh seeds later
  // (523 to 533, 4,600 visible copies), removed bytes that outfitted a rival by 1 to 3
  // votes were another picture in 5 of some 50 (twins of the original a few levels
  // off, and one block 36 to 45 levels off where the damaged byte's value or bit was
  // the original): a wrong picture in ten where the target is one in a thousand, so
  // they ask 3 votes, at about one visible copy in a hundred less restored. On five
  // calibration seeds (523, 527, 529, 531, 541) bits that outfitted a rival by 1 to 2
  // votes were another picture in 4 of 28, each a bit beside a byte removed or
  // inserted (the scan made whole again a few bits on, the picture a twin a few
  // levels off), where the bits at 2 votes or more wrote 3 wrong of 264: they ask 2
  // votes, at 20 right repairs fewer of some 1,650 on those seeds.
  switch (kind) {
    case EditKind::SetBit:
    case EditKind::ClearBit:
      return {2, 0};
    case EditKind::Remove:
      return {3, 4};
    case EditKind::RestoreStuffing:
      return {1, 0};
    case EditKind::Replace:
    case EditKind::Insert:
      return {12, 4};
    default:
      return {kClearVotes, kDistinctLevels};
  }
}

namespace {

// Where the scan decodes as an encoder writes it, an edit must change the picture by
// as much as a person can see (the least DC step looked for anywhere): a smooth
// gradient's DC levels or ripples that lie along the block grid can look like a step
// of two or three levels that a DC bit mends, and a clean photo (Pillow, quality 55,
// a sea of horizontal ripples) had such a bit written, 4 levels over most of the
// picture. Damage whose repair moves no sample that far is not seen either. The
// file as it is must have been rated (search.nullRated).
bool ChangesVisibly(const SearchResult& search, const RatedMcus& picture) {
  return LargestDifference(picture, search.null) >= kLeastVisibleLevels;
}

// The choice by the block edges alone (ChooseRepair without a thumbnail).
std::optional<ScanEdit> ChooseByEdges(const SearchResult& search, const DamageReport& report,
                                      ChoiceEvidence* evidence) {
  const bool syntaxIntact = report.syntaxIntact;
  if (search.cancelled || search.verified.empty()) return std::nullopt;
  // Where the damage lies inside the searched bytes, the original's edit nearly always
  // has company: other values or bits of the damaged byte that decode too. An edit
  // that alone makes the scan whole is more often a chance make-up, further on, for
  // damage before the window (a byte lost there, a byte changed here, and the MCU
  // count comes out right). A lost stuffed 00 and a foreign marker are the
  // exceptions, and so are a byte between a data FF and its stuffed 00 and padding
  // bits before a marker: the scan itself points at them.
  // The same holds for one picture that several edits give (a restart interval of one
  // MCU leaves few bits to edit: three edits of two bytes gave one picture that was
  // written for a byte lost beside them).
  if (OnePicture(search)) {
    const ScanEdit& lone = std::ranges::min_element(search.verified, {}, [](const VerifiedEdit& v) {
                             return v.edit.Size();
                           })->edit;
    const bool afterMarkerFill = lone.kind == EditKind::Remove && lone.position == report.markerByte + 1;
    if (lone.kind != EditKind::RestoreStuffing && lone.kind != EditKind::RemoveMarker && !afterMarkerFill &&
        lone.position != report.paddingByte) {
      if (evidence == nullptr) return std::nullopt;
      evidence->lone = true;
    }
  }
  // The best-fitting edit must fit clearly better than every edit that gives another
  // picture; of the edits that give its picture, the smallest is taken. Where two
  // pictures fit about as well, nothing tells which is the original's, with one
  // exception: a byte replaced by a value that changes the bit of a one-bit edit and
  // more (bits of small coefficients, a level or two in the picture) is far less
  // likely than the one bit (one value of 255 against one bit of 8), so the one bit
  // is taken over those, unless the best fits clearly better by its steps, however
  // few levels apart (a fresh seed wrote an overwritten byte's bit that the original
  // value outfitted by 4.3 votes, 5 levels apart); and that byte removed, when it
  // wins where the two pictures differ, is weighed as the choice (StandsInFor).
  const VerifiedEdit& best = search.verified.front();
  const VerifiedEdit* choice = &best;
  for (const VerifiedEdit& v : search.verified) {
    if (v.rated.hash == best.rated.hash && v.edit.Size() < choice->edit.Size()) choice = &v;
    if (choice == &best && StandsInFor(v, best)) choice = &v;
    if (IsBit(v.edit) && !IsBit(choice->edit) && Subsumes(choice->edit, v.edit) &&
        !ClearlyBetter(best.rated, v.rated) && FewLookAlikes(search, v))
      choice = &v;
  }
  for (const VerifiedEdit& other : search.verified) {
    if (other.rated.hash == choice->rated.hash) continue;
    if (BitOutweighs(choice->edit, choice->rated, other.edit, other.rated)) continue;
    if (!StandsAgainst(choice->edit.kind, choice->rated, other.rated, evidence)) return std::nullopt;
  }
  if (syntaxIntact) {
    if (!search.nullRated || choice->rated.hash == search.null.hash) return std::nullopt;
    if (!StandsAgainst(choice->edit.kind, choice->rated, search.null, evidence)) return std::nullopt;
    if (!ChangesVisibly(search, choice->rated)) return std::nullopt;
  }
  return choice->edit;
}

// The verified edit of each picture (the smallest of those that give it) with its
// misfit by the thumbnail.
std::vector<std::pair<const VerifiedEdit*, double>> RankByThumbnail(const SearchResult& search,
                                                                    const ThumbnailGuide& guide) {
  std::vector<std::pair<const VerifiedEdit*, double>> pictures;
  for (const VerifiedEdit& v : search.verified) {
    const auto same = std::find_if(pictures.begin(), pictures.end(),
                                   [&](const auto& p) { return p.first->rated.hash == v.rated.hash; });
    if (same == pictures.end()) {
      pictures.emplace_back(&v, guide.Misfit(v.rated, search.ratedFirst));
    } else if (v.edit.Size() < same->first->edit.Size()) {
      same->first = &v;
    }
  }
  return pictures;
}

}  // namespace

std::optional<ScanEdit> ChooseRepair(const SearchResult& search, const DamageReport& report,
                                     ChoiceEvidence* evidence, const ThumbnailGuide* guide) {
  std::optional<ScanEdit> chosen = ChooseByEdges(search, report, evidence);
  if (chosen || guide == nullptr || evidence != nullptr || search.cancelled) return chosen;
  // The edges left the choice open: the picture the thumbnail makes far likelier than
  // every other verified one and than the file as it is, each of whose MCUs is about
  // as likely as the undamaged ones (the likeliest of pictures that all keep garbage,
  // such as edits after the damage that make up for it, is none of them). Not a lone
  // edit: with no rival, the thumbnail has nothing to weigh it against.
  const auto pictures = RankByThumbnail(search, *guide);
  if (search.VerifiedCount() < 2 || pictures.size() < 2) return std::nullopt;
  const auto best = std::min_element(pictures.begin(), pictures.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
  const RatedMcus& picture = best->first->rated;
  for (const auto& [v, misfit] : pictures)
    if (v != best->first && guide->Preference(picture, v->rated, search.ratedFirst) < kThumbnailMargin)
      return std::nullopt;
  if (report.syntaxIntact &&
      (!search.nullRated || guide->Preference(picture, search.null, search.ratedFirst) < kThumbnailMargin ||
       !ChangesVisibly(search, picture)))
    return std::nullopt;
  if (guide->WorstMcu(picture, search.ratedFirst) > kThumbnailWorstMcu * guide->WorstUndamagedMcu())
    return std::nullopt;
  return best->first->edit;
}

double DefaultTimeLimit(int64_t fileBytes) {
  constexpr double kMegabyte = 1024.0 * 1024.0;
#ifdef VORN_SLOW_BUILD
  // An unoptimised build under the sanitizers runs a search twenty to forty times
  // slower: the same default must find the same repairs there.
  constexpr double kSlowdown = 40;
#else
  constexpr double kSlowdown = 1;
#endif
  return kSlowdown * std::clamp(2.5 + 3.5 * (static_cast<double>(fileBytes) / kMegabyte - 1.0), 2.5, 28.0);
}

namespace {

// The edits without edits[i], each at positions of the bytes as they would be then;
// none when a later edit touches the bytes edits[i] wrote (it then depends on them).
std::optional<std::vector<ScanEdit>> EditsWithout(const std::vector<ScanEdit>& edits, size_t i) {
  std::vector<ScanEdit> out(edits.begin(), edits.begin() + static_cast<std::ptrdiff_t>(i));
  int32_t at = edits[i].position;           // where the bytes edits[i] wrote begin, as the bytes are now
  const int32_t wrote = edits[i].inserted;  // and how many there are
  const int32_t growth = edits[i].Growth();
  for (size_t j = i + 1; j < edits.size(); ++j) {
    ScanEdit e = edits[j];
    if (e.position + e.removed <= at) {
      at += e.Growth();  // before them: it moves them
    } else if (e.position >= at + wrote) {
      e.position -= growth;
    } else {
      return std::nullopt;
    }
    out.push_back(e);
  }
  return out;
}

// original with edits applied in turn; none when one no longer finds the bytes it
// was made for.
std::optional<std::vector<uint8_t>> Replayed(const std::vector<uint8_t>& original,
                                             const std::vector<ScanEdit>& edits) {
  std::vector<uint8_t> bytes = original;
  for (const ScanEdit& e : edits) {
    if (e.position < 0 || static_cast<size_t>(e.position) + e.removed > bytes.size()) return std::nullopt;
    const auto at = static_cast<size_t>(e.position);
    if ((e.removed >= 1 && bytes[at] != e.old) || (e.removed == 2 && bytes[at + 1] != e.old2))
      return std::nullopt;
    ApplyEdit(bytes, e);
  }
  return bytes;
}

}  // namespace

void DropUnneededEdits(const ScanModel& model, const std::vector<uint8_t>& original,
                       std::vector<uint8_t>& bytes, RepairRun& run) {
  for (size_t i = 0; i + 1 < run.applied.size();) {
    const std::optional<std::vector<ScanEdit>> fewer = EditsWithout(run.applied, i);
    std::optional<std::vector<uint8_t>> candidate;
    if (fewer) candidate = Replayed(original, *fewer);
    if (!candidate || CheckDamage(model, *candidate).health != ScanHealth::Clean) {
      ++i;
      continue;
    }
    bytes = std::move(*candidate);
    run.applied = std::move(*fewer);
    if (i < run.evidence.size()) run.evidence.erase(run.evidence.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

RepairRun RepairScan(const ScanModel& model, std::vector<uint8_t>& bytes, int maxEdits,
                     const SearchControl& control) {
  RepairRun run;
  std::vector<uint8_t> original;  // the bytes before the first edit, once one is applied
  for (int i = 0;; ++i) {
    ScanPass pass;
    const DamageReport report = LocateDamage(model, bytes, pass);
    if (i == 0) run.first = report;
    if (report.health == ScanHealth::Clean) {
      if (run.applied.size() > 1) DropUnneededEdits(model, original, bytes, run);
      run.result = run.applied.empty() ? RepairResult::Clean : RepairResult::Repaired;
      return run;
    }
    if (i >= maxEdits) break;
    if (run.timedOut || control.deadline.Passed()) {
      run.timedOut = true;
      break;
    }
    std::optional<ScanEdit> edit;
    ChoiceEvidence evidence;
    const SearchResult search =
        SearchRepairs(model, bytes, pass, report, control, &edit, control.calibrate ? &evidence : nullptr);
    if (search.cancelled) {
      run.result = RepairResult::Cancelled;
      return run;
    }
    run.timedOut = search.timedOut;
    if (!edit) break;
    if (run.applied.empty()) original = bytes;
    ApplyEdit(bytes, *edit);
    run.applied.push_back(*edit);
    if (control.calibrate) run.evidence.push_back(std::move(evidence));
  }
  run.result = RepairResult::NotRepaired;
  return run;
}

}  // namespace vorn
