// The RTF reader, table-driven: what each keyword kind gives, "\'hh" in
// every double-byte code page, "\binN", "\uN" with its fallback, skipped
// destinations and nested groups; every failure with its code and cause;
// every prefix of real fixtures failing cleanly; hostile nesting.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ReaderTestSupport.h"
#include "System/Platform/FileException.h"
#include "kernel/backward/RTFReader.h"
#include "kernel/session/ResultCodes.h"

namespace {

using namespace reader_test;

// A minimal document around body, in the prolog form forward conversion
// writes for the code page.
std::string Doc(const std::string& body, int codePage = 1252) {
  return "{\\rtf1\\ansi\\ansicpg" + std::to_string(codePage) + " \\deff3\\deflang1024 \r\n{\\fonttbl \r\n" +
         "{\\f1 \\fmodern\\fcharset0\\fprq1 Courier New;}}\r\n\\pard\\plain\\s0\\f3 " + body + "}";
}

struct Case {
  const char* what;
  std::string rtf;
  int codePage;  // given to the reader
  std::vector<std::string> lines;
};

// Names the row in test output.
void PrintTo(const Case& s, std::ostream* os) { *os << s.what; }

std::vector<Case> Cases() {
  return {
      // lines
      {"par breaks lines, empty lines vanish", Doc("a\\par \\par\\par b\\par "), 1252, {"a", "b"}},
      {"raw line ends of the source are no text", Doc("ab\r\ncd\ne\rf"), 1252, {"abcdef"}},
      {"backslash before LF or CR is a par", Doc("a\\\nb\\\rc"), 1252, {"a", "b", "c"}},
      {"blanks are kept, the delimiter is not", Doc("\\par   a  \\par  "), 1252, {"  a  ", " "}},
      {"tab", Doc("a\\tab b"), 1252, {"a\tb"}},
      {"escaped braces and backslash", Doc("\\{x\\}\\\\"), 1252, {"{x}\\"}},
      {"hex escapes of braces and backslash", Doc("\\'7bx\\'7d\\'5c"), 1252, {"{x}\\"}},
      // typographic keywords
      {"quotes, bullet and dashes in 1252", Doc("\\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\endash\\emdash"),
       1252, {"\x91\x92\x93\x94\x95\x96\x97"}},
      {"the same bytes in 1251", Doc("\\lquote\\emdash", 1251), 1251, {"\x91\x97"}},
      // (932 has no bullet and no en dash: they are left out and recorded)
      {"quotes and dashes in 932", Doc("\\lquote\\rquote\\ldblquote\\rdblquote\\bullet\\endash\\emdash", 932), 932,
       {"\x81\x65\x81\x66\x81\x67\x81\x68\x81\x5c"}},
      {"quotes and dashes in 936", Doc("\\lquote\\rdblquote\\endash\\emdash", 936), 936,
       {"\xa1\xae\xa1\xb1\xa8\x43\xa1\xaa"}},
      {"quotes and dashes in 949", Doc("\\rquote\\ldblquote\\emdash", 949), 949, {"\xa1\xaf\xa1\xb0"}},
      {"quotes and dashes in 950", Doc("\\lquote\\endash\\emdash", 950), 950, {"\xa1\xa5\xa1\x56\xa1\x58"}},
      {"non-breaking space, optional and non-breaking hyphen in 1252", Doc("a\\~b\\-c\\_d"), 1252,
       {"a<:hs>b<:dh>c<:hh>d"}},
      {"the same in 932", Doc("a\\~b\\-c\\_d", 932), 932, {"a<:hs>b<:dh>c<:hh>d"}},
      // hex escapes in every double-byte code page
      {"932 with trail byte 5c", Doc("\\'83\\'5c\\'95\\'5c\\'82\\'a0", 932), 932, {"\x83\x5c\x95\x5c\x82\xa0"}},
      {"936", Doc("\\'c4\\'e3\\'ba\\'c3", 936), 936, {"\xc4\xe3\xba\xc3"}},
      {"949", Doc("\\'c7\\'d1\\'b1\\'db", 949), 949, {"\xc7\xd1\xb1\xdb"}},
      {"950 with trail byte 5c, upper-case digits", Doc("\\'A5\\'5C\\'b3\\'5c", 950), 950,
       {"\xa5\x5c\xb3\x5c"}},
      {"trail byte written as a letter", Doc("\\'82`\\'88\\'9f", 932), 932, {"\x82`\x88\x9f"}},
      // binary data
      {"bin skips its bytes, braces included", Doc("a\\bin3 {}\\b"), 1252, {"ab"}},
      {"bin without count skips nothing", Doc("a\\bin b"), 1252, {"ab"}},
      {"bin inside a skipped destination", Doc("{\\*\\blipuid \\bin4 }}}}x}y"), 1252, {"y"}},
      {"bin in a picture", Doc("a{\\pict\\bin2 \\'}b"), 1252, {"ab"}},
      // Unicode characters
      {"u with its fallback converted in 1252", Doc("Caf\\u233\\'e9!"), 1252, {"Caf\xe9!"}},
      {"u converted although the fallback is in another code page", Doc("\\u345\\'3f\\u269\\'3f", 1250), 1250,
       {"\xf8\xe8"}},
      {"u of a double-byte character", Doc("\\uc2 \\u12354\\'82\\'a0\\u21151\\'8c\\'f7", 932), 932,
       {"\x82\xa0\x8c\xf7"}},
      {"u converted into Big5 whatever the fallback", Doc("\\uc2 \\u35377\\'8b\\'96", 950), 950, {"\xb3\x5c"}},
      {"u the code page lacks is left out, fallback too", Doc("x\\uc2 \\u12354\\'82\\'a0"), 1252, {"x"}},
      {"u lacking both is left out", Doc("a\\u8711?b"), 1252, {"ab"}},
      {"uc0: no fallback", Doc("\\uc0\\u8364 x"), 1252, {"\x80x"}},
      {"negative values are 16-bit", Doc("\\u-25896?\\u-4\\'3f", 932), 932, {"\x8d\x82"}},
      {"a keyword as fallback", Doc("\\u8220\\ldblquote x"), 1252, {"\x93x"}},
      {"a group ends the fallback", Doc("{\\uc2\\u12354\\'82}\\'a0", 932), 932, {"\x82\xa0\xa0"}},
      {"uc is a group property", Doc("{\\uc2 a}\\u233\\'e9x"), 1252, {"a\xe9x"}},
      {"six-per-em space and blank are one blank", Doc("a\\u8198\\'20 \\u8198\\'20 b\\u8198\\'20c\\u8198\\'20"),
       1252, {"a  b c "}},
      // destinations
      {"font table, colours, style sheet, info",
       Doc("{\\colortbl;\\red0;}{\\stylesheet{\\s0 Normal;}{\\cs5 qd4lynExternal;}}{\\info{\\title T}{\\author "
           "A}}x"),
       1252, {"x"}},
      {"headers, footers, footnotes, pictures, objects",
       Doc("{\\header H}{\\footerl F}{\\footnote N}{\\pict 0a0b}{\\object O}{\\comment C}y"), 1252, {"y"}},
      {"starred unknown destination", Doc("{\\*\\generator LibreOffice}{\\*\\bkmkstart b}z"), 1252, {"z"}},
      {"starred known destination", Doc("{\\*\\ftnsep\\chftnsep}{\\*\\fldinst HYPERLINK}z"), 1252, {"z"}},
      {"a field shows its result", Doc("{\\field{\\*\\fldinst PAGE}{\\fldrslt 12}}"), 1252, {"12"}},
      {"unknown words without the star are ignored", Doc("{\\unknownword kept}\\ul u\\ulnone "), 1252,
       {"keptu"}},
      {"the star counts for the next word only", Doc("{\\*\\b x}{\\b y}"), 1252, {"y"}},
      {"par inside a skipped destination", Doc("a{\\info\\par{\\title t\\par}}b"), 1252, {"ab"}},
      {"nested groups", Doc("{a{b{c}d}e}"), 1252, {"abcde"}},
      {"nested groups inside a skipped one", Doc("{\\stylesheet{{{x}}}}y{{{z}}}"), 1252, {"yz"}},
      // control word syntax
      {"parameters and their delimiter", Doc("\\li-720 a\\fs20b\\sb0  c"), 1252, {"ab c"}},
      {"a hyphen without digits is text", Doc("\\plain-x"), 1252, {"-x"}},
      {"unknown control symbols are ignored", Doc("a\\:b\\|c"), 1252, {"abc"}},
      {"a word longer than 32 letters matches nothing",
       Doc("\\parparparparparparparparparparparparparpar x"), 1252, {"x"}},
      {"blanks and padding after the document", Doc("a") + std::string("\r\n\0\x1a \n", 6), 1252, {"a"}},
      // code page from the file
      {"fonts name the code page when none is given",
       "{\\rtf1{\\fonttbl{\\f0\\fcharset128 M;}{\\f1\\fcharset0 T;}}\\f0 \\u8364?\\u233?\\f1 \\u8364?\\u233?}", 0,
       {"\x80\xe9"}},
      {"ansicpg names it otherwise", "{\\rtf1\\ansi\\ansicpg949 \\uc2\\u54620\\'3f\\'3f}", 0, {"\xc7\xd1"}},
      {"plain returns to the default font", "{\\rtf1\\deff1{\\fonttbl{\\f0\\fcharset128 M;}{\\f1\\fcharset238 C;}}"
       "\\f0\\plain\\u345?}", 0, {"\xf8"}},
  };
}

class RTFKeywords : public ::testing::TestWithParam<Case> {};

TEST_P(RTFKeywords, GiveTheirText) {
  const Case& c = GetParam();
  std::vector<std::string> lines;
  CQ_RTFReader reader(c.codePage);
  ASSERT_NO_THROW(reader.v_ReadBytes(c.rtf, lines)) << Visible(c.rtf);
  EXPECT_TRUE(SameLines(c.lines, lines)) << Visible(c.rtf);
}

INSTANTIATE_TEST_SUITE_P(Table, RTFKeywords, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return "row" + std::to_string(info.index); });

