// Token numbers of the font mapping grammar (Typeshift.y declares the same
// numbers; a test compares them with the generated parser table) and the
// numbers of the lexer's expression lists.
#pragma once

namespace typeshift_tokens {

enum : int {
  CONDITION_CATALOG_START = 52,
  CFONT_CATALOG_START = 53,
  PGF_CATALOG_START = 54,
  FONT_CATALOG_START = 55,
  TBLS_START = 56,
  TEXTFLOW_START = 57,
  TEXTLINE_START = 58,
  CONTENT = 59,  // any statement or value the grammar does not name
  NESTED_START = 62,  // a statement nested deeper than three inside a group
  TBL_START = 60,
  TBLS_END = 61,
  TBL_ID = 63,
  PGFTAG = 64,
  PGF_START = 65,
  FONT_START = 66,
  ROW_START = 67,
  TBL_END = 68,
  CONDITIONAL_START = 70,
  UNCONDITIONAL = 71,
  ROW_END = 72,
  TEXTRECT_ID = 74,
  TEXTFLOW_END = 75,
  CONDITIONAL_CONTENT = 76,
  CONDITIONAL_END = 77,
  CONDITION_START = 79,
  CONDITION_CATALOG_END = 80,
  CONDITION_CONTENT = 81,
  CONDITION_END = 82,
  CFONT_START = 84,
  CFONT_CATALOG_END = 85,
  CFONT_CONTENT = 86,
  CFONT_END = 87,
  FONT_CATALOG_END = 89,
  FONT_CONTENT = 90,
  FONT_END = 91,
  UNIQUE_ID = 93,
  TEXTLINE_END = 94,
  PGF_CATALOG_END = 96,
  PGF_CONTENT = 97,
  PGF_END = 98,
};

// Expression lists of the lexer. The first six share their expressions and
// differ only in the token of the ">" that closes the list's statement.
enum : int {
  LIST_MAIN = 0,
  LIST_FLOW,
  LIST_TBLS,
  LIST_TBL,
  LIST_ROW,
  LIST_TEXTLINE,
  LIST_PGF_CATALOG,
  LIST_FONT_CATALOG,
  LIST_CFONT_CATALOG,
  LIST_CONDITION_CATALOG,
  LIST_PGF,
  LIST_FONT,
  LIST_CFONT,
  LIST_CONDITION,
  LIST_CONDITIONAL,
  LIST_COUNT
};

}  // namespace typeshift_tokens
