// The back end of the scan decoder: from the dequantised coefficients of completed
// MCUs to pixels (inverse transform, colour conversion, store).
//
// The scan decoder hands on every block it completes and says when an MCU is
// complete. The pipeline turns the MCUs into pixels in the same order, a batch of
// MCUs at a time: on the calling thread, or, for a large picture, on a second
// thread that takes the batches from a bounded ring, so that the Huffman decoding
// of the next MCUs and the transform of the last ones run side by side. The ring holds the
// blocks packed (only their non-zero coefficients), so that a few megabytes hold
// several milliseconds of work: either thread can be descheduled for a while
// without stopping the other.
//
// Only the MCUs of the chosen pixel rows are converted; the blocks of the others are
// dropped as their MCU completes.
//
// Nothing here can fail: the decoder decides every failure before it hands a block
// on (it checks the overflow bounds and runs the checked transform itself for the
// rare block whose bound needs it). The pixels are therefore exactly those of the
// same MCUs transformed and stored one at a time, with either mode.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "base/large_buffer.h"
#include "decode/decode_state.h"
#include "decode/idct.h"
#include "jpeg/records.h"

namespace vorn {

class McuPipeline {
 public:
  // Stores into pixels (frame.FrameWidth x frame.FrameHeight, bottom-up rows) with
  // the block plan's count of blocks per MCU (1..6), the MCUs of pixelRows only.
  // threaded: convert on a second thread (when one can be started).
  McuPipeline(const IdctKernel& kernel, PixelStore& pixels, const FrameRecord& frame,
              const McuGeometry& geometry, int blocksPerMcu, PixelRows pixelRows, bool threaded);
  ~McuPipeline();
  McuPipeline(const McuPipeline&) = delete;
  McuPipeline& operator=(const McuPipeline&) = delete;

  // Where the decoder writes the next block of the MCU being decoded, as it decodes
  // it: entry[2] its dequantised DC, and from entry[3] on the dequantised AC
  // coefficients that are not 0 (or may be), in zig-zag order. Room for 64 values.
  int32_t* Block() { return filling_ + batch_->words; }
  // The block is complete: zigZag has bit p set for each zig-zag position 1..63
  // whose value it wrote (`values` of them), and its transform bound is within 32
  // bits.
  void BlockDone(uint64_t zigZag, int values);
  // The block is complete and transformed already (its bound needed the checked
  // product): these samples take the place of its coefficients.
  void BlockTransformed(const SampleBlock& samples);
  // The MCU being decoded, at (column, row), is complete: it is converted and stored
  // with its batch, or dropped when its row is not chosen.
  void McuComplete(int32_t column, int32_t row);
  // Returns once every MCU handed on is stored.
  void Finish();

 private:
  struct Batch {
    int32_t column = 0;  // the first MCU
    int32_t row = 0;
    int32_t mcus = 0;
    size_t words = 0;  // of the slot used
  };

  int32_t* Slot(uint32_t slot) { return ring_.data() + static_cast<size_t>(slot) * slotWords_; }
  void ConvertBatch(uint32_t slot);
  void Publish();
  void Work();

  const IdctKernel& kernel_;
  PixelStore& pixels_;
  const FrameRecord& frame_;
  const McuGeometry geometry_;
  const int blocksPerMcu_;
  const PixelRows pixelRows_;
  size_t slotWords_ = 0;
  uint32_t slots_ = 1;
  // Per block: the zig-zag mask's low and high words (bit 0 set: 64 samples follow
  // the DC word instead), the DC, and the AC values of the mask's positions.
  std::vector<int32_t, LargeBufferAllocator<int32_t>> ring_;
  std::vector<Batch> batches_;
  int32_t* filling_ = nullptr;  // the slot being filled
  Batch* batch_ = nullptr;      // its batch
  size_t mcuWords_ = 0;         // the batch's words before the MCU being decoded
  SampleBlocks samples_{};

  // Threaded mode: batches published and converted so far (published_ carries
  // kFinished once no more will come). The decoder fills slot published % slots.
  std::thread worker_;
  std::atomic<uint32_t> published_{0};
  std::atomic<uint32_t> converted_{0};
  bool finished_ = false;
};

}  // namespace vorn
