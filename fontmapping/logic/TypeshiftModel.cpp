#include "fontmapping/logic/TypeshiftModel.h"

#include <iconv.h>

#include <algorithm>
#include <cstdlib>
#include <set>

namespace typeshift {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Position of a whole keyword in text, or npos.
std::size_t FindKeyword(std::string_view text, std::string_view keyword, std::size_t from = 0) {
  for (std::size_t p = text.find(keyword, from); p != std::string_view::npos; p = text.find(keyword, p + 1)) {
    const std::size_t after = p + keyword.size();
    if (after >= text.size()) return std::string_view::npos;
    const char c = text[after];
    if (IsBlank(c) || c == '`' || c == '\r' || c == '\n' || c == '>') return p;
  }
  return std::string_view::npos;
}

std::string LineEndOf(std::string_view text) {
  const std::size_t p = text.find_first_of("\r\n");
  if (p == std::string_view::npos) return "\n";
  if (text[p] == '\r') return (p + 1 < text.size() && text[p + 1] == '\n') ? "\r\n" : "\r";
  return "\n";
}

bool ComesBefore(long l1, long c1, long l2, long c2) { return l1 < l2 || (l1 == l2 && c1 < c2); }

std::string IconvEncodingName(std::string_view encoding) {
  // MIFEncoding values name the language in its own encoding.
  if (encoding.find("ShiftJIS") != std::string_view::npos || encoding == "\x93\xFA\x96\x7B\x8C\xEA") return "CP932";
  if (encoding == "\xA4\xA4\xA4\xE5") return "BIG5";
  if (encoding == "\xD6\xD0\xCE\xC4") return "GB2312";
  if (encoding == "\xC7\xD1\xB1\xB9\xBE\xEE") return "EUC-KR";
  if (encoding == "\xC6\xFC\xCB\xDC\xB8\xEC") return "EUC-JP";
  if (encoding.find("BIG5") != std::string_view::npos || encoding.find("Big5") != std::string_view::npos) return "BIG5";
  if (encoding.find("GB2312") != std::string_view::npos) return "GB2312";
  if (encoding.find("KSC5601") != std::string_view::npos) return "EUC-KR";
  return "MACINTOSH";  // FrameMaker's Western character set is Roman-based
}

}  // namespace

std::string ccs_StringValue(std::string_view text, std::string_view keyword, bool* found) {
  if (found) *found = false;
  const std::size_t k = FindKeyword(text, keyword);
  if (k == std::string_view::npos) return {};
  std::size_t p = k + keyword.size();
  while (p < text.size() && IsBlank(text[p])) ++p;
  if (p >= text.size() || text[p] != '`') return {};
  const std::size_t close = text.find("'>", p + 1);
  if (close == std::string_view::npos) return {};
  if (found) *found = true;
  return std::string(text.substr(p + 1, close - p - 1));
}

std::string ccs_NumberValue(std::string_view text, std::string_view keyword) {
  const std::size_t k = FindKeyword(text, keyword);
  if (k == std::string_view::npos) return {};
  std::size_t p = k + keyword.size();
  while (p < text.size() && IsBlank(text[p])) ++p;
  std::size_t e = p;
  while (e < text.size() && (std::isdigit(static_cast<unsigned char>(text[e])) || text[e] == '.' || text[e] == '-')) ++e;
  return std::string(text.substr(p, e - p));
}

std::string ccs_FormatName(const CTextPiece& piece) {
  bool found = false;
  std::string v = ccs_StringValue(piece.ccs_Text, "<PgfTag", &found);
  if (!found) v = ccs_StringValue(piece.ccs_Text, "<FTag", &found);
  if (!found || v.empty()) return kFontChange;
  return v;
}

std::string ccs_CurrentFont(const CTextPiece& piece) {
  if (piece.i_Kind == CTextPiece::KindCombinedFont) return ccs_StringValue(piece.ccs_Text, "<CombinedFontName");
  return ccs_StringValue(piece.ccs_Text, "<FFamily");
}

std::string ccs_Encoding(const CTextPiece& piece) {
  bool found = false;
  std::string v = ccs_StringValue(piece.ccs_Text, "<FEncoding", &found);
  if (!found) v = ccs_StringValue(piece.ccs_Text, "<CombinedFontBaseEncoding", &found);
  return v;
}

