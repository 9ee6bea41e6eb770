// What word processors write for characters, one row per control word:
// each gives the character or KWX tag it stands for, or is recorded as a
// character the code page cannot hold, and nothing disappears silently.
// Also the KWX reader's treatment of paragraph breaks typed inside running
// text, and the line numbers of recorded characters.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "ReaderTestSupport.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/backward/RTFReader.h"

namespace {

using namespace reader_test;

std::string Doc(const std::string& body, int codePage = 1252) {
  return "{\\rtf1\\ansi\\ansicpg" + std::to_string(codePage) + " \\deff3{\\fonttbl{\\f3\\fcharset0 T;}}" +
         "\\pard\\plain\\f3 " + body + "}";
}

struct Row {
  const char* word;   // the control word (or the "\uN" written for the character)
  int codePage;
  std::string rtf;    // "x" + control word + "y" in a document
  std::vector<std::string> lines;
  std::vector<char32_t> recorded;  // characters left out and recorded
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.word << " in " << r.codePage; }

Row Make(const char* word, int codePage, const std::string& control, std::vector<std::string> lines,
         std::vector<char32_t> recorded = {}) {
  return {word, codePage, Doc("x" + control + "y", codePage), std::move(lines), std::move(recorded)};
}

std::vector<Row> Rows() {
  return {
      // line structure
      Make("line", 1252, "\\line ", {"x", "<:hr>y"}),
      Make("line", 932, "\\line ", {"x", "<:hr>y"}),
      Make("par", 1252, "\\par ", {"x", "y"}),
      Make("page", 1252, "\\page ", {"x", "y"}),
      Make("column", 1252, "\\column ", {"x", "y"}),
      Make("sect", 1252, "\\sect ", {"x", "y"}),
      Make("tab", 1252, "\\tab ", {"x\ty"}),
      Make("tab", 949, "\\tab ", {"x\ty"}),
      // FrameMaker's special characters, whatever the code page
      Make("~", 1252, "\\~", {"x<:hs>y"}),
      Make("~", 936, "\\~", {"x<:hs>y"}),
      Make("-", 1250, "\\-", {"x<:dh>y"}),
      Make("-", 950, "\\-", {"x<:dh>y"}),
      Make("_", 1251, "\\_", {"x<:hh>y"}),
      Make("_", 932, "\\_", {"x<:hh>y"}),
      Make("emspace", 1252, "\\emspace ", {"x<:ems>y"}),
      Make("enspace", 1253, "\\enspace ", {"x<:ens>y"}),
      Make("qmspace", 949, "\\qmspace ", {"x<:ts>y"}),
      // the same characters written as "\uN" by a word processor
      Make("u160", 1252, "\\u160\\'a0", {"x<:hs>y"}),
      Make("u173", 1257, "\\u173\\'ad", {"x<:dh>y"}),
      Make("u8209", 1252, "\\u8209-", {"x<:hh>y"}),
      Make("u8194", 932, "\\u8194?", {"x<:ens>y"}),
      Make("u8195", 1254, "\\u8195?", {"x<:ems>y"}),
      Make("u8199", 1252, "\\u8199?", {"x<:ns>y"}),
      Make("u8201", 950, "\\u8201?", {"x<:ts>y"}),
      Make("u8232", 1252, "\\u8232?", {"x", "<:hr>y"}),
      // typographic characters: the code page's bytes where it has them
      Make("bullet", 1252, "\\bullet ", {"x\x95y"}),
      Make("bullet", 932, "\\bullet ", {"xy"}, {U'\u2022'}),
      Make("endash", 1250, "\\endash ", {"x\x96y"}),
      Make("endash", 932, "\\endash ", {"xy"}, {U'\u2013'}),
      Make("endash", 936, "\\endash ", {"x\xa8\x43y"}),
      Make("emdash", 1253, "\\emdash ", {"x\x97y"}),
      Make("emdash", 932, "\\emdash ", {"x\x81\x5cy"}),
      Make("emdash", 949, "\\emdash ", {"xy"}, {U'\u2014'}),
      Make("lquote", 1257, "\\lquote ", {"x\x91y"}),
      Make("rquote", 932, "\\rquote ", {"x\x81\x66y"}),
      Make("ldblquote", 950, "\\ldblquote ", {"x\xa1\xa7y"}),
      Make("rdblquote", 1252, "\\rdblquote ", {"x\x94y"}),
      // quotes a code page lacks become their tags
      Make("u8222", 932, "\\u8222?", {"x<:glq>y"}),
      Make("u171", 932, "\\u171?", {"x<:flq>y"}),
      Make("u187", 949, "\\u187?", {"x<:frq>y"}),
      // format characters no supported code page holds: recorded
      Make("zwj", 1252, "\\zwj ", {"xy"}, {U'\u200D'}),
      Make("zwnj", 932, "\\zwnj ", {"xy"}, {U'\u200C'}),
      Make("ltrmark", 1252, "\\ltrmark ", {"xy"}, {U'\u200E'}),
      Make("rtlmark", 1252, "\\rtlmark ", {"xy"}, {U'\u200F'}),
      Make("zwbo", 936, "\\zwbo ", {"xy"}, {U'\u200B'}),
      Make("zwnbo", 1250, "\\zwnbo ", {"xy"}, {U'\uFEFF'}),
      // Western symbols typed into an Asian translation: the fallback byte
      // of a 1252 font never stands in
      Make("u169", 932, "\\u169\\'a9", {"xy"}, {U'\u00A9'}),
      Make("u8482", 932, "\\u8482\\'99", {"xy"}, {U'\u2122'}),
      Make("u8226", 936, "\\u8226\\'95", {"xy"}, {U'\u2022'}),
      Make("u8482", 949, "\\u8482\\'99", {"x\xa2\xe2y"}),
      Make("u1078", 1252, "\\u1078\\'3f", {"xy"}, {U'\u0436'}),
      Make("u233", 1251, "\\u233\\'e9", {"xy"}, {U'\u00E9'}),
      // a character beyond the first 65536, as a surrogate pair
      Make("u-10176 u-9205", 932, "\\u-10176?\\u-9205?", {"xy"}, {U'\U0002000B'}),
      Make("u-10176 alone", 932, "\\u-10176?", {"xy"}, {char32_t{0xD840}}),
  };
}

class ControlWords : public ::testing::TestWithParam<Row> {};

TEST_P(ControlWords, GiveTheirCharacterOrTagOrAreRecorded) {
  const Row& row = GetParam();
  CQ_RTFReader reader(row.codePage);
  std::vector<std::string> lines;
  ASSERT_NO_THROW(reader.v_ReadBytes(row.rtf, lines)) << Visible(row.rtf);
  EXPECT_TRUE(SameLines(row.lines, lines)) << Visible(row.rtf);
  std::vector<char32_t> recorded;
  for (const st_UnrepresentableCharacter& c : reader.rco_GetUnrepresentable()) {
    recorded.push_back(c.c_Character);
    EXPECT_EQ(c.n_Line, 1u) << Visible(row.rtf);
  }
  EXPECT_EQ(recorded, row.recorded) << Visible(row.rtf);
}

INSTANTIATE_TEST_SUITE_P(Table, ControlWords, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           std::string name = std::string("r") + std::to_string(info.index) + "_";
                           for (const char* p = info.param.word; *p; ++p) {
                             name += (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
                           }
                           return name + "_" + std::to_string(info.param.codePage);
                         });

TEST(RTFReaderRecords, LineNumbersCountDeliveredLines) {
  CQ_RTFReader reader(932);
  std::vector<std::string> lines;
  reader.v_ReadBytes(Doc("a\\par \\par b\\u169?c\\par \\u8482? d\\u8226?", 932), lines);
  EXPECT_TRUE(SameLines({"a", "bc", " d"}, lines));
  ASSERT_EQ(reader.rco_GetUnrepresentable().size(), 3u);
  EXPECT_EQ(reader.rco_GetUnrepresentable()[0].n_Line, 2u);
  EXPECT_EQ(reader.rco_GetUnrepresentable()[1].n_Line, 3u);
  EXPECT_EQ(reader.rco_GetUnrepresentable()[2].n_Line, 3u);
  // A second read starts afresh.
  reader.v_ReadBytes(Doc("plain", 932), lines);
  EXPECT_TRUE(reader.rco_GetUnrepresentable().empty());
}

// --- paragraph breaks inside running text, through the KWX reader ---------

struct BreakRow {
  const char* what;
  std::string body;  // RTF body after the six header lines
  std::vector<std::string> lines;  // the lines after the header
};

void PrintTo(const BreakRow& r, std::ostream* os) { *os << r.what; }

std::string KWXDoc(const std::string& body) {
  return Doc("<kwx \"F3.00\">\\par <sourcecharset \"Normal\">\\par <sourcelanguage \"English (US)\">\\par "
             "<sourcehyphenation \"Turn Off\">\\par <sourcequotes \"As Text\">\\par <sourcepath \"x.mif\">\\par " +
             body);
}

class TypedBreaks : public ::testing::TestWithParam<BreakRow> {};

TEST_P(TypedBreaks, NeverGlueWords) {
  const BreakRow& row = GetParam();
  const std::string path = TempPath("typed-breaks.rtf");
  WriteBytes(path, KWXDoc(row.body));
  std::vector<std::string> lines;
  std::vector<st_UnrepresentableCharacter> recorded;
  CQ_KWXReader::sv_ReadKWXLines(path, ".rtf", lines, 1252, &recorded);
  std::remove(path.c_str());
  ASSERT_GE(lines.size(), 6u);
  EXPECT_TRUE(SameLines(row.lines, std::vector<std::string>(lines.begin() + 6, lines.end())));
  EXPECT_TRUE(recorded.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TypedBreaks,
    ::testing::Values(
        BreakRow{"par inside a paragraph's text", "<tr 1>\\par <ps \"Body\" 1>LBX\\par X Consortium\\par </tr>",
                 {"<tr 1>", "<ps \"Body\" 1>LBX", "<:hr>X Consortium", "</tr>"}},
        BreakRow{"line inside a paragraph's text", "<ps \"Body\" 1>LBX\\line X Consortium",
                 {"<ps \"Body\" 1>LBX", "<:hr>X Consortium"}},
        BreakRow{"two breaks after an internal tag", "<ps \"Body\" 1>a<:b>\\par b\\par c<:/b>",
                 {"<ps \"Body\" 1>a<:b>", "<:hr>b", "<:hr>c<:/b>"}},
        BreakRow{"break right after a hard return line", "<ps \"Body\" 1>a\\par <:hr>b\\par c",
                 {"<ps \"Body\" 1>a", "<:hr>b", "<:hr>c"}},
        BreakRow{"a format text on its own line stays", "<xrfmt \"See\">\\par see <:bb \"$pagenum\">\\par <bb \"V\">",
                 {"<xrfmt \"See\">", "see <:bb \"$pagenum\">", "<bb \"V\">"}},
        BreakRow{"a break inside a format text", "<vfmt \"Firm\">\\par M\\par ller\\par </kwx>",
                 {"<vfmt \"Firm\">", "M", "<:hr>ller", "</kwx>"}},
        BreakRow{"a break right after the paragraph tag", "<ps \"Body\" 1>\\par text",
                 {"<ps \"Body\" 1>", "text"}}),
    [](const ::testing::TestParamInfo<BreakRow>& info) { return "row" + std::to_string(info.index); });

TEST(TypedBreaks, TextFormIsReadAsItStands) {
  const std::string path = TempPath("typed-breaks.txt");
  WriteBytes(path, "<ps \"Body\" 1>LBX\r\nX Consortium\r\n");
  std::vector<std::string> lines;
  CQ_KWXReader::sv_ReadKWXLines(path, ".txt", lines, 1252);
  std::remove(path.c_str());
  EXPECT_TRUE(SameLines({"<ps \"Body\" 1>LBX", "X Consortium"}, lines));
}

TEST(TypedBreaks, RecordedLinesCountTheWholeList) {
  const std::string path = TempPath("recorded.rtf");
  WriteBytes(path, KWXDoc("<ps \"Body\" 1>a\\u8482\\'99 b\\par c\\u169\\'a9"));
  std::vector<std::string> lines = {"already there"};
  std::vector<st_UnrepresentableCharacter> recorded;
  CQ_KWXReader::sv_ReadKWXLines(path, ".RTF", lines, 932, &recorded);
  std::remove(path.c_str());
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[7], "<ps \"Body\" 1>a b");
  EXPECT_EQ(lines[8], "<:hr>c");
  ASSERT_EQ(recorded.size(), 2u);
  EXPECT_EQ(recorded[0].n_Line, 8u);
  EXPECT_EQ(recorded[0].c_Character, U'\u2122');
  EXPECT_EQ(recorded[1].n_Line, 9u);
  EXPECT_EQ(recorded[1].c_Character, U'\u00A9');
}

}  // namespace
