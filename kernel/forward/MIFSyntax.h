// Helpers over single MIF lines as FrameMaker writes them: one statement,
// opening or closer per line, trimmed.
//
// Every scanner of the pre-scan reads statements through these helpers so
// that MIF 4.00's trailing blanks (`<PageType ReferencePage >`) and MIF 5's
// compact form (`<PageType ReferencePage>`) compare alike, and so that
// positions written with any unit compare unrounded.
//
// Nothing here allocates except the functions returning std::string, and
// nothing throws.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A line list: the unit of work of the pre-scan and the converter.
using CQ_MIFLines = std::vector<std::string>;

namespace MIFSyntax {

// Change of nesting depth caused by the line: +1 for every '<' and -1 for
// every '>' outside backquoted strings (where a backslash escapes the next
// byte) and before a '#' comment. So "<Para" gives +1, "<PgfTag `a>b'>"
// gives 0 and "> # end of Para" gives -1. Lines beginning with '&' or '='
// (image data, possibly megabytes long) and comment lines give 0 without
// being scanned.
int NetDepth(std::string_view line);

// True for a line that opens a block ("<Para", "<TextRect <ID 5>").
inline bool IsOpening(std::string_view line) {
  return !line.empty() && line.front() == '<' && NetDepth(line) > 0;
}

// True for a line that closes a block ("> # end of Para", or a bare ">").
inline bool IsCloser(std::string_view line) {
  return !line.empty() && line.front() == '>';
}

// True for a complete one-line statement ("<PgfTag `Body'>").
inline bool IsStatement(std::string_view line) {
  return !line.empty() && line.front() == '<' && NetDepth(line) <= 0;
}

// The statement name: "PgfTag" for "<PgfTag `Body'>", "Para" for "<Para";
// empty when the line does not begin with '<'.
std::string_view Keyword(std::string_view line);

// True when the line's statement name is exactly `keyword` (so "Tbl" does
// not match "<TblID 3>").
inline bool HasKeyword(std::string_view line, std::string_view keyword) {
  return Keyword(line) == keyword;
}

// The text between the statement name and the first '>' outside strings,
// without surrounding white space: "ReferencePage" for
// "<PageType ReferencePage >", "`Body'" for "<PgfTag `Body'>". Empty for a
// line without a value.
std::string_view Value(std::string_view line);

// True when the line is the statement `keyword` and its value, split on
// white space, has the same words as `value`. Every scanner compares
// keyword values through this helper.
bool ValueIs(std::string_view line, std::string_view keyword, std::string_view value);

// The raw content of the first backquoted string of the line, escapes kept
// as written ("Body" for "<PgfTag `Body'>", "a\\>b" for "<String `a\\>b'>").
// False when the line holds no string; an unterminated string yields the
// rest of the line.
bool StringValue(std::string_view line, std::string& out);

// Parses up to `count` lengths from a value such as ` 0.75" 1.092" 7.0" 1.2"`
// or `2.5 cm 0.1 cm` into points. Units: '"' and in, cm, mm, pt and point,
// pc and pica, dd and didot, cc and cicero; a number without unit counts as
// points. Returns the number of lengths read.
std::size_t ParseLengths(std::string_view value, double* out, std::size_t count);

// Removes leading and trailing blank, tab, CR, LF, vertical tab and form
// feed.
std::string_view Trim(std::string_view text);
bool IsTrimSpace(char c);

// --- blocks in a line list ------------------------------------------------

// One past the line that closes the block opened at lines[open] (the line
// that brings the depth back to where it was before the opening), or
// `limit` when the block does not close before `limit`.
std::size_t BlockEnd(const CQ_MIFLines& lines, std::size_t open, std::size_t limit);

// Calls f(first, last) for each direct child of the block [open, end) that
// opens at lines[open]: a one-line child has last == first + 1, a child
// block spans [first, last). The block's closing line is not a child.
template <class F>
void ForEachChild(const CQ_MIFLines& lines, std::size_t open, std::size_t end, F&& f) {
  const std::size_t inner = (end > open + 1 && IsCloser(lines[end - 1])) ? end - 1 : end;
  std::size_t i = open + 1;
  while (i < inner) {
    if (NetDepth(lines[i]) > 0) {
      const std::size_t e = BlockEnd(lines, i, inner);
      f(i, e);
      i = e;
    } else {
      f(i, i + 1);
      ++i;
    }
  }
}

// The value of the first one-line child statement `keyword` of the block
// [open, end); false when there is none.
bool ChildValue(const CQ_MIFLines& lines, std::size_t open, std::size_t end, std::string_view keyword,
                std::string_view& value);

}  // namespace MIFSyntax
