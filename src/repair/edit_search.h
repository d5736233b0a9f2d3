// The verified search: every small edit within a window of the scan is tried, and
// an edit counts only when the rest of the scan then decodes as an encoder writes
// it (see strict_decoder.h). Verified edits are rated by how well the MCUs they
// change fit the picture around them.
//
// A trial never copies the file: it reads it through a PatchedBytes and resumes the
// decode at the last symbol before the edit. It ends as soon as its MCU boundaries
// meet those of a decode already known (the damaged file's own, or an earlier
// trial's that ran to the end): from there on the two read the same bits, so the
// known decode's ending, moved by the difference in MCU count, is the trial's.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "repair/picture_fit.h"
#include "repair/scan_edit.h"
#include "repair/scan_model.h"
#include "repair/scan_pass.h"

namespace vorn {

struct SearchWindow {
  int32_t firstMcu = 0;   // trials start at this MCU's first bit
  int32_t lastMcu = 0;    // the MCU that holds lastByte, about
  int64_t firstByte = 0;  // edits are tried at positions firstByte .. lastByte
  int64_t lastByte = -1;
};

struct VerifiedEdit {
  ScanEdit edit;
  RatedMcus rated;  // the MCUs the search rates, decoded with the edit
};

struct SearchResult {
  std::vector<VerifiedEdit> verified;  // best first: by fit, then by edit size
  int64_t trials = 0;
  bool cancelled = false;
  // The deadline passed: verified holds only what complete windows verified and
  // rated (a window cut short may lack the rivals of its best edit).
  bool timedOut = false;
  bool nullRated = false;  // syntax intact: the unedited file was rated too
  RatedMcus null;
  int32_t ratedFirst = 0;  // the first MCU the ratings of verified and null cover
  // When too many edits verified to rate them all over the whole run: those left out,
  // and the short run over which the best were chosen. They still count as rivals.
  std::vector<ScanEdit> leftOut;
  int32_t shortFirst = 0, shortSpan = 0;

  size_t VerifiedCount() const { return verified.size() + leftOut.size(); }
};

// When a search must stop: once the given seconds of wall-clock time have passed, or
// the process (all its threads) has used that much more CPU time, whichever is first;
// or, with wallClock false, only the CPU time: a default bound that gives the same
// result however busy the machine is.
class Deadline {
 public:
  Deadline() = default;  // never
  static Deadline After(double seconds, bool wallClock = true);
  bool Passed() const;

 private:
  bool set_ = false;
  std::chrono::steady_clock::time_point wall_{};
  std::clock_t cpu_ = 0;
  // The process's CPU time is a system call (the wall clock is not): it is read at
  // most once a millisecond of wall time, and once passed the deadline stays passed,
  // for every copy of it.
  struct CpuClock {
    std::atomic<int64_t> nextRead{0};  // steady-clock nanoseconds
    std::atomic<bool> passed{false};
  };
  std::shared_ptr<CpuClock> cpuClock_;
};

struct SearchControl {
  int threads = 2;
  const std::atomic<bool>* cancel = nullptr;
  // Checked where the cancel flag is; the search then returns the best of what it
  // finished (SearchResult::timedOut), where a cancel returns nothing.
  Deadline deadline;
  // Fraction of the trials done, 0..1; called from the calling thread only.
  std::function<void(double)> progress;
  // Choose the best-fitting verified edit whatever its margins and record them
  // (RepairRun::evidence): for fitting the choice rule, never for a user's file.
  bool calibrate = false;

  bool Cancelled() const { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }
};

// Tries the edits of every window on bytes (whose strict pass is pass, with planes)
// and returns the best verified ones, all rated over the same MCUs: from the first
// window's first MCU to a row of MCUs past the last MCU the windows cover (those
// MCUs first, for all of them, then the whole run for the best). syntaxIntact: the
// file decodes as it is, which is rated too.
SearchResult SearchEdits(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                         const std::vector<SearchWindow>& windows, bool syntaxIntact,
                         const SearchControl& control);

// Rates edits (each verified) over MCUs firstMcu .. firstMcu + span - 1, best first;
// rateUnedited: the file as it is too. Once the deadline passes the rating stops
// (timedOut) and the ratings are incomplete.
SearchResult RateEdits(const ScanModel& model, std::span<const uint8_t> bytes, const ScanPass& pass,
                       const std::vector<ScanEdit>& edits, int32_t firstMcu, int32_t span, bool rateUnedited,
                       int threads, bool keepSamples = true, const Deadline& deadline = {});

// Whether a marker code met inside the entropy-coded data is one that no writer puts
// there: its FF is then a data FF whose stuffed 00 was lost, never a marker written
// into the data.
bool MarkerNeverWrittenInData(uint8_t code);

// Every edit the search tries at position p (which must lie inside bytes), in order.
void EditsAt(std::span<const uint8_t> bytes, int64_t p, int64_t firstByte, std::vector<ScanEdit>& out);

}  // namespace vorn
