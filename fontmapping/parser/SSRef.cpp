#include "fontmapping/parser/SSRef.h"

#include "fontmapping/parser/SSException.h"

bool SSRef::b_Release() {
  if (m_iRefCount <= 0) throw SSException(SSErrorRefBase + 1, "SSRef0001e: Reference count less than zero");
  if (--m_iRefCount == 0) {
    delete this;
    return true;
  }
  return false;
}
