// Memory for the large working buffers of one conversion: a file's lines,
// their records, the KWX pieces made from them.
//
// Such buffers are filled once, front to back, and freed together. Fresh
// memory costs a page fault per 4 KiB page on first touch, which on a
// virtual machine takes microseconds; a block of LARGE_BLOCK bytes or more
// is therefore mapped on its own, aligned to 2 MiB and offered to the
// kernel for transparent huge pages, so that it faults in 2 MiB at a time.
// Where the kernel does not take the advice the block behaves as ordinary
// memory. Smaller blocks come from operator new.
//
// Contract: LargeFree must get the size given to LargeAllocate. Failure to
// allocate throws std::bad_alloc. Thread-safe (no shared state).
#pragma once

#include <cstddef>
#include <memory_resource>
#include <new>

#include "System/Export.h"

namespace Platform {

inline constexpr std::size_t LARGE_BLOCK = std::size_t(2) << 20;

OSTRAKON_API void* LargeAllocate(std::size_t bytes);
OSTRAKON_API void LargeFree(void* block, std::size_t bytes) noexcept;

// One block from LargeAllocate, owned: freed when the buffer goes.
class OSTRAKON_API LargeBuffer {
 public:
  LargeBuffer() noexcept : m_pcData(nullptr), m_nSize(0) {}
  explicit LargeBuffer(std::size_t bytes) : m_pcData(static_cast<char*>(LargeAllocate(bytes))), m_nSize(bytes) {}
  LargeBuffer(LargeBuffer&& other) noexcept : m_pcData(other.m_pcData), m_nSize(other.m_nSize) {
    other.m_pcData = nullptr;
    other.m_nSize = 0;
  }
  LargeBuffer& operator=(LargeBuffer&& other) noexcept {
    if (this != &other) {
      LargeFree(m_pcData, m_nSize);
      m_pcData = other.m_pcData;
      m_nSize = other.m_nSize;
      other.m_pcData = nullptr;
      other.m_nSize = 0;
    }
    return *this;
  }
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;
  ~LargeBuffer() { LargeFree(m_pcData, m_nSize); }

  char* data() const { return m_pcData; }
  std::size_t size() const { return m_nSize; }

 private:
  char* m_pcData;
  std::size_t m_nSize;
};

// A memory resource over LargeAllocate, as the upstream of regions that
// grow large (alignment up to that of operator new). One shared instance.
OSTRAKON_API std::pmr::memory_resource* LargeResource() noexcept;

// The C library's heap, made ready for a conversion whose small blocks
// (strings, list nodes, short vectors) may add up to about `bytes`: the heap
// is grown once by that much beyond what it holds, offered to the kernel for
// transparent huge pages, and kept from shrinking back between the steps of
// the conversion, so that its first touches fault in 2 MiB at a time rather
// than a page per 4 KiB, and steps do not return memory the next one takes
// again. Memory not touched costs address space only. ReleaseHeap gives the
// free part back to the system once the conversion is over. Where the heap
// is not the C library's own (sanitizer builds), both do nothing.
// Thread-safe; meant for one conversion at a time per process.
OSTRAKON_API void PrepareHeap(std::size_t bytes) noexcept;
OSTRAKON_API void ReleaseHeap() noexcept;

// A standard allocator over LargeAllocate, for vectors that may grow large.
template <class T>
struct LargeAllocator {
  using value_type = T;

  LargeAllocator() noexcept = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(LargeAllocate(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { LargeFree(p, n * sizeof(T)); }

  template <class U>
  bool operator==(const LargeAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace Platform