struct Failure {
  const char* what;
  std::string bytes;
  int code;
  CQ_RTFReader::ET_Problem problem;
};

// Names the row in test output.
void PrintTo(const Failure& s, std::ostream* os) { *os << s.what; }

std::vector<Failure> Failures() {
  std::string binary(300, '\0');
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7);
  return {
      {"empty file", "", CQ_RTFReader::RTF_EMPTY_FILE, CQ_RTFReader::PROBLEM_NONE},
      {"first line shorter than five", "{\\rt", CQ_RTFReader::RTF_NOT_RTF, CQ_RTFReader::PROBLEM_NONE},
      {"a line end only", "\r\n", CQ_RTFReader::RTF_NOT_RTF, CQ_RTFReader::PROBLEM_NONE},
      {"text before the prolog", " {\\rtf1 a}", CQ_RTFReader::RTF_NOT_RTF, CQ_RTFReader::PROBLEM_NONE},
      {"upper-case magic", "{\\RTF1 a}", CQ_RTFReader::RTF_NOT_RTF, CQ_RTFReader::PROBLEM_NONE},
      {"a binary file", binary, CQ_RTFReader::RTF_NOT_RTF, CQ_RTFReader::PROBLEM_NONE},
      {"a KWX text file", "<kwx \"F3.00\">\r\n", CQ_RTFReader::RTF_NOT_RTF, CQ_RTFReader::PROBLEM_NONE},
      {"magic alone", "{\\rtf", CQ_RTFReader::RTF_PARSER_ERROR, CQ_RTFReader::PROBLEM_UNCLOSED_GROUP},
      {"document not closed", Doc("a{b}").substr(0, Doc("a{b}").size() - 1), CQ_RTFReader::RTF_PARSER_ERROR,
       CQ_RTFReader::PROBLEM_UNCLOSED_GROUP},
      {"a group not closed", Doc("{a"), CQ_RTFReader::RTF_PARSER_ERROR, CQ_RTFReader::PROBLEM_UNCLOSED_GROUP},
      {"one close too many", Doc("a}b\\par c"), CQ_RTFReader::RTF_PARSER_ERROR,
       CQ_RTFReader::PROBLEM_UNMATCHED_CLOSE},
      {"hex digit missing", Doc("\\'4"), CQ_RTFReader::RTF_PARSER_ERROR, CQ_RTFReader::PROBLEM_BAD_HEX},
      {"hex digit wrong", Doc("\\'4g"), CQ_RTFReader::RTF_PARSER_ERROR, CQ_RTFReader::PROBLEM_BAD_HEX},
      {"hex in a skipped destination", Doc("{\\info \\'x}"), CQ_RTFReader::RTF_PARSER_ERROR,
       CQ_RTFReader::PROBLEM_BAD_HEX},
      {"bin beyond the end", "{\\rtf1 \\bin10 abc}", CQ_RTFReader::RTF_PARSER_ERROR,
       CQ_RTFReader::PROBLEM_BINARY_OVERRUN},
      {"bin of a huge count", "{\\rtf1 \\bin99999999999999999999 }", CQ_RTFReader::RTF_PARSER_ERROR,
       CQ_RTFReader::PROBLEM_BINARY_OVERRUN},
      {"backslash at the end", "{\\rtf1 a\\", CQ_RTFReader::RTF_PARSER_ERROR,
       CQ_RTFReader::PROBLEM_END_IN_CONTROL},
  };
}

