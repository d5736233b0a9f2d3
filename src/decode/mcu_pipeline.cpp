#include "decode/mcu_pipeline.h"

#include <bit>
#include <system_error>

#include "analysis/mcu_sampling.h"
#include "decode/colour.h"

namespace vorn {

namespace {

// A batch is handed over with one atomic store, and a wake-up only when the other
// side sleeps, which costs a system call (expensive on a virtual machine): 384
// blocks (64 MCUs of 4:2:0, 128 of 4:4:4) make that rare beside the work, and four
// slots keep either side from waiting on the other's short stalls, in 450 KB.
constexpr int kBlocksPerBatch = 384;
constexpr int kSlots = 4;
constexpr uint32_t kFinished = uint32_t{1} << 31;

// Waits until counter no longer holds seen, and returns what it holds then. The
// other side is usually a few microseconds from its next step: spin that long
// before going to sleep.
uint32_t WaitWhile(const std::atomic<uint32_t>& counter, uint32_t seen) {
  for (int spin = 0; spin < 4096; ++spin) {
    const uint32_t now = counter.load(std::memory_order_acquire);
    if (now != seen) return now;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  counter.wait(seen, std::memory_order_acquire);
  return counter.load(std::memory_order_acquire);
}

void ClearBlock(PendingBlock& block) {
  if (block.transformed) {
    block.values.fill(0);
    block.transformed = false;
  } else {
    for (uint64_t rest = block.nonZero; rest != 0; rest &= rest - 1) block.values[std::countr_zero(rest)] = 0;
  }
  block.nonZero = 0;
}

}  // namespace

McuPipeline::McuPipeline(const IdctKernel& kernel, PixelStore& pixels, const FrameRecord& frame,
                         const McuGeometry& geometry, int blocksPerMcu, bool threaded)
    : kernel_(kernel), pixels_(pixels), frame_(frame), geometry_(geometry), blocksPerMcu_(blocksPerMcu) {
  if (blocksPerMcu_ == 1) {
    // Neutral chroma for a grey-scale picture: blocks 1 and 2 are read as Cb and Cr.
    samples_[1].fill(128);
    samples_[2].fill(128);
  }
  if (threaded) {
    mcusPerBatch_ = kBlocksPerBatch / blocksPerMcu_;
    slots_ = kSlots;
  }
  ring_.resize(static_cast<size_t>(slots_ * mcusPerBatch_ * blocksPerMcu_));
  batches_.resize(static_cast<size_t>(slots_));
  blocks_ = ring_.data();
  if (threaded) {
    try {
      worker_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
      // No second thread to be had: every MCU is converted as it completes.
      mcusPerBatch_ = 1;
      slots_ = 1;
    }
  }
}

McuPipeline::~McuPipeline() {
  Finish();
}

void McuPipeline::ConvertMcu(PendingBlock* blocks, int32_t column, int32_t row) {
  for (int b = 0; b < blocksPerMcu_; ++b) {
    PendingBlock& block = blocks[b];
    if (block.transformed) {
      samples_[b] = block.values;
    } else {
      // Bound 0: the decoder found the block's bound within 32 bits, so the
      // unchecked product gives exactly the checked one's samples.
      TransformNatural(kernel_, block.values, block.nonZero, 0, samples_[b]);
    }
    ClearBlock(block);
  }
  const McuSampling s = ComponentSampling(frame_, 0);
  StoreMcuPixelsInRange(pixels_, frame_.FrameWidth, frame_.FrameHeight, samples_, s.h, s.v, column, row);
}

void McuPipeline::ConvertBatch(uint32_t slot) {
  const Batch& batch = batches_[slot];
  PendingBlock* blocks = ring_.data() + static_cast<size_t>(slot) * mcusPerBatch_ * blocksPerMcu_;
  int32_t column = batch.column, row = batch.row;
  for (int32_t m = 0; m < batch.count; ++m, blocks += blocksPerMcu_) {
    ConvertMcu(blocks, column, row);
    if (++column >= geometry_.McusPerRow) {
      column = 0;
      ++row;
    }
  }
}

void McuPipeline::McuComplete(int32_t column, int32_t row) {
  if (!worker_.joinable()) {
    ConvertMcu(blocks_, column, row);
    return;
  }
  const uint32_t slot = published_.load(std::memory_order_relaxed) % static_cast<uint32_t>(slots_);
  Batch& batch = batches_[slot];
  if (filling_ == 0) {
    batch.column = column;
    batch.row = row;
  }
  batch.count = ++filling_;
  if (filling_ == mcusPerBatch_) Publish();
}

// Hands the batch being filled to the worker and waits for a free slot to fill next.
void McuPipeline::Publish() {
  const uint32_t published = published_.load(std::memory_order_relaxed) + 1;
  published_.store(published, std::memory_order_release);
  published_.notify_one();
  filling_ = 0;
  for (uint32_t converted = converted_.load(std::memory_order_acquire);
       published - converted >= static_cast<uint32_t>(slots_);)
    converted = WaitWhile(converted_, converted);
  blocks_ = ring_.data() + static_cast<size_t>(published % slots_) * mcusPerBatch_ * blocksPerMcu_;
}

void McuPipeline::Work() {
  for (uint32_t next = 0;; ++next) {
    uint32_t published = published_.load(std::memory_order_acquire);
    while ((published & ~kFinished) == next) {
      if (published & kFinished) return;
      published = WaitWhile(published_, published);
    }
    ConvertBatch(next % static_cast<uint32_t>(slots_));
    converted_.store(next + 1, std::memory_order_release);
    converted_.notify_one();
  }
}

void McuPipeline::Finish() {
  if (finished_) return;
  finished_ = true;
  if (!worker_.joinable()) return;
  uint32_t published = published_.load(std::memory_order_relaxed);
  if (filling_ > 0) ++published;  // the last, partly filled batch
  filling_ = 0;
  published_.store(published | kFinished, std::memory_order_release);
  published_.notify_one();
  worker_.join();
}

}  // namespace vorn
