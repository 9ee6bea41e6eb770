// The text and RTF writers: golden documents for the ten code pages, the
// header's variable parts, the line conversion (escapes, tag groups,
// double-byte text), and the file layer (buffer boundaries, failures leave
// nothing behind).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "System/Platform/FileException.h"
#include "forward/writers/WritersTestSupport.h"
#include "kernel/forward/KWXFileWriter.h"
#include "kernel/forward/KWXRTFWriter.h"
#include "kernel/forward/KWXTextWriter.h"

using namespace writers_test;

namespace {

// ---------------------------------------------------------------------------
// Golden documents
// ---------------------------------------------------------------------------

struct GoldenRow {
  const char* name;  // <name>.kwx in, <name>.rtf expected
  int source;
  int target;
  bool a4;
};

const GoldenRow kGoldenRows[] = {
    {"cp1252_a4", 1252, 1252, true},  {"cp1252_to1250_letter", 1252, 1250, false},
    {"cp1250", 1250, 1252, true},     {"cp1251", 1251, 1251, false},
    {"cp1253", 1253, 1252, true},     {"cp1254", 1254, 1254, false},
    {"cp1257", 1257, 1252, true},     {"cp932", 932, 1252, true},
    {"cp936", 936, 936, false},       {"cp949", 949, 932, true},
    {"cp950", 950, 1252, false},
};

void PrintTo(const GoldenRow& row, std::ostream* out) { *out << row.name; }

class RTFGoldenTest : public ScratchDir, public ::testing::WithParamInterface<GoldenRow> {};

TEST_P(RTFGoldenTest, PreparedListWritesTheExpectedDocument) {
  const GoldenRow& row = GetParam();
  const std::string expected = ReadBytes(DataDir() + row.name + ".rtf");
  ASSERT_FALSE(expected.empty()) << "missing golden file " << row.name << ".rtf";

  CQ_StringList lines = ReadLines(DataDir() + row.name + ".kwx");
  ASSERT_EQ(18u, lines.size()) << row.name;
  const CQ_StringList original = lines;
  CQ_KWXRTFWriter::sv_PrepareLines(lines, row.source);
  CQ_KWXRTFWriter::sv_Write(dir_ + "two_steps.rtf", lines, row.a4, row.source, row.target, true);
  EXPECT_TRUE(SameBytes(expected, ReadBytes(dir_ + "two_steps.rtf"))) << row.name;

  // Converting while writing gives the same bytes from the raw list.
  CQ_KWXRTFWriter::sv_PrepareAndWrite(dir_ + "one_pass.rtf", original, row.a4, row.source, row.target, true);
  EXPECT_TRUE(SameBytes(expected, ReadBytes(dir_ + "one_pass.rtf"))) << row.name;
  EXPECT_EQ((std::vector<std::string>{"one_pass.rtf", "two_steps.rtf"}), Entries()) << row.name;
}

INSTANTIATE_TEST_SUITE_P(CodePages, RTFGoldenTest, ::testing::ValuesIn(kGoldenRows),
                         [](const auto& info) { return std::string(info.param.name); });

class TextWriterTest : public ScratchDir {};
class OutputFileTest : public ScratchDir {};

TEST_F(TextWriterTest, WritesEachLineWithCarriageReturnAndLineFeed) {
  const CQ_StringList lines = ReadLines(DataDir() + "cp932.kwx");
  CQ_KWXTextWriter::sv_Write(dir_ + "out.txt", lines);
  EXPECT_TRUE(SameBytes(ReadBytes(DataDir() + "cp932.txt"), ReadBytes(dir_ + "out.txt")));

  CQ_KWXTextWriter::sv_Write(dir_ + "small.txt", std::vector<std::string>{"a\\b{c}", "", "<ps \"x\" 1>\xe9"});
  EXPECT_EQ("a\\b{c}\r\n\r\n<ps \"x\" 1>\xe9\r\n", ReadBytes(dir_ + "small.txt"));
}

// ---------------------------------------------------------------------------
// Header
// ---------------------------------------------------------------------------

TEST(RTFHeaderTest, FontTableSizesAndPaperFollowTheArguments) {
  struct Row {
    int source, target;
    bool a4, portrait;
    std::vector<std::string> contains;
    std::vector<std::string> lacks;
  };
  const Row rows[] = {
      {1252, 1252, true, true,
       {"{\\f3 \\froman\\fcharset0\\fprq2 Times New Roman;}}\n{\\colortbl ",
        "}}\n\\paperw11907\\paperh16840\\pard\\plain\\s0\\sb0\\slmult1\\widctlpar\\fs20\\f3 \n"},
       {"\\f4"}},
      {1252, 1250, false, true,
       {"Times New Roman;}\n{\\f4 \\froman\\fcharset238\\fprq2 Times New Roman CE;}}\n{\\colortbl ",
        "\\paperw12242\\paperh15842\\pard"},
       {"\\landscape"}},
      // An unsupported target code page gets the roman font of 1252.
      {1250, 65001, true, true, {"{\\f4 \\froman\\fcharset0\\fprq2 Times New Roman;}}\n"}, {}},
      {936, 936, true, false,
       {"{\\s0 \\sb0\\slmult1\\widctlpar\\fs21\\f3 \\snext0 Normal;}\n",
        "\\paperw16840\\paperh11907\\landscape\\pard\\plain\\s0\\sb0\\slmult1\\widctlpar\\fs21\\f3 \n"},
       {"\\fs20", "\\f4"}},
      {950, 1252, false, false,
       {"{\\s0 \\sb0\\slmult1\\widctlpar\\fs24\\f3 \\snext0 Normal;}\n",
        "\\paperw15842\\paperh12242\\landscape\\pard\\plain\\s0\\sb0\\slmult1\\widctlpar\\fs24\\f3 \n",
        "{\\f4 \\froman\\fcharset0\\fprq2 Times New Roman;}}\n"},
       {"\\fs20"}},
      // An unsupported source code page is written with the tables of 1252.
      {0, 0, true, true, {"{\\rtf1\\ansi\\ansicpg1252 \\deff3\\deflang1024 \n{\\fonttbl \n{\\f1 \\fmodern\\fcharset0"}, {}},
  };
  for (const Row& row : rows) {
    const std::string header = CQ_KWXRTFWriter::sccs_Header(row.a4, row.source, row.target, row.portrait);
    for (const std::string& part : row.contains) {
      EXPECT_NE(std::string::npos, header.find(part))
          << "source " << row.source << " target " << row.target << " a4 " << row.a4 << " lacks: " << part;
    }
    for (const std::string& part : row.lacks) {
      EXPECT_EQ(std::string::npos, header.find(part))
          << "source " << row.source << " target " << row.target << " holds: " << part;
    }
  }
}

TEST(RTFHeaderTest, TenCodePagesAreSupported) {
  for (int page : {932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1257}) {
    EXPECT_TRUE(CQ_KWXRTFWriter::sb_IsSupportedCodePage(page)) << page;
  }
  for (int page : {0, 1255, 1256, 65001}) EXPECT_FALSE(CQ_KWXRTFWriter::sb_IsSupportedCodePage(page)) << page;
}

// ---------------------------------------------------------------------------
// Line conversion
// ---------------------------------------------------------------------------

const std::string kOpening = "\\pard\\plain\\s0\\sb0\\slmult1\\widctlpar\\fs20\\f3 ";
const std::string kExt = "{\\cs5\\cf15\\f1\\lang1024 ";
const std::string kInt = "{\\cs6\\cf6\\f1\\lang1024 ";

TEST(RTFLinePreparerTest, ConvertsOneLine) {
  struct Row {
    std::string line, expected;  // expected without the paragraph opening
  };
  const Row rows[] = {
      {"<ps \"Body\" 2>a<:t>b", kExt + "<ps \"Body\" 2>}a" + kInt + "<:t>}b"},
      {"a > b", "a > b"},  // a stray ">" opens no group and closes none
      {"a > <:t> >", "a > " + kInt + "<:t>} >"},
      {"x\\y{z}", "x\\'5cy\\'7bz\\'7d"},
      {"a\tb", "a\\tab b"},
      {"\xe9\x80\xff\x7f", "\\'e9\\'80\\'ff\x7f"},
      {"<ps \"a<:lt>b\" 3>t", kExt + "<ps \"a<:lt>b\" 3>}t"},  // nested brackets: one group
      {"<:xr \"See {1}\" 4>", kInt + "<:xr \"See \\'7b1\\'7d\" 4>}"},
      {"<#imk>", kExt + "<#imk>}"},
      // Double-byte text: trail bytes 0x5C, 0x7B, 0x7D are escaped like any
      // backslash or brace, ASCII-range trail bytes stay letters.
      {"\x95\x5c\x94\x7b\x93\x7d\x83\x74", "\\'95\\'5c\\'94\\'7b\\'93\\'7d\\'83t"},
      {"", ""},
  };
  for (const Row& row : rows) {
    CQ_RTFLinePreparer preparer(1252);
    EXPECT_EQ(kOpening + row.expected, preparer.ccs_Convert(row.line)) << "line: " << row.line;
    EXPECT_FALSE(preparer.b_GroupOpen()) << "line: " << row.line;
  }
}

TEST(RTFLinePreparerTest, TagStateCarriesOverLinesAndAnOpenGroupIsClosedAtTheEnd) {
  CQ_StringList lines = {"<ps \"a", "b\" 1>text <", ":t>x", "tail <ps"};
  CQ_KWXRTFWriter::sv_PrepareLines(lines, 1252);
  EXPECT_EQ(kOpening + kExt + "<ps \"a", lines[0]);
  EXPECT_EQ(kOpening + "b\" 1>}text " + kExt + "<", lines[1]);  // next byte unknown: external style
  EXPECT_EQ(kOpening + ":t>}x", lines[2]);
  EXPECT_EQ(kOpening + "tail " + kExt + "<ps}", lines[3]);

  const std::string opening936 = "\\pard\\plain\\s0\\sb0\\slmult1\\widctlpar\\fs21\\f3 ";
  CQ_StringList chinese = {"\xba\x5c"};
  CQ_KWXRTFWriter::sv_PrepareLines(chinese, 936);
  EXPECT_EQ(opening936 + "\\'ba\\'5c", chinese[0]);
  EXPECT_EQ("\\pard\\plain\\s0\\sb0\\slmult1\\widctlpar\\fs24\\f1 ", CQ_KWXRTFWriter::sccs_ParagraphOpening(950, 1));
}

// ---------------------------------------------------------------------------
// The file layer
// ---------------------------------------------------------------------------

TEST_F(OutputFileTest, LineEndsSurviveTheBufferBoundary) {
  // Lines whose ends fall on and around the 4096-byte buffer edge; the
  // expected file is built independently.
  std::vector<std::string> lines;
  std::string expected;
  for (std::size_t length : {4094u, 4095u, 4096u, 4097u, 1u, 8191u, 0u, 12000u}) {
    std::string line;
    for (std::size_t i = 0; i < length; ++i) line += static_cast<char>('a' + (i * 7 + length) % 26);
    lines.push_back(line);
    expected += line + "\r\n";
  }
  lines.push_back(std::string(5000, 'x') + "\n" + std::string(10, 'y'));  // an inner line feed
  expected += std::string(5000, 'x') + "\r\n" + std::string(10, 'y') + "\r\n";
  CQ_KWXTextWriter::sv_Write(dir_ + "big.txt", lines);
  EXPECT_TRUE(SameBytes(expected, ReadBytes(dir_ + "big.txt")));
}

TEST_F(OutputFileTest, EveryLineFeedBecomesCarriageReturnAndLineFeedWhereverItFalls) {
  // Pieces of every length up to twenty, and now and then pieces of many
  // lines short and long (up to 70000 bytes, more than the buffer), with
  // line feeds anywhere (alone, in runs, at the first and last byte, on and
  // across eight-byte steps), written through every entry point, enough to
  // fill the buffer several times; the expected file is built byte by byte.
  std::string expected;
  {
    CQ_KWXFileWriter file(dir_ + "pieces.txt");
    unsigned state = 2024;
    for (int k = 0; k < 40000; ++k) {
      state = state * 1103515245u + 12345u;
      const bool many = k % 97 == 0;
      std::string piece(many ? (k % 5 == 0 ? 70000 : 100 + (state >> 16) % 900) : (state >> 16) % 21, 'a');
      // Line feeds one byte in five, or in a piece of many lines one in
      // two to one in sixty.
      const unsigned every = many ? 2 + (state >> 8) % 59 : 5;
      for (std::size_t i = 0; i < piece.size(); ++i) {
        state = state * 1103515245u + 12345u;
        piece[i] = (state >> 20) % every == 0 ? '\n' : static_cast<char>('a' + (state >> 12) % 26);
      }
      for (const char c : piece) {
        if (c == '\n') expected += '\r';
        expected += c;
      }
      switch (k % 3) {
        case 0:
          file.v_Write(piece);
          break;
        case 1:
          file.v_WriteLine(piece);
          expected += "\r\n";
          break;
        default:
          for (const char c : piece) file.v_Write(c);
          break;
      }
    }
    file.v_Commit();
  }
  ASSERT_GT(expected.size(), 3 * CQ_KWXFileWriter::BUFFER_SIZE);
  EXPECT_TRUE(SameBytes(expected, ReadBytes(dir_ + "pieces.txt")));
}

TEST_F(OutputFileTest, ReplacesAnExistingFileWhole) {
  CQ_KWXTextWriter::sv_Write(dir_ + "f.txt", std::vector<std::string>(100, "a long line of old text"));
  CQ_KWXTextWriter::sv_Write(dir_ + "f.txt", std::vector<std::string>{"new"});
  EXPECT_EQ("new\r\n", ReadBytes(dir_ + "f.txt"));
  EXPECT_EQ(std::vector<std::string>{"f.txt"}, Entries());
}

TEST_F(OutputFileTest, FailuresRaiseFileExceptionsNamingTheFileAndLeaveNothing) {
  struct Row {
    std::string path;
    int cause;
  };
  std::filesystem::create_directory(dir_ + "taken.rtf");
  const Row rows[] = {
      {dir_ + "missing/out.rtf", Platform::CQ_FileException::fileNotFound},
      {dir_ + "taken.rtf", Platform::CQ_FileException::accessDenied},  // a folder of that name
      {dir_, Platform::CQ_FileException::accessDenied},                // no file name at all
  };
  const CQ_StringList lines = {"<kwx \"F3.00\">", "</kwx>"};
  for (const Row& row : rows) {
    for (int format = 0; format < 2; ++format) {
      try {
        if (format == 0) CQ_KWXTextWriter::sv_Write(row.path, lines);
        else CQ_KWXRTFWriter::sv_PrepareAndWrite(row.path, lines, true, 1252, 1252, true);
        ADD_FAILURE() << "no exception for " << row.path << ", format " << format;
      } catch (const Platform::CQ_FileException& e) {
        EXPECT_EQ(row.cause, e.m_cause) << row.path;
        EXPECT_EQ(row.path, e.m_strFileName) << row.path;
      }
    }
    EXPECT_EQ(std::vector<std::string>{"taken.rtf"}, Entries()) << "left behind after " << row.path;
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "taken.rtf"));
}

}  // namespace
