// Helpers of the font mapping parser tests: running the parser over a text,
// an independent scan of MIF text for font-bearing groups, cutting a text by
// line and column, and building small parser tables by hand.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fontmapping/parser/TextPiece.h"

namespace fmtest {

struct st_Result {
  std::vector<CTextPiece> pieces;
  std::vector<std::string> log;
  long errors = 0;
};

st_Result Parse(std::string_view text, long bufferSize = -1);
std::string ReadFile(const std::string& path);

// A group found by the independent scan: kind (0 Pgf, 1 Font, 2
// CombinedFontDefn), origin by the nearest enclosing context, byte range.
struct st_Group {
  int kind;
  int origin;
  std::size_t begin;
  std::size_t end;
};
std::vector<st_Group> ScanGroups(std::string_view text);

// Byte offsets of (line, column) positions by the same line rule as the
// lexer; npos when a position lies outside the text.
class LineIndex {
 public:
  explicit LineIndex(std::string_view text);
  std::size_t Offset(long line, long column) const;

 private:
  std::vector<std::size_t> m_starts;  // offset of each line's first byte
  std::size_t m_size;
};
std::size_t OffsetOf(std::string_view text, long line, long column);

// A "CYSS" table from state records: each state is its flags, actions and
// gotos (pairs) and optionally a default action.
struct st_StateSpec {
  std::uint32_t flags = 0;
  std::vector<std::pair<std::int32_t, std::uint32_t>> actions;
  std::vector<std::pair<std::int32_t, std::uint32_t>> gotos;
  std::uint32_t defaultAction = 0;
};
std::vector<unsigned char> BuildYaccTable(const std::vector<std::pair<std::int32_t, std::uint32_t>>& productions,
                                          const std::vector<st_StateSpec>& states, std::uint32_t magic = 0x53535943u);

std::uint32_t GetWord(const std::vector<unsigned char>& data, std::size_t offset);
void SetWord(std::vector<unsigned char>& data, std::size_t offset, std::uint32_t value);

}  // namespace fmtest
