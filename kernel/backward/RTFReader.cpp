// The RTF reader is a byte-at-a-time state machine over a block reader:
// "{" pushes the character state and destination, "}" pops them, a
// backslash starts a control word that is looked up in the keyword table
// and acted on by its kind (character, property, destination, special).
// The group stack lives on the heap and is bounded, so nesting never
// recurses and never grows without limit. Text reaches the line builder
// only in the main destination; a "\uN" character holds back its fallback
// text until it is complete, then is converted into the text's code page
// (the fallback standing in when that code page lacks the character).
#include "kernel/backward/RTFReader.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <map>

#include "kernel/backward/FileBlockReader.h"
#include "kernel/forward/KWXFormat.h"

namespace {

// --- keyword table -----------------------------------------------------------

enum class Kind { Character, Property, Destination, Special };

enum Property : int { PROP_PLAIN, PROP_FONT, PROP_UC, PROP_ANSICPG, PROP_DEFF, PROP_FCHARSET, PROP_CPG };
enum Special : int { SPECIAL_BIN, SPECIAL_SKIP_DEST, SPECIAL_HEX, SPECIAL_UNICODE };
enum DestinationKind : int { DEST_SKIPPED, DEST_FONTTBL };

constexpr int NO_BYTE = -1;
constexpr char32_t SIX_PER_EM_SPACE = 0x2006;

// A forced line break: FrameMaker's hard return, which begins a new KWX line.
constexpr std::string_view LINE_BREAK_TAG = "\n<:hr>";

// Characters that FrameMaker writes with a special character of its own,
// given as the KWX tag for it whatever the code page holds (a no-break
// space or soft hyphen byte would not come back as that character).
std::string_view SpecialCharacterTag(char32_t c) {
  switch (c) {
    case 0x00A0: return KWX::TAG_HS;
    case 0x00AD: return KWX::TAG_DH;
    case 0x2011: return KWX::TAG_HH;
    case 0x2002: return KWX::TAG_ENS;
    case 0x2003: return KWX::TAG_EMS;
    case 0x2007: return KWX::TAG_NS;
    case 0x2009: return KWX::TAG_THS;
    case 0x2028: return LINE_BREAK_TAG;
    default: return {};
  }
}

// Quotes that have KWX tags, used when the code page lacks the character.
std::string_view QuoteTag(char32_t c) {
  switch (c) {
    case 0x2018: return KWX::TAG_LQ;
    case 0x2019: return KWX::TAG_RQ;
    case 0x201C: return KWX::TAG_LDQ;
    case 0x201D: return KWX::TAG_RDQ;
    case 0x201E: return KWX::TAG_GLQ;
    case 0x00AB: return KWX::TAG_FLQ;
    case 0x00BB: return KWX::TAG_FRQ;
    default: return {};
  }
}

struct Keyword {
  std::string_view keyword;
  int defaultValue;
  bool passDefault;  // always use the default, whatever parameter is given
  Kind kind;
  int index;  // character: the byte in single-byte code pages; else the action
  // Characters only: the Unicode character converted in double-byte code
  // pages, or in every code page when the byte is NO_BYTE (0: the byte
  // serves every code page); and KWX text that stands for the keyword in
  // every code page (a tag or a line break), which takes precedence.
  char32_t unicode = 0;
  std::string_view text = {};
};

Keyword Char(std::string_view kw, int byte, char32_t unicode = 0) {
  return {kw, 0, false, Kind::Character, byte, unicode};
}
Keyword CharText(std::string_view kw, std::string_view text) {
  return {kw, 0, false, Kind::Character, NO_BYTE, 0, text};
}
Keyword Prop(std::string_view kw, int def, bool passDefault, Property p) {
  return {kw, def, passDefault, Kind::Property, p};
}
Keyword Dest(std::string_view kw, DestinationKind d = DEST_SKIPPED) { return {kw, 0, false, Kind::Destination, d}; }
Keyword SpecialWord(std::string_view kw, Special s) { return {kw, 0, false, Kind::Special, s}; }

// The table, sorted once by keyword for binary search.
const std::vector<Keyword>& KeywordTable() {
  static const std::vector<Keyword> table = [] {
    std::vector<Keyword> t = {
        // characters
        Char("par", 10), Char("\n", 10), Char("\r", 10), Char("tab", 9),
        // page, column and section breaks end the line like "\par"
        Char("page", 10), Char("column", 10), Char("sect", 10),
        Char("lquote", 145, U'\u2018'), Char("rquote", 146, U'\u2019'),
        Char("ldblquote", 147, U'\u201C'), Char("rdblquote", 148, U'\u201D'),
        Char("bullet", 149, U'\u2022'), Char("endash", 150, U'\u2013'),
        Char("emdash", 151, U'\u2014'),
        // FrameMaker's special characters
        CharText("line", LINE_BREAK_TAG),      // forced line break: hard return
        CharText("~", KWX::TAG_HS),            // non-breaking space
        CharText("_", KWX::TAG_HH),            // non-breaking hyphen
        CharText("-", KWX::TAG_DH),            // optional hyphen
        CharText("emspace", KWX::TAG_EMS), CharText("enspace", KWX::TAG_ENS),
        CharText("qmspace", KWX::TAG_THS),      // four-per-em space: FrameMaker's thin space
        // format characters no code page of ours holds: reported
        Char("zwj", NO_BYTE, U'\u200D'), Char("zwnj", NO_BYTE, U'\u200C'),
        Char("ltrmark", NO_BYTE, U'\u200E'), Char("rtlmark", NO_BYTE, U'\u200F'),
        Char("zwbo", NO_BYTE, U'\u200B'), Char("zwnbo", NO_BYTE, U'\uFEFF'),
        Char("{", '{'), Char("}", '}'), Char("\\", '\\'),
        // properties
        Prop("plain", 1, false, PROP_PLAIN), Prop("f", 0, false, PROP_FONT), Prop("uc", 1, false, PROP_UC),
        Prop("ansicpg", 1252, false, PROP_ANSICPG), Prop("deff", 0, false, PROP_DEFF),
        Prop("fcharset", 0, false, PROP_FCHARSET), Prop("cpg", 0, false, PROP_CPG),
        // specials
        SpecialWord("bin", SPECIAL_BIN), SpecialWord("*", SPECIAL_SKIP_DEST), SpecialWord("'", SPECIAL_HEX),
        SpecialWord("u", SPECIAL_UNICODE),
        // destinations whose text is dropped
        Dest("fonttbl", DEST_FONTTBL), Dest("author"), Dest("buptim"), Dest("colortbl"), Dest("comment"),
        Dest("creatim"), Dest("doccomm"), Dest("footer"), Dest("footerf"), Dest("footerl"), Dest("footerr"),
        Dest("footnote"), Dest("ftncn"), Dest("ftnsep"), Dest("ftnsepc"), Dest("header"), Dest("headerf"),
        Dest("headerl"), Dest("headerr"), Dest("info"), Dest("keywords"), Dest("object"), Dest("operator"),
        Dest("pict"), Dest("printim"), Dest("private1"), Dest("revtim"), Dest("rxe"), Dest("stylesheet"),
        Dest("subject"), Dest("tc"), Dest("title"), Dest("txe"), Dest("xe"),
        // destinations that word processors write without "\*" and whose
        // text is not document text
        Dest("aftncn"), Dest("aftnsep"), Dest("aftnsepc"), Dest("annotation"), Dest("atnauthor"), Dest("atnid"),
        Dest("fldinst"), Dest("listtable"), Dest("listoverridetable"), Dest("listtext"), Dest("pntext"),
        Dest("pntxta"), Dest("pntxtb"), Dest("revtbl"), Dest("rsidtbl"), Dest("template"), Dest("userprops"),
        Dest("generator"), Dest("pgdsctbl"),
    };
    std::sort(t.begin(), t.end(), [](const Keyword& a, const Keyword& b) { return a.keyword < b.keyword; });
    return t;
  }();
  return table;
}

const Keyword* FindKeyword(std::string_view keyword) {
  const std::vector<Keyword>& table = KeywordTable();
  auto it = std::lower_bound(table.begin(), table.end(), keyword,
                             [](const Keyword& k, std::string_view w) { return k.keyword < w; });
  return it != table.end() && it->keyword == keyword ? &*it : nullptr;
}

// --- code pages --------------------------------------------------------------

int CodePageOfCharset(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 186: return 1257;
    case 204: return 1251;
    case 238: return 1250;
    default: return 0;  // symbol, OEM and other sets name no code page of ours
  }
}

