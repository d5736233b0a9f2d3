// Memory for the picture-sized stores: the decoded picture (up to 64 MB), the MCU
// start table and the file image.
//
// The first touch of a page costs a page fault. A 4000 x 3000 picture spans 12000
// pages of 4 KB, and on a virtual machine each fault can cost tens of microseconds:
// more than the whole decode. Large blocks therefore live in mappings on 2 MB
// boundaries offered to the kernel for transparent huge pages (madvise
// MADV_HUGEPAGE), which takes 512 times fewer faults; without huge pages they are
// plain pages as before. A block of 16 MB or more gets a mapping of its own; smaller
// ones share 8 MB pools, so that the rounding to whole 2 MB pages is paid once for
// all of them rather than once each (a file image of 2.5 MB alone would otherwise
// hold 4 MB). Freed pool space gives its whole 2 MB pages back to the system, and an
// empty pool is unmapped.
//
// The pixel store also leaves its elements as they are when it grows (no zero
// fill): whoever sizes it writes every pixel it later reads, so a zero fill would
// only touch the memory twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace vorn {

// Smaller blocks come from operator new.
inline constexpr size_t kLargeBlockBytes = size_t{256} << 10;

// Throws std::bad_alloc when the memory cannot be had.
void* AllocateLargeBlock(size_t bytes);
// bytes: as given to AllocateLargeBlock.
void FreeLargeBlock(void* block, size_t bytes) noexcept;
// Bytes mapped for large blocks now (pools whole, own mappings rounded to 2 MB).
size_t MappedLargeBlockBytes();

// unfilled: growing a vector leaves trivial elements unwritten (default-
// initialisation) instead of zeroing them.
template <class T, bool unfilled = false>
struct LargeBufferAllocator {
  using value_type = T;
  template <class U>
  struct rebind {
    using other = LargeBufferAllocator<U, unfilled>;
  };

  LargeBufferAllocator() = default;
  template <class U>
  LargeBufferAllocator(const LargeBufferAllocator<U, unfilled>&) noexcept {}

  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocateLargeBlock(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept { FreeLargeBlock(p, n * sizeof(T)); }

  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    if constexpr (unfilled)
      ::new (static_cast<void*>(p)) U;
    else
      ::new (static_cast<void*>(p)) U();
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  friend bool operator==(const LargeBufferAllocator&, const LargeBufferAllocator&) { return true; }
};

// 32-bit pixels 0x00RRGGBB. resize() leaves new pixels unwritten.
using PixelStore = std::vector<uint32_t, LargeBufferAllocator<uint32_t, true>>;

}  // namespace vorn
