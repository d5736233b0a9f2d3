// The back end of the scan decoder: from the dequantised coefficients of completed
// MCUs to pixels (inverse transform, colour conversion, store).
//
// The scan decoder writes each block's coefficients straight into a block the
// pipeline lends it and hands every MCU on once it is complete. The pipeline turns
// the MCUs into pixels in the same order: at once on the calling thread, or, for a
// large picture, on a second thread that takes batches of MCUs from a bounded ring,
// so that the Huffman decoding of the next MCUs and the transform of the last ones
// run side by side.
//
// Nothing here can fail: the decoder decides every failure before it hands an MCU
// on (it checks the overflow bounds and runs the checked transform itself for the
// rare block whose bound needs it). The pixels are therefore exactly those of the
// same MCUs transformed and stored one at a time, with either mode.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "analysis/records.h"
#include "decode/decode_state.h"
#include "decode/idct.h"
#include "window/large_buffer.h"

namespace vorn {

// One block of a completed MCU, on its way to the transform. Lent to the decoder
// all zero; the pipeline zeroes it again once it has used it.
struct PendingBlock {
  // Natural order (y*8 + x): dequantised coefficients, or, when `transformed`, the
  // samples already.
  alignas(32) std::array<int32_t, 64> values{};
  uint64_t nonZero = 0;  // which coefficients are not 0 (bit k for natural position k)
  bool transformed = false;
};

class McuPipeline {
 public:
  // Stores into pixels (frame.FrameWidth x frame.FrameHeight, bottom-up rows) with
  // the block plan's count of blocks per MCU (1..6). threaded: convert on a second
  // thread (when one can be started).
  McuPipeline(const IdctKernel& kernel, PixelStore& pixels, const FrameRecord& frame,
              const McuGeometry& geometry, int blocksPerMcu, bool threaded);
  ~McuPipeline();
  McuPipeline(const McuPipeline&) = delete;
  McuPipeline& operator=(const McuPipeline&) = delete;

  // Block b of the MCU being decoded.
  PendingBlock& Block(int b) { return blocks_[static_cast<size_t>(filling_ * blocksPerMcu_ + b)]; }
  // The MCU being decoded, at (column, row), is complete: convert and store it.
  void McuComplete(int32_t column, int32_t row);
  // Returns once every MCU handed on is stored.
  void Finish();

 private:
  struct Batch {
    int32_t column = 0;  // the first MCU
    int32_t row = 0;
    int32_t count = 0;
  };

  void ConvertMcu(PendingBlock* blocks, int32_t column, int32_t row);
  void ConvertBatch(uint32_t slot);
  void Publish();
  void Work();

  const IdctKernel& kernel_;
  PixelStore& pixels_;
  const FrameRecord& frame_;
  const McuGeometry geometry_;
  const int blocksPerMcu_;
  int mcusPerBatch_ = 1;
  int slots_ = 1;
  std::vector<PendingBlock, LargeBufferAllocator<PendingBlock>>
      ring_;              // slots_ x mcusPerBatch_ x blocksPerMcu_
  PendingBlock* blocks_;  // the MCU slot being filled (Block(b) adds filling_)
  std::vector<Batch> batches_;
  SampleBlocks samples_{};

  // Threaded mode: batches published and converted so far (published_ carries
  // kFinished once no more will come). The decoder fills slot published % slots.
  std::thread worker_;
  std::atomic<uint32_t> published_{0};
  std::atomic<uint32_t> converted_{0};
  int filling_ = 0;  // MCUs of the current batch filled so far (0 in the direct mode)
  bool finished_ = false;
};

}  // namespace vorn