bool IsDoubleByte(int codePage) { return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950; }

// Converts single characters into a code page; keeps one iconv descriptor
// per code page for the reader's lifetime.
class CodePageEncoder {
 public:
  ~CodePageEncoder() {
    for (auto& [cp, cd] : m_descriptors) {
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  }

  // Appends the bytes of c in codePage to out; false when c has none.
  bool b_Encode(char32_t c, int codePage, std::string& out) {
    if (c == 0 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return false;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      return true;
    }
    iconv_t cd = Descriptor(codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    char in[4];
    std::size_t inLen = Utf8(c, in);
    char buffer[8];
    char* ip = in;
    char* op = buffer;
    std::size_t ol = sizeof buffer;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &inLen, &op, &ol) == static_cast<std::size_t>(-1)) return false;
    out.append(buffer, op);
    return true;
  }

 private:
  static std::size_t Utf8(char32_t c, char* out) {
    if (c < 0x800) {
      out[0] = static_cast<char>(0xC0 | (c >> 6));
      out[1] = static_cast<char>(0x80 | (c & 0x3F));
      return 2;
    }
    if (c < 0x10000) {
      out[0] = static_cast<char>(0xE0 | (c >> 12));
      out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out[2] = static_cast<char>(0x80 | (c & 0x3F));
      return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
  }

  iconv_t Descriptor(int codePage) {
    auto it = m_descriptors.find(codePage);
    if (it != m_descriptors.end()) return it->second;
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open(name.c_str(), "UTF-8");
    m_descriptors.emplace(codePage, cd);
    return cd;
  }

  std::map<int, iconv_t> m_descriptors;
};

// --- the parser --------------------------------------------------------------

enum class Destination { Normal, Skip, FontTable };

struct GroupState {
  int font;         // current font number, -1 for none
  int unicodeSkip;  // fallback characters after "\uN" ("\ucN")
  Destination destination;
};

struct ParseFailure {
  CQ_RTFReader::ET_Problem problem;
};

class Parser {
 public:
  Parser(CQ_FileBlockReader& in, const CQ_RTFReader::LineSink& sink, int textCodePage,
         std::vector<st_UnrepresentableCharacter>& unrepresentable)
      : m_in(in), m_sink(sink), m_textCodePage(textCodePage), m_unrepresentable(unrepresentable) {}

