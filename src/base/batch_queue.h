// Hands batches of work from a producer to a consumer on a second thread, in order,
// through a ring of a few batches, so that producing the next batches and consuming
// the last ones run side by side.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace vorn {

// Batch: default-constructible, with Clear() that empties it for reuse (keeping its
// storage, so that a ring of batches allocates only while the first batches grow).
template <class Batch>
class BatchQueue {
 public:
  explicit BatchQueue(std::function<void(Batch&)> consume, size_t slots = 4)
      : consume_(std::move(consume)), slots_(std::max<size_t>(slots, 2)) {
    worker_ = std::thread([this] { Work(); });
  }
  // Waits for the consumer; what it threw is dropped (Finish throws it).
  ~BatchQueue() { Join(); }
  BatchQueue(const BatchQueue&) = delete;
  BatchQueue& operator=(const BatchQueue&) = delete;

  // The batch being filled.
  Batch& Filling() { return slots_[handed_ % slots_.size()]; }

  // Hands the filled batch over; Filling() is then an empty batch. Waits while the
  // ring is full.
  void Hand() {
    std::unique_lock lock(mutex_);
    ++handed_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return handed_ - consumed_ < slots_.size(); });
    lock.unlock();
    Filling().Clear();  // consumed already: the ring has room for it
  }

  // Hands nothing more (what is being filled is dropped); returns once every batch
  // handed over is consumed. What the consumer threw (out of memory, say) is thrown
  // here, as it would have been on one thread; the batches after it were dropped.
  void Finish() {
    Join();
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  }

 private:
  void Join() {
    if (!worker_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }

  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return consumed_ < handed_ || finished_; });
      if (consumed_ == handed_) return;  // finished, and nothing left
      Batch& batch = slots_[consumed_ % slots_.size()];
      lock.unlock();
      if (!error_) {
        try {
          consume_(batch);
        } catch (...) {
          error_ = std::current_exception();
        }
      }
      lock.lock();
      ++consumed_;
      changed_.notify_all();
    }
  }

  std::function<void(Batch&)> consume_;
  std::vector<Batch> slots_;
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t handed_ = 0;    // batches handed over
  uint64_t consumed_ = 0;  // of them, consumed
  bool finished_ = false;
  std::exception_ptr error_;  // what the consumer threw, read after the join
};

}  // namespace vorn
