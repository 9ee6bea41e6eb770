#include "fontmapping/parser/SSSetArray.h"

#include <algorithm>

#include "fontmapping/parser/SSException.h"

SSSetArray::SSSetArray(std::size_t capacity, bool canGrow) : m_nCapacity(capacity), m_bCanGrow(canGrow) {
  m_vecNumbers.reserve(capacity);
}

bool SSSetArray::b_Add(long number) {
  const auto at = std::lower_bound(m_vecNumbers.begin(), m_vecNumbers.end(), number);
  if (at != m_vecNumbers.end() && *at == number) return false;
  if (m_vecNumbers.size() == m_nCapacity) {
    if (!m_bCanGrow) throw SSException(SSErrorSetArrayBase + 1, "SSSetArray0001e: Set full");
    m_nCapacity = m_nCapacity ? 2 * m_nCapacity : 64;
  }
  m_vecNumbers.insert(at, number);
  return true;
}

bool SSSetArray::b_Contains(long number) const {
  return std::binary_search(m_vecNumbers.begin(), m_vecNumbers.end(), number);
}
