// CQ_Buffer: one malloc'd block per data, header first, data behind it.
//
// All edits funnel through v_Splice, which detects a source that lies in
// this buffer's own block and copies it aside before the block can move.
// Growth for edits rounds small blocks to 32 bytes and large ones by the
// 5/4, 7/5, 3/2 steps, so appending byte by byte stays cheap. The use
// count is the only shared state: increments are relaxed, the decrement
// that may free the block is acquire-release.
#include "System/String/Buffer.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

static_assert(sizeof(CQ_Buffer::st_BufferData) == CQ_Buffer::sn4_HeaderSize, "the header is three u32 fields");

namespace {

constexpr std::uint32_t kEditGranularity = 32;

std::uint32_t roundUp(std::uint64_t value, std::uint32_t unit) {
  if (unit == 0) unit = 1;
  const std::uint64_t rounded = (value + unit - 1) / unit * unit;
  if (rounded > 0xFFFFFFF0u) throw std::bad_alloc();
  return static_cast<std::uint32_t>(rounded);
}

}  // namespace

std::uint32_t CQ_Buffer::sn_ExactBlockSize(std::uint32_t size, std::uint32_t granularity) {
  return roundUp(static_cast<std::uint64_t>(size) + sn4_HeaderSize, granularity);
}

std::uint32_t CQ_Buffer::sn_GrowthBlockSize(std::uint32_t size, std::uint32_t granularity) {
  if (size < 1024) return sn_ExactBlockSize(size, granularity);
  std::uint64_t grown = size;
  if (size < 2048) {
    grown = grown * 5 / 4;
  } else if (size < 4096) {
    grown = grown * 7 / 5;
  } else {
    grown = grown * 3 / 2;
  }
  std::uint32_t block = roundUp(grown, 64);
  // The factors always leave room for the header; keep the guarantee
  // explicit for sizes near the top of the range.
  if (block - sn4_HeaderSize < size) block = roundUp(static_cast<std::uint64_t>(size) + sn4_HeaderSize, 64);
  return block;
}

CQ_Buffer::CQ_Buffer() : n_Granularity(sn4_DefaultGranularity), pb_Data(nullptr) {}

CQ_Buffer::CQ_Buffer(std::uint32_t size, std::uint32_t granularity)
    : n_Granularity(granularity ? granularity : 1), pb_Data(nullptr) {
  if (size) allocate(sn_ExactBlockSize(size, n_Granularity), 0);
}

CQ_Buffer::CQ_Buffer(const void* data, std::uint32_t size, std::uint32_t granularity)
    : n_Granularity(granularity ? granularity : 1), pb_Data(nullptr) {
  if (size) {
    allocate(sn_ExactBlockSize(size, n_Granularity), size);
    std::memcpy(pb_Data, data, size);
  }
}

CQ_Buffer::CQ_Buffer(const CQ_Buffer& other) : n_Granularity(other.n_Granularity), pb_Data(other.pb_Data) {
  if (pb_Data) header()->n_UseCount.fetch_add(1, std::memory_order_relaxed);
}

CQ_Buffer::CQ_Buffer(CQ_Buffer&& other) noexcept : n_Granularity(other.n_Granularity), pb_Data(other.pb_Data) {
  other.pb_Data = nullptr;
}

CQ_Buffer& CQ_Buffer::operator=(const CQ_Buffer& other) {
  if (this != &other) v_Set(other);
  return *this;
}

CQ_Buffer& CQ_Buffer::operator=(CQ_Buffer&& other) noexcept {
  if (this != &other) {
    v_Release();
    n_Granularity = other.n_Granularity;
    pb_Data = other.pb_Data;
    other.pb_Data = nullptr;
  }
  return *this;
}

CQ_Buffer::~CQ_Buffer() { v_Release(); }

void* CQ_Buffer::operator new(std::size_t size) { return ::operator new(size); }

void CQ_Buffer::operator delete(void* pointer) noexcept { ::operator delete(pointer); }

CQ_Buffer::st_BufferData* CQ_Buffer::header() const {
  return reinterpret_cast<st_BufferData*>(pb_Data - sn4_HeaderSize);
}

