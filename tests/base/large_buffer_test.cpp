// The allocator of the picture-sized stores: blocks of every size class stay apart
// and keep their bytes while others come and go (pool space is split, merged and
// handed out again), and everything mapped for them is given back once they are all
// freed.
#include "base/large_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace vorn {
namespace {

struct Block {
  uint8_t* bytes;
  size_t size;
  uint8_t mark;
};

bool Intact(const Block& b) {
  for (size_t i = 0; i < b.size; i += 509)
    if (b.bytes[i] != b.mark) return false;
  return b.bytes[b.size - 1] == b.mark;
}

TEST(LargeBuffer, BlocksStayApartAndAllIsGivenBack) {
  const size_t before = MappedLargeBlockBytes();
  // Below the large size, pool sizes, pool sizes that need a pool of their own
  // (more than 8 MB), and sizes with a mapping of their own.
  const size_t sizes[] = {1000, 300 << 10, 1 << 20, 3 << 20, (7 << 20) + 123, 9 << 20, 17 << 20};
  std::mt19937 rng(3);
  std::vector<Block> live;
  for (int step = 0; step < 300; ++step) {
    if (!live.empty() && rng() % 3 == 0) {
      const size_t i = rng() % live.size();
      ASSERT_TRUE(Intact(live[i])) << "step " << step;
      FreeLargeBlock(live[i].bytes, live[i].size);
      live.erase(live.begin() + static_cast<ptrdiff_t>(i));
      continue;
    }
    Block b{nullptr, sizes[rng() % std::size(sizes)], static_cast<uint8_t>(1 + rng() % 255)};
    b.bytes = static_cast<uint8_t*>(AllocateLargeBlock(b.size));
    std::memset(b.bytes, b.mark, b.size);
    live.push_back(b);
    if (live.size() > 12) {
      ASSERT_TRUE(Intact(live.front()));
      FreeLargeBlock(live.front().bytes, live.front().size);
      live.erase(live.begin());
    }
  }
  for (const Block& b : live) {
    ASSERT_TRUE(Intact(b));
    FreeLargeBlock(b.bytes, b.size);
  }
  EXPECT_EQ(MappedLargeBlockBytes(), before);
}

}  // namespace
}  // namespace vorn
