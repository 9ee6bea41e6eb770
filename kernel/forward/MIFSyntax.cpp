// Line-level MIF syntax. Depth counting ignores everything inside backquoted
// strings and after a comment sign, so strings holding '<' or an escaped '>'
// never unbalance a block. Image data lines are recognised by their first
// byte and never scanned, which keeps megabyte-long lines cheap.
#include "kernel/forward/MIFSyntax.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace MIFSyntax {

namespace detail {

constexpr std::array<unsigned char, 256> MakeByteClasses() {
  std::array<unsigned char, 256> classes{};
  for (unsigned char c : {' ', '\t', '\r', '\n', '\v', '\f'}) classes[c] = CLASS_TRIM | CLASS_NAME_END;
  for (unsigned char c : {'<', '>'}) classes[c] = CLASS_NAME_END | CLASS_DEPTH;
  for (unsigned char c : {'#', '`'}) classes[c] = CLASS_DEPTH;
  return classes;
}

constinit const std::array<unsigned char, 256> kByteClass = MakeByteClasses();

}  // namespace detail

namespace {

// True when no apostrophe follows in [from, end). MIF has no escape "\'"
// (an apostrophe in a string is "\q"): a backslash right before the last
// apostrophe of a line is the second byte 0x5C of a double-byte character
// that FrameMaker writes as it is, and the apostrophe closes the string.
bool LastApostrophe(const char* from, const char* end) {
  return std::memchr(from, '\'', static_cast<std::size_t>(end - from)) == nullptr;
}

bool LastApostrophe(std::string_view line, std::size_t after) {
  return line.find('\'', after) == std::string_view::npos;
}

}  // namespace

namespace detail {

int NetDepthScan(std::string_view line) {
  // Bytes other than the four that matter are skipped by table, string
  // contents with memchr.
  const char* p = line.data();
  const char* const end = p + line.size();
  int depth = 0;
  while (p < end) {
    while (p < end && !detail::Is(*p, detail::CLASS_DEPTH)) ++p;
    if (p == end) break;
    const char c = *p++;
    if (c == '<') {
      ++depth;
    } else if (c == '>') {
      --depth;
    } else if (c == '#') {
      break;
    } else if (c == '`') {
      // The string ends at the first apostrophe after an even run of
      // backslashes (each backslash escapes the byte after it).
      const char* const start = p;
      for (;;) {
        const char* quote = static_cast<const char*>(std::memchr(p, '\'', static_cast<std::size_t>(end - p)));
        if (!quote) {
          p = end;
          break;
        }
        std::size_t backslashes = 0;
        for (const char* b = quote; b > start && b[-1] == '\\'; --b) ++backslashes;
        p = quote + 1;
        if (backslashes % 2 == 0 || LastApostrophe(p, end)) break;
      }
    }
  }
  return depth;
}

}  // namespace detail

std::string_view Value(std::string_view line) {
  const std::string_view kw = Keyword(line);
  if (kw.empty()) return {};
  const std::size_t begin = 1 + kw.size();
  std::size_t i = begin;
  bool inString = false;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (inString) {
      if (c == '\\' && !(i + 1 < line.size() && line[i + 1] == '\'' && LastApostrophe(line, i + 2))) {
        ++i;
      } else if (c == '\'') {
        inString = false;
      }
      continue;
    }
    if (c == '`') inString = true;
    else if (c == '>') break;
  }
  if (i > line.size()) i = line.size();
  return Trim(line.substr(begin, i - begin));
}

namespace {

// Splits on white space without allocating: the next word from pos.
bool NextWord(std::string_view text, std::size_t& pos, std::string_view& word) {
  while (pos < text.size() && IsTrimSpace(text[pos])) ++pos;
  if (pos >= text.size()) return false;
  const std::size_t b = pos;
  while (pos < text.size() && !IsTrimSpace(text[pos])) ++pos;
  word = text.substr(b, pos - b);
  return true;
}

}  // namespace

bool ValueIs(std::string_view line, std::string_view keyword, std::string_view value) {
  if (Keyword(line) != keyword) return false;
  const std::string_view have = Value(line);
  std::size_t p1 = 0;
  std::size_t p2 = 0;
  std::string_view w1;
  std::string_view w2;
  for (;;) {
    const bool more1 = NextWord(have, p1, w1);
    const bool more2 = NextWord(value, p2, w2);
    if (!more1 || !more2) return more1 == more2;
    if (w1 != w2) return false;
  }
}