// Replaces pb_Data by a fresh private block; the old share is not released.
void CQ_Buffer::allocate(std::uint32_t blockSize, std::uint32_t used) {
  void* block = std::malloc(blockSize);
  if (!block) throw std::bad_alloc();
  auto* head = new (block) st_BufferData;
  head->n_UseCount.store(1, std::memory_order_relaxed);
  head->n_MaximumSize = blockSize - sn4_HeaderSize;
  head->n_UsedSize = used;
  pb_Data = static_cast<std::uint8_t*>(block) + sn4_HeaderSize;
}

void CQ_Buffer::v_Release() {
  if (!pb_Data) return;
  st_BufferData* head = header();
  pb_Data = nullptr;
  if (head->n_UseCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    head->~st_BufferData();
    std::free(head);
  }
}

std::uint32_t CQ_Buffer::n_GetMaximumSize() const { return pb_Data ? header()->n_MaximumSize : 0; }

std::uint32_t CQ_Buffer::n_GetUsedSize() const { return pb_Data ? header()->n_UsedSize : 0; }

std::uint32_t CQ_Buffer::n_GetUseCount() const {
  return pb_Data ? header()->n_UseCount.load(std::memory_order_acquire) : 0;
}

std::uint8_t* CQ_Buffer::pb_GetData() {
  v_CopyWeWrite();
  return pb_Data;
}

void CQ_Buffer::v_CopyWeWrite() {
  if (!pb_Data || header()->n_UseCount.load(std::memory_order_acquire) < 2) return;
  std::uint8_t* old = pb_Data;
  const std::uint32_t capacity = header()->n_MaximumSize;
  const std::uint32_t used = header()->n_UsedSize;
  allocate(capacity + sn4_HeaderSize, used);
  std::memcpy(pb_Data, old, used);
  std::uint8_t* mine = pb_Data;
  pb_Data = old;
  v_Release();
  pb_Data = mine;
}

void CQ_Buffer::v_SetSize(std::uint32_t size, bool keep) {
  if (size == 0) {
    v_Release();
    return;
  }
  const std::uint32_t block = sn_GrowthBlockSize(size, n_Granularity);
  const std::uint32_t capacity = block - sn4_HeaderSize;
  if (!pb_Data) {
    allocate(block, 0);
    return;
  }
  st_BufferData* head = header();
  const bool shared = head->n_UseCount.load(std::memory_order_acquire) > 1;
  if (!shared && capacity == head->n_MaximumSize) {
    if (!keep) head->n_UsedSize = 0;
    return;
  }
  if (!keep) {
    std::uint8_t* old = pb_Data;
    allocate(block, 0);
    std::uint8_t* fresh = pb_Data;
    pb_Data = old;
    v_Release();
    pb_Data = fresh;
    return;
  }
  const std::uint32_t used = head->n_UsedSize < capacity ? head->n_UsedSize : capacity;
  if (shared) {
    std::uint8_t* old = pb_Data;
    allocate(block, used);
    std::memcpy(pb_Data, old, used);
    std::uint8_t* fresh = pb_Data;
    pb_Data = old;
    v_Release();
    pb_Data = fresh;
    return;
  }
  void* moved = std::realloc(head, block);
  if (!moved) throw std::bad_alloc();
  head = static_cast<st_BufferData*>(moved);
  head->n_MaximumSize = capacity;
  head->n_UsedSize = used;
  pb_Data = static_cast<std::uint8_t*>(moved) + sn4_HeaderSize;
}

void CQ_Buffer::v_SetMinSize(std::uint32_t size, bool keep) {
  if (pb_Data && header()->n_MaximumSize >= size) {
    if (keep) {
      v_CopyWeWrite();
    } else if (header()->n_UseCount.load(std::memory_order_acquire) > 1) {
      const std::uint32_t capacity = header()->n_MaximumSize;
      v_Release();
      allocate(capacity + sn4_HeaderSize, 0);
    } else {
      header()->n_UsedSize = 0;
    }
    return;
  }
  if (size == 0) return;
  v_SetSize(size, keep);
}

