#pragma once
// Memory for large results. A client-side recordset holds every row it read; what makes holding
// many rows slow is less the copying than the first touch of each fresh 4 KB page. Blocks of
// half a megabyte and more are therefore mapped on their own, in whole 2 MB units, and offered
// to the kernel for transparent huge pages (one fault per 2 MB where the system allows it, the
// usual faults where it does not); smaller blocks come from malloc. Large blocks freed are kept
// (up to 16 MB) for the next large result, which then finds its pages ready.
#include <cstddef>
#include <limits>
#include <new>

namespace platform::ado {

inline constexpr std::size_t kLargeBlock = std::size_t{512} << 10;

// `bytes` of memory (at least one); raises std::bad_alloc when there is none.
void* AllocateBlock(std::size_t bytes);
// Frees what AllocateBlock(bytes) gave, with the same `bytes`.
void FreeBlock(void* p, std::size_t bytes) noexcept;
// What a block of at least `bytes` really holds (large blocks are whole 2 MB units).
std::size_t BlockCapacity(std::size_t bytes);

// The allocator of the row stores' large arrays (row starts, row views).
template <class T>
struct BlockAllocator {
  using value_type = T;
  BlockAllocator() = default;
  template <class U>
  BlockAllocator(const BlockAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocateBlock(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { FreeBlock(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const BlockAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace platform::ado