bool StringValueView(std::string_view line, std::string_view& out) {
  const std::size_t open = line.find('`');
  if (open == std::string_view::npos) return false;
  // The string ends at the first apostrophe after an even run of
  // backslashes, or at the line's last apostrophe (as in the depth count);
  // without one it runs to the line's end.
  const char* const start = line.data() + open + 1;
  const char* const end = line.data() + line.size();
  const char* p = start;
  const char* close = end;
  while (p < end) {
    const char* quote = static_cast<const char*>(std::memchr(p, '\'', static_cast<std::size_t>(end - p)));
    if (!quote) break;
    std::size_t backslashes = 0;
    for (const char* b = quote; b > start && b[-1] == '\\'; --b) ++backslashes;
    p = quote + 1;
    if (backslashes % 2 == 0 || LastApostrophe(p, end)) {
      close = quote;
      break;
    }
  }
  out = std::string_view(start, static_cast<std::size_t>(close - start));
  return true;
}

std::string_view RawValue(std::string_view line) {
  std::string_view content;
  return StringValueView(line, content) ? content : Value(line);
}

bool StringValue(std::string_view line, std::string& out) {
  std::string_view view;
  if (!StringValueView(line, view)) return false;
  out.assign(view);
  return true;
}

namespace {

struct UnitRow {
  const char* name;
  double points;
};

// Points per unit. A didot is 0.376065 mm; a cicero is 12 didots.
constexpr double kPointsPerInch = 72.0;
constexpr double kPointsPerMm = 72.0 / 25.4;
constexpr double kPointsPerDidot = 0.376065 * kPointsPerMm;
constexpr UnitRow kUnits[] = {
    {"\"", kPointsPerInch},          {"in", kPointsPerInch},
    {"cm", 10.0 * kPointsPerMm},     {"centimeter", 10.0 * kPointsPerMm},
    {"mm", kPointsPerMm},            {"millimeter", kPointsPerMm},
    {"pt", 1.0},                     {"point", 1.0},
    {"pc", 12.0},                    {"pica", 12.0},
    {"dd", kPointsPerDidot},         {"didot", kPointsPerDidot},
    {"cc", 12.0 * kPointsPerDidot},  {"cicero", 12.0 * kPointsPerDidot},
};

bool IsNumberStart(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
}

}  // namespace

std::size_t ParseLengths(std::string_view value, double* out, std::size_t count) {
  std::size_t n = 0;
  std::size_t pos = 0;
  while (n < count) {
    while (pos < value.size() && IsTrimSpace(value[pos])) ++pos;
    if (pos >= value.size() || !IsNumberStart(value[pos])) break;
    // strtod needs a terminated buffer; numbers in MIF are short.
    char buf[64];
    std::size_t len = 0;
    while (pos + len < value.size() && len < sizeof buf - 1 &&
           (IsNumberStart(value[pos + len]) || value[pos + len] == 'e' || value[pos + len] == 'E')) {
      buf[len] = value[pos + len];
      ++len;
    }
    buf[len] = '\0';
    char* end = nullptr;
    const double number = std::strtod(buf, &end);
    if (end == buf) break;
    pos += static_cast<std::size_t>(end - buf);
    // The unit may follow directly (1.0") or after blanks (12.0 pt).
    std::size_t upos = pos;
    while (upos < value.size() && IsTrimSpace(value[upos])) ++upos;
    double factor = 1.0;
    if (upos < value.size() && value[upos] == '"') {
      factor = kPointsPerInch;
      pos = upos + 1;
    } else {
      std::size_t uend = upos;
      while (uend < value.size() && ((value[uend] >= 'a' && value[uend] <= 'z') || value[uend] == '%')) ++uend;
      const std::string_view unit = value.substr(upos, uend - upos);
      for (const UnitRow& row : kUnits) {
        if (unit == row.name) {
          factor = row.points;
          pos = uend;
          break;
        }
      }
    }
    out[n++] = number * factor;
  }
  return n;
}

}  // namespace MIFSyntax