void CQ_Buffer::v_Set(std::uint32_t size, std::uint32_t granularity, bool keep) {
  n_Granularity = granularity ? granularity : 1;
  if (pb_Data && header()->n_UseCount.load(std::memory_order_acquire) == 1 && header()->n_MaximumSize >= size) {
    if (!keep) header()->n_UsedSize = 0;
    return;
  }
  v_SetSize(size, keep);
}

void CQ_Buffer::v_Set(const void* data, std::uint32_t size, std::uint32_t granularity) {
  n_Granularity = granularity ? granularity : 1;
  if (size == 0) {
    v_Release();
    return;
  }
  if (pb_Data && header()->n_UseCount.load(std::memory_order_acquire) == 1 && header()->n_MaximumSize >= size) {
    std::memmove(pb_Data, data, size);
    header()->n_UsedSize = size;
    return;
  }
  std::uint8_t* old = pb_Data;
  allocate(sn_ExactBlockSize(size, n_Granularity), size);
  std::memcpy(pb_Data, data, size);  // `data` may lie in the old block, still alive here
  std::uint8_t* fresh = pb_Data;
  pb_Data = old;
  v_Release();
  pb_Data = fresh;
}

void CQ_Buffer::v_Set(const CQ_Buffer& other) {
  if (pb_Data == other.pb_Data) {
    n_Granularity = other.n_Granularity;
    return;
  }
  if (other.pb_Data) other.header()->n_UseCount.fetch_add(1, std::memory_order_relaxed);
  v_Release();
  n_Granularity = other.n_Granularity;
  pb_Data = other.pb_Data;
}

void CQ_Buffer::ensureRoom(std::uint32_t usedSize) {
  if (pb_Data && header()->n_MaximumSize >= usedSize) {
    v_CopyWeWrite();
    return;
  }
  const std::uint32_t saved = n_Granularity;
  n_Granularity = kEditGranularity;
  try {
    v_SetSize(usedSize, true);
  } catch (...) {
    n_Granularity = saved;
    throw;
  }
  n_Granularity = saved;
}

void CQ_Buffer::v_SetUsedSize(std::uint32_t size) {
  const std::uint32_t used = n_GetUsedSize();
  if (size == used && (!pb_Data || header()->n_UseCount.load(std::memory_order_acquire) == 1)) return;
  if (size == 0 && !pb_Data) return;
  ensureRoom(size);
  if (size > used) std::memset(pb_Data + used, 0, size - used);
  header()->n_UsedSize = size;
}

void CQ_Buffer::v_Splice(std::uint32_t pos, std::uint32_t remove, const void* data, std::uint32_t count) {
  const std::uint32_t used = n_GetUsedSize();
  if (pos > used) pos = used;
  if (remove > used - pos) remove = used - pos;
  if (remove == 0 && count == 0) return;
  const std::uint64_t grown = static_cast<std::uint64_t>(used) - remove + count;
  if (grown > 0xFFFFFF00u) throw std::bad_alloc();
  const auto newUsed = static_cast<std::uint32_t>(grown);

  std::vector<std::uint8_t> aside;
  const auto* source = static_cast<const std::uint8_t*>(data);
  if (source && pb_Data && source >= pb_Data && source < pb_Data + header()->n_MaximumSize) {
    aside.assign(source, source + count);
    source = aside.data();
  }
  ensureRoom(newUsed);
  std::memmove(pb_Data + pos + count, pb_Data + pos + remove, used - pos - remove);
  if (count) {
    if (source) {
      std::memcpy(pb_Data + pos, source, count);
    } else {
      std::memset(pb_Data + pos, 0, count);
    }
  }
  header()->n_UsedSize = newUsed;
}

void CQ_Buffer::v_Replace(std::uint8_t byte, std::uint32_t pos) { v_Replace(&byte, 1, pos); }

void CQ_Buffer::v_Replace(const void* data, std::uint32_t count, std::uint32_t pos) {
  const std::uint32_t used = n_GetUsedSize();
  if (pos > used) pos = used;
  const std::uint32_t overwritten = count < used - pos ? count : used - pos;
  v_Splice(pos, overwritten, data, count);
}

