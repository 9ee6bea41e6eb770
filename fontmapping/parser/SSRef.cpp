#include "fontmapping/parser/SSRef.h"

#include "fontmapping/parser/SSException.h"

void SSRef::v_Underflow() { throw SSException(SSErrorRefBase + 1, "SSRef0001e: Reference count less than zero"); }