std::string ccs_Size(const CTextPiece& piece) { return ccs_NumberValue(piece.ccs_Text, "<FSize"); }
std::string ccs_Bold(const CTextPiece& piece) {
  return ccs_StringValue(piece.ccs_Text, "<FWeight") == "Bold" ? "Bold" : "Regular";
}
std::string ccs_Italic(const CTextPiece& piece) {
  return ccs_StringValue(piece.ccs_Text, "<FAngle") == "Italic" ? "Italic" : "Regular";
}

std::string ccs_TypeCell(const CTextPiece& piece) {
  std::string t = piece.i_Kind == CTextPiece::KindParagraph ? "P" : piece.i_Kind == CTextPiece::KindCharacter ? "C" : "";
  if (piece.i_Origin == 2 || piece.i_Origin == 3) t += "C";
  return t;
}

std::string ccs_DefinedFontName(const CTextPiece& piece) {
  if (piece.i_Kind == CTextPiece::KindCombinedFont) return ccs_StringValue(piece.ccs_Text, "<CombinedFontName");
  return ccs_StringValue(piece.ccs_Text, "<FFamily");
}

std::string ccs_DisplayText(std::string_view v, std::string_view encoding) {
  std::string bytes;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\' || i + 1 >= v.size()) {
      bytes += v[i];
      continue;
    }
    const char n = v[i + 1];
    if (n == 'x' && i + 3 < v.size() && std::isxdigit(static_cast<unsigned char>(v[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(v[i + 3]))) {
      bytes += static_cast<char>(std::strtol(std::string(v.substr(i + 2, 2)).c_str(), nullptr, 16));
      i += 3;
      if (i + 1 < v.size() && v[i + 1] == ' ') ++i;
    } else if (n == 't') {
      bytes += '\t', ++i;
    } else if (n == '>') {
      bytes += '>', ++i;
    } else if (n == 'q') {
      bytes += '\'', ++i;
    } else if (n == 'Q') {
      bytes += '`', ++i;
    } else if (n == '\\') {
      bytes += '\\', ++i;
    } else {
      bytes += v[i];
    }
  }
  if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return bytes;
  iconv_t cd = iconv_open("UTF-8", IconvEncodingName(encoding).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return bytes;
  std::string out(bytes.size() * 4 + 8, '\0');
  char* in = bytes.data();
  std::size_t inLeft = bytes.size();
  char* o = out.data();
  std::size_t oLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &o, &oLeft) == static_cast<std::size_t>(-1)) {
      if (oLeft == 0) break;
      *o++ = '?';  // a byte without a character in that encoding
      --oLeft;
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  out.resize(out.size() - oLeft);
  return out;
}

bool CTextPieceList::b_Add(const CTextPiece& piece, std::vector<std::string>* report) {
  if (m_vecPieces.empty() && m_ccsFileName.empty()) m_ccsFileName = "";
  auto at = m_vecPieces.end();
  for (auto it = m_vecPieces.begin(); it != m_vecPieces.end(); ++it) {
    if (&*it == &piece) return false;
    if (it->ccs_ObjectId == piece.ccs_ObjectId && it->i_StartLine == piece.i_StartLine &&
        it->i_StartColumn == piece.i_StartColumn && it->i_EndLine == piece.i_EndLine &&
        it->i_EndColumn == piece.i_EndColumn) {
      if (it->ccs_Text != piece.ccs_Text && report) {
        report->push_back("Duplicate translations! " + ccs_FormatName(*it) + " is translated as " + it->ccs_Text +
                          " and " + piece.ccs_Text + ".\n");
      }
      return false;
    }
    if (at == m_vecPieces.end() &&
        ComesBefore(piece.i_StartLine, piece.i_StartColumn, it->i_StartLine, it->i_StartColumn)) {
      at = it;
    }
  }
  m_vecPieces.insert(at, piece);
  return true;
}

