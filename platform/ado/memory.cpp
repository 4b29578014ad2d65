#include "platform/ado/memory.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace platform::ado {

namespace {
constexpr std::size_t kHuge = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes) { return (bytes + kHuge - 1) & ~(kHuge - 1); }

// Large blocks freed lately, kept for the next large result (up to 16 MB): a fresh block costs
// the kernel's clearing of every page, a kept one nothing.
constexpr std::size_t kKeptBytes = std::size_t{16} << 20;
struct Kept {
  std::mutex mutex;
  std::vector<std::pair<void*, std::size_t>> blocks;  // block, its mapped size
  std::size_t bytes = 0;
};
Kept& KeptBlocks() {
  static Kept* kept = new Kept();  // never destroyed: blocks may be freed during exit
  return *kept;
}

void* TakeKept(std::size_t size) {
  Kept& kept = KeptBlocks();
  std::lock_guard<std::mutex> lock(kept.mutex);
  for (std::size_t i = 0; i < kept.blocks.size(); ++i) {
    if (kept.blocks[i].second != size) continue;
    void* p = kept.blocks[i].first;
    kept.blocks.erase(kept.blocks.begin() + static_cast<std::ptrdiff_t>(i));
    kept.bytes -= size;
    return p;
  }
  return nullptr;
}

bool Keep(void* p, std::size_t size) {
  Kept& kept = KeptBlocks();
  std::lock_guard<std::mutex> lock(kept.mutex);
  if (kept.bytes + size > kKeptBytes) return false;
  kept.blocks.emplace_back(p, size);
  kept.bytes += size;
  return true;
}

// Blocks of the first size a small result takes (its first block of rows, its first chunk of
// row starts), a few kept when freed: most results are small, and malloc serves a request of
// this size by first merging every small chunk freed lately, which then makes the next small
// allocations of the program slower too.
constexpr std::size_t kSmallKept = 4096;
std::atomic<void*> smallKept[8];

void* TakeSmall() {
  for (auto& slot : smallKept)
    if (slot.load(std::memory_order_relaxed))
      if (void* p = slot.exchange(nullptr, std::memory_order_acquire)) return p;
  return nullptr;
}

bool KeepSmall(void* p) {
  for (auto& slot : smallKept) {
    void* empty = nullptr;
    if (!slot.load(std::memory_order_relaxed) &&
        slot.compare_exchange_strong(empty, p, std::memory_order_release, std::memory_order_relaxed))
      return true;
  }
  return false;
}
}  // namespace

std::size_t BlockCapacity(std::size_t bytes) { return bytes >= kLargeBlock ? RoundUp(bytes) : bytes; }

void* AllocateBlock(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (bytes < kLargeBlock) {
    if (bytes == kSmallKept)
      if (void* kept = TakeSmall()) return kept;
    void* p = std::malloc(bytes);
    if (!p) throw std::bad_alloc();
    return p;
  }
  if (bytes > std::numeric_limits<std::size_t>::max() - 2 * kHuge) throw std::bad_alloc();
  const std::size_t size = RoundUp(bytes);
  if (void* kept = TakeKept(size)) return kept;
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
    if (bytes != kSmallKept || !KeepSmall(p)) std::free(p);
    return;
  }
  const std::size_t size = RoundUp(bytes);
  if (!Keep(p, size)) munmap(p, size);
}

}  // namespace platform::ado
