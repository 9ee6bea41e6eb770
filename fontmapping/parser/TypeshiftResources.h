// The font mapping program's compiled-in resources: the lexer table (name
// "TYPESHIFT", type "LEXTABLE") and the parser table ("TYPESHIFT",
// "YACCTABLE"), generated from the grammar in grammar/.
#pragma once

#include "fontmapping/parser/SSResource.h"

const SSResourceModule& TypeshiftResources();