bool CReplaceList::b_Add(const CReplacePiece& piece, std::vector<std::string>* report) {
  auto at = m_vecPieces.end();
  for (auto it = m_vecPieces.begin(); it != m_vecPieces.end(); ++it) {
    if (it->i_StartLine == piece.i_StartLine && it->i_StartColumn == piece.i_StartColumn &&
        it->i_EndLine == piece.i_EndLine && it->i_EndColumn == piece.i_EndColumn) {
      if (it->ccs_Text != piece.ccs_Text && report) {
        report->push_back("Duplicate translations! " + std::to_string(piece.i_StartLine) + " is translated as " +
                          it->ccs_Text + " and " + piece.ccs_Text + ".\n");
      }
      return false;
    }
    if (at == m_vecPieces.end() &&
        ComesBefore(piece.i_StartLine, piece.i_StartColumn, it->i_StartLine, it->i_StartColumn)) {
      at = it;
    }
  }
  m_vecPieces.insert(at, piece);
  return true;
}

st_NewFont co_NewFontFromPiece(const CTextPiece& defining) {
  st_NewFont f;
  f.b_Combined = defining.i_Kind == CTextPiece::KindCombinedFont;
  f.ccs_Name = ccs_DefinedFontName(defining);
  f.ccs_Encoding = ccs_Encoding(defining);
  if (f.b_Combined) f.ccs_BaseFamily = ccs_StringValue(defining.ccs_Text, "<CombinedFontBaseFamily");
  return f;
}

std::string ccs_LanguageOfEncoding(std::string_view e) {
  if (e == "JISX0208.ShiftJIS") return "Japanese";
  if (e == "BIG5") return "TraditionalChinese";
  if (e == "GB2312-80.EUC") return "SimplifiedChinese";
  if (e == "KSC5601-1992") return "Korean";
  return {};
}

namespace {

// End of the statement that starts at `p` ("<"): after its matching ">",
// skipping strings and escapes.
std::size_t StatementEnd(std::string_view t, std::size_t p) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = p; i < t.size(); ++i) {
    const char c = t[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '\'') inString = false;
      continue;
    }
    if (c == '`') inString = true;
    else if (c == '<') ++depth;
    else if (c == '>' && --depth == 0) return i + 1;
  }
  return std::string_view::npos;
}

// Removes every statement `keyword` with the blanks before it; a line left
// holding only blanks goes with its line end.
void RemoveStatements(std::string& t, std::string_view keyword) {
  for (std::size_t p = FindKeyword(t, keyword); p != std::string::npos; p = FindKeyword(t, keyword, p)) {
    const std::size_t end = StatementEnd(t, p);
    if (end == std::string::npos) return;
    std::size_t b = p;
    while (b > 0 && IsBlank(t[b - 1])) --b;
    std::size_t e = end;
    while (e < t.size() && IsBlank(t[e])) ++e;
    const bool lineStart = b == 0 || t[b - 1] == '\n' || t[b - 1] == '\r';
    const bool lineEnd = e >= t.size() || t[e] == '\n' || t[e] == '\r';
    if (lineStart && lineEnd && b > 0) {
      if (e < t.size()) e += (t[e] == '\r' && e + 1 < t.size() && t[e + 1] == '\n') ? 2 : 1;
      t.erase(b, e - b);
      p = b;
    } else {
      t.erase(b, end - b);
      p = b;
    }
  }
}

}  // namespace

