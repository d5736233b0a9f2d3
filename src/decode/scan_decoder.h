// The working part of DecodeScan: the decoder's state machine over the scan bits.
//
// The machine is the bit-serial one (append a bit; while collecting a code word
// compare with the codes of that length; then collect S extra bits), and its state
// (code value and length, mode, class, zig-zag index, block, MCU, predictors) is
// kept exactly as that description has it. It only moves faster where nothing can
// tell the difference: at the start of a code word, when the buffer holds the
// whole code word, it takes the code word and its extra bits in one step. Near a
// marker, where the buffer holds fewer bits, and for a code word of which part is
// already collected, it goes bit by bit.
#pragma once

#include <array>
#include <cstdint>

#include "analysis/file_image.h"
#include "decode/decode_scan.h"
#include "decode/decode_state.h"
#include "decode/entropy_reader.h"
#include "decode/huffman_lookup.h"
#include "decode/idct.h"
#include "decode/mcu_pipeline.h"
#include "jpeg/records.h"

namespace vorn {

struct ScanTables {
  IdctKernel kernel;
  // Per quantization slot, the values in zig-zag order; slot 3 all 1.
  std::array<std::array<int32_t, 64>, 4> quant{};
  // Coefficients are dequantised as they are stored: per block, its slot's values,
  // or slot 3 for a block whose selector names no slot (it fails when it completes).
  std::array<const int32_t*, 6> blockQuant{};
  // A block whose sum of |dequantised coefficient| is at most this has a transform
  // bound within 32 bits (the sum times the largest column maximum).
  int64_t uncheckedSum = 0;
  // Per class and identifier; only those a block names are built.
  std::array<std::array<HuffmanLookup, 4>, 2> huffman;
  // Per block: its DC and AC tables, null when the selector names none.
  std::array<const HuffmanLookup*, 6> dc{};
  std::array<const HuffmanLookup*, 6> ac{};
};

class ScanDecoder {
 public:
  // decode holds the plan and McuStarts, checked by the caller to fit the geometry;
  // tables are built for that plan. Completed MCUs go to pixels.
  ScanDecoder(const FileImage& file, const Records& rec, int32_t scanDataEnd, const ScanTables& tables,
              const McuGeometry& geometry, DecodeState& decode, McuPipeline& pixels);

  // Runs to the end of the data, a foreign marker or a failure: the status.
  DecodeStatus Run();
  // The MCU that would have come next: every MCU before it in raster order is
  // complete, and its McuStarts entry is the last one written (none when it lies
  // beyond the table).
  int32_t NextColumn() const { return mcuColumn_; }
  int32_t NextRow() const { return mcuRow_; }

 private:
  bool WholeCodeWords();
  bool SlowStep();
  bool OnCode(int run, int size);
  bool StoreCoefficient(int32_t value);
  bool CompleteBlock();
  bool CompleteMcu();
  void StartBlock();

  const ScanTables& tables_;
  const McuGeometry geometry_;
  DecodeState& decode_;
  McuPipeline& pixels_;
  EntropyReader<MarkerBytes::kFfIsData> reader_;
  BitWindow window_;

  int32_t codeValue_ = 0;
  int codeLength_ = 0;
  bool readingCode_ = true;
  int coefficientClass_ = 0;
  int coefficientIndex_ = 0;
  int extraBits_ = 0;
  int blockIndex_ = 0;
  int32_t mcuColumn_ = 0;
  int32_t mcuRow_ = 0;
  std::array<int32_t, 3> dcPredictor_{};
  const HuffmanLookup* table_ = nullptr;  // the table the next code word is looked up in

  // The current block, written straight into the pipeline (see McuPipeline::Block):
  // the entry, where its next AC value goes, which zig-zag positions hold one, and
  // the sum of their magnitudes.
  int32_t* block_ = nullptr;
  int32_t* out_ = nullptr;
  uint64_t zigZag_ = 0;
  const int32_t* quant_ = nullptr;  // the block's dequantisation values
  int64_t absSum_ = 0;
};

}  // namespace vorn