  void Run();

 private:
  // The next byte: a hyphen held back after a control word first.
  int Get() {
    if (m_pushed < 0) return m_in.i_Get();
    const int c = m_pushed;
    m_pushed = -1;
    return c;
  }

  void OpenGroup();
  bool CloseGroup();  // true when the document's group closed
  void ExpectNothingMore();
  void ControlWord();
  void Act(const Keyword& kw, bool hasParam, long long param);
  void ActProperty(Property p, long long value);
  void TakeHex();
  void SkipBinary(long long count);

  // One unit of text of the main destination (a literal byte, a "\'hh"
  // byte or a character keyword's bytes): goes to the pending fallback
  // when one is being collected, else to the line.
  void EmitUnit(std::string_view bytes);
  void EmitByte(char c) { EmitUnit(std::string_view(&c, 1)); }
  void Output(std::string_view bytes);
  void ResolveUnicode();
  void FinishLine();
  int ActiveCodePage() const;
  void EmitCharacter(const Keyword& kw);
  // The KWX text of a Unicode character in the active code page: a special
  // character's tag, its bytes, a quote tag; else it is recorded as
  // unrepresentable and nothing is written.
  void ResolveCharacter(char32_t c);
  // Records a high surrogate that no low surrogate followed.
  void FlushSurrogate();

