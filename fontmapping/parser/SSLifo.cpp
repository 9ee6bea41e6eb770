#include "fontmapping/parser/SSLifo.h"

#include "fontmapping/parser/SSException.h"

#include <exception>

SSLifo::SSLifo(std::size_t capacity) {
  try {
    m_vecEntries.resize(capacity);
  } catch (const std::exception&) {  // bad_alloc, or length_error beyond max_size
    throw SSExceptionOutOfStorage();
  }
}

SSLifo::~SSLifo() {
  while (m_nSize > 0) {
    SSRef* element = m_vecEntries[--m_nSize].pco_Element;
    if (element) element->b_Release();
  }
}

void SSLifo::v_Full() { throw SSException(SSErrorLifoBase + 1, "SSLifo0001e: Stack full"); }

void SSLifo::v_PopEmpty() { throw SSException(SSErrorLifoBase + 4, "SSLifo0004e: Cannot pop empty stack"); }

void SSLifo::v_NoTop() { throw SSException(SSErrorLifoBase + 2, "SSLifo0002e: No top, stack empty"); }

const SSLifo::st_Entry& SSLifo::rco_Peek(std::size_t index) const {
  if (index >= m_nSize) throw SSException(SSErrorLifoBase + 3, "SSLifo0003e: Invalid index");
  return m_vecEntries[m_nSize - 1 - index];
}
