// The generated tables of the font mapping parser, compiled into the
// program: the lexer table ("XLSS") and the parser table ("CYSS") as byte
// arrays, with the production texts and token names the parser table was
// made from. The arrays live in the *.generated.cpp files beside this header.
#pragma once

#include <cstddef>

namespace typeshift_tables {

struct st_TokenName {
  int number;
  const char* name;
};

extern const unsigned char kYaccTable[];
extern const std::size_t kYaccTableSize;
extern const char* const kYaccTableProductions[];
extern const std::size_t kYaccTableProductionCount;
extern const st_TokenName kYaccTableTokens[];
extern const std::size_t kYaccTableTokenCount;

extern const unsigned char kLexTable[];
extern const std::size_t kLexTableSize;

}  // namespace typeshift_tables
