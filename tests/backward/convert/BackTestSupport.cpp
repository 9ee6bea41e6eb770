#include "backward/convert/BackTestSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kernel/forward/MIFSyntax.h"
#include "kernel/forward/TextConverter.h"

namespace back_test {

std::string DataDir() { return std::string(MORVANE_TEST_DATA_DIR) + "/back/"; }
std::string ForwardGoldenDir() { return std::string(MORVANE_TEST_DATA_DIR) + "/convert/golden/"; }
std::string CorpusDir() { return std::string(MORVANE_CORPUS_DIR) + "/"; }
bool HaveCorpus() { return std::filesystem::is_directory(MORVANE_CORPUS_DIR); }

namespace {

template <class Add>
void ForEachLine(const std::string& text, Add&& add) {
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      add(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  add(line);
}

}  // namespace

std::vector<std::string> MIFLines(const std::string& text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&](const std::string& l) {
    const std::string_view t = MIFSyntax::Trim(l);
    if (!t.empty()) lines.emplace_back(t);
  });
  return lines;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&](const std::string& l) {
    if (!l.empty()) lines.push_back(l);
  });
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) {
    text += l;
    text += '\n';
  }
  return text;
}

std::string WithoutChangeBars(std::string mif) {
  for (const char* key : {"<FChangeBar Yes", "<DAutoChBars Yes"}) {
    const std::string from = key;
    const std::string to = from.substr(0, from.size() - 3) + "No ";
    for (std::size_t at = mif.find(from); at != std::string::npos; at = mif.find(from, at + to.size())) {
      mif.replace(at, from.size(), to);
    }
  }
  return mif;
}

std::unique_ptr<CQ_Morvane_CommunicationFrame> MakeSession(const Settings& s, const std::string& orgDir,
                                                           const std::string& translatedDir) {
  auto session = std::make_unique<CQ_Morvane_CommunicationFrame>("morvane", "3.0", false);
  session->v_SetORGFilesPath(orgDir.c_str());
  session->v_SetTranslatedFilesPath(translatedDir.c_str());
  session->v_SetFileFormatForKWX(s.format);
  session->v_SetSourceLanguage(s.sourceLanguage.c_str());
  session->v_SetTargetLanguage(s.targetLanguage.c_str());
  session->v_SetSmartQuotes(s.smartQuotes);
  session->v_SetCharacterSet(s.characterSet);
  session->v_SetSourceHyphenation(s.sourceHyphenation);
  session->v_SetTranslationHyphenation(s.translationHyphenation);
  session->v_SetHighestMIFVersion(s.highestMIFVersion);
  return session;
}

std::vector<std::string> ResultLines(const CQ_Morvane_Communication& session) {
  const CQ_StringList& all = session.rco_GetResults();
  return std::vector<std::string>(all.begin() + (all.size() >= 3 ? 3 : 0), all.end());
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}

void ScratchTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  dir_ = (std::filesystem::temp_directory_path() / ("morvane_back_" + name + "_" + std::to_string(getpid()))).string() + "/";
  std::filesystem::remove_all(dir_);
  for (const char* sub : {"src", "org", "tr"}) std::filesystem::create_directories(dir_ + sub);
}

void ScratchTest::TearDown() {
  // MORVANE_KEEP_SCRATCH=1 keeps the files of a failed test for a look, 2
  // those of every test.
  const char* keep = std::getenv("MORVANE_KEEP_SCRATCH");
  if (keep && ((std::string(keep) == "1" && HasFailure()) || std::string(keep) == "2")) return;
  std::filesystem::remove_all(dir_);
}

std::vector<std::string> ScratchTest::Forward(const std::string& name, const std::string& mif, const Settings& s) {
  WriteBytes(dir_ + "src/" + name, mif);
  auto session = MakeSession(s, dir_ + "org/", dir_ + "tr/");
  CQ_StringList paths = {dir_ + "src/" + name};
  session->v_ConvertMIF(&paths);
  (void)session->b_CreateAncillaryFile(dir_ + "tr/ancillary" + Ext(s));
  return ResultLines(*session);
}

