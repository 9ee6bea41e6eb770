// Large blocks: an anonymous mapping of the size rounded up to whole 2 MiB
// pages, cut to a 2 MiB boundary (the mapping is made one huge page longer
// and the ends trimmed), with MADV_HUGEPAGE advice. The advice is a hint:
// kernels that refuse it still give ordinary pages.
#include "System/Platform/LargeMemory.h"

#include <sys/mman.h>

#include <cstdint>

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

}  // namespace Platform
