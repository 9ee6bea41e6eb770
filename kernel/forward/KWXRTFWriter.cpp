// RTF writer for KWX line lists.
//
// The document's fixed parts (prolog, font entries, colour table, style
// sheet, page lines) are literal texts kept in one table per code page, so
// the bytes written can be read off this file. Lines are converted byte by
// byte in a single pass; the only state is the tag depth and whether a
// style group is open, which carry from line to line. The writer streams
// through CQ_KWXFileWriter and never holds the whole document.
#include "kernel/forward/KWXRTFWriter.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernel/forward/KWXFileWriter.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXTextWriter.h"

namespace {

struct CodePageFonts {
  int codePage;
  std::string_view prolog;  // without its line end
  std::string_view f1;      // font entries without "{\fN " and ";}"
  std::string_view f2;
  std::string_view roman;   // f3, and f4 when this is the target
};

// The hexadecimal escapes are the bytes of the usual system font names of
// each code page, in that code page.
constexpr std::array<CodePageFonts, 10> kFonts = {{
    {932, R"({\rtf1\ansi\ansicpg932 \deff3\deflang1024 )",
     R"(\fmodern\fcharset128\fprq2 \'82\'6c\'82\'72 \'82\'6f\'83\'53\'83\'56\'83\'62\'83\'4e)",
     R"(\fmodern\fcharset128\fprq1 \'82\'6c\'82\'72 \'83\'53\'83\'56\'83\'62\'83\'4e)",
     R"(\froman\fcharset128\fprq1 \'82\'6c\'82\'72 \'96\'be\'92\'a9)"},
    {936, R"({\rtf1\ansi\ansicpg936 \deff3\deflang1024 )", R"(\fnil\fcharset134\fprq2 \'ba\'da\'cc\'e5)",
     R"(\fmodern\fcharset134\fprq1 \'b7\'c2\'cb\'ce_GB2312)", R"(\fnil\fcharset134\fprq2 \'cb\'ce\'cc\'e5)"},
    {949, R"({\rtf1\ansi\ansicpg949 \deff3\deflang1024 )", R"(\froman\fcharset129\fprq1 \'b9\'d9\'c5\'c1\'c3\'bc)",
     R"(\fmodern\fcharset129\fprq2 \'b1\'bc\'b8\'b2)", R"(\froman\fcharset129\fprq2 \'b9\'d9\'c5\'c1)"},
    {950, R"({\rtf1\ansi\ansicpg950 \deff3\deflang1024 )", R"(\fmodern\fcharset136\fprq1 \'b2\'d3\'a9\'fa\'c5\'e9)",
     R"(\fmodern\fcharset136\fprq1 \'bc\'d0\'b7\'a2\'c5\'e9)",
     R"(\fnil\fcharset136\fprq2 \'b7\'73\'b2\'d3\'a9\'fa\'c5\'e9)"},
    {1250, R"({\rtf1\ansi\ansicpg1250 \deff3\deflang1024 )", R"(\fmodern\fcharset238\fprq1 Courier New CE)",
     R"(\fswiss\fcharset238\fprq2 Arial CE)", R"(\froman\fcharset238\fprq2 Times New Roman CE)"},
    {1251, R"({\rtf1\ansi\ansicpg1251 \deff3\deflang1024 )", R"(\fmodern\fcharset204\fprq1 Courier New CYR)",
     R"(\fswiss\fcharset204\fprq2 Arial CYR)", R"(\froman\fcharset204\fprq2 Times New Roman CYR)"},
    {1252, R"({\rtf1\ansi\ansicpg1252 \deff3\deflang1024 )", R"(\fmodern\fcharset0\fprq1 Courier New)",
     R"(\fswiss\fcharset0\fprq2 Arial)", R"(\froman\fcharset0\fprq2 Times New Roman)"},
    {1253, R"({\rtf1\ansi\ansicpg1253 \deff3\deflang1024 )", R"(\fmodern\fcharset161\fprq1 Courier New Greek)",
     R"(\fswiss\fcharset161\fprq2 Arial Greek)", R"(\froman\fcharset161\fprq2 Times New Roman Greek)"},
    {1254, R"({\rtf1\ansi\ansicpg1254 \deff3\deflang1024 )", R"(\fmodern\fcharset162\fprq1 Courier New TUR)",
     R"(\fswiss\fcharset162\fprq2 Arial TUR)", R"(\froman\fcharset162\fprq2 Times New Roman TUR)"},
    {1257, R"({\rtf1\ansi\ansicpg1257 \deff3\deflang1024 )", R"(\fmodern\fcharset186\fprq1 Courier New Baltic)",
     R"(\fswiss\fcharset186\fprq2 Arial Baltic)", R"(\froman\fcharset186\fprq2 Times New Roman Baltic)"},
}};

constexpr std::string_view kColourTable =
    "{\\colortbl \\red0\\green0\\blue0;\\red0\\green0\\blue0;\\red0\\green0\\blue255;\\red0\\green255\\blue255;"
    "\\red0\\green255\\blue0;\n"
    "\\red255\\green0\\blue255;\\red255\\green0\\blue0;\\red255\\green255\\blue0;\\red255\\green255\\blue255;"
    "\\red0\\green0\\blue128;\n"
    "\\red0\\green128\\blue128;\\red0\\green128\\blue0;\\red128\\green0\\blue128;\\red128\\green0\\blue0;"
    "\\red128\\green128\\blue0;\n"
    "\\red128\\green128\\blue128;\\red192\\green192\\blue192;}\n";

// The character styles after the Normal style; the last closes the sheet.
constexpr std::string_view kCharacterStyles =
    "{\\cs1 \\additive \\v\\cf12\\sub\\f1 qd4lynMark;}\n"
    "{\\cs2 \\cf4\\fs40\\f1 qd4lynError;}\n"
    "{\\cs3 \\f1\\cf11 qd4lynPopup;}\n"
    "{\\cs4 \\f1\\cf10 qd4lynJump;}\n"
    "{\\cs5 \\additive \\cf15\\f1\\lang1024 qd4lynExternal;}\n"
    "{\\cs6 \\additive \\cf6\\f1\\lang1024 qd4lynInternal;}\n"
    "{\\cs7 \\cf2 qd4lynTerm;}\n"
    "{\\cs8 \\additive Default Paragraph Font;}}\n";

const CodePageFonts& FontsOf(int codePage) {
  for (const CodePageFonts& fonts : kFonts) {
    if (fonts.codePage == codePage) return fonts;
  }
  return kFonts[6];  // 1252
}

void AppendFontLine(std::string& out, int number, std::string_view entry) {
  out += "{\\f";
  out += static_cast<char>('0' + number);
  out += ' ';
  out += entry;
  out += ";}";
}

constexpr char kHexDigits[] = "0123456789abcdef";

// Bytes the line conversion must look at: tag brackets, the escaped
// characters and every byte of 128 or more.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> special{};
  for (int b = 0x80; b < 0x100; ++b) special[b] = true;
  for (unsigned char b : {'<', '>', '\t', '\\', '{', '}'}) special[b] = true;
  return special;
}();