class RTFFailures : public ::testing::TestWithParam<Failure> {};

TEST_P(RTFFailures, RaiseTheirCode) {
  const Failure& f = GetParam();
  CQ_RTFReader reader(1252);
  std::vector<std::string> lines;
  int code = Result::OK;
  try {
    reader.v_ReadBytes(f.bytes, lines);
  } catch (int c) {
    code = c;
  }
  EXPECT_EQ(code, f.code) << f.what << ": " << Visible(f.bytes.substr(0, 80));
  EXPECT_EQ(reader.et_GetLastProblem(), f.problem) << f.what;
}

INSTANTIATE_TEST_SUITE_P(Table, RTFFailures, ::testing::ValuesIn(Failures()),
                         [](const ::testing::TestParamInfo<Failure>& info) { return "row" + std::to_string(info.index); });

TEST(RTFReader, NestingUpToTheLimitReads) {
  const int inner = CQ_RTFReader::MAX_GROUP_DEPTH - 1;  // the document's own group is one
  const std::string rtf = "{\\rtf1 " + std::string(inner, '{') + "x" + std::string(inner, '}') + "}";
  std::vector<std::string> lines;
  CQ_RTFReader(1252).v_ReadBytes(rtf, lines);
  EXPECT_EQ(lines, std::vector<std::string>{"x"});
}

