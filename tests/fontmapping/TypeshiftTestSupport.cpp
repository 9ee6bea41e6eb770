#include "fontmapping/TypeshiftTestSupport.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace tstest {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const std::string& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

namespace {

bool Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

struct st_Token {
  char kind;  // '<' open with keyword, '>' close
  std::size_t pos;
  std::string keyword;
};

// Tokens outside strings and comments; false on an unclosed string.
bool Tokens(std::string_view t, bool sjis, std::vector<st_Token>& out, std::string* why) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (c == '`') {
      std::size_t j = i + 1;
      for (; j < t.size(); ++j) {
        const unsigned char d = static_cast<unsigned char>(t[j]);
        if (sjis && Lead(d)) {
          ++j;
        } else if (d == '\\') {
          ++j;
        } else if (d == '\'') {
          break;
        } else if (d == '\r' || d == '\n') {
          if (why) *why = "line end inside a string at byte " + std::to_string(i);
          return false;
        }
      }
      if (j >= t.size()) {
        if (why) *why = "unclosed string at byte " + std::to_string(i);
        return false;
      }
      i = j;
    } else if (c == '#') {
      while (i + 1 < t.size() && t[i + 1] != '\r' && t[i + 1] != '\n') ++i;
    } else if (c == '<') {
      std::size_t e = i + 1;
      while (e < t.size() && (std::isalnum(static_cast<unsigned char>(t[e])) || t[e] == '_')) ++e;
      out.push_back({'<', i, std::string(t.substr(i + 1, e - i - 1))});
      i = e - 1;
    } else if (c == '>') {
      out.push_back({'>', i, {}});
    }
  }
  return true;
}

std::vector<std::string_view> Lines(std::string_view t) {
  std::vector<std::string_view> lines;
  std::size_t b = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
    if (t[i] == '\r' || t[i] == '\n') {
      lines.push_back(t.substr(b, i + 1 - b));
      b = i + 1;
    }
  }
  if (b < t.size()) lines.push_back(t.substr(b));
  return lines;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

bool WellFormed(std::string_view text, bool sjis, std::string* why) {
  std::vector<st_Token> tokens;
  if (!Tokens(text, sjis, tokens, why)) return false;
  long depth = 0;
  for (const st_Token& t : tokens) {
    depth += t.kind == '<' ? 1 : -1;
    if (depth < 0) {
      if (why) *why = "unmatched > at byte " + std::to_string(t.pos);
      return false;
    }
    if (t.kind == '<' && t.keyword.empty()) {
      if (why) *why = "statement without keyword at byte " + std::to_string(t.pos);
      return false;
    }
  }
  if (depth != 0) {
    if (why) *why = "unclosed statements: " + std::to_string(depth);
    return false;
  }
  return true;
}

std::vector<st_Statement> FontGroups(std::string_view text, bool sjis) {
  std::vector<st_Token> tokens;
  std::vector<st_Statement> groups;
  if (!Tokens(text, sjis, tokens, nullptr)) return groups;
  std::vector<const st_Token*> stack;
  for (const st_Token& t : tokens) {
    if (t.kind == '<') {
      stack.push_back(&t);
      continue;
    }
    if (stack.empty()) break;
    const st_Token* open = stack.back();
    stack.pop_back();
    if (open->keyword == "Pgf" || open->keyword == "Font" || open->keyword == "CombinedFontDefn") {
      groups.push_back({open->keyword, open->pos, t.pos + 1});
    }
  }
  std::sort(groups.begin(), groups.end(), [](const st_Statement& a, const st_Statement& b) { return a.begin < b.begin; });
  return groups;
}

std::string Value(std::string_view group, std::string_view keyword) {
  const std::string key = "<" + std::string(keyword);
  for (std::size_t p = group.find(key); p != std::string_view::npos; p = group.find(key, p + 1)) {
    const std::size_t after = p + key.size();
    if (after < group.size() && (std::isalnum(static_cast<unsigned char>(group[after])))) continue;
    const std::size_t close = group.find('>', after);
    std::string_view v = Trim(group.substr(after, close - after));
    if (!v.empty() && v.front() == '`') {
      v.remove_prefix(1);
      if (!v.empty() && v.back() == '\'') v.remove_suffix(1);
    }
    return std::string(v);
  }
  return {};
}

std::string WithoutFontStatements(std::string_view group, bool) {
  static const char* kFont[] = {"FFamily",       "FSize",           "FWeight",          "FAngle",
                                "FEncoding",     "FLanguage",       "FPostScriptName",  "FPlatformName",
                                "FWesternPlatformName", "FCombinedFontName"};
  // Each font statement goes with the blanks before it; then lines are
  // trimmed and empty ones dropped.
  std::string t(group);
  for (const char* k : kFont) {
    const std::string key = "<" + std::string(k);
    for (std::size_t p = t.find(key); p != std::string::npos; p = t.find(key, p)) {
      const std::size_t after = p + key.size();
      if (after < t.size() && std::isalnum(static_cast<unsigned char>(t[after]))) {
        ++p;
        continue;
      }
      std::size_t e = t.find('>', after);
      if (e == std::string::npos) break;
      std::size_t b = p;
      while (b > 0 && (t[b - 1] == ' ' || t[b - 1] == '\t')) --b;
      t.erase(b, e + 1 - b);
      p = b;
    }
  }
  std::string out;
  for (std::string_view line : Lines(t)) {
    const std::string_view body = Trim(line);
    if (!body.empty()) out += std::string(body) + "\n";
  }
  return out;
}

std::string CompareOutsideRanges(std::string_view input, const Ranges& in, std::string_view output, const Ranges& out) {
  // Skeletons: each outermost range replaced by one marker byte.
  auto skeleton = [](std::string_view t, Ranges r) {
    std::sort(r.begin(), r.end());
    std::string s;
    std::size_t at = 0;
    for (const auto& [b, e] : r) {
      if (b < at) continue;  // nested: inside the one replaced
      s.append(t.substr(at, b - at));
      s += '\x01';
      at = e;
    }
    s.append(t.substr(at));
    return s;
  };
  const std::string si = skeleton(input, in), so = skeleton(output, out);
  const auto li = Lines(si), lo = Lines(so);
  std::size_t i = 0, o = 0;
  while (i < li.size() && o < lo.size()) {
    if (li[i] == lo[o]) {
      ++i, ++o;
      continue;
    }
    const std::string_view t = Trim(lo[o]);
    if (t == "<CombinedFontCatalog" || t == "> # end of CombinedFontCatalog" ||
        t == "\x01 # end of CombinedFontDefn") {
      ++o;
      continue;
    }
    return "input line " + std::to_string(i + 1) + " [" + std::string(li[i]) + "] differs from output line " +
           std::to_string(o + 1) + " [" + std::string(lo[o]) + "]";
  }
  while (o < lo.size()) {
    const std::string_view t = Trim(lo[o]);
    if (t != "<CombinedFontCatalog" && t != "> # end of CombinedFontCatalog" && t != "\x01 # end of CombinedFontDefn") break;
    ++o;
  }
  if (i != li.size() || o != lo.size()) return "different line counts outside the groups";
  return {};
}

std::string CompareOutsideGroups(std::string_view input, std::string_view output, bool sjis) {
  Ranges in, out;
  for (const st_Statement& g : FontGroups(input, sjis)) in.push_back({g.begin, g.end});
  for (const st_Statement& g : FontGroups(output, sjis)) out.push_back({g.begin, g.end});
  return CompareOutsideRanges(input, in, output, out);
}

}  // namespace tstest
