// Helpers over single MIF lines as FrameMaker writes them: one statement,
// opening or closer per line, trimmed.
//
// Every scanner of the pre-scan reads statements through these helpers so
// that MIF 4.00's trailing blanks (`<PageType ReferencePage >`) and MIF 5's
// compact form (`<PageType ReferencePage>`) compare alike, and so that
// positions written with any unit compare unrounded.
//
// Nothing here allocates except the functions returning std::string, and
// nothing throws. Compact lines (st_MIFLine) carry their net depth, so the
// block helpers never rescan a compact line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "System/Platform/LargeMemory.h"

// A line list of strings: the form callers outside the forward conversion
// read and write (back conversion, tests).
using CQ_MIFLines = std::vector<std::string>;

// One line of a compact line list: a view of text that something else owns
// (a CQ_MIFLineStore, or a literal for the pre-scan's pseudo-lines) and the
// line's net depth (MIFSyntax::NetDepth), worked out once when the line is
// stored. Sixteen bytes, so lists are cheap to copy and reorder.
struct st_MIFLine {
  const char* pc_Text = nullptr;
  std::uint32_t n_Size = 0;
  std::int32_t i_Net = 0;

  std::string_view sv() const { return {pc_Text, n_Size}; }
  operator std::string_view() const { return sv(); }
  bool empty() const { return n_Size == 0; }
  char front() const { return pc_Text[0]; }
};

// The pre-scan's and the converter's working form of a line list.
using CQ_MIFLineList = std::vector<st_MIFLine, Platform::LargeAllocator<st_MIFLine>>;