bool b_RewritePiece(std::string_view text, const st_NewFont& font, int flag, std::string& out) {
  if (flag != 0 && flag != 1) {
    out.assign(text);
    return false;
  }
  std::string t(text);
  const bool newFont = !font.ccs_Name.empty();
  if (newFont) {
    if (font.b_Combined) {
      RemoveStatements(t, "<FPlatformName");
      RemoveStatements(t, "<FWesternPlatformName");
      if (flag == 0) RemoveStatements(t, "<FPostScriptName");
    } else {
      RemoveStatements(t, "<FPostScriptName");
      RemoveStatements(t, "<FPlatformName");
      RemoveStatements(t, "<FCombinedFontName");
      if (flag == 0) RemoveStatements(t, "<FWesternPlatformName");
    }
  }
  // The statements about to be inserted replace any old ones of their kind.
  std::vector<std::string> inserts;  // in insertion order
  const std::string lang = newFont ? ccs_LanguageOfEncoding(font.ccs_Encoding) : std::string();
  if (!lang.empty()) {
    RemoveStatements(t, "<FLanguage");
    inserts.push_back("<FLanguage " + lang + ">");
  }
  if (newFont && !font.ccs_Encoding.empty()) {
    RemoveStatements(t, "<FEncoding");
    inserts.push_back("<FEncoding `" + font.ccs_Encoding + "'>");
  }
  if (!font.ccs_Size.empty()) {
    RemoveStatements(t, "<FSize");
    inserts.push_back("<FSize  " + font.ccs_Size + " pt>");
  }
  if (!font.ccs_Angle.empty()) {
    RemoveStatements(t, "<FAngle");
    inserts.push_back("<FAngle `" + font.ccs_Angle + "'>");
  }
  if (!font.ccs_Weight.empty()) {
    RemoveStatements(t, "<FWeight");
    inserts.push_back("<FWeight `" + font.ccs_Weight + "'>");
  }
  if (newFont && font.b_Combined) {
    RemoveStatements(t, "<FCombinedFontName");
    inserts.push_back("<FCombinedFontName `" + font.ccs_Name + "'>");
  }
  if (newFont) {
    RemoveStatements(t, "<FFamily");
    inserts.push_back("<FFamily `" + (font.b_Combined ? font.ccs_BaseFamily : font.ccs_Name) + "'>");
  }
  if (inserts.empty()) {
    out = t;
    return true;
  }
  const std::string eol = LineEndOf(text);
  // Insert after the "<FTag" statement; without one, after the "<PgfFont" or
  // the piece's own opening keyword.
  std::size_t anchor = FindKeyword(t, "<FTag");
  std::size_t at;
  if (anchor != std::string::npos) {
    at = StatementEnd(t, anchor);
  } else {
    anchor = FindKeyword(t, "<PgfFont");
    if (anchor == std::string::npos) anchor = 0;
    at = anchor + 1;
    while (at < t.size() && !IsBlank(t[at]) && t[at] != '\r' && t[at] != '\n' && t[at] != '<' && t[at] != '>') ++at;
  }
  if (at == std::string::npos) {
    out.assign(text);
    return false;
  }
  std::size_t lineStart = anchor;
  while (lineStart > 0 && t[lineStart - 1] != '\n' && t[lineStart - 1] != '\r') --lineStart;
  std::size_t indentEnd = lineStart;
  while (indentEnd < t.size() && IsBlank(t[indentEnd])) ++indentEnd;
  std::string indent = t.substr(lineStart, indentEnd - lineStart);
  if (anchor != std::string::npos && t.compare(anchor, 5, "<FTag") != 0) indent += ' ';
  // A statement written on one line stays on one line.
  std::size_t rest = at;
  while (rest < t.size() && IsBlank(t[rest])) ++rest;
  const bool oneLine = rest < t.size() && t[rest] != '\r' && t[rest] != '\n' && t.compare(anchor, 5, "<FTag") == 0;
  const std::string before = oneLine ? std::string(" ") : eol + indent;
  for (const std::string& s : inserts) t.insert(at, before + s);
  out = t;
  return true;
}

bool st_Row::b_HasNewValue() const {
  return !acs_Cells[6].empty() || !acs_Cells[7].empty() || !acs_Cells[8].empty() || !acs_Cells[9].empty();
}

std::vector<st_Row> vec_BuildRows(const std::vector<CTextPieceList>& lists) {
  std::vector<st_Row> rows;
  std::map<std::string, std::size_t> byText;
  for (const CTextPieceList& list : lists) {
    for (const CTextPiece& p : list.rco_Pieces()) {
      if (p.i_Origin == 1) continue;
      auto [it, fresh] = byText.emplace(p.ccs_Text, rows.size());
      if (fresh) {
        st_Row r;
        r.co_Piece = p;
        r.acs_Cells = {ccs_TypeCell(p), ccs_FormatName(p), ccs_CurrentFont(p), ccs_Size(p), ccs_Bold(p),
                       ccs_Italic(p), "", "", "", ""};
        rows.push_back(std::move(r));
      }
      st_Row& r = rows[it->second];
      if (std::find(r.vec_Files.begin(), r.vec_Files.end(), list.ccs_FileName()) == r.vec_Files.end()) {
        r.vec_Files.push_back(list.ccs_FileName());
      }
    }
  }
  return rows;
}