// The first byte at or after `from` that the conversion must look at, or
// the line's size; sixteen bytes at a time where SSE2 is there.
std::size_t NextSpecial(std::string_view line, std::size_t from) {
  const char* const p = line.data();
  const std::size_t n = line.size();
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i gt = _mm_set1_epi8('>');
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i open = _mm_set1_epi8('{');
  const __m128i close = _mm_set1_epi8('}');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt)),
                                  _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, backslash))),
                     _mm_or_si128(_mm_cmpeq_epi8(v, open), _mm_cmpeq_epi8(v, close)));
    // The sign bits are the bytes of 128 or more.
    const int mask = _mm_movemask_epi8(hit) | _mm_movemask_epi8(v);
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  while (i < n && !kSpecial[static_cast<unsigned char>(p[i])]) ++i;
  return i;
}

}  // namespace

// ---------------------------------------------------------------------------
// CQ_RTFLinePreparer
// ---------------------------------------------------------------------------

CQ_RTFLinePreparer::CQ_RTFLinePreparer(int sourceCodePage)
    : m_strOpening(CQ_KWXRTFWriter::sccs_ParagraphOpening(sourceCodePage)) {}

void CQ_RTFLinePreparer::sv_AppendEscaped(unsigned char byte, std::string& out) {
  switch (byte) {
    case '\t': out += "\\tab "; return;
    case '\\': out += "\\'5c"; return;
    case '{': out += "\\'7b"; return;
    case '}': out += "\\'7d"; return;
    default: break;
  }
  if (byte >= 0x80) {
    out += "\\'";
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
  } else {
    out += static_cast<char>(byte);
  }
}

