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
  void v_Push(long state, SSRef* element);
  // "SSLifo0004e: Cannot pop empty stack".
  void v_Pop();
  // "SSLifo0002e: No top, stack empty".
  const st_Entry& rco_Top() const;
  // Entry `index` below the top (0 is the top); "SSLifo0003e: Invalid index".
  const st_Entry& rco_Peek(std::size_t index) const;
  std::size_t n_Size() const noexcept { return m_nSize; }
  std::size_t n_Capacity() const noexcept { return m_vecEntries.size(); }

 private:
  std::vector<st_Entry> m_vecEntries;
  std::size_t m_nSize = 0;
};
