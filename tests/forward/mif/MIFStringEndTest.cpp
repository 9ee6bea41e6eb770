// Where a MIF string ends. MIF has no escape "\'" (an apostrophe in a
// string is "\q"), so a backslash right before the last apostrophe of a
// line is the second byte 0x5C of a double-byte character, written raw as
// FrameMaker writes double-byte text, and the apostrophe closes the string.
// Otherwise a backslash escapes the byte after it, as before.
#include <gtest/gtest.h>

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

}  // namespace