void CQ_RTFLinePreparer::v_Convert(std::string_view line, std::string& out) {
  out += m_strOpening;
  for (std::size_t i = 0; i < line.size(); ++i) {
    // Runs of bytes that stand for themselves are copied in one piece.
    const std::size_t run = NextSpecial(line, i);
    if (run != i) {
      out.append(line.data() + i, run - i);
      i = run;
      if (i == line.size()) break;
    }
    const char c = line[i];
    if (c == '<') {
      ++m_iDepth;
      if (!m_bInGroup) {
        const bool internal = i + 1 < line.size() && line[i + 1] == ':';
        out += internal ? INTERNAL_GROUP : EXTERNAL_GROUP;
        m_bInGroup = true;
      }
      out += '<';
    } else if (c == '>') {
      out += '>';
      --m_iDepth;
      if (m_iDepth == 0 && m_bInGroup) {
        out += '}';
        m_bInGroup = false;
      }
      if (m_iDepth < 0) m_iDepth = 0;
    } else {
      sv_AppendEscaped(static_cast<unsigned char>(c), out);
    }
  }
}

std::string CQ_RTFLinePreparer::ccs_Convert(std::string_view line) {
  std::string out;
  out.reserve(1024);
  v_Convert(line, out);
  return out;
}

std::string_view CQ_RTFLinePreparer::cs_Finish() {
  const bool open = m_bInGroup;
  m_bInGroup = false;
  m_iDepth = 0;
  return open ? std::string_view("}") : std::string_view();
}

// ---------------------------------------------------------------------------
// CQ_KWXRTFWriter
// ---------------------------------------------------------------------------

bool CQ_KWXRTFWriter::sb_IsSupportedCodePage(int codePage) {
  for (const CodePageFonts& fonts : kFonts) {
    if (fonts.codePage == codePage) return true;
  }
  return false;
}

std::string_view CQ_KWXRTFWriter::scs_FontSize(int sourceCodePage) {
  if (sourceCodePage == 936) return "\\fs21";
  if (sourceCodePage == 950) return "\\fs24";
  return "\\fs20";
}

std::string CQ_KWXRTFWriter::sccs_ParagraphOpening(int sourceCodePage, int font) {
  std::string opening = "\\pard\\plain\\s0\\sb0\\slmult1\\widctlpar";
  opening += scs_FontSize(sourceCodePage);
  opening += "\\f";
  opening += std::to_string(font);
  opening += ' ';
  return opening;
}

std::string CQ_KWXRTFWriter::sccs_Header(bool a4, int sourceCodePage, int targetCodePage, bool portrait) {
  const CodePageFonts& source = FontsOf(sourceCodePage);
  std::string header;
  header.reserve(2048);

  header += source.prolog;
  header += '\n';
  header += "{\\fonttbl \n";
  AppendFontLine(header, 1, source.f1);
  header += '\n';
  AppendFontLine(header, 2, source.f2);
  header += '\n';
  AppendFontLine(header, 3, source.roman);
  if (targetCodePage == sourceCodePage) {
    header += "}\n";
  } else {
    header += '\n';
    AppendFontLine(header, 4, FontsOf(targetCodePage).roman);
    header += "}\n";
  }

  header += kColourTable;

  header += "{\\stylesheet \n";
  header += "{\\s0 \\sb0\\slmult1\\widctlpar";
  header += scs_FontSize(sourceCodePage);
  header += "\\f3 \\snext0 Normal;}\n";
  header += kCharacterStyles;

  if (a4) {
    header += portrait ? "\\paperw11907\\paperh16840" : "\\paperw16840\\paperh11907\\landscape";
  } else {
    header += portrait ? "\\paperw12242\\paperh15842" : "\\paperw15842\\paperh12242\\landscape";
  }
  header += sccs_ParagraphOpening(sourceCodePage);
  header += '\n';
  return header;
}

