// Writes a baseline JPEG file from the quantised coefficients of every MCU: the
// file's own segments up to the scan, unchanged, then the entropy-coded data with the
// file's Huffman tables, restart markers at the file's interval, and an EOI.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "repair/scan_model.h"
#include "salvage/coefficient_grid.h"

namespace vorn {

// A Huffman table as a DHT segment defines it: codes per length 1..16, symbols.
struct HuffmanSpec {
  std::array<uint8_t, 16> counts{};
  std::vector<uint8_t> values;
};

// The Huffman tables in force at the file's first scan (the last definition of each
// before it) and where the scan's SOS marker lies.
struct HeaderTables {
  std::array<std::optional<HuffmanSpec>, 4> dc, ac;
  int64_t sosMarker = -1;  // the FF of the SOS segment
};

// Walks the segments from the SOI at 0 by their lengths up to the SOS whose header
// ends at scanStart; false (with why) when the walk does not arrive there.
bool ReadHeaderTables(std::span<const uint8_t> file, int64_t scanStart, HeaderTables& out, std::string& why);

// The table a Huffman optimiser makes for these symbol counts (per symbol 0..255):
// code lengths of at most 16 bits, no code of all 1 bits.
HuffmanSpec OptimalTable(const std::array<int64_t, 256>& counts);

struct EncodedFile {
  std::vector<uint8_t> bytes;
  int64_t scanStart = 0;  // the first byte of the entropy-coded data
  // Tables written anew because a block needed a symbol the file's table has no code
  // for ("DC0", "AC1" ...); they go in one DHT segment before the SOS.
  std::vector<std::string> newTables;
  HeaderTables tables;  // the tables the scan is coded with
};

// Encodes grid (every MCU, known or not) after file's bytes before model.scanStart.
// False (with why) when the file's header cannot be read.
bool EncodeBaseline(const ScanModel& model, std::span<const uint8_t> file, const CoefficientGrid& grid,
                    EncodedFile& out, std::string& why);

// Decodes out's scan again, strictly, and compares each MCU with grid: -1 when the scan
// is whole and every MCU holds exactly grid's coefficients, otherwise the first MCU
// that does not (the MCU at which the decode stops, when it stops short).
int32_t FirstMismatch(const ScanModel& model, const EncodedFile& out, const CoefficientGrid& grid);

// A model of the same scan in to, with the tables and scan start of another file.
void CopyScanModel(const ScanModel& from, ScanModel& to);
void UseTables(const HeaderTables& tables, ScanModel& model);

}  // namespace vorn
