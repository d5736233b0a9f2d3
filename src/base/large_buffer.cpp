#include "base/large_buffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace vorn {

namespace {

constexpr size_t kPage = size_t{4} << 10;
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kPoolBytes = size_t{8} << 20;
constexpr size_t kOwnMappingBytes = size_t{16} << 20;

// The sanitizers watch only the memory they hand out: under them every block comes
// from operator new, so that a read past a store is still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapped = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapped = false;
#else
constexpr bool kMapped = true;
#endif
#else
constexpr bool kMapped = true;
#endif

size_t RoundUp(size_t bytes, size_t unit) {
  return (bytes + unit - 1) / unit * unit;
}

// length bytes (a multiple of 2 MB) at a 2 MB boundary, offered for huge pages.
uintptr_t MapHugePages(size_t length) {
  // Map one huge page more than needed and give back what lies outside the aligned
  // part: mmap itself only promises 4 KB alignment.
  void* mapped =
      mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = RoundUp(start, kHugePage);
  if (aligned > start) munmap(mapped, aligned - start);
  const uintptr_t end = start + length + kHugePage;
  if (end > aligned + length) munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
  // Only advice: where huge pages are off, the block works with small pages.
  madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
  return aligned;
}

// Pools of kPoolBytes (or more, for a block that needs more) that hand out page-
// rounded pieces, first fit, and take them back with their free neighbours merged.
class Pools {
 public:
  void* Allocate(size_t bytes) {
    const size_t need = RoundUp(bytes, kPage);
    const std::lock_guard<std::mutex> lock(mutex_);
    for (Pool& pool : pools_)
      if (void* block = pool.Take(need)) return block;
    pools_.reserve(pools_.size() + 1);
    Pool pool;
    pool.length = RoundUp(std::max(need, kPoolBytes), kHugePage);
    pool.base = MapHugePages(pool.length);
    pool.free[pool.base] = pool.length;
    mapped_ += pool.length;
    pools_.push_back(std::move(pool));
    return pools_.back().Take(need);
  }

  void Free(void* block, size_t bytes) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(block);
    const std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < pools_.size(); ++i) {
      Pool& pool = pools_[i];
      if (at < pool.base || at >= pool.base + pool.length) continue;
      pool.Give(at, RoundUp(bytes, kPage));
      if (pool.live == 0) {
        munmap(reinterpret_cast<void*>(pool.base), pool.length);
        mapped_ -= pool.length;
        pools_.erase(pools_.begin() + static_cast<ptrdiff_t>(i));
      }
      return;
    }
  }

  size_t Mapped() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return mapped_;
  }

 private:
  struct Pool {
    uintptr_t base = 0;
    size_t length = 0;
    size_t live = 0;                   // blocks handed out
    std::map<uintptr_t, size_t> free;  // start -> length, never adjacent

    void* Take(size_t need) {
      for (auto it = free.begin(); it != free.end(); ++it) {
        if (it->second < need) continue;
        const uintptr_t at = it->first;
        const size_t rest = it->second - need;
        free.erase(it);
        if (rest > 0) free[at + need] = rest;
        ++live;
        return reinterpret_cast<void*>(at);
      }
      return nullptr;
    }

    void Give(uintptr_t at, size_t length) {
      --live;
      auto next = free.lower_bound(at);
      if (next != free.end() && at + length == next->first) {
        length += next->second;
        next = free.erase(next);
      }
      if (next != free.begin()) {
        const auto before = std::prev(next);
        if (before->first + before->second == at) {
          at = before->first;
          length += before->second;
          free.erase(before);
        }
      }
      free[at] = length;
      // The whole huge pages of the free space go back to the system (and come back,
      // zeroed, when touched again).
      const uintptr_t first = RoundUp(at, kHugePage), last = (at + length) / kHugePage * kHugePage;
      if (live > 0 && last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
    }
  };

  std::mutex mutex_;
  std::vector<Pool> pools_;
  size_t mapped_ = 0;
};

// Never destroyed: blocks may be freed by static destructors at exit.
Pools& ThePools() {
  static Pools* pools = new Pools;
  return *pools;
}

std::atomic<size_t> ownMapped{0};

}  // namespace

void* AllocateLargeBlock(size_t bytes) {
  if (!kMapped || bytes < kLargeBlockBytes) return ::operator new(bytes);
  if (bytes < kOwnMappingBytes) return ThePools().Allocate(bytes);
  const size_t length = RoundUp(bytes, kHugePage);
  if (length < bytes) throw std::bad_alloc();
  void* block = reinterpret_cast<void*>(MapHugePages(length));
  ownMapped += length;
  return block;
}

void FreeLargeBlock(void* block, size_t bytes) noexcept {
  if (block == nullptr) return;
  if (!kMapped || bytes < kLargeBlockBytes) {
    ::operator delete(block);
  } else if (bytes < kOwnMappingBytes) {
    ThePools().Free(block, bytes);
  } else {
    munmap(block, RoundUp(bytes, kHugePage));
    ownMapped -= RoundUp(bytes, kHugePage);
  }
}

size_t MappedLargeBlockBytes() {
  return ThePools().Mapped() + ownMapped.load();
}

}  // namespace vorn