void CQ_KWXRTFWriter::sv_PrepareLines(CQ_StringList& lines, int sourceCodePage) {
  CQ_RTFLinePreparer preparer(sourceCodePage);
  for (std::string& line : lines) line = preparer.ccs_Convert(line);
  const std::string_view close = preparer.cs_Finish();
  if (!close.empty() && !lines.empty()) lines.back() += close;
}

void CQ_KWXRTFWriter::sv_Write(const std::string& path, const CQ_StringList& preparedLines, bool a4,
                               int sourceCodePage, int targetCodePage, bool portrait) {
  CQ_KWXFileWriter file(path);
  file.v_Write(CQ_KWXRTFWriter::sccs_Header(a4, sourceCodePage, targetCodePage, portrait));
  bool first = true;
  for (const std::string& line : preparedLines) {
    if (!first) file.v_Write("\\par ");
    first = false;
    file.v_WriteLine(line);
  }
  file.v_Write('}');
  file.v_Commit();
}

namespace {

template <class Lines>
void PrepareAndWriteTo(CQ_KWXFileWriter& file, const Lines& lines, bool a4, int sourceCodePage, int targetCodePage,
                       bool portrait) {
  file.v_Write(CQ_KWXRTFWriter::sccs_Header(a4, sourceCodePage, targetCodePage, portrait));
  CQ_RTFLinePreparer preparer(sourceCodePage);
  std::string paragraph;
  paragraph.reserve(1024);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    paragraph.clear();
    if (i != 0) paragraph += "\\par ";
    preparer.v_Convert(std::string_view(lines[i]), paragraph);
    if (i + 1 == lines.size()) paragraph += preparer.cs_Finish();
    file.v_WriteLine(paragraph);
  }
  file.v_Write('}');
}

template <class Lines>
void PrepareAndWrite(const std::string& path, const Lines& lines, bool a4, int sourceCodePage, int targetCodePage,
                     bool portrait) {
  CQ_KWXFileWriter file(path);
  PrepareAndWriteTo(file, lines, a4, sourceCodePage, targetCodePage, portrait);
  file.v_Commit();
}

}  // namespace

void CQ_KWXRTFWriter::sv_PrepareAndWrite(const std::string& path, const CQ_StringList& lines, bool a4,
                                         int sourceCodePage, int targetCodePage, bool portrait) {
  PrepareAndWrite(path, lines, a4, sourceCodePage, targetCodePage, portrait);
}

void CQ_KWXRTFWriter::sv_PrepareAndWrite(const std::string& path, const KWX::CQ_KWXLines& lines, bool a4,
                                         int sourceCodePage, int targetCodePage, bool portrait) {
  PrepareAndWrite(path, lines, a4, sourceCodePage, targetCodePage, portrait);
}

void CQ_KWXRTFWriter::sv_WriteTextOrRTF(const std::string& path, const CQ_StringList& lines, bool rtf, bool a4,
                                        int sourceCodePage, int targetCodePage) {
  if (rtf) {
    sv_PrepareAndWrite(path, lines, a4, sourceCodePage, targetCodePage, true);
  } else {
    CQ_KWXTextWriter::sv_Write(path, lines);
  }
}

void CQ_KWXRTFWriter::sv_PrepareAndWriteTo(CQ_KWXFileWriter& file, const KWX::CQ_KWXLines& lines, bool a4,
                                           int sourceCodePage, int targetCodePage, bool portrait) {
  PrepareAndWriteTo(file, lines, a4, sourceCodePage, targetCodePage, portrait);
}
