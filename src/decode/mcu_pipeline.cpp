#include "decode/mcu_pipeline.h"

#include <algorithm>
#include <bit>
#include <system_error>

#include "decode/colour.h"
#include "jpeg/mcu_sampling.h"

namespace vorn {

namespace {

// A block packs into 3 words and its values: 64 at the most.
constexpr size_t kMostWords = 3 + 64;
// Bit 0 of a block's zig-zag mask (never a position it names): samples follow.
constexpr uint64_t kSamples = 1;

// A batch is handed over with one atomic store, and a wake-up only when the other
// side sleeps, which costs a system call (expensive on a virtual machine). A slot
// of 64 KB holds a few hundred MCUs of a photo (a block of one takes 15 words on
// average), and eight slots, 512 KB, hold milliseconds of work.
constexpr size_t kSlotWords = 16 << 10;
constexpr uint32_t kSlots = 8;
constexpr uint32_t kFinished = uint32_t{1} << 31;

// Waits until counter no longer holds seen, and returns what it holds then. The
// other side is often a few microseconds from its next step: spin that long
// before going to sleep, which gives the core to whatever else wants it.
uint32_t WaitWhile(const std::atomic<uint32_t>& counter, uint32_t seen) {
  for (int spin = 0; spin < 200; ++spin) {
    const uint32_t now = counter.load(std::memory_order_acquire);
    if (now != seen) return now;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  counter.wait(seen, std::memory_order_acquire);
  return counter.load(std::memory_order_acquire);
}

}  // namespace

McuPipeline::McuPipeline(const IdctKernel& kernel, PixelStore& pixels, const FrameRecord& frame,
                         const McuGeometry& geometry, int blocksPerMcu, PixelRows pixelRows, bool threaded)
    : kernel_(kernel),
      pixels_(pixels),
      frame_(frame),
      geometry_(geometry),
      blocksPerMcu_(blocksPerMcu),
      pixelRows_(pixelRows) {
  if (blocksPerMcu_ == 1) {
    // Neutral chroma for a grey-scale picture: blocks 1 and 2 are read as Cb and Cr.
    samples_[1].fill(128);
    samples_[2].fill(128);
  }
  const size_t mcuWords = kMostWords * static_cast<size_t>(blocksPerMcu_);
  if (threaded) {
    try {
      slotWords_ = kSlotWords;
      slots_ = kSlots;
      ring_.resize(slotWords_ * slots_);
      batches_.resize(slots_);
      worker_ = std::thread([this] { Work(); });
    } catch (const std::exception&) {
      // No second thread (or no ring) to be had: every MCU is converted as it
      // completes.
      slots_ = 1;
    }
  }
  if (!worker_.joinable()) {
    // One thread converts a batch at a time as well: the Huffman decoding and the
    // transform then each run long enough to keep their code and tables in the
    // caches. A small picture (or a few rows of pixels) gets a slot of its own size.
    const int64_t mcus = int64_t{geometry_.McusPerRow} * pixelRows_.Within(geometry_.McuRows + 1);
    slotWords_ = std::min<size_t>(kSlotWords, mcuWords * static_cast<size_t>(std::max<int64_t>(mcus, 1)));
    slotWords_ = std::max(slotWords_, mcuWords);
    ring_.resize(slotWords_);
    batches_.resize(1);
  }
  filling_ = Slot(0);
  batch_ = &batches_[0];
}

McuPipeline::~McuPipeline() {
  Finish();
}

void McuPipeline::BlockDone(uint64_t zigZag, int values) {
  int32_t* entry = Block();
  entry[0] = static_cast<int32_t>(static_cast<uint32_t>(zigZag));
  entry[1] = static_cast<int32_t>(static_cast<uint32_t>(zigZag >> 32));
  batch_->words += 3 + static_cast<size_t>(values);
}

void McuPipeline::BlockTransformed(const SampleBlock& samples) {
  int32_t* entry = Block();
  entry[0] = kSamples;
  entry[1] = 0;
  std::copy(samples.begin(), samples.end(), entry + 3);
  batch_->words += 3 + 64;
}

void McuPipeline::ConvertBatch(uint32_t slot) {
  const Batch& batch = batches_[slot];
  const int32_t* from = Slot(slot);
  int32_t column = batch.column, row = batch.row;
  const McuSampling s = ComponentSampling(frame_, 0);
  for (int32_t m = 0; m < batch.mcus; ++m) {
    for (int b = 0; b < blocksPerMcu_; ++b) {
      const uint64_t zigZag = static_cast<uint32_t>(from[0]) | uint64_t{static_cast<uint32_t>(from[1])} << 32;
      const int32_t* values = from + 3;
      if (zigZag & kSamples) {
        std::copy(values, values + 64, samples_[b].begin());
        from = values + 64;
        continue;
      }
      // The decoder found the block's bound within 32 bits, so the unchecked product
      // gives exactly the checked one's samples.
      from = values + TransformPacked(kernel_, from[2], zigZag, values, samples_[b]);
    }
    StoreMcuPixelsInRange(pixels_, frame_.FrameWidth, frame_.FrameHeight, samples_, s.h, s.v, column, row);
    if (++column >= geometry_.McusPerRow) {
      column = 0;
      ++row;
    }
  }
}

void McuPipeline::McuComplete(int32_t column, int32_t row) {
  if (!pixelRows_.Contains(row)) {
    // The chosen rows are consecutive MCUs, so a batch never spans a dropped one.
    batch_->words = mcuWords_;
    return;
  }
  if (batch_->mcus++ == 0) {
    batch_->column = column;
    batch_->row = row;
  }
  // Room for one more MCU of the largest blocks, or the batch goes.
  if (slotWords_ - batch_->words < kMostWords * static_cast<size_t>(blocksPerMcu_)) {
    if (worker_.joinable()) {
      Publish();
    } else {
      ConvertBatch(0);
      *batch_ = Batch{};
    }
  }
  mcuWords_ = batch_->words;
}

// Hands the batch being filled to the worker and waits for a free slot to fill next.
void McuPipeline::Publish() {
  const uint32_t published = published_.load(std::memory_order_relaxed) + 1;
  published_.store(published, std::memory_order_release);
  published_.notify_one();
  for (uint32_t converted = converted_.load(std::memory_order_acquire); published - converted >= slots_;)
    converted = WaitWhile(converted_, converted);
  filling_ = Slot(published % slots_);
  batch_ = &batches_[published % slots_];
  *batch_ = Batch{};
}

void McuPipeline::Work() {
  for (uint32_t next = 0;; ++next) {
    uint32_t published = published_.load(std::memory_order_acquire);
    while ((published & ~kFinished) == next) {
      if (published & kFinished) return;
      published = WaitWhile(published_, published);
    }
    ConvertBatch(next % slots_);
    converted_.store(next + 1, std::memory_order_release);
    converted_.notify_one();
  }
}

void McuPipeline::Finish() {
  if (finished_) return;
  finished_ = true;
  if (!worker_.joinable()) {
    if (batch_->mcus > 0) ConvertBatch(0);
    *batch_ = Batch{};
    return;
  }
  uint32_t published = published_.load(std::memory_order_relaxed);
  if (batch_->mcus > 0) ++published;  // the last, partly filled batch
  published_.store(published | kFinished, std::memory_order_release);
  published_.notify_one();
  worker_.join();
}

}  // namespace vorn
