// CQ_VoidArray: a growable array of fixed-size items over a CQ_Buffer.
//
// Items are copied in and out by value (bytewise); the array never looks
// inside them and never owns what an item may point to. Positions are
// 1-based: item 1 is the first, and 0 means "not found". Copies share the
// buffer (copy on write), so copying an array is cheap.
#pragma once

#include <cstdint>

#include "System/Export.h"
#include "System/String/Buffer.h"

class OSTRAKON_API CQ_VoidArray {
 public:
  // Items of `itemSize` bytes; the buffer grows by `growth` items at a time.
  explicit CQ_VoidArray(std::uint32_t itemSize, std::uint32_t growth = 16);

  std::uint32_t n_GetItemSize() const { return n_ItemSize; }
  std::uint32_t n_GetCount() const { return co_Buffer.n_GetUsedSize() / n_ItemSize; }

  // Copies item i (1..count) into `item`; out of range fills it with zeros.
  void v_GetAt(void* item, std::uint32_t i) const;
  // Points at item i (1..count) inside the buffer, or null. Valid until
  // the next change of the array.
  const void* pcv_GetAt(std::uint32_t i) const;
  // Overwrites item i (1..count); i = count + 1 appends; beyond is ignored.
  void v_SetAt(const void* item, std::uint32_t i);
  // Appends the item and returns its position.
  std::uint32_t n_Add(const void* item);
  // Inserts the item so that it becomes item i (clamped to count + 1).
  void v_InsertAt(const void* item, std::uint32_t i);
  // Removes `count` items from position i (out-of-range parts are ignored).
  void v_RemoveAt(std::uint32_t i, std::uint32_t count = 1);
  void v_RemoveAll();
  // Position of the first item at or after `start` equal (bytewise) to
  // `item`, or 0.
  std::uint32_t n_Find(const void* item, std::uint32_t start = 1) const;

  const CQ_Buffer& rcco_GetBuffer() const { return co_Buffer; }

 protected:
  std::uint32_t n_ItemSize;
  CQ_Buffer co_Buffer;
};
