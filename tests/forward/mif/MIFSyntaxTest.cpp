// Line-level MIF syntax: depth counting, statement values compared across
// MIF 4.00's trailing blanks, strings, and lengths with their units.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <string_view>

#include "MIFTestSupport.h"
#include "kernel/forward/MIFSyntax.h"

namespace {

struct DepthRow {
  const char* line;
  int depth;
};

TEST(MIFSyntaxTest, NetDepthCountsBracketsOutsideStringsAndComments) {
  const DepthRow rows[] = {
      {"<Para", 1},
      {"<Para ", 1},
      {"> # end of Para", -1},
      {">", -1},
      {"<PgfTag `Body'>", 0},
      {"<String `a > b'>", 0},                  // '>' inside a string
      {"<String `a\\> b'>", 0},                 // escaped '>' inside a string
      {"<String `it\\'s <odd'>", 0},            // escaped quote keeps the string open
      {"<PgfNumFormat `F:Figure <n+\\>'>", 0},  // building block in a format
      {"<MIFFile 5.50> # Generated <by> hand", 0},
      {"<TextRect <ID 5>", 1},
      {"<Notes >", 0},
      {"&%v <<<<<<", 0},  // image data is never scanned
      {"=FrameImage", 0},
      {"# <comment>", 0},
      {"<MathFullForm `times[num[20,\"20\"],over[", 1},
      {"", 0},
  };
  for (const DepthRow& row : rows) EXPECT_EQ(MIFSyntax::NetDepth(row.line), row.depth) << row.line;
}

struct ValueRow {
  const char* line;
  const char* keyword;
  const char* value;
  bool expected;
};

TEST(MIFSyntaxTest, ValueIsComparesWordsWhateverTheBlanks) {
  const ValueRow rows[] = {
      {"<PageType ReferencePage >", "PageType", "ReferencePage", true},  // MIF 4.00
      {"<PageType ReferencePage>", "PageType", "ReferencePage", true},   // MIF 5
      {"<PageType  ReferencePage  >", "PageType", "ReferencePage", true},
      {"<PageType ReferencePages>", "PageType", "ReferencePage", false},
      {"<PageType Reference Page>", "PageType", "ReferencePage", false},
      {"<CState CHidden >", "CState", "CHidden", true},
      {"<Char SoftHyphen >", "Char", "SoftHyphen", true},
      {"<Char SoftHyphenX>", "Char", "SoftHyphen", false},
      {"<FChangeBar Yes>", "FChangeBar", "Yes", true},
      {"<FChangeBar No >", "FChangeBar", "Yes", false},
      {"<DAutoChBars Yes >", "DAutoChBars", "Yes", true},
      {"<PgfHyphenate Yes>", "FChangeBar", "Yes", false},
      {"<PageTypes BodyPage>", "PageType", "BodyPage", false},
      {"<PageType>", "PageType", "", true},
  };
  for (const ValueRow& row : rows) {
    EXPECT_EQ(MIFSyntax::ValueIs(row.line, row.keyword, row.value), row.expected)
        << row.line << " / " << row.keyword << " " << row.value;
  }
}

TEST(MIFSyntaxTest, KeywordValueAndString) {
  EXPECT_EQ(MIFSyntax::Keyword("<TblID 36>"), "TblID");
  EXPECT_EQ(MIFSyntax::Keyword("<Para"), "Para");
  EXPECT_EQ(MIFSyntax::Keyword("<TextRect <ID 5>"), "TextRect");
  EXPECT_EQ(MIFSyntax::Keyword("> # end of Para"), "");
  EXPECT_FALSE(MIFSyntax::HasKeyword("<TblID 36>", "Tbl"));
  EXPECT_EQ(MIFSyntax::Value("<ATbl 36>"), "36");
  EXPECT_EQ(MIFSyntax::Value("<PgfTag `a > b'>"), "`a > b'");
  EXPECT_EQ(MIFSyntax::Value("<MIFFile 5.50> # Generated"), "5.50");
  std::string s;
  ASSERT_TRUE(MIFSyntax::StringValue("<String `a\\>b\\q'>", s));
  EXPECT_EQ(s, "a\\>b\\q");
  ASSERT_TRUE(MIFSyntax::StringValue("<PgfTag `'>", s));
  EXPECT_EQ(s, "");
  EXPECT_FALSE(MIFSyntax::StringValue("<ID 5>", s));
}

struct LengthRow {
  const char* value;
  std::size_t count;
  double first;
  double second;
};

TEST(MIFSyntaxTest, LengthsReadWithTheirUnitsInPoints) {
  const LengthRow rows[] = {
      {" 0.75\" 1.092\" 7.0\" 1.287\"", 4, 54.0, 78.624},
      {"1.0\" 0.4489\"", 2, 72.0, 32.3208},
      {" 2.54 cm 5.08 cm", 2, 72.0, 144.0},
      {"25.4 mm 0 mm", 2, 72.0, 0.0},
      {"12.0 pt 3 pc", 2, 12.0, 36.0},
      {"1 in -0.5in", 2, 72.0, -36.0},
      {"10 point 1 pica", 2, 10.0, 12.0},
      {"7 5", 2, 7.0, 5.0},  // no unit: points
      {"", 0, 0, 0},
      {"`x'", 0, 0, 0},
  };
  for (const LengthRow& row : rows) {
    double v[4] = {0, 0, 0, 0};
    EXPECT_EQ(MIFSyntax::ParseLengths(row.value, v, 4), row.count) << row.value;
    if (row.count >= 2) {
      EXPECT_NEAR(v[0], row.first, 1e-9) << row.value;
      EXPECT_NEAR(v[1], row.second, 1e-9) << row.value;
    }
  }
  // Nearby objects stay apart: no rounding to hundredths of a centimetre.
  double a[2];
  double b[2];
  MIFSyntax::ParseLengths("1.0\" 1.0001\"", a, 2);
  MIFSyntax::ParseLengths("1.0\" 1.0002\"", b, 2);
  EXPECT_LT(a[1], b[1]);
}

TEST(MIFSyntaxTest, ChildrenOfABlock) {
  const CQ_MIFLines lines = {"<Frame", "<ID 3>", "<DashedPattern", "<DashedStyle Solid>", "> # end of DashedPattern",
                             "<TextLine", "<String `x'>", "> # end of TextLine", "> # end of Frame"};
  std::vector<std::pair<std::size_t, std::size_t>> children;
  MIFSyntax::ForEachChild(lines, 0, lines.size(), [&](std::size_t b, std::size_t e) { children.emplace_back(b, e); });
  const std::vector<std::pair<std::size_t, std::size_t>> expected = {{1, 2}, {2, 5}, {5, 8}};
  EXPECT_EQ(children, expected);
  std::string_view id;
  ASSERT_TRUE(MIFSyntax::ChildValue(lines, 0, lines.size(), "ID", id));
  EXPECT_EQ(id, "3");
  EXPECT_FALSE(MIFSyntax::ChildValue(lines, 0, lines.size(), "DashedStyle", id));  // not a direct child
  EXPECT_EQ(MIFSyntax::BlockEnd(lines, 2, lines.size()), 5u);
  EXPECT_EQ(MIFSyntax::BlockEnd(lines, 0, 4), 4u);  // does not close before the limit
}

// The depth count done the plain way, byte by byte: a backslash in a
// string escapes the byte after it, except an apostrophe that is the line's
// last; '#' outside strings ends the count.
int ReferenceNetDepth(std::string_view line) {
  if (line.empty() || line.front() == '&' || line.front() == '=' || line.front() == '#') return 0;
  int depth = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '<') {
      ++depth;
    } else if (c == '>') {
      --depth;
    } else if (c == '#') {
      break;
    } else if (c == '`') {
      std::size_t j = i + 1;
      for (; j < line.size(); ++j) {
        if (line[j] == '\\') {
          const bool lastApostrophe = j + 1 < line.size() && line[j + 1] == '\'' &&
                                      line.find('\'', j + 2) == std::string_view::npos;
          if (!lastApostrophe) {
            ++j;
            continue;
          }
        } else if (line[j] == '\'') {
          break;
        }
      }
      i = j;
    }
  }
  return depth;
}