  CQ_FileBlockReader& m_in;
  int m_pushed = -1;
  const CQ_RTFReader::LineSink& m_sink;
  int m_textCodePage;

  std::vector<GroupState> m_stack;
  GroupState m_state{-1, 1, Destination::Normal};
  bool m_skipDestinationIfUnknown = false;

  std::map<int, int> m_fontCodePages;  // font number to code page
  int m_fontTableEntry = -1;           // the font being defined in the font table
  int m_documentCodePage = 0;          // "\ansicpg", 0 when absent
  int m_defaultFont = -1;              // "\deff"

  // "\uN" whose fallback is being collected.
  bool m_unicodePending = false;
  char32_t m_unicode = 0;
  int m_fallbackLeft = 0;
  std::string m_fallback;
  CodePageEncoder m_encoder;

  std::vector<st_UnrepresentableCharacter>& m_unrepresentable;
  std::size_t m_linesDelivered = 0;
  char32_t m_highSurrogate = 0;  // the first half of a surrogate pair, waiting for the second

  std::string m_line;
  bool m_pendingBlank = false;  // a six-per-em space waits for the blank that may follow it
};

void Parser::Run() {
  // The caller has read "{\rtf": open the document's group and take the
  // rest of that control word (its version number and delimiter).
  OpenGroup();
  int first = m_in.i_Get();
  while ((first >= 'a' && first <= 'z') || (first >= '0' && first <= '9')) first = m_in.i_Get();
  if (first >= 0 && first != ' ') m_in.v_Unget();
  for (;;) {
    const int ch = Get();
    if (ch < 0) break;
    switch (ch) {
      case '{':
        if (m_unicodePending) ResolveUnicode();
        OpenGroup();
        break;
      case '}':
        if (m_unicodePending) ResolveUnicode();
        if (CloseGroup()) {
          FinishLine();
          ExpectNothingMore();
          return;
        }
        break;
      case '\\':
        ControlWord();
        break;
      case '\r':
      case '\n':
        break;  // line ends of the RTF source are not text
      default:
        if (m_state.destination != Destination::Normal) break;
        if (m_unicodePending || m_pendingBlank || m_highSurrogate != 0) {
          EmitByte(static_cast<char>(ch));
        } else {
          m_line.push_back(static_cast<char>(ch));  // plain text, the common case
        }
        break;
    }
  }
  throw ParseFailure{CQ_RTFReader::PROBLEM_UNCLOSED_GROUP};
}

void Parser::ExpectNothingMore() {
  // Word processors end the file with the document's "}", sometimes with
  // line ends or padding after it. Anything else means a "}" closed the
  // document early and the rest of its text would be lost unseen.
  for (int ch = Get(); ch >= 0; ch = Get()) {
    if (ch != ' ' && ch != '\t' && ch != '\r' && ch != '\n' && ch != 0 && ch != 0x1A) {
      throw ParseFailure{CQ_RTFReader::PROBLEM_UNMATCHED_CLOSE};
    }
  }
}

void Parser::OpenGroup() {
  if (static_cast<int>(m_stack.size()) >= CQ_RTFReader::MAX_GROUP_DEPTH) {
    throw ParseFailure{CQ_RTFReader::PROBLEM_TOO_DEEP};
  }
  m_stack.push_back(m_state);
  // A "\*" counts only for the control word that follows it directly.
  m_skipDestinationIfUnknown = false;
}

bool Parser::CloseGroup() {
  if (m_stack.empty()) throw ParseFailure{CQ_RTFReader::PROBLEM_UNMATCHED_CLOSE};
  m_state = m_stack.back();
  m_stack.pop_back();
  m_skipDestinationIfUnknown = false;
  return m_stack.empty();
}

void Parser::ControlWord() {
  int ch = Get();
  if (ch < 0) throw ParseFailure{CQ_RTFReader::PROBLEM_END_IN_CONTROL};
  const auto isLetter = [](int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!isLetter(ch)) {
    // A control symbol: one character, no parameter, no delimiter.
    if (ch == '\'') {
      m_skipDestinationIfUnknown = false;
      TakeHex();
      return;
    }
    const char symbol = static_cast<char>(ch);
    const Keyword* kw = FindKeyword(std::string_view(&symbol, 1));
    if (kw) {
      Act(*kw, false, 0);
    } else if (m_unicodePending) {
      EmitUnit({});  // an unknown control symbol still counts as a fallback character
    }
    if (!kw || kw->kind != Kind::Special || kw->index != SPECIAL_SKIP_DEST) m_skipDestinationIfUnknown = false;
    return;
  }
  // Control words are at most 32 letters; a longer run is consumed whole
  // and matches nothing.
  char word[33];
  std::size_t length = 0;
  bool tooLong = false;
  while (ch >= 0 && isLetter(ch)) {
    if (length < 32) {
      word[length++] = static_cast<char>(ch);
    } else {
      tooLong = true;
    }
    ch = Get();
  }
  bool hasParam = false;
  bool negative = false;
  long long param = 0;
  if (ch == '-') {
    negative = true;
    ch = Get();
  }
  while (ch >= '0' && ch <= '9') {
    hasParam = true;
    if (param < 1000000000000LL) param = param * 10 + (ch - '0');
    ch = Get();
  }
  if (negative && !hasParam) {
    // "\word-" without digits: the hyphen is text that follows the word.
    if (ch >= 0) m_in.v_Unget();
    m_pushed = '-';
  } else {
    if (negative) param = -param;
    if (ch >= 0 && ch != ' ') m_in.v_Unget();  // a blank delimits and is consumed
  }

  const Keyword* kw = tooLong ? nullptr : FindKeyword(std::string_view(word, length));
  if (!kw) {
    if (m_skipDestinationIfUnknown) m_state.destination = Destination::Skip;
    m_skipDestinationIfUnknown = false;
    if (m_unicodePending) EmitUnit({});
    return;
  }
  m_skipDestinationIfUnknown = false;
  Act(*kw, hasParam, param);
}

void Parser::Act(const Keyword& kw, bool hasParam, long long param) {
  if (kw.passDefault || !hasParam) param = kw.defaultValue;
  switch (kw.kind) {
    case Kind::Character:
      if (m_state.destination == Destination::Normal) EmitCharacter(kw);
      break;
    case Kind::Destination:
      if (m_unicodePending) EmitUnit({});
      if (kw.index == DEST_FONTTBL && m_state.destination == Destination::Normal) {
        m_state.destination = Destination::FontTable;
      } else {
        m_state.destination = Destination::Skip;
      }
      break;
    case Kind::Property:
      if (m_unicodePending) {
        EmitUnit({});  // a control word inside the fallback is part of it
        break;
      }
      ActProperty(static_cast<Property>(kw.index), param);
      break;
    case Kind::Special:
      switch (kw.index) {
        case SPECIAL_BIN:
          if (m_unicodePending) EmitUnit({});
          SkipBinary(param);
          break;
        case SPECIAL_SKIP_DEST:
          m_skipDestinationIfUnknown = true;
          break;
        case SPECIAL_UNICODE:
          if (m_state.destination != Destination::Normal) break;
          if (m_unicodePending) {
            EmitUnit({});
            break;
          }
          if (param < 0) param += 65536;  // RTF writes values above 32767 as negative 16-bit numbers
          m_unicodePending = true;
          m_unicode = static_cast<char32_t>(std::clamp<long long>(param, 0, 0x10FFFF));
          m_fallback.clear();
          m_fallbackLeft = m_state.unicodeSkip;
          if (m_fallbackLeft <= 0) ResolveUnicode();
          break;
        default:
          break;
      }
      break;
  }
}

void Parser::ActProperty(Property p, long long value) {
  const int v = static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                       std::numeric_limits<int>::max()));
  switch (p) {
    case PROP_PLAIN:
      m_state.font = m_defaultFont;
      break;
    case PROP_FONT:
      if (m_state.destination == Destination::FontTable) {
        m_fontTableEntry = v;
      } else {
        m_state.font = v;
      }
      break;
    case PROP_UC:
      m_state.unicodeSkip = std::clamp(v, 0, 16);
      break;
    case PROP_ANSICPG:
      if (m_documentCodePage == 0) m_documentCodePage = v;
      break;
    case PROP_DEFF:
      m_defaultFont = v;
      break;
    case PROP_FCHARSET:
      if (m_state.destination == Destination::FontTable && m_fontTableEntry >= 0) {
        const int cp = CodePageOfCharset(v);
        if (cp != 0) m_fontCodePages[m_fontTableEntry] = cp;
      }
      break;
    case PROP_CPG:
      if (m_state.destination == Destination::FontTable && m_fontTableEntry >= 0 && v > 0) {
        m_fontCodePages[m_fontTableEntry] = v;
      }
      break;
  }
}

