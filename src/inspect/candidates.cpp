#include "inspect/candidates.h"

#include <algorithm>

#include "analysis/hex.h"
#include "analysis/message_log.h"
#include "inspect/tracer.h"

namespace vorn {

void ResetCandidates(CandidateTable& table) {
  table.fill(BitCandidateEntry{});
}

void AcceptTrial(CandidateTable& table, BestReach& best, const BitCandidateEntry& trial) {
  if (trial.Score >= kRejectedScore) return;
  for (int i = kListedCandidates - 1; i >= 0; --i) {
    if (table[i].Score <= trial.Score) break;
    table[i + 1] = table[i];
    table[i] = trial;
  }
  if (best.Reach < trial.Reach) best = {trial.Reach, trial.Position, trial.BitIndex};
}

void KeepFarthestReach(CandidateTable& table, const BestReach& best) {
  int32_t reach = 0;
  for (int i = 0; i < kListedCandidates; ++i) reach = std::max(reach, table[i].Reach);
  if (reach >= best.Reach) return;
  BitCandidateEntry& last = table[kListedCandidates - 1];
  last.Position = best.Position;
  last.BitIndex = best.BitIndex;
  last.Reach = best.Reach;
}

std::string CandidateLine(const BitCandidateEntry& entry, uint8_t byteNow) {
  const auto withBit = static_cast<uint8_t>(byteNow | (0x80 >> (entry.BitIndex & 7)));
  return PositionPrefix(entry.Position, entry.BitIndex & 7) + Hex2(byteNow) + "→" + Hex2(withBit) +
         " EOMCU:" + HexNoZeros(static_cast<uint32_t>(entry.Reach));
}

void ListCandidates(const CandidateTable& table, const FileImage& file, window::ListBox& LOG,
                    AnalysisState& analysis) {
  ClearLog(LOG, analysis);
  for (int i = 0; i < kListedCandidates; ++i) {
    const BitCandidateEntry& entry = table[i];
    if (entry.Position == 0 || !file.Contains(entry.Position)) continue;
    AddLogLine(LOG, analysis, CandidateLine(entry, file.At(entry.Position)), entry.Position);
  }
  LOG.tag = kCandidateListTag;
}

}  // namespace vorn
