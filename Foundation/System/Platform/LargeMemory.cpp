// Large blocks: an anonymous mapping of the size rounded up to whole 2 MiB
// pages, cut to a 2 MiB boundary (the mapping is made one huge page longer
// and the ends trimmed), with MADV_HUGEPAGE advice. The advice is a hint:
// kernels that refuse it still give ordinary pages.
#include "System/Platform/LargeMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <mutex>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MORVANE_FOREIGN_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define MORVANE_FOREIGN_HEAP 1
#endif
#endif

namespace Platform {

namespace {

std::size_t MappedSize(std::size_t bytes) { return (bytes + LARGE_BLOCK - 1) & ~(LARGE_BLOCK - 1); }

class LargeMemoryResource final : public std::pmr::memory_resource {
  void* do_allocate(std::size_t bytes, std::size_t alignment) override {
    if (alignment > alignof(std::max_align_t)) throw std::bad_alloc();
    return LargeAllocate(bytes);
  }
  void do_deallocate(void* block, std::size_t bytes, std::size_t) override { LargeFree(block, bytes); }
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }
};

}  // namespace

void* LargeAllocate(std::size_t bytes) {
  if (bytes < LARGE_BLOCK) return ::operator new(bytes == 0 ? 1 : bytes);
  if (bytes > static_cast<std::size_t>(-1) - 2 * LARGE_BLOCK) throw std::bad_alloc();
  const std::size_t size = MappedSize(bytes);
  const std::size_t span = size + LARGE_BLOCK;
  void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto begin = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (begin + LARGE_BLOCK - 1) & ~static_cast<std::uintptr_t>(LARGE_BLOCK - 1);
  if (aligned > begin) ::munmap(raw, aligned - begin);
  const std::uintptr_t end = begin + span;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  ::madvise(block, size, MADV_HUGEPAGE);
#endif
  return block;
}

std::pmr::memory_resource* LargeResource() noexcept {
  static LargeMemoryResource resource;
  return &resource;
}

void LargeFree(void* block, std::size_t bytes) noexcept {
  if (block == nullptr) return;
  if (bytes < LARGE_BLOCK) {
    ::operator delete(block);
    return;
  }
  ::munmap(block, MappedSize(bytes));
}

#if defined(__GLIBC__) && !defined(MORVANE_FOREIGN_HEAP)

namespace {

std::mutex heapMutex;

// Blocks below this size come from the heap, above it from mappings of
// their own (the C library's default starts at 128 KiB and moves).
constexpr std::size_t HEAP_BLOCK_LIMIT = std::size_t(4) << 20;

}  // namespace

void PrepareHeap(std::size_t bytes) noexcept {
  std::lock_guard<std::mutex> lock(heapMutex);
  const std::size_t pad = std::min((bytes + LARGE_BLOCK - 1) & ~(LARGE_BLOCK - 1), std::size_t(1) << 30);
  if (pad == 0) return;
  ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(HEAP_BLOCK_LIMIT));
  ::mallopt(M_TOP_PAD, static_cast<int>(pad));
  ::mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * pad));
  // Blocks taken until the heap grows (by the pad, beyond the block) and
  // given back at once leave the grown top free. They stop once they hold
  // more than the heap had free and the pad: an allocator that does not
  // move the break (a debugger's, a preloaded one) is only asked for that.
  // (volatile: blocks allocated and freed unused may be left out)
  const auto before = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  const std::size_t bound = std::min<std::size_t>(64, (::mallinfo2().fordblks + pad) / HEAP_BLOCK_LIMIT + 1);
  void* volatile probes[64] = {};
  std::size_t taken = 0;
  while (taken < bound && reinterpret_cast<std::uintptr_t>(::sbrk(0)) == before) {
    probes[taken] = ::malloc(HEAP_BLOCK_LIMIT - 4096);
    if (probes[taken] == nullptr) break;
    ++taken;
  }
  for (std::size_t k = 0; k < taken; ++k) ::free(probes[k]);
  // The growth, in whole 2 MiB pages, offered for huge pages.
  const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  if (end <= before) return;
  const std::uintptr_t first = (before + LARGE_BLOCK - 1) & ~static_cast<std::uintptr_t>(LARGE_BLOCK - 1);
  const std::uintptr_t last = end & ~static_cast<std::uintptr_t>(LARGE_BLOCK - 1);
#ifdef MADV_HUGEPAGE
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

void ReleaseHeap() noexcept {
  std::lock_guard<std::mutex> lock(heapMutex);
  ::mallopt(M_TOP_PAD, 128 << 10);
  ::mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * HEAP_BLOCK_LIMIT));
  ::malloc_trim(0);
}

#else

void PrepareHeap(std::size_t) noexcept {}
void ReleaseHeap() noexcept {}

#endif

}  // namespace Platform
