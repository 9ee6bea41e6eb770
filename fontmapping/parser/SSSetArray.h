// A set of token numbers kept as a sorted array. It starts with room for
// the given number of entries and doubles when full, unless it was made
// fixed: then adding to a full set raises "SSSetArray0001e: Set full".
#pragma once

#include <cstddef>
#include <vector>

class SSSetArray {
 public:
  explicit SSSetArray(std::size_t capacity = 64, bool canGrow = true);

  // Returns false when the number was already present.
  bool b_Add(long number);
  bool b_Contains(long number) const;
  void v_Clear() noexcept { m_vecNumbers.clear(); }
  std::size_t n_Size() const noexcept { return m_vecNumbers.size(); }
  std::size_t n_Capacity() const noexcept { return m_nCapacity; }

 private:
  std::vector<long> m_vecNumbers;
  std::size_t m_nCapacity;
  bool m_bCanGrow;
};
