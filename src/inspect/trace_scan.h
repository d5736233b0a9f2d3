// Re-decoding the scan from the chosen MCU, optionally listing every code word.
#pragma once

#include <cstdint>
#include <vector>

#include "app/app_state.h"

namespace vorn {

// Pixels of consecutive traced MCUs: (x, y, m), y = 0 the top row of the MCU,
// 0x00RRGGBB.
struct McuBuffer {
  int32_t width = 0;   // McuWidth
  int32_t height = 0;  // McuHeight
  int32_t count = 0;   // MCUs held: m = 0 .. count - 1
  std::vector<uint32_t> pixels;

  void Reset(int32_t w, int32_t h, int32_t n) {
    width = w;
    height = h;
    count = n;
    pixels.assign(static_cast<size_t>(w) * h * n, 0);
  }
  uint32_t& At(int32_t x, int32_t y, int32_t m) {
    return pixels[(static_cast<size_t>(m) * height + y) * width + x];
  }
  uint32_t At(int32_t x, int32_t y, int32_t m) const {
    return pixels[(static_cast<size_t>(m) * height + y) * width + x];
  }
};

enum TraceResult : int16_t {
  kTraceDone = 0,           // MCUs 0 .. last all completed
  kTraceForeignMarker = 1,  // a marker other than RST0..RST7
  kTraceFailure = 2,        // decoding failure
  kTraceEndOfData = 3,      // ScanDataEnd passed first
};

// A trial byte seen by the tracer in place of the file's byte, so that a search can
// try a change without writing to (or copying) the file image.
struct ByteOverride {
  int32_t position = -1;  // -1: none
  uint8_t value = 0;
};

// Traces MCUs 0 .. lastMcu from s.inspect.McuPointer into pixels (which must hold
// at least lastMcu + 1 MCUs of McuWidth x McuHeight). With listing on, refills LOG
// and LineAddress. Writes McuEnd for completed MCUs before the last.
int16_t TraceScan(AppState& s, McuBuffer& pixels, int16_t lastMcu, bool listing,
                  ByteOverride trial = {});

}  // namespace vorn
