#include "inspect/bit_search.h"

#include <algorithm>
#include <limits>

namespace vorn {

namespace {

// Before any trial has completed its first MCU the window reaches this far past
// the start; afterwards it ends this many bytes past where that MCU last ended.
constexpr int64_t kFirstWindow = 160;
constexpr int64_t kWindowPastMcuEnd = 16;

// The search starts in the scan data or not at all. An MCU the last decode never
// reached has a pointer at byte 0: trying header bytes as scan data would be
// meaningless, and position 0 marks an empty candidate entry.
bool CanSearchFrom(const Records& rec, int32_t p, int32_t b) {
  return b >= 0 && b <= 7 && p >= rec.scan.ScanDataStart && p > 0;
}

}  // namespace

void SearchSingleBits(const TraceInputs& start, bool pointerKnown, const RatingContext& context,
                      std::array<int32_t, 3>& mcuEnd, CandidateTable& table) {
  McuBuffer buffer;
  buffer.Reset(std::max(context.mcuWidth, 0), std::max(context.mcuHeight, 0), 3);
  ResetCandidates(table);
  BestReach best;

  const McuPointerState& pointer = start.pointer;
  int64_t p = pointer.BytePos;
  int32_t b = pointer.BitIndex;
  mcuEnd[0] = static_cast<int32_t>(std::min<int64_t>(p + kFirstWindow, std::numeric_limits<int32_t>::max()));

  TraceInputs in = start;
  const FileImage& file = start.file;
  const bool searchable = pointerKnown && context.mcuWidth > 0 && context.mcuHeight > 0 &&
                          CanSearchFrom(start.rec, pointer.BytePos, b);
  while (searchable) {
    // McuEnd(0) is re-read every bit: each trial that completes its first MCU moves it.
    if (p > mcuEnd[0] + kWindowPastMcuEnd || p > start.scanDataEnd || !file.Contains(p)) break;
    const uint8_t byte = file.bytes[static_cast<size_t>(p)];
    const auto mask = static_cast<uint8_t>(0x80 >> b);
    if ((byte & mask) == 0) {
      in.trial = ByteOverride{static_cast<int32_t>(p), static_cast<uint8_t>(byte | mask)};
      if (TraceMcus(in, mcuEnd, buffer, 2, nullptr) == TraceResult::Done) {
        AcceptTrial(table, best,
                    BitCandidateEntry{TrialScore(buffer, context), static_cast<int32_t>(p), b, mcuEnd[0]});
      }
    }
    if (++b == 8) {
      b = 0;
      ++p;
    }
  }
  KeepFarthestReach(table, best);
}

}  // namespace vorn
