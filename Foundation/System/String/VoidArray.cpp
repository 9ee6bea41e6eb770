// CQ_VoidArray: fixed-size items stored back to back in a CQ_Buffer.
// Items of 1, 2 and 4 bytes are moved as single values, others bytewise.
#include "System/String/VoidArray.h"

#include <cstring>

namespace {

void copyItem(void* to, const void* from, std::uint32_t size) {
  switch (size) {
    case 1: *static_cast<std::uint8_t*>(to) = *static_cast<const std::uint8_t*>(from); break;
    case 2: { std::uint16_t v; std::memcpy(&v, from, 2); std::memcpy(to, &v, 2); break; }
    case 4: { std::uint32_t v; std::memcpy(&v, from, 4); std::memcpy(to, &v, 4); break; }
    default: std::memcpy(to, from, size); break;
  }
}

}  // namespace

CQ_VoidArray::CQ_VoidArray(std::uint32_t itemSize, std::uint32_t growth)
    : n_ItemSize(itemSize ? itemSize : 1), co_Buffer() {
  co_Buffer.v_SetGranularity(n_ItemSize * (growth ? growth : 1));
}

void CQ_VoidArray::v_GetAt(void* item, std::uint32_t i) const {
  const void* at = pcv_GetAt(i);
  if (at) {
    copyItem(item, at, n_ItemSize);
  } else {
    std::memset(item, 0, n_ItemSize);
  }
}

const void* CQ_VoidArray::pcv_GetAt(std::uint32_t i) const {
  if (i == 0 || i > n_GetCount()) return nullptr;
  return co_Buffer.pcb_GetData() + static_cast<std::size_t>(i - 1) * n_ItemSize;
}

void CQ_VoidArray::v_SetAt(const void* item, std::uint32_t i) {
  const std::uint32_t count = n_GetCount();
  if (i == 0 || i > count + 1) return;
  if (i == count + 1) {
    n_Add(item);
    return;
  }
  copyItem(co_Buffer.pb_GetData() + static_cast<std::size_t>(i - 1) * n_ItemSize, item, n_ItemSize);
}

std::uint32_t CQ_VoidArray::n_Add(const void* item) {
  co_Buffer.v_Append(item, n_ItemSize);
  return n_GetCount();
}

void CQ_VoidArray::v_InsertAt(const void* item, std::uint32_t i) {
  const std::uint32_t count = n_GetCount();
  if (i == 0) i = 1;
  if (i > count + 1) i = count + 1;
  co_Buffer.v_Insert(item, n_ItemSize, (i - 1) * n_ItemSize);
}

void CQ_VoidArray::v_RemoveAt(std::uint32_t i, std::uint32_t count) {
  const std::uint32_t total = n_GetCount();
  if (i == 0 || i > total || count == 0) return;
  if (count > total - i + 1) count = total - i + 1;
  co_Buffer.v_Remove((i - 1) * n_ItemSize, count * n_ItemSize);
}

void CQ_VoidArray::v_RemoveAll() { co_Buffer.v_Release(); }

std::uint32_t CQ_VoidArray::n_Find(const void* item, std::uint32_t start) const {
  const std::uint32_t count = n_GetCount();
  const std::uint8_t* data = co_Buffer.pcb_GetData();
  for (std::uint32_t i = start ? start : 1; i <= count; ++i) {
    if (std::memcmp(data + static_cast<std::size_t>(i - 1) * n_ItemSize, item, n_ItemSize) == 0) return i;
  }
  return 0;
}
