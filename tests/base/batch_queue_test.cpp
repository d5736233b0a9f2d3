// The hand-over between a producer and a consumer thread: every batch arrives once, in
// order, whatever the two threads' speeds, and what the consumer throws reaches the
// producer at Finish without leaving it waiting for room in the ring.
#include "base/batch_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace vorn {
namespace {

struct Numbers {
  std::vector<int> values;
  void Clear() { values.clear(); }
};

TEST(BatchQueue, HandsEveryBatchOnceInOrderAndPassesOnWhatTheConsumerThrew) {
  for (const bool slowConsumer : {false, true}) {
    std::vector<int> seen;
    BatchQueue<Numbers> queue([&](Numbers& batch) {
      if (slowConsumer) std::this_thread::sleep_for(std::chrono::microseconds(200));
      seen.insert(seen.end(), batch.values.begin(), batch.values.end());
    });
    std::vector<int> sent;
    for (int n = 0; n < 400; ++n) {
      queue.Filling().values.push_back(n);
      sent.push_back(n);
      if (n % 7 == 6) queue.Hand();  // batches of seven; each slot holds the last ones
    }
    queue.Hand();
    queue.Finish();
    EXPECT_EQ(seen, sent) << slowConsumer;
  }
  // A consumer that throws on its third batch: the producer hands on 100 more without
  // waiting for ever, and Finish throws what it threw.
  int consumed = 0;
  BatchQueue<Numbers> failing([&](Numbers&) {
    if (++consumed == 3) throw std::runtime_error("out of room");
  });
  for (int n = 0; n < 103; ++n) {
    failing.Filling().values.push_back(n);
    failing.Hand();
  }
  EXPECT_THROW(failing.Finish(), std::runtime_error);
  EXPECT_EQ(consumed, 3);
}

}  // namespace
}  // namespace vorn
