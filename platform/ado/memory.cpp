#include "platform/ado/memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace platform::ado {

namespace {
constexpr std::size_t kHuge = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes) { return (bytes + kHuge - 1) & ~(kHuge - 1); }
}  // namespace

std::size_t BlockCapacity(std::size_t bytes) { return bytes >= kLargeBlock ? RoundUp(bytes) : bytes; }

void* AllocateBlock(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (bytes < kLargeBlock) {
    void* p = std::malloc(bytes);
    if (!p) throw std::bad_alloc();
    return p;
  }
  if (bytes > std::numeric_limits<std::size_t>::max() - 2 * kHuge) throw std::bad_alloc();
  const std::size_t size = RoundUp(bytes);
  // Mapped one unit larger, then cut to a 2 MB boundary, so that the kernel can back it with
  // huge pages.
  void* raw = mmap(nullptr, size + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  auto start = reinterpret_cast<std::uintptr_t>(raw);
  auto aligned = (start + kHuge - 1) & ~(kHuge - 1);
  if (aligned > start) munmap(raw, aligned - start);
  std::size_t tail = start + size + kHuge - (aligned + size);
  if (tail) munmap(reinterpret_cast<void*>(aligned + size), tail);
  void* p = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  madvise(p, size, MADV_HUGEPAGE);
#endif
  return p;
}

void FreeBlock(void* p, std::size_t bytes) noexcept {
  if (!p) return;
  if (bytes == 0) bytes = 1;
  if (bytes < kLargeBlock) {
    std::free(p);
    return;
  }
  munmap(p, RoundUp(bytes));
}

}  // namespace platform::ado
