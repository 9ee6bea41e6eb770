// CQ_Buffer: a reference-counted, copy-on-write block of bytes.
//
// The data pointer points just behind a 12-byte header (use count, maximum
// size, used size). Copies share the block and raise its use count; every
// changing operation first makes the block private when it is shared
// (use count 2 or more). Only the use count is changed atomically: several
// threads may hold copies of one block, but one CQ_Buffer object must not be
// changed by two threads at once.
//
// Offsets and counts are bytes, 0-based. CQ_NPOS (0xFFFFFFFF) means "to the
// end" for counts and "not found" for results. A buffer without data reads
// as size 0. Allocation failure throws std::bad_alloc.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "System/Export.h"

// "To the end" as a count, "not found" as a result.
inline constexpr std::uint32_t CQ_NPOS = 0xFFFFFFFFu;

class OSTRAKON_API CQ_Buffer {
 public:
  // The header in front of the data.
  struct st_BufferData {
    std::atomic<std::uint32_t> n_UseCount;
    std::uint32_t n_MaximumSize;  // capacity in bytes, header excluded
    std::uint32_t n_UsedSize;
  };

  static constexpr std::uint32_t sn4_HeaderSize = 12;
  static constexpr std::uint32_t sn4_DefaultGranularity = 32;

  // An empty buffer (no data).
  CQ_Buffer();
  // A buffer with room for `size` bytes (used size 0); granularity is the
  // allocation unit in bytes (0 counts as 1).
  explicit CQ_Buffer(std::uint32_t size, std::uint32_t granularity = sn4_DefaultGranularity);
  // A buffer holding a copy of `size` bytes at `data`.
  CQ_Buffer(const void* data, std::uint32_t size, std::uint32_t granularity = sn4_DefaultGranularity);
  // Shares the other buffer's block (its use count goes up by one).
  CQ_Buffer(const CQ_Buffer& other);
  CQ_Buffer(CQ_Buffer&& other) noexcept;
  CQ_Buffer& operator=(const CQ_Buffer& other);
  CQ_Buffer& operator=(CQ_Buffer&& other) noexcept;
  // Releases this object's share; the last share frees the block.
  ~CQ_Buffer();

  static void* operator new(std::size_t size);
  static void operator delete(void* pointer) noexcept;

  // Sets the granularity and room for `size` bytes. When the block is not
  // shared and already large enough it is kept (without keep the used size
  // becomes 0); otherwise it is replaced as by v_SetSize.
  void v_Set(std::uint32_t size, std::uint32_t granularity, bool keep);
  // Replaces the contents by a copy of `size` bytes at `data` (which may lie
  // inside this buffer). The block is an exact allocation.
  void v_Set(const void* data, std::uint32_t size, std::uint32_t granularity);
  // Shares the other buffer's block.
  void v_Set(const CQ_Buffer& other);

  // Sets the capacity by the growth rules: below 1,024 bytes the block is
  // size + 12 rounded up to the granularity; from 1,024 bytes the size
  // grows by 5/4 (below 2,048), 7/5 (below 4,096) or 3/2 and is rounded up
  // to 64, header included. Size 0 releases the data. Without keep the
  // used size becomes 0; with keep the contents stay, cut to the capacity.
  void v_SetSize(std::uint32_t size, bool keep);
  // Makes sure there is private room for `size` bytes; grows by v_SetSize
  // only when the capacity is too small. Without keep the used size
  // becomes 0.
  void v_SetMinSize(std::uint32_t size, bool keep);
  // Sets the used size, growing the capacity when needed; bytes that come
  // into use are zero.
  void v_SetUsedSize(std::uint32_t size);

  // Overwrites bytes from `pos` (CQ_NPOS or past the end: the end), growing
  // the used size when the new bytes run past it.
  void v_Replace(std::uint8_t byte, std::uint32_t pos);
  void v_Replace(const void* data, std::uint32_t count, std::uint32_t pos);
  void v_Replace(const CQ_Buffer& source, std::uint32_t from, std::uint32_t count, std::uint32_t pos);
  // Opens room at `pos` (clamped to the used size) and copies the bytes in.
  void v_Insert(std::uint8_t byte, std::uint32_t pos);
  void v_Insert(const void* data, std::uint32_t count, std::uint32_t pos);
  void v_Insert(const CQ_Buffer& source, std::uint32_t from, std::uint32_t count, std::uint32_t pos);
  void v_Append(std::uint8_t byte);
  void v_Append(const void* data, std::uint32_t count);
  // Appends `count` bytes from offset `from` of `source` (clamped to its
  // used size; `source` may be this buffer).
  void v_Append(const CQ_Buffer& source, std::uint32_t from, std::uint32_t count);
  // Replaces `remove` bytes at `pos` by `count` bytes at `data`: the general
  // edit behind Replace, Insert, Append and Remove.
  void v_Splice(std::uint32_t pos, std::uint32_t remove, const void* data, std::uint32_t count);

  // Opens room at `to` and copies `count` bytes from offset `from` of
  // `source` (null: this buffer) into it. Offsets are taken before the room
  // is opened.
  void v_AtInsertCopy(std::uint32_t from, std::uint32_t count, std::uint32_t to, const CQ_Buffer* source = nullptr);
  // As v_AtInsertCopy, then removes the bytes from their old place in
  // `source` (null: this buffer).
  void v_AtInsertMove(std::uint32_t from, std::uint32_t count, std::uint32_t to, CQ_Buffer* source = nullptr);

  // Removes `count` bytes (CQ_NPOS: to the end) at `pos` by moving the tail
  // down. With pos CQ_NPOS the used size is cut to `count` instead.
  void v_Remove(std::uint32_t pos, std::uint32_t count);

  // True when the `count` bytes at `pos` equal `data`; a range that runs
  // past the used size is never equal.
  bool b_IsEqual(const void* data, std::uint32_t count, std::uint32_t pos) const;
  // Offset of the first `byte` at or after `start`, or CQ_NPOS.
  std::uint32_t n_Find(std::uint8_t byte, std::uint32_t start = 0) const;
  // Offset of the first occurrence of the `count` bytes at `data` at or
  // after `start` that lies wholly inside the used size, or CQ_NPOS.
  std::uint32_t n_Find(const void* data, std::uint32_t count, std::uint32_t start = 0) const;

  std::uint32_t n_GetMaximumSize() const;
  std::uint32_t n_GetUsedSize() const;
  // 0 without data.
  std::uint32_t n_GetUseCount() const;
  std::uint32_t n_GetGranularity() const { return n_Granularity; }
  void v_SetGranularity(std::uint32_t granularity) { n_Granularity = granularity ? granularity : 1; }

  // Read access to the data (null without data). Valid until the next
  // change of this buffer.
  const std::uint8_t* pcb_GetData() const { return pb_Data; }
  // Write access: makes the block private first. Null without data.
  std::uint8_t* pb_GetData();

  // Makes the data private before it is written through a raw pointer.
  void v_CopyWeWrite();
  // Releases this object's share of the data; the buffer becomes empty.
  void v_Release();

  // The block size (header included) that the rules give for `size` bytes:
  // exact allocation, and growth by v_SetSize.
  static std::uint32_t sn_ExactBlockSize(std::uint32_t size, std::uint32_t granularity);
  static std::uint32_t sn_GrowthBlockSize(std::uint32_t size, std::uint32_t granularity);

 private:
  st_BufferData* header() const;
  void allocate(std::uint32_t blockSize, std::uint32_t used);
  void ensureRoom(std::uint32_t usedSize);

  std::uint32_t n_Granularity;
  std::uint8_t* pb_Data;
};
