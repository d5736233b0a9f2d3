// What the analysis leaves for the decoder, the tracer and the display: frame and
// scan records, the quantization and Huffman stores, the APP0 record.
// None of these is cleared between analyses: a field keeps an earlier file's value
// until a parser of the current analysis overwrites it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vorn {

struct FrameRecord {
  int16_t FrameLength = 0;
  int16_t FramePrecision = 0;
  uint16_t FrameHeight = 0;  // Y, 1..4000 after the checks
  uint16_t FrameWidth = 0;   // X, 1..4000 after the checks
  int16_t ComponentCount = 0;
  std::array<int16_t, 3> ComponentId{};
  std::array<int16_t, 3> HSampling{};
  std::array<int16_t, 3> VSampling{};
  std::array<int16_t, 3> QuantSelector{};
};

struct ScanRecord {
  int16_t ScanLength = 0;
  int16_t ScanComponentCount = 0;
  std::array<int16_t, 3> ScanComponentSelector{};
  std::array<int16_t, 3> DcTableSelector{};
  std::array<int16_t, 3> AcTableSelector{};
  int16_t SpectralStart = 0;
  int16_t SpectralEnd = 0;
  int16_t ApproxHigh = 0;
  int16_t ApproxLow = 0;
  int32_t ScanDataStart = 0;  // first byte of entropy-coded data
};

struct QuantStore {
  int16_t QuantTableCount = 0;  // during an analysis: slots filled; after: the page shown
  int16_t QuantPageLast = 0;
  std::array<int16_t, 3> QuantLength{};
  std::array<int16_t, 3> QuantPrecision{};
  std::array<int16_t, 3> QuantId{};
  std::array<std::array<int16_t, 64>, 3> QuantValues{};  // zig-zag order, never 0
};

// One Huffman table (class c, identifier t): for code length n + 1 bits, count[n]
// codes; code k of that length is code[n][k] (its lowest n + 1 bits), with run and
// size from the symbol. Entries at k >= count[n] are stale and must not be read.
struct HuffCodeTable {
  std::array<int32_t, 16> Count{};
  std::array<std::array<int32_t, 256>, 16> Code{};
  std::array<std::array<uint8_t, 256>, 16> Run{};
  std::array<std::array<uint8_t, 256>, 16> Size{};
};

struct HuffStore {
  int16_t HuffTableCount = 0;  // during an analysis: tables read; after: the page shown
  int16_t HuffPageLast = 0;
  std::array<int16_t, 4> HuffLength{};
  std::array<int16_t, 4> HuffClass{};
  std::array<int16_t, 4> HuffId{};
  // HuffTable[c][t]: class c (0 DC, 1 AC), identifier t (0..3; only 0 and 1 are filled).
  std::array<std::array<HuffCodeTable, 4>, 2> HuffTable{};
};

struct App0Record {
  int16_t App0Length = 0;
  std::string App0Identifier;
  int16_t App0VersionMajor = 0;
  int16_t App0VersionMinor = 0;
  int16_t App0Units = 0;
  uint16_t App0XDensity = 0;
  uint16_t App0YDensity = 0;
};

struct Records {
  FrameRecord frame;
  ScanRecord scan;
  QuantStore quant;
  HuffStore huff;
  App0Record app0;
};

}  // namespace vorn