void CQ_Buffer::v_Replace(const CQ_Buffer& source, std::uint32_t from, std::uint32_t count, std::uint32_t pos) {
  const std::uint32_t available = source.n_GetUsedSize();
  if (from >= available) return;
  if (count > available - from) count = available - from;
  v_Replace(source.pb_Data + from, count, pos);
}

void CQ_Buffer::v_Insert(std::uint8_t byte, std::uint32_t pos) { v_Splice(pos, 0, &byte, 1); }

void CQ_Buffer::v_Insert(const void* data, std::uint32_t count, std::uint32_t pos) { v_Splice(pos, 0, data, count); }

void CQ_Buffer::v_Insert(const CQ_Buffer& source, std::uint32_t from, std::uint32_t count, std::uint32_t pos) {
  const std::uint32_t available = source.n_GetUsedSize();
  if (from >= available) return;
  if (count > available - from) count = available - from;
  v_Splice(pos, 0, source.pb_Data + from, count);
}

void CQ_Buffer::v_Append(std::uint8_t byte) { v_Splice(CQ_NPOS, 0, &byte, 1); }

void CQ_Buffer::v_Append(const void* data, std::uint32_t count) { v_Splice(CQ_NPOS, 0, data, count); }

void CQ_Buffer::v_Append(const CQ_Buffer& source, std::uint32_t from, std::uint32_t count) {
  v_Insert(source, from, count, CQ_NPOS);
}

void CQ_Buffer::v_AtInsertCopy(std::uint32_t from, std::uint32_t count, std::uint32_t to, const CQ_Buffer* source) {
  v_Insert(source ? *source : *this, from, count, to);
}

void CQ_Buffer::v_AtInsertMove(std::uint32_t from, std::uint32_t count, std::uint32_t to, CQ_Buffer* source) {
  CQ_Buffer* origin = source ? source : this;
  const std::uint32_t available = origin->n_GetUsedSize();
  if (from >= available) return;
  if (count > available - from) count = available - from;
  std::vector<std::uint8_t> moved(origin->pb_Data + from, origin->pb_Data + from + count);
  origin->v_Splice(from, count, nullptr, 0);
  if (origin == this && to > from) to = to >= from + count ? to - count : from;
  v_Splice(to, 0, moved.data(), count);
}

void CQ_Buffer::v_Remove(std::uint32_t pos, std::uint32_t count) {
  if (pos == CQ_NPOS) {
    if (count < n_GetUsedSize()) {
      v_CopyWeWrite();
      header()->n_UsedSize = count;
    }
    return;
  }
  v_Splice(pos, count, nullptr, 0);
}

bool CQ_Buffer::b_IsEqual(const void* data, std::uint32_t count, std::uint32_t pos) const {
  const std::uint32_t used = n_GetUsedSize();
  if (pos > used || count > used - pos) return false;
  return count == 0 || std::memcmp(pb_Data + pos, data, count) == 0;
}

std::uint32_t CQ_Buffer::n_Find(std::uint8_t byte, std::uint32_t start) const {
  const std::uint32_t used = n_GetUsedSize();
  if (start >= used) return CQ_NPOS;
  const void* hit = std::memchr(pb_Data + start, byte, used - start);
  return hit ? static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(hit) - pb_Data) : CQ_NPOS;
}

std::uint32_t CQ_Buffer::n_Find(const void* data, std::uint32_t count, std::uint32_t start) const {
  const std::uint32_t used = n_GetUsedSize();
  if (start > used || count > used - start) return CQ_NPOS;
  if (count == 0) return start;
  const auto* needle = static_cast<const std::uint8_t*>(data);
  const std::uint32_t last = used - count;  // last offset where a match still fits
  std::uint32_t at = start;
  while (at <= last) {
    const void* hit = std::memchr(pb_Data + at, needle[0], last - at + 1);
    if (!hit) return CQ_NPOS;
    at = static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(hit) - pb_Data);
    if (std::memcmp(pb_Data + at + 1, needle + 1, count - 1) == 0) return at;
    ++at;
  }
  return CQ_NPOS;
}