void Parser::TakeHex() {
  int value = 0;
  for (int i = 0; i < 2; ++i) {
    const int ch = Get();
    int digit;
    if (ch >= '0' && ch <= '9') {
      digit = ch - '0';
    } else if (ch >= 'a' && ch <= 'f') {
      digit = ch - 'a' + 10;
    } else if (ch >= 'A' && ch <= 'F') {
      digit = ch - 'A' + 10;
    } else {
      throw ParseFailure{CQ_RTFReader::PROBLEM_BAD_HEX};
    }
    value = value * 16 + digit;
  }
  if (m_state.destination == Destination::Normal) EmitByte(static_cast<char>(value));
}

void Parser::SkipBinary(long long count) {
  if (count <= 0) return;
  if (m_in.n_Skip(static_cast<std::uint64_t>(count)) != static_cast<std::uint64_t>(count)) {
    throw ParseFailure{CQ_RTFReader::PROBLEM_BINARY_OVERRUN};
  }
}

int Parser::ActiveCodePage() const {
  if (m_textCodePage > 0) return m_textCodePage;
  if (m_documentCodePage > 0) return m_documentCodePage;
  if (m_state.font >= 0) {
    auto it = m_fontCodePages.find(m_state.font);
    if (it != m_fontCodePages.end()) return it->second;
  }
  return 1252;
}

