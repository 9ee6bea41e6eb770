#include "fontmapping/parser/SSSetArray.h"

#include <algorithm>
#include <new>

#include "fontmapping/parser/SSException.h"

SSSetArray::SSSetArray(std::size_t capacity, bool canGrow) : m_nCapacity(capacity), m_bCanGrow(canGrow) {
  try {
    m_vecNumbers.reserve(capacity);
  } catch (const std::exception&) {  // bad_alloc, or length_error beyond max_size
    throw SSExceptionOutOfStorage();
  }
}

bool SSSetArray::b_Add(long number) {
  const auto at = std::lower_bound(m_vecNumbers.begin(), m_vecNumbers.end(), number);
  if (at != m_vecNumbers.end() && *at == number) return false;
  if (m_vecNumbers.size() == m_nCapacity) {
    if (!m_bCanGrow) throw SSException(SSErrorSetArrayBase + 1, "SSSetArray0001e: Set full");
    m_nCapacity = m_nCapacity ? 2 * m_nCapacity : 64;
  }
  try {
    m_vecNumbers.insert(at, number);
  } catch (const std::bad_alloc&) {
    throw SSExceptionOutOfStorage();
  }
  return true;
}

bool SSSetArray::b_Contains(long number) const {
  return std::binary_search(m_vecNumbers.begin(), m_vecNumbers.end(), number);
}
