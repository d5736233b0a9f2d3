// What the last decode leaves behind for the view, the MCU pointer and the tracer.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/large_buffer.h"
#include "jpeg/records.h"

namespace vorn {

// Shown to the user as its number ("スキャンデータが不正です(2)", "status 2").
enum class DecodeStatus : int {
  Ok = 0,             // ScanDataEnd passed (however many MCUs were decoded)
  ForeignMarker = 1,  // a marker other than RST0..RST7 inside the data
  Failure = 2,        // bad code word, overflow, too many blocks or rows ...
};

// MCU geometry, from the sampling of frame component 0 only (ComponentSampling:
// 1 x 1 for a grey frame).
struct McuGeometry {
  int32_t McuWidth = 0;   // 8 x h of component 0
  int32_t McuHeight = 0;  // 8 x v of component 0
  int32_t McusPerRow = 0;
  int32_t McuRows = 0;
  bool Valid() const { return McuWidth > 0 && McuHeight > 0; }
};
McuGeometry ComputeMcuGeometry(const FrameRecord& frame);

// The MCU rows first .. last whose pixels a decode stores: all of them for a picture
// that is shown. A command that shows none needs no pixels at all (the MCU pointer,
// the trace), or only the few rows that a rating compares with (the bit search).
struct PixelRows {
  int32_t first = 0;
  int32_t last = INT32_MAX;

  static constexpr PixelRows None() { return {0, -1}; }
  bool All() const { return first <= 0 && last == INT32_MAX; }
  bool Empty() const { return first > last; }
  bool Contains(int32_t row) const { return row >= first && row <= last; }
  // How many of the rows 0 .. rowCount - 1 are chosen.
  int32_t Within(int32_t rowCount) const {
    const int64_t lo = std::max(first, 0), hi = std::min<int64_t>(last, int64_t{rowCount} - 1);
    return hi < lo ? 0 : static_cast<int32_t>(hi - lo + 1);
  }
};

// One McuStarts entry: DC predictors when the previous MCU completed, and the
// byte and bit index of the last bit consumed before this MCU.
struct McuStart {
  int32_t Dc[3] = {0, 0, 0};
  int32_t BytePos = 0;
  int32_t BitIndex = 0;
};

// McuStarts for columns 0 .. McusPerRow - 1 and rows 0 .. McuRows (one surplus row).
struct McuStartTable {
  int32_t Columns = 0;
  int32_t Rows = 0;  // McuRows + 1
  std::vector<McuStart, LargeBufferAllocator<McuStart>> Entries;

  // Sizes the table, every entry zero.
  void Reset(int32_t cols, int32_t rowCount) {
    Columns = cols;
    Rows = rowCount;
    Entries.assign(static_cast<size_t>(cols) * static_cast<size_t>(rowCount), McuStart{});
  }
  bool Fits(int32_t cols, int32_t rowCount) const {
    return Columns == cols && Rows == rowCount &&
           Entries.size() == static_cast<size_t>(cols) * static_cast<size_t>(rowCount);
  }
  bool Contains(int32_t c, int32_t r) const { return c >= 0 && r >= 0 && c < Columns && r < Rows; }
  McuStart& At(int32_t c, int32_t r) { return Entries[static_cast<size_t>(r) * Columns + c]; }
  const McuStart& At(int32_t c, int32_t r) const { return Entries[static_cast<size_t>(r) * Columns + c]; }
};

// The block plan of one MCU: for block b, DC selector, AC selector, quantization
// selector and component index.
struct McuBlockPlan {
  std::array<int16_t, 24> McuBlockTable{};  // b: DC, 6+b: AC, 12+b: quant, 18+b: component
  int16_t McuBlockCount = 0;
  int16_t Dc(int b) const { return McuBlockTable[b]; }
  int16_t Ac(int b) const { return McuBlockTable[6 + b]; }
  int16_t Quant(int b) const { return McuBlockTable[12 + b]; }
  int16_t Component(int b) const { return McuBlockTable[18 + b]; }
};

// 64 x 64 integer inverse-DCT matrix, (h, k): h = y*8+x sample, k = v*8+u frequency.
using IdctMatrixTable = std::array<int32_t, 64 * 64>;

struct DecodeState {
  int32_t ViewWidth = 417;
  int32_t ViewHeight = 433;
  McuGeometry Geometry;
  // X x Y pixels 0x00RRGGBB, rows bottom-up (row r is image line Y - 1 - r):
  // exactly the pixel block of a 32-bit BI_RGB bitmap. Kept from one picture to the
  // next of the same size: every decode writes every pixel.
  PixelStore ImagePixels;
  int32_t ImageWidth = 0;
  int32_t ImageHeight = 0;
  McuStartTable McuStarts;
  McuBlockPlan Plan;
  std::array<uint8_t, 8> BitMask{};
  IdctMatrixTable IdctMatrix{};
  // Status of the last RenderImage's decode; none when it decoded nothing.
  std::optional<DecodeStatus> LastStatus;
  // Largest picture, in bytes, the display will hold; beyond it, as when the memory
  // cannot be had, RenderImage reports the picture as too large. Frames are at most
  // 4000 x 4000 (64 MB), so only a test has reason to lower it.
  int64_t PictureByteLimit = INT64_MAX;
};

}  // namespace vorn
