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

}  // namespace MIFSyntax

// A line list: the unit of work of the pre-scan and the converter.
using CQ_MIFLines = std::vector<std::string>;
