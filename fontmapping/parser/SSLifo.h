// The parser's stack: a fixed number of entries, each a state number and the
// lexeme or reduced element shifted with it (an SSRef the stack holds a
// reference to). Index 0 is the top.
#pragma once

#include <cstddef>
#include <vector>

#include "fontmapping/parser/SSRef.h"

class SSLifo {
 public:
  struct st_Entry {
    long i_State = 0;
    SSRef* pco_Element = nullptr;
  };

  explicit SSLifo(std::size_t capacity);
  ~SSLifo();
  SSLifo(const SSLifo&) = delete;
  SSLifo& operator=(const SSLifo&) = delete;

  // "SSLifo0001e: Stack full" when the capacity is reached.
  void v_Push(long state, SSRef* element) {
    if (m_nSize == m_vecEntries.size()) v_Full();
    if (element) element->v_AddRef();
    m_vecEntries[m_nSize++] = {state, element};
  }
  // "SSLifo0004e: Cannot pop empty stack".
  void v_Pop() {
    if (m_nSize == 0) v_PopEmpty();
    st_Entry& entry = m_vecEntries[--m_nSize];
    SSRef* element = entry.pco_Element;
    entry.pco_Element = nullptr;
    if (element) element->b_Release();
  }
  // "SSLifo0002e: No top, stack empty".
  const st_Entry& rco_Top() const {
    if (m_nSize == 0) v_NoTop();
    return m_vecEntries[m_nSize - 1];
  }
  // Entry `index` below the top (0 is the top); "SSLifo0003e: Invalid index".
  const st_Entry& rco_Peek(std::size_t index) const;
  std::size_t n_Size() const noexcept { return m_nSize; }
  std::size_t n_Capacity() const noexcept { return m_vecEntries.size(); }

 private:
  [[noreturn]] static void v_Full();
  [[noreturn]] static void v_PopEmpty();
  [[noreturn]] static void v_NoTop();

  std::vector<st_Entry> m_vecEntries;
  std::size_t m_nSize = 0;
};
