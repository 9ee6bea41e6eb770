// Helpers of the font mapping program's tests: an independent MIF statement
// reader (not the parser) for well-formedness and statement values, and the
// region-by-region comparison of an input and its mapped output.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tstest {

std::string Read(const std::string& path);
void Write(const std::string& path, std::string_view text);

// Brackets balance outside strings and comments, every string closes, and
// nothing follows the last statement but comments. Shift-JIS lead bytes
// (when sjis) take their trail byte with them.
bool WellFormed(std::string_view text, bool sjis, std::string* why = nullptr);

// A group "<Keyword ...>" found by the reader: keyword, byte range.
struct st_Statement {
  std::string keyword;
  std::size_t begin, end;
};
// Every Pgf, Font and CombinedFontDefn group in order of their start.
std::vector<st_Statement> FontGroups(std::string_view text, bool sjis);
// The value of the first direct or nested "<keyword value>" in a group:
// string values without quotes, others trimmed.
std::string Value(std::string_view group, std::string_view keyword);
// The group with its font statements (family, size, weight, angle,
// encoding, language, platform and PostScript names, combined font name)
// removed and blanks at line ends dropped.
std::string WithoutFontStatements(std::string_view group, bool sjis);

// Compares input and output around the groups the reader finds: the texts
// between groups agree byte for byte, except for whole lines in the output
// that open or close a combined-font catalog or hold a new definition.
// Returns "" when they agree, else a description of the first difference.
std::string CompareOutsideGroups(std::string_view input, std::string_view output, bool sjis);
// The same over given byte ranges (for example the parser's pieces).
using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;
std::string CompareOutsideRanges(std::string_view input, const Ranges& in, std::string_view output, const Ranges& out);

}  // namespace tstest
