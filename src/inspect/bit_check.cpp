#include "inspect/bit_check.h"

#include <algorithm>
#include <limits>

#include "inspect/candidates.h"
#include "inspect/ratings.h"
#include "inspect/trace_scan.h"

namespace vorn {

namespace {

// Before any trial has completed its first MCU the window reaches this far past
// the start; afterwards it ends this many bytes past where that MCU last ended.
constexpr int64_t kFirstWindow = 160;
constexpr int64_t kWindowPastMcuEnd = 16;

// The search starts in the scan data or not at all. An MCU the last decode never
// reached has a pointer at byte 0: trying header bytes as scan data would be
// meaningless, and position 0 marks an empty candidate entry.
bool CanSearchFrom(const AppState& app, int32_t p, int32_t b) {
  return b >= 0 && b <= 7 && p >= app.rec.scan.ScanDataStart && p > 0;
}

}  // namespace

void BITCHK_Click(AppState& app) {
  const McuGeometry& geometry = app.decode.Geometry;
  McuBuffer buffer;
  buffer.Reset(std::max(geometry.McuWidth, 0), std::max(geometry.McuHeight, 0), 3);
  CandidateTable& table = app.inspect.BitCandidate;
  ResetCandidates(table);
  BestReach best;

  const McuPointerState& pointer = app.inspect.McuPointer;
  int64_t p = pointer.BytePos;
  int32_t b = pointer.BitIndex;
  app.inspect.McuEnd[0] =
      static_cast<int32_t>(std::min<int64_t>(p + kFirstWindow, std::numeric_limits<int32_t>::max()));

  const RatingContext context{&app.decode.ImagePixels,
                              app.decode.ImageWidth,
                              app.decode.ImageHeight,
                              geometry.McuWidth,
                              geometry.McuHeight,
                              pointer.Column,
                              pointer.Row};
  const bool searchable = geometry.Valid() && CanSearchFrom(app, pointer.BytePos, b);
  while (searchable) {
    // McuEnd(0) is re-read every bit: each trial that completes its first MCU moves it.
    if (p > app.inspect.McuEnd[0] + kWindowPastMcuEnd || p > app.analysis.ScanDataEnd ||
        !app.file.Contains(p))
      break;
    const uint8_t byte = app.file.bytes[static_cast<size_t>(p)];
    const auto mask = static_cast<uint8_t>(0x80 >> b);
    if ((byte & mask) == 0) {
      const ByteOverride trial{static_cast<int32_t>(p), static_cast<uint8_t>(byte | mask)};
      if (TraceScan(app, buffer, 2, false, trial) == kTraceDone) {
        AcceptTrial(table, best,
                    BitCandidateEntry{TrialScore(buffer, context), static_cast<int32_t>(p), b,
                                      app.inspect.McuEnd[0]});
      }
    }
    if (++b == 8) {
      b = 0;
      ++p;
    }
  }
  KeepFarthestReach(table, best);
  ListCandidates(table, app.file, app.form.LOG, app.analysis);
}

}  // namespace vorn