TEST(RTFReader, HundredThousandNestedGroupsFailWithTheParserCode) {
  const std::string rtf = "{\\rtf1 " + std::string(100000, '{') + "x" + std::string(100000, '}') + "}";
  CQ_RTFReader reader(1252);
  std::vector<std::string> lines;
  EXPECT_THROW(
      {
        try {
          reader.v_ReadBytes(rtf, lines);
        } catch (int code) {
          EXPECT_EQ(code, CQ_RTFReader::RTF_PARSER_ERROR);
          throw;
        }
      },
      int);
  EXPECT_EQ(reader.et_GetLastProblem(), CQ_RTFReader::PROBLEM_TOO_DEEP);
}

TEST(RTFReader, OneLineOfManyMegabytesReadsWhole) {
  std::string text(8 * 1024 * 1024, 'a');
  for (std::size_t i = 0; i < text.size(); i += 97) text[i] = ' ';
  std::vector<std::string> lines;
  CQ_RTFReader(1252).v_ReadBytes(Doc("<ps \"Body\" 1>" + text), lines);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), text.size() + 13);
}

TEST(RTFReader, LinesBeforeAFailureStayDelivered) {
  std::vector<std::string> lines;
  EXPECT_THROW(CQ_RTFReader(1252).v_ReadBytes(Doc("a\\par b\\par c\\'zz"), lines), int);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));
}

TEST(RTFReader, MissingFileRaisesAFileException) {
  std::vector<std::string> lines;
  try {
    CQ_RTFReader(1252).v_ReadFile(DataPath("no-such-file.rtf"), lines);
    FAIL() << "no exception";
  } catch (const Platform::CQ_FileException& e) {
    EXPECT_EQ(e.m_cause, Platform::CQ_FileException::fileNotFound);
    EXPECT_EQ(e.m_strFileName, DataPath("no-such-file.rtf"));
  }
}

TEST(RTFReader, ADirectoryRaisesAFileException) {
  std::vector<std::string> lines;
  EXPECT_THROW(CQ_RTFReader(1252).v_ReadFile(DataPath("resaved"), lines), Platform::CQ_FileException);
}

// Every prefix of a real file fails with one of the reader's codes: the
// empty one with 5050, those shorter than "{\rtf" with 5010, all others
// with 5020, until the prefix holds the document's closing brace.
class RTFTruncation : public ::testing::TestWithParam<const char*> {};

TEST_P(RTFTruncation, EveryPrefixFailsCleanly) {
  const std::string bytes = ReadBytes(DataPath(GetParam()));
  ASSERT_GT(bytes.size(), 100u);
  const std::size_t closing = bytes.rfind('}');
  const std::vector<std::string> whole = [&] {
    std::vector<std::string> lines;
    CQ_RTFReader(1252).v_ReadBytes(bytes, lines);
    return lines;
  }();
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    CQ_RTFReader reader(1252);
    std::vector<std::string> lines;
    int code = Result::OK;
    try {
      reader.v_ReadBytes(std::string_view(bytes).substr(0, length), lines);
    } catch (int c) {
      code = c;
    }
    const int expected = length == 0 ? CQ_RTFReader::RTF_EMPTY_FILE
                         : length < 5 ? CQ_RTFReader::RTF_NOT_RTF
                         : length <= closing ? CQ_RTFReader::RTF_PARSER_ERROR
                                             : 0;
    ASSERT_EQ(code, expected) << "prefix of " << length << " bytes";
    if (expected == 0) {
      EXPECT_EQ(lines, whole);
    }
    ASSERT_LE(lines.size(), whole.size()) << "prefix of " << length << " bytes";
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RTFTruncation,
                         ::testing::Values("sample-1252.rtf", "sample-932.rtf", "resaved/sample-1254.rtf"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return "file" + std::to_string(info.index);
                         });

}  // namespace