std::vector<std::string> ScratchTest::Back(const std::string& base, const Settings& s) {
  auto session = MakeSession(s, dir_ + "org/", dir_ + "tr/");
  CQ_StringList paths = {dir_ + "tr/" + base + Ext(s)};
  const std::string ancillary = dir_ + "tr/ancillary" + Ext(s);
  session->v_ConvertKWX(&paths, ancillary.c_str());
  return ResultLines(*session);
}

// --- document comparison ---------------------------------------------------------------------

namespace {

using MIFSyntax::HasKeyword;
using MIFSyntax::IsCloser;
using MIFSyntax::IsStatement;
using MIFSyntax::NetDepth;

struct Item {
  std::string text;
  std::size_t line;   // 1-based line of the statement it came from
  bool isText = false;
  std::string font;   // of text: the Font statements in force
  bool operator==(const Item& o) const { return isText == o.isText && text == o.text && font == o.font; }
};

// Blanks outside backquoted strings: runs collapse, none before ">".
std::string Spelling(const std::string& line) {
  std::string out;
  bool inString = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (inString) {
      out.push_back(c);
      if (c == '\\' && i + 1 < line.size()) {
        out.push_back(line[++i]);
      } else if (c == '\'') {
        inString = false;
      }
      continue;
    }
    if (c == '`') inString = true;
    if (c == ' ' || c == '\t') {
      std::size_t j = i;
      while (j < line.size() && (line[j] == ' ' || line[j] == '\t')) ++j;
      if (j < line.size() && line[j] != '>' && !out.empty()) out.push_back(' ');
      i = j - 1;
      continue;
    }
    out.push_back(c);
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

// FrameMaker codes of a string's raw content.
std::string Decode(std::string_view raw) {
  std::string codes;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      codes.push_back(raw[i]);
      continue;
    }
    const char next = raw[++i];
    switch (next) {
      case 't': codes.push_back('\x08'); break;
      case '>': codes.push_back('>'); break;
      case 'q': codes.push_back('\''); break;
      case 'Q': codes.push_back('`'); break;
      case '\\': codes.push_back('\\'); break;
      case 'x':
      case 'X': {
        std::size_t j = i + 1;
        int value = 0;
        while (j < raw.size() && j < i + 3 && std::isxdigit(static_cast<unsigned char>(raw[j]))) {
          value = value * 16 + HexValue(raw[j]);
          ++j;
        }
        if (j < raw.size() && raw[j] == ' ') ++j;
        codes.push_back(static_cast<char>(value));
        i = j - 1;
        break;
      }
      default:
        codes.push_back('\\');
        codes.push_back(next);
        break;
    }
  }
  return codes;
}

class Normaliser {
 public:
  Normaliser(const std::vector<std::string>& lines, bool softHyphensOff)
      : m_lines(lines), m_softHyphensOff(softHyphensOff) {}

  std::vector<Item> Run() {
    Walk(0, m_lines.size());
    return std::move(m_items);
  }

 private:
  void Add(std::string text, std::size_t line) { m_items.push_back({std::move(text), line + 1, false, std::string()}); }

  std::size_t End(std::size_t open, std::size_t limit) const { return MIFSyntax::BlockEnd(m_lines, open, limit); }

