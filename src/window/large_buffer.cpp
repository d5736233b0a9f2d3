#include "window/large_buffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace vorn {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// The sanitizers watch only the memory they hand out: under them every block comes
// from operator new, so that a read past a store is still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnMappings = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kOwnMappings = false;
#else
constexpr bool kOwnMappings = true;
#endif
#else
constexpr bool kOwnMappings = true;
#endif

bool OwnMapping(size_t bytes) {
  return kOwnMappings && bytes >= kLargeBlockBytes;
}

size_t MappedLength(size_t bytes) {
  return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

}  // namespace

void* AllocateLargeBlock(size_t bytes) {
  if (!OwnMapping(bytes)) return ::operator new(bytes);
  const size_t length = MappedLength(bytes);
  if (length < bytes || length + kHugePage < length) throw std::bad_alloc();
  // Map one huge page more than needed and give back what lies outside the aligned
  // part: mmap itself only promises 4 KB alignment.
  void* mapped =
      mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  const uintptr_t end = start + length + kHugePage;
  if (end > aligned + length) munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
  void* block = reinterpret_cast<void*>(aligned);
  // Only advice: where huge pages are off, or not offered for this mapping, the
  // block works with small pages.
  madvise(block, length, MADV_HUGEPAGE);
  return block;
}

void FreeLargeBlock(void* block, size_t bytes) noexcept {
  if (block == nullptr) return;
  if (!OwnMapping(bytes)) {
    ::operator delete(block);
    return;
  }
  munmap(block, MappedLength(bytes));
}

}  // namespace vorn