namespace MIFSyntax {

// Change of nesting depth caused by the line: +1 for every '<' and -1 for
// every '>' outside backquoted strings (where a backslash escapes the next
// byte) and before a '#' comment. So "<Para" gives +1, "<PgfTag `a>b'>"
// gives 0 and "> # end of Para" gives -1. Lines beginning with '&' or '='
// (image data, possibly megabytes long) and comment lines give 0 without
// being scanned. The lines answered by their first bytes (closers above
// all, a third of a document's lines) are answered inline.
inline int NetDepth(std::string_view line);

// A line's net depth: computed for a string, read from a compact line.
inline int LineNet(std::string_view line) { return NetDepth(line); }
inline int LineNet(const st_MIFLine& line) { return line.i_Net; }

// True for a line that opens a block ("<Para", "<TextRect <ID 5>").
inline bool IsOpening(std::string_view line) {
  return !line.empty() && line.front() == '<' && NetDepth(line) > 0;
}
inline bool IsOpening(const st_MIFLine& line) { return line.n_Size > 0 && line.front() == '<' && line.i_Net > 0; }

// True for a line that closes a block ("> # end of Para", or a bare ">").
inline bool IsCloser(std::string_view line) {
  return !line.empty() && line.front() == '>';
}

// True for a complete one-line statement ("<PgfTag `Body'>").
inline bool IsStatement(std::string_view line) {
  return !line.empty() && line.front() == '<' && NetDepth(line) <= 0;
}
inline bool IsStatement(const st_MIFLine& line) { return line.n_Size > 0 && line.front() == '<' && line.i_Net <= 0; }

// Byte classes used by the scanners, one table lookup per byte.
namespace detail {
enum : unsigned char {
  CLASS_TRIM = 1,     // blank, tab, CR, LF, vertical tab, form feed
  CLASS_NAME_END = 2, // ends a statement name: the trim bytes, '<' and '>'
  CLASS_DEPTH = 4,    // read by the depth count: '<', '>', '#' and '`'
};
extern const std::array<unsigned char, 256> kByteClass;
inline bool Is(char c, unsigned char cls) { return (kByteClass[static_cast<unsigned char>(c)] & cls) != 0; }
}  // namespace detail

namespace detail {
// NetDepth of a line that its first bytes do not answer.
int NetDepthScan(std::string_view line);
}  // namespace detail

inline int NetDepth(std::string_view line) {
  if (line.empty()) return 0;
  const char first = line.front();
  if (first == '&' || first == '=' || first == '#') return 0;
  // A closer, "> # end of Name", the commonest line after statements.
  if (first == '>' && line.size() >= 3 && line[1] == ' ' && line[2] == '#') return -1;
  return detail::NetDepthScan(line);
}

// The statement name: "PgfTag" for "<PgfTag `Body'>", "Para" for "<Para";
// empty when the line does not begin with '<'.
inline std::string_view Keyword(std::string_view line) {
  if (line.empty() || line.front() != '<') return {};
  std::size_t e = 1;
  while (e < line.size() && !detail::Is(line[e], detail::CLASS_NAME_END)) ++e;
  return line.substr(1, e - 1);
}

// True when the line's statement name is exactly `keyword` (so "Tbl" does
// not match "<TblID 3>"). Compares the name in place: the line's name is
// `keyword` when the line begins with '<' and the keyword and the byte after
// them, if any, ends a name. Always inlined: callers name the keyword as a
// literal, so its size is known where it is compared and the comparison
// needs no call; the name's first byte rules out most lines before it.
[[gnu::always_inline]] inline bool HasKeyword(std::string_view line, std::string_view keyword) {
  const std::size_t n = keyword.size();
  if (n == 0) return Keyword(line).empty();
  if (line.size() <= n || line[0] != '<' || line[1] != keyword[0] ||
      std::memcmp(line.data() + 1, keyword.data(), n) != 0) {
    return false;
  }
  return line.size() == n + 1 || detail::Is(line[n + 1], detail::CLASS_NAME_END);
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
// rest of the line. A backslash escapes the byte after it, except before
// the line's last apostrophe: there it is the raw second byte 0x5C of a
// double-byte character, and the apostrophe ends the string (MIF has no
// escape "\'"; an apostrophe is written "\q").
bool StringValue(std::string_view line, std::string& out);
// The same as a view into the line.
bool StringValueView(std::string_view line, std::string_view& out);
// The raw content of the line's first string, or its Value when it holds
// no string: "Body" for "<PgfTag `Body'>", "Yes" for "<PgfHyphenate Yes>".
// A view into the line.
std::string_view RawValue(std::string_view line);

// Parses up to `count` lengths from a value such as ` 0.75" 1.092" 7.0" 1.2"`
// or `2.5 cm 0.1 cm` into points. Units: '"' and in, cm, mm, pt and point,
// pc and pica, dd and didot, cc and cicero; a number without unit counts as
// points. Returns the number of lengths read.
std::size_t ParseLengths(std::string_view value, double* out, std::size_t count);

// Removes leading and trailing blank, tab, CR, LF, vertical tab and form
// feed.
inline bool IsTrimSpace(char c) { return detail::Is(c, detail::CLASS_TRIM); }
inline std::string_view Trim(std::string_view text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && IsTrimSpace(text[b])) ++b;
  while (e > b && IsTrimSpace(text[e - 1])) --e;
  return text.substr(b, e - b);
}

// --- blocks in a line list ------------------------------------------------
//
// These work on both list forms (CQ_MIFLines and CQ_MIFLineList); compact
// lists answer depths from their stored values.

// One past the line that closes the block opened at lines[open] (the line
// that brings the depth back to where it was before the opening), or
// `limit` when the block does not close before `limit`.
template <class Lines>
std::size_t BlockEnd(const Lines& lines, std::size_t open, std::size_t limit) {
  long depth = 0;
  for (std::size_t i = open; i < limit; ++i) {
    depth += LineNet(lines[i]);
    if (depth <= 0) return i + 1;
  }
  return limit;
}

// Calls f(first, last) for each direct child of the block [open, end) that
// opens at lines[open]: a one-line child has last == first + 1, a child
// block spans [first, last). The block's closing line is not a child.
template <class Lines, class F>
void ForEachChild(const Lines& lines, std::size_t open, std::size_t end, F&& f) {
  const std::size_t inner = (end > open + 1 && IsCloser(lines[end - 1])) ? end - 1 : end;
  std::size_t i = open + 1;
  while (i < inner) {
    if (LineNet(lines[i]) > 0) {
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
// The children are walked as ForEachChild walks them, up to the first
// such statement.
template <class Lines>
bool ChildValue(const Lines& lines, std::size_t open, std::size_t end, std::string_view keyword,
                std::string_view& value) {
  const std::size_t inner = (end > open + 1 && IsCloser(lines[end - 1])) ? end - 1 : end;
  std::size_t i = open + 1;
  while (i < inner) {
    const auto& line = lines[i];
    if (LineNet(line) > 0) {
      // A child block (or an opening the block's end cuts short): no
      // statement.
      i = BlockEnd(lines, i, inner);
      continue;
    }
    if (IsStatement(line) && Keyword(line) == keyword) {
      value = Value(line);
      return true;
    }
    ++i;
  }
  return false;
}

}  // namespace MIFSyntax