void Parser::EmitCharacter(const Keyword& kw) {
  if (!kw.text.empty()) {
    EmitUnit(kw.text);
    return;
  }
  if (kw.unicode == 0 || (kw.index != NO_BYTE && !IsDoubleByte(ActiveCodePage()))) {
    EmitByte(static_cast<char>(kw.index));
    return;
  }
  if (m_unicodePending) {
    EmitUnit({});  // one fallback character; the pending "\uN" is what counts
    return;
  }
  ResolveCharacter(kw.unicode);
}

void Parser::ResolveCharacter(char32_t c) {
  // Characters beyond the first 65536 come as two "\uN", a surrogate pair.
  if (c >= 0xD800 && c <= 0xDBFF) {
    FlushSurrogate();
    m_highSurrogate = c;
    return;
  }
  if (c >= 0xDC00 && c <= 0xDFFF && m_highSurrogate != 0) {
    c = 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (c - 0xDC00);
    m_highSurrogate = 0;
  }
  FlushSurrogate();
  const std::string_view special = SpecialCharacterTag(c);
  if (!special.empty()) {
    Output(special);
    return;
  }
  std::string bytes;
  if (m_encoder.b_Encode(c, ActiveCodePage(), bytes)) {
    Output(bytes);
    return;
  }
  const std::string_view quote = QuoteTag(c);
  if (!quote.empty()) {
    Output(quote);
    return;
  }
  // Never replaced by other bytes: the caller reports it.
  m_unrepresentable.push_back({m_linesDelivered + 1, c});
}

void Parser::EmitUnit(std::string_view bytes) {
  if (!m_unicodePending) {
    Output(bytes);
    return;
  }
  m_fallback.append(bytes);
  if (--m_fallbackLeft <= 0) ResolveUnicode();
}