  void Walk(std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      const std::string& l = m_lines[i];
      if (NetDepth(l) > 0 && (HasKeyword(l, "Para") || HasKeyword(l, "TextLine"))) {
        const std::size_t e = End(i, end);
        if (HasKeyword(l, "Para")) {
          Para(i, e);
        } else {
          TextLine(i, e);
        }
        i = e - 1;
        continue;
      }
      Add(Spelling(l), i);
    }
  }

  // Text with the font in force.
  void Text(const std::string& codes, std::size_t line) {
    std::string kept;
    for (char c : codes) {
      if (!CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(c)).empty()) kept.push_back(c);
    }
    if (kept.empty()) return;
    for (const Item& rect : m_pendingRects) m_items.push_back(rect);
    m_pendingRects.clear();
    // Text in the same font as the text just before it continues it, font
    // statements between them or not.
    if (!m_items.empty() && m_items.back().isText && m_items.back().font == m_font) {
      m_items.back().text += kept;
      return;
    }
    m_items.push_back({kept, line + 1, true, m_font});
  }

  void Statement(std::string text, std::size_t line) { Add(std::move(text), line); }

  void Font(std::size_t b, std::size_t e) {
    std::string block;
    bool tagged = false;
    bool named = false;
    bool properties = false;
    for (std::size_t k = b + 1; k < e; ++k) {
      const std::string& l = m_lines[k];
      if (IsCloser(l)) continue;
      if (HasKeyword(l, "FTag")) {
        tagged = true;
        std::string raw;
        MIFSyntax::StringValue(l, raw);
        named = !raw.empty();
      } else if (!HasKeyword(l, "FLocked")) {
        properties = true;
      }
      if (!HasKeyword(l, "FLocked")) block += Spelling(l) + ";";
    }
    if (named || (tagged && properties)) {
      m_font = block;
    } else if (tagged) {
      m_font.clear();
    } else {
      m_font += block;
    }
  }

  // The children of a ParaLine or a text line: text, fonts and statements.
  void Content(std::size_t begin, std::size_t end, bool inParaLine) {
    for (std::size_t i = begin; i < end; ++i) {
      const std::string& l = m_lines[i];
      const int net = NetDepth(l);
      if (IsCloser(l)) continue;
      if (net > 0) {
        const std::size_t e = End(i, end);
        if (HasKeyword(l, "Font")) {
          Font(i, e);
        } else if (HasKeyword(l, "ParaLine")) {
          Content(i + 1, e, true);
        } else {
          std::string block;
          for (std::size_t k = i; k < e; ++k) block += Spelling(m_lines[k]) + "\n";
          Statement(std::move(block), i);
        }
        i = e - 1;
        continue;
      }
      const std::string_view kw = MIFSyntax::Keyword(l);
      if (kw == "String") {
        std::string raw;
        MIFSyntax::StringValue(l, raw);
        Text(Decode(raw), i);
      } else if (kw == "Char") {
        const std::string_view name = MIFSyntax::Value(l);
        if (m_softHyphensOff && inParaLine && name == "SoftHyphen" && i + 1 < end && IsCloser(m_lines[i + 1])) continue;
        const int code = CQ_TextConverter::si_NamedCharacterCode(name);
        if (code >= 0) Text(std::string(1, static_cast<char>(code)), i);
      } else if (kw == "TextRectID") {
        m_pendingRects.push_back({Spelling(l), i + 1, false, std::string()});
      } else if (kw == "Unconditional" && NextIsConditional(i + 1, end)) {
        continue;
      } else {
        Statement(Spelling(l), i);
      }
    }
  }

  bool NextIsConditional(std::size_t from, std::size_t end) const {
    for (std::size_t k = from; k < end; ++k) {
      const std::string& l = m_lines[k];
      if (IsCloser(l) || HasKeyword(l, "ParaLine")) continue;
      return HasKeyword(l, "Conditional");
    }
    return false;
  }

  void Para(std::size_t b, std::size_t e) {
    Add("<Para", b);
    m_font.clear();
    std::size_t i = b + 1;
    const std::size_t inner = IsCloser(m_lines[e - 1]) ? e - 1 : e;
    // The statements before the first ParaLine.
    while (i < inner) {
      const std::string& l = m_lines[i];
      if (NetDepth(l) > 0 && HasKeyword(l, "ParaLine")) break;
      const std::size_t next = NetDepth(l) > 0 ? End(i, inner) : i + 1;
      if (!HasKeyword(l, "Unique")) {
        for (std::size_t k = i; k < next; ++k) Add(Spelling(m_lines[k]), k);
      }
      i = next;
    }
    Content(i, inner, false);
    for (const Item& rect : m_pendingRects) m_items.push_back(rect);
    m_pendingRects.clear();
    Add("> # end of Para", e - 1);
  }

  void TextLine(std::size_t b, std::size_t e) {
    Add(Spelling(m_lines[b]), b);
    m_font.clear();
    const std::size_t inner = IsCloser(m_lines[e - 1]) ? e - 1 : e;
    Content(b + 1, inner, false);
    Add("> # end of TextLine", e - 1);
  }

  const std::vector<std::string>& m_lines;
  bool m_softHyphensOff;
  std::vector<Item> m_items;
  std::vector<Item> m_pendingRects;
  std::string m_font;
};

