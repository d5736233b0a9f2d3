// The candidate table of the single-bit search: the best-rated trials in order of
// their score, and the trial whose first MCU reached farthest.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "analysis/analysis_state.h"
#include "analysis/file_image.h"
#include "inspect/inspect_state.h"
#include "window/elements.h"

namespace vorn {

using CandidateTable = std::array<BitCandidateEntry, 9>;

// A trial scoring this much or more is never a candidate.
inline constexpr int32_t kRejectedScore = 512;
// Entries 0 .. 7 are listed; entry 8 only catches what is pushed out of entry 7.
inline constexpr int kListedCandidates = 8;

// The accepted trial with the largest reach of one search.
struct BestReach {
  int32_t Reach = 0;
  int32_t Position = 0;
  int32_t BitIndex = 0;
};

// All nine entries empty: score 512, position 0, bit 0, reach 0.
void ResetCandidates(CandidateTable& table);

// Records a completed trial: below 512 it is inserted after every entry with a
// score not above its own, and it becomes the best record when it reached farther.
void AcceptTrial(CandidateTable& table, BestReach& best, const BitCandidateEntry& trial);

// Keeps the farthest-reaching trial listed: when eight better-rated trials pushed
// it out, entry 7 takes its position, bit and reach (the score stays).
void KeepFarthestReach(CandidateTable& table, const BestReach& best);

// "00001A2B-5:40→44 EOMCU:1A60": position, bit, the byte now and with the bit set,
// and the reach.
std::string CandidateLine(const BitCandidateEntry& entry, uint8_t byteNow);

// Refills LOG with one line per filled entry 0 .. 7 (line n is entry n, its
// LineAddress the entry's position) and gives it the candidate-list tag "1".
void ListCandidates(const CandidateTable& table, const FileImage& file, window::ListBox& LOG,
                    AnalysisState& analysis);

}  // namespace vorn
