#include "fontmapping/ParserTestSupport.h"

#include <fstream>
#include <sstream>

#include "fontmapping/parser/FontMappingParser.h"

namespace fmtest {

st_Result Parse(std::string_view text, long bufferSize) {
  st_Result r;
  CQ_FontMappingParser parser(text, r.pieces, r.log, r.errors, bufferSize);
  parser.v_Run();
  return r;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<st_Group> ScanGroups(std::string_view t) {
  // A stack of statement keywords with their start; strings, comments and
  // inset data lines are skipped so that their brackets do not count.
  struct Open {
    std::string_view name;
    std::size_t begin;
  };
  std::vector<Open> stack;
  std::vector<st_Group> groups;
  bool lineStart = true;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (c == '\r' || c == '\n') {
      lineStart = true;
      continue;
    }
    if (lineStart && (c == ' ' || c == '\t')) continue;
    if (lineStart && (c == '&' || c == '=')) {
      while (i + 1 < t.size() && t[i + 1] != '\r' && t[i + 1] != '\n') ++i;
      continue;
    }
    lineStart = false;
    if (c == '`') {
      const std::size_t close = t.find('\'', i + 1);
      i = close == std::string_view::npos ? t.size() : close;
    } else if (c == '#') {
      while (i + 1 < t.size() && t[i + 1] != '\r' && t[i + 1] != '\n') ++i;
    } else if (c == '<') {
      std::size_t e = i + 1;
      while (e < t.size() && (std::isalnum(static_cast<unsigned char>(t[e])) || t[e] == '_')) ++e;
      stack.push_back({t.substr(i + 1, e - i - 1), i});
      i = e - 1;
    } else if (c == '>' && !stack.empty()) {
      const Open open = stack.back();
      stack.pop_back();
      int kind = -1;
      if (open.name == "Pgf") kind = 0;
      if (open.name == "Font") kind = 1;
      if (open.name == "CombinedFontDefn") kind = 2;
      if (kind < 0) continue;
      int origin = 2;
      for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        const std::string_view n = it->name;
        if (n == "CombinedFontCatalog") origin = 1;
        else if (n == "PgfCatalog") origin = 2;
        else if (n == "FontCatalog") origin = 3;
        else if (n == "TextFlow") origin = 4;
        else if (n == "Tbls") origin = 5;
        else if (n == "TextLine") origin = 6;
        else continue;
        break;
      }
      groups.push_back({kind, origin, open.begin, i + 1});
    }
  }
  return groups;
}

LineIndex::LineIndex(std::string_view t) : m_starts{0}, m_size(t.size()) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\r') {
      if (i + 1 < t.size() && t[i + 1] == '\n') ++i;
      m_starts.push_back(i + 1);
    } else if (t[i] == '\n') {
      m_starts.push_back(i + 1);
    }
  }
}

std::size_t LineIndex::Offset(long line, long column) const {
  if (line < 1 || static_cast<std::size_t>(line) > m_starts.size() || column < 1) return std::string_view::npos;
  const std::size_t at = m_starts[static_cast<std::size_t>(line - 1)] + static_cast<std::size_t>(column - 1);
  const std::size_t lineEnd = static_cast<std::size_t>(line) < m_starts.size() ? m_starts[static_cast<std::size_t>(line)] : m_size;
  return at <= lineEnd ? at : std::string_view::npos;
}

std::size_t OffsetOf(std::string_view text, long line, long column) { return LineIndex(text).Offset(line, column); }

std::uint32_t GetWord(const std::vector<unsigned char>& d, std::size_t o) {
  return static_cast<std::uint32_t>(d[o]) | static_cast<std::uint32_t>(d[o + 1]) << 8 | static_cast<std::uint32_t>(d[o + 2]) << 16 |
         static_cast<std::uint32_t>(d[o + 3]) << 24;
}

void SetWord(std::vector<unsigned char>& d, std::size_t o, std::uint32_t v) {
  for (int b = 0; b < 4; ++b) d[o + static_cast<std::size_t>(b)] = static_cast<unsigned char>(v >> (8 * b));
}

std::vector<unsigned char> BuildYaccTable(const std::vector<std::pair<std::int32_t, std::uint32_t>>& productions,
                                          const std::vector<st_StateSpec>& states, std::uint32_t magic) {
  std::vector<std::uint32_t> w{magic, static_cast<std::uint32_t>(productions.size()), static_cast<std::uint32_t>(states.size()), 0, 0};
  const std::size_t offsets = w.size();
  w.resize(w.size() + states.size());
  w[4] = static_cast<std::uint32_t>(4 * w.size());
  for (const auto& [lhs, length] : productions) {
    w.push_back(static_cast<std::uint32_t>(lhs));
    w.push_back(length);
  }
  w[3] = static_cast<std::uint32_t>(4 * w.size());
  for (std::size_t s = 0; s < states.size(); ++s) {
    const st_StateSpec& st = states[s];
    w[offsets + s] = static_cast<std::uint32_t>(4 * w.size());
    w.push_back(st.flags);
    w.push_back(static_cast<std::uint32_t>(st.actions.size()));
    w.push_back(static_cast<std::uint32_t>(st.gotos.size()));
    if (st.flags & 8) continue;
    for (const auto& [t, a] : st.actions) {
      w.push_back(static_cast<std::uint32_t>(t));
      w.push_back(a);
    }
    for (const auto& [t, a] : st.gotos) {
      w.push_back(static_cast<std::uint32_t>(t));
      w.push_back(a);
    }
    if (st.flags & 2) {
      w.push_back(0);
      w.push_back(st.defaultAction);
    }
  }
  std::vector<unsigned char> bytes(4 * w.size());
  for (std::size_t i = 0; i < w.size(); ++i) SetWord(bytes, 4 * i, w[i]);
  return bytes;
}

}  // namespace fmtest