void Parser::ResolveUnicode() {
  m_unicodePending = false;
  m_fallbackLeft = 0;
  // The Unicode value is what the writer meant; its fallback bytes are in
  // whatever code page the writer gave the current font, which word
  // processors do not keep reliably (a 1252 fallback byte in a Shift-JIS
  // text is another character, or a lead byte that swallows the next). So
  // the character is converted into the text's code page and the fallback
  // is never used: a character the code page lacks is recorded.
  if (m_unicode == SIX_PER_EM_SPACE) {
    // LibreOffice opens each blank of a run of blanks as this space and
    // the blank; the pair stands for the one blank of the original text.
    m_pendingBlank = true;
  } else {
    ResolveCharacter(m_unicode);
  }
}

void Parser::FlushSurrogate() {
  if (m_highSurrogate == 0) return;
  m_unrepresentable.push_back({m_linesDelivered + 1, m_highSurrogate});
  m_highSurrogate = 0;
}

void Parser::Output(std::string_view bytes) {
  FlushSurrogate();
  for (char c : bytes) {
    if (m_pendingBlank) {
      m_pendingBlank = false;
      if (c != ' ') m_line.push_back(' ');
    }
    if (c == '\n') {
      FinishLine();
    } else {
      m_line.push_back(c);
    }
  }
}

void Parser::FinishLine() {
  FlushSurrogate();
  if (m_pendingBlank) {
    m_pendingBlank = false;
    m_line.push_back(' ');
  }
  if (m_line.empty()) return;
  std::string line;
  line.swap(m_line);
  ++m_linesDelivered;
  m_sink(std::move(line));
}

void Read(CQ_FileBlockReader& in, const CQ_RTFReader::LineSink& sink, int textCodePage,
          CQ_RTFReader::ET_Problem& problem, std::vector<st_UnrepresentableCharacter>& unrepresentable) {
  problem = CQ_RTFReader::PROBLEM_NONE;
  unrepresentable.clear();
  static constexpr std::string_view MAGIC = "{\\rtf";
  int ch = in.i_Get();
  if (ch < 0) throw static_cast<int>(CQ_RTFReader::RTF_EMPTY_FILE);
  for (std::size_t i = 0; i < MAGIC.size(); ++i) {
    if (i > 0) ch = in.i_Get();
    if (ch < 0 || static_cast<char>(ch) != MAGIC[i]) throw static_cast<int>(CQ_RTFReader::RTF_NOT_RTF);
  }
  Parser parser(in, sink, textCodePage, unrepresentable);
  try {
    parser.Run();
  } catch (const ParseFailure& failure) {
    problem = failure.problem;
    throw static_cast<int>(CQ_RTFReader::RTF_PARSER_ERROR);
  }
}

}  // namespace

void CQ_RTFReader::v_ReadFile(const std::string& path, const LineSink& sink) {
  CQ_FileBlockReader in(path);
  Read(in, sink, m_iTextCodePage, m_etLastProblem, m_vecUnrepresentable);
}

void CQ_RTFReader::v_ReadFile(const std::string& path, CExtStringList& lines) {
  v_ReadFile(path, [&lines](std::string&& line) { lines.AddTail(std::move(line)); });
}

void CQ_RTFReader::v_ReadFile(const std::string& path, std::vector<std::string>& lines) {
  v_ReadFile(path, [&lines](std::string&& line) { lines.push_back(std::move(line)); });
}

void CQ_RTFReader::v_ReadBytes(std::string_view bytes, const LineSink& sink) {
  CQ_FileBlockReader in(bytes);
  Read(in, sink, m_iTextCodePage, m_etLastProblem, m_vecUnrepresentable);
}

void CQ_RTFReader::v_ReadBytes(std::string_view bytes, std::vector<std::string>& lines) {
  v_ReadBytes(bytes, [&lines](std::string&& line) { lines.push_back(std::move(line)); });
}

bool CQ_RTFReader::sb_EncodeCharacter(char32_t c, int codePage, std::string& out) {
  CodePageEncoder encoder;
  return encoder.b_Encode(c, codePage, out);
}
