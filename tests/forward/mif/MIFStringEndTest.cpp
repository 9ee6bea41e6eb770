// Where a MIF string ends. MIF has no escape "\'" (an apostrophe in a
// string is "\q"), so a backslash right before the last apostrophe of a
// line is the second byte 0x5C of a double-byte character, written raw as
// FrameMaker writes double-byte text, and the apostrophe closes the string.
// Otherwise a backslash escapes the byte after it, as before.
#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>

#include "kernel/forward/MIFSyntax.h"

namespace {

struct Row {
  const char* what;
  std::string line;
  int depth;            // the line's net depth
  std::string content;  // the string's content
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.what; }

class MIFStringEnd : public ::testing::TestWithParam<Row> {};

TEST_P(MIFStringEnd, DepthValueAndContentAgree) {
  const Row& row = GetParam();
  EXPECT_EQ(MIFSyntax::NetDepth(row.line), row.depth);
  std::string_view content;
  ASSERT_TRUE(MIFSyntax::StringValueView(row.line, content));
  EXPECT_EQ(std::string(content), row.content);
  EXPECT_EQ(std::string(MIFSyntax::Value(row.line)), "`" + row.content + "'");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MIFStringEnd,
    ::testing::Values(
        Row{"plain", "<String `abc'>", 0, "abc"},
        Row{"escaped backslash before the end", "<String `a\\\\'>", 0, "a\\\\"},
        Row{"Shift-JIS second byte 0x5C before the end", "<String `\x95\x5c'>", 0, "\x95\x5c"},
        Row{"two such characters", "<String `\x95\x5c\x83\x5c'>", 0, "\x95\x5c\x83\x5c"},
        Row{"Big5 second byte before the end, statement open", "<MText `\xb3\x5c'", 1, "\xb3\x5c"},
        Row{"escaped apostrophe is \\q", "<String `it\\qs'>", 0, "it\\qs"},
        Row{"a backslash and apostrophe before a later apostrophe stay escaped", "<String `a\\'b'>", 0,
            "a\\'b"},
        Row{"brackets inside the string", "<String `<\\>\x95\x5c'>", 0, "<\\>\x95\x5c"}),
    [](const ::testing::TestParamInfo<Row>& info) { return "row" + std::to_string(info.index); });

// The content found byte by byte, as the reader always did: a backslash
// takes the byte after it, unless that byte is the line's last apostrophe.
std::string ReferenceContent(std::string_view line) {
  const std::size_t open = line.find('`');
  std::size_t i = open + 1;
  for (; i < line.size(); ++i) {
    if (line[i] == '\\' &&
        !(i + 1 < line.size() && line[i + 1] == '\'' && line.find('\'', i + 2) == std::string_view::npos)) {
      ++i;
    } else if (line[i] == '\'') {
      break;
    }
  }
  if (i > line.size()) i = line.size();
  return std::string(line.substr(open + 1, i - open - 1));
}

// Random strings of the bytes that matter (backslashes, apostrophes, and
// a few others) after the backquote: the content found by runs agrees
// with the byte-by-byte reading, whatever the runs of backslashes.
TEST(MIFStringEndRandom, ContentMatchesByteByByteReading) {
  std::mt19937 random(20261209);
  const char bytes[] = {'\\', '\\', '\'', '\'', 'a', '>', '\x5c', '\x95', ' '};
  for (int round = 0; round < 20000; ++round) {
    std::string line = "<String `";
    const int size = static_cast<int>(random() % 12);
    for (int k = 0; k < size; ++k) line.push_back(bytes[random() % sizeof bytes]);
    if (random() % 2 == 0) line.append("'>");
    std::string_view content;
    ASSERT_TRUE(MIFSyntax::StringValueView(line, content));
    ASSERT_EQ(std::string(content), ReferenceContent(line)) << line;
  }
  std::string_view none;
  EXPECT_FALSE(MIFSyntax::StringValueView("<PgfTag Body>", none));
}

// A statement name is matched whole, in place, against the name cut out.
TEST(MIFKeyword, HasKeywordMatchesTheNameCutOut) {
  const char* lines[] = {"<Para", "<Para ", "<ParaLine", "<Pgf", "<PgfTag `Body'>", "<P", "<", "",
                         "Para", "<Para>", "<Para\t<x>", "> # end of Para", "<TblID 3>", "<Tbl"};
  const char* keywords[] = {"Para", "ParaLine", "P", "PgfTag", "Tbl", "TblID", "Pgf"};
  for (const char* line : lines) {
    for (const char* keyword : keywords) {
      EXPECT_EQ(MIFSyntax::HasKeyword(line, keyword), MIFSyntax::Keyword(line) == keyword)
          << line << " / " << keyword;
    }
  }
}

// The name is cut out where a byte-by-byte reading cuts it, on random lines
// of name bytes, every byte that ends a name, control bytes that do not,
// and bytes from 0x80 up, at every place of a word read eight at a time.
TEST(MIFKeyword, NameEndsWhereTheByteByByteReadingEndsIt) {
  const auto reference = [](std::string_view line) -> std::string_view {
    if (line.empty() || line.front() != '<') return {};
    std::size_t e = 1;
    while (e < line.size() && std::string_view(" \t\r\n\v\f<>").find(line[e]) == std::string_view::npos) ++e;
    return line.substr(1, e - 1);
  };
  const std::string bytes = std::string("PgfTagStringz09_.-`'#&=") + " \t\r\n\v\f<>" + std::string("\x01\x08\x0e\x1f\x20\x21\x3b\x3d\x3f\x7f\x80\xa0\xbc\xbe\xff", 15);
  std::mt19937 random(9122026);
  std::uniform_int_distribution<std::size_t> pick(0, bytes.size() - 1);
  std::uniform_int_distribution<int> nameLength(0, 24);
  std::uniform_int_distribution<int> restLength(0, 12);
  std::size_t longNames = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string line = "<";
    // Mostly letters, so that names run past one word.
    for (int i = nameLength(random); i > 0; --i) line += static_cast<char>('A' + random() % 26);
    for (int i = restLength(random); i > 0; --i) line += bytes[pick(random)];
    if (round % 5 == 0 && line.size() > 1) line[1 + random() % (line.size() - 1)] = bytes[pick(random)];
    const std::string_view expect = reference(line);
    ASSERT_EQ(MIFSyntax::Keyword(line), expect) << testing::PrintToString(line);
    if (expect.size() >= 8) ++longNames;
  }
  EXPECT_GT(longNames, 1000u);
  const struct {
    const char* line;
    const char* name;
  } rows[] = {{"<PgfTag `Body'>", "PgfTag"},         {"<Para", "Para"},
              {"<TextRectID 5>", "TextRectID"},      {"<PgfNumberingFormatString `x'>", "PgfNumberingFormatString"},
              {"<ABCDEFGH>", "ABCDEFGH"},            {"<ABCDEFG>", "ABCDEFG"},
              {"<ABCDEFGHIJKLMNOP\x01Q R>", "ABCDEFGHIJKLMNOP\x01Q"},
              {"<Name\x80\xffmore\tx", "Name\x80\xffmore"}, {"> # end of Para", ""},
              {"<", ""},                             {"<<", ""}};
  for (const auto& row : rows) EXPECT_EQ(MIFSyntax::Keyword(row.line), row.name) << row.line;
}

}  // namespace