std::string ccs_FontMapText(const std::vector<st_Row>& rows) {
  std::string out = std::string(kFontMapTitle) + ";\r\n";
  for (const st_Row& r : rows) {
    for (const std::string& c : r.acs_Cells) out += c + ";";
    if (!r.acs_Cells[6].empty() && r.b_HasDefinition) {
      out += "CTextPieceText;\n" + r.co_NewFontPiece.ccs_Text + "\nComponent" + r.co_NewFontPiece.c_Component +
             "\nEndCTextPieceText\n";
    } else {
      out += "\r\n";
    }
  }
  return out;
}

bool b_ParseFontMap(std::string_view text, std::vector<st_FontMapRow>& rows, std::string& error) {
  rows.clear();
  std::vector<std::string_view> lines;
  for (std::size_t p = 0; p < text.size();) {
    std::size_t e = text.find('\n', p);
    if (e == std::string_view::npos) e = text.size();
    std::string_view l = text.substr(p, e - p);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    lines.push_back(l);
    p = e + 1;
  }
  if (lines.empty() || lines[0].find(kFontMapTitle) == std::string_view::npos) {
    error = kNotAFontMap;
    return false;
  }
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string_view l = lines[i];
    if (l.empty()) continue;
    st_FontMapRow row;
    std::size_t p = 0;
    bool complete = true;
    for (int c = 0; c < 10; ++c) {
      const std::size_t s = l.find(';', p);
      if (s == std::string_view::npos) {
        complete = false;
        break;
      }
      row.acs_Cells[c] = std::string(l.substr(p, s - p));
      p = s + 1;
    }
    if (!complete) {
      error = kNotAFontMap;
      return false;
    }
    if (l.substr(p).rfind("CTextPieceText;", 0) == 0) {
      std::string body;
      bool first = true;
      ++i;
      for (; i < lines.size() && lines[i] != "EndCTextPieceText"; ++i) {
        if (lines[i].rfind("Component", 0) == 0 && i + 1 < lines.size() && lines[i + 1] == "EndCTextPieceText") {
          if (lines[i].size() > 9) row.co_Definition.c_Component = lines[i].back();
          continue;
        }
        if (!first) body += "\n";
        body += lines[i];
        first = false;
      }
      row.co_Definition.ccs_Text = body;
      row.co_Definition.i_Kind = body.rfind("<CombinedFontDefn", 0) == 0 ? CTextPiece::KindCombinedFont
                                 : body.rfind("<Font", 0) == 0         ? CTextPiece::KindCharacter
                                                                       : CTextPiece::KindParagraph;
      row.co_Definition.i_Origin = row.co_Definition.i_Kind == CTextPiece::KindCombinedFont ? 1 : 0;
      row.b_HasDefinition = true;
    }
    rows.push_back(std::move(row));
  }
  return true;
}

int i_ApplyFontMap(const std::vector<st_FontMapRow>& map, std::vector<st_Row>& rows) {
  int applied = 0;
  for (st_Row& r : rows) {
    for (const st_FontMapRow& m : map) {
      if (!std::equal(m.acs_Cells.begin(), m.acs_Cells.begin() + 6, r.acs_Cells.begin())) continue;
      for (int c = 6; c < 10; ++c) r.acs_Cells[c] = m.acs_Cells[c];
      r.b_HasDefinition = m.b_HasDefinition;
      if (m.b_HasDefinition) r.co_NewFontPiece = m.co_Definition;
      ++applied;
      break;
    }
  }
  return applied;
}

bool b_ValidSize(std::string_view s) {
  if (s.empty()) return false;
  if (!std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '.'; }))
    return false;
  if (std::count(s.begin(), s.end(), '.') > 1 || s == ".") return false;
  const double v = std::strtod(std::string(s).c_str(), nullptr);
  return v >= 2.0 && v <= 400.0;
}

}  // namespace typeshift
