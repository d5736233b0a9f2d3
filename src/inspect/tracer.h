// The scan tracer's kernel: re-decodes consecutive MCUs from a chosen bit of the
// scan as the decoder's bit-serial machine does (whole code words where they are
// held before any marker, bit by bit near one), listing every code word at its bit
// position, with everything it reads passed in. The single-bit search runs
// it hundreds of times per search, so a trace never copies the file image, and
// with listing off it allocates nothing but its prepared tables.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/analysis_state.h"
#include "analysis/file_image.h"
#include "decode/decode_state.h"
#include "inspect/inspect_state.h"
#include "jpeg/records.h"
#include "window/elements.h"

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

enum class TraceResult : int16_t {
  Done = 0,           // MCUs 0 .. last all completed
  ForeignMarker = 1,  // a marker other than RST0..RST7
  Failure = 2,        // decoding failure
  EndOfData = 3,      // ScanDataEnd passed first
};

// A trial change seen by the tracer in place of the file's bytes, so that a search
// or a preview can try it without writing to (or copying) the file image: the
// `removed` bytes at position give way to `inserted` bytes of value (by default one
// byte replaced). Positions after the change are those of the changed file.
struct ByteOverride {
  int32_t position = -1;  // -1: none
  uint8_t value = 0;
  uint8_t removed = 1;   // 0..2
  uint8_t inserted = 1;  // 0..1

  // How much the file grows with the change (negative: shrinks).
  int32_t Growth() const { return position < 0 ? 0 : int32_t{inserted} - int32_t{removed}; }
  bool Contains(const FileImage& file, int64_t p) const { return p >= 0 && p < file.FileLength() + Growth(); }
  // The byte at p of the changed file, which must contain p.
  uint8_t At(const FileImage& file, int64_t p) const {
    if (position < 0 || p < position) return file.bytes[static_cast<size_t>(p)];
    if (p < int64_t{position} + inserted) return value;
    return file.bytes[static_cast<size_t>(p - inserted + removed)];
  }
};

// What one trace reads: the file, the tables and the block plan and transform
// matrix of the last decode, and where to start. The bits are taken most
// significant first through the decoder's reader; bitMask is no longer read.
struct TraceInputs {
  const FileImage& file;
  const Records& rec;  // sampling factors, ScanDataStart, Huffman and quantization stores
  const McuBlockPlan& plan;
  const std::array<uint8_t, 8>& bitMask;
  const IdctMatrixTable& idct;
  int32_t scanDataEnd;
  McuPointerState pointer;
  std::array<int32_t, 3> startDc;  // McuStarts(pointer column, row, 0..2)
  ByteOverride trial;
};

// Where the listing goes: LOG and its LineAddress entries.
struct TraceListing {
  window::ListBox& LOG;
  AnalysisState& analysis;
};

// A trace never lists more lines than LOG holds.
inline constexpr int kTraceLineLimit = kMaxLogLines;

// Traces MCUs 0 .. lastMcu into pixels (McuWidth x McuHeight each, at least
// lastMcu + 1 of them). Writes mcuEnd(m) for every
// completed MCU m before the last. With a listing, LOG is emptied (tag "") and
// receives one line per coefficient and per end of block.
// The DC predictors are reset at RST0..RST7 as the decoder resets them, and a start
// on the byte that follows a data FF resumes after it as the decoder did.
TraceResult TraceMcus(const TraceInputs& in, std::array<int32_t, 3>& mcuEnd, McuBuffer& pixels,
                      int16_t lastMcu, TraceListing* listing);

// "0000025A-3:": a file position as eight hexadecimal digits, its bit, a colon.
std::string PositionPrefix(int32_t position, int32_t bit);

}  // namespace vorn