std::vector<std::string> Rewritten(const std::vector<std::string>& org, const Differences& allowed) {
  std::vector<std::string> out;
  out.reserve(org.size());
  const bool switchLanguage =
      !allowed.targetMIFLanguage.empty() && allowed.sourceMIFLanguage != allowed.targetMIFLanguage;
  for (const std::string& l : org) {
    const std::string_view kw = MIFSyntax::Keyword(l);
    if (switchLanguage && (kw == "PgfLanguage" || kw == "FLanguage" || kw == "DLanguage" || kw == "TLLanguage") &&
        MIFSyntax::ValueIs(l, kw, allowed.sourceMIFLanguage)) {
      out.push_back("<" + std::string(kw) + " " + allowed.targetMIFLanguage + ">");
    } else if (allowed.hyphenationOff && kw == "PgfHyphenate" && MIFSyntax::ValueIs(l, kw, "Yes")) {
      out.emplace_back("<PgfHyphenate No>");
    } else {
      out.push_back(l);
    }
  }
  return out;
}

std::string Shown(const std::string& text) {
  std::string s;
  for (unsigned char c : text) {
    if (c == '\n') {
      s += "\\n";
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      s += buf;
    } else {
      s.push_back(static_cast<char>(c));
    }
  }
  return s.size() > 300 ? s.substr(0, 300) + "..." : s;
}

}  // namespace

::testing::AssertionResult SameDocument(const std::vector<std::string>& org, const std::vector<std::string>& output,
                                        const Differences& allowed) {
  const std::vector<std::string> expectedLines = Rewritten(org, allowed);
  const std::vector<Item> expected = Normaliser(expectedLines, allowed.softHyphensOff).Run();
  const std::vector<Item> actual = Normaliser(output, false).Run();
  std::size_t k = 0;
  while (k < expected.size() && k < actual.size() && expected[k] == actual[k]) ++k;
  if (k == expected.size() && k == actual.size()) return ::testing::AssertionSuccess();
  auto show = [](const std::vector<Item>& items, std::size_t at) {
    std::string s;
    for (std::size_t i = at >= 3 ? at - 3 : 0; i < items.size() && i < at + 3; ++i) {
      s += (i == at ? "  >> " : "     ") + std::string("line ") + std::to_string(items[i].line) + ": " +
           (items[i].isText ? "text [" + Shown(items[i].font) + "] " : std::string()) + Shown(items[i].text) + "\n";
    }
    return s;
  };
  return ::testing::AssertionFailure() << "documents differ at statement " << k << " of " << expected.size() << "/"
                                       << actual.size() << "\n ORG:\n"
                                       << show(expected, k) << " output:\n"
                                       << show(actual, k);
}

std::string Visible(const std::string& s) { return morvane_test::Visible(s); }

std::vector<std::string> WithoutSourcePath(std::vector<std::string> lines) {
  lines.erase(std::remove_if(lines.begin(), lines.end(),
                             [](const std::string& l) {
                               return l.rfind("<sourcepath ", 0) == 0 || l.rfind("<file ", 0) == 0 ||
                                      l.rfind("</file ", 0) == 0;
                             }),
              lines.end());
  return lines;
}

}  // namespace back_test