TEST(MIFSyntaxTest, NetDepthAgreesWithAByteByByteCountOnRandomLines) {
  // Lines of every length up to 80 (several 16-byte blocks and a short
  // tail) from the bytes that matter and a few
  // that do not (including bytes next to them in value: ';', '=', '?',
  // '"', '$', '_', 'a' and 0xBC), read as views inside a larger buffer so
  // that the bytes around a line never count.
  const std::string alphabet = "<>#`'\\a =;?\"$_b\xBC\x3E\x3C";
  std::mt19937 random(20261208);
  std::string buffer;
  for (int round = 0; round < 20000; ++round) {
    const std::size_t size = random() % 81;
    buffer.assign(8, '<');
    for (std::size_t i = 0; i < size; ++i) buffer.push_back(alphabet[random() % alphabet.size()]);
    if (size > 0 && random() % 2 == 0) buffer[8] = '<';  // statements start with '<'
    buffer.append(8, '>');
    const std::string_view line(buffer.data() + 8, size);
    ASSERT_EQ(MIFSyntax::NetDepth(line), ReferenceNetDepth(line)) << '"' << line << '"';
  }
}

TEST(MIFSyntaxTest, NetDepthAgreesWithAByteByByteCountOnCorpusLines) {
  const std::vector<std::string> files = mif_test::ListFolder(MORVANE_CORPUS_DIR);
  std::size_t lines = 0;
  for (const std::string& name : files) {
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".mif") != 0) continue;
    const std::string text = mif_test::ReadFile(std::string(MORVANE_CORPUS_DIR) + "/" + name);
    std::size_t begin = 0;
    while (begin < text.size()) {
      std::size_t end = text.find_first_of("\r\n", begin);
      if (end == std::string::npos) end = text.size();
      const std::string_view line = MIFSyntax::Trim(std::string_view(text).substr(begin, end - begin));
      ASSERT_EQ(MIFSyntax::NetDepth(line), ReferenceNetDepth(line)) << name << ": " << line;
      ++lines;
      begin = end + 1;
    }
  }
  if (lines == 0) GTEST_SKIP() << "no corpus at " << MORVANE_CORPUS_DIR;
}

}  // namespace
