#include "fontmapping/parser/TypeshiftResources.h"

#include "fontmapping/parser/grammar/TypeshiftTables.h"

const SSResourceModule& TypeshiftResources() {
  static const SSResourceModule module({
      {"TYPESHIFT", "LEXTABLE", typeshift_tables::kLexTable, typeshift_tables::kLexTableSize},
      {"TYPESHIFT", "YACCTABLE", typeshift_tables::kYaccTable, typeshift_tables::kYaccTableSize},
  });
  return module;
}
