// The lexer grammar of the font mapping parser: 15 expression lists of
// regular expressions with their tokens and list-stack actions, and the
// keyword lists that turn a statement's opening keyword into the token of a
// named group. The build-time generator turns it into the "XLSS" table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace typeshift_lex {

struct st_Expression {
  std::string regex;
  int token;              // token number; ignored when the action has kIgnore
  std::uint32_t action;   // sslex_format action word
  int target;             // list for push and goto
  int keywords;           // keyword list consulted with the statement keyword, or -1
};

struct st_Keyword {
  std::string text;  // "<" and the statement keyword
  int token;
  std::uint32_t action;
  int target;
  std::uint32_t flags;  // sslex_format::kCut
};

struct st_LexSpec {
  std::vector<std::vector<st_Expression>> lists;
  std::vector<std::vector<st_Keyword>> keywordLists;
};

st_LexSpec TypeshiftLexSpec();

}  // namespace typeshift_lex
