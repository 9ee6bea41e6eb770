// Paragraph text written by the block builder: String statements never
// longer than their limit nor cutting an escape in two, column statements
// at the unit positions the ORG paragraph had them, and text that reads
// back as the escaped translation; and the compact block lines of the MIF
// pass and the lines it reads the ORG text in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "kernel/backward/MIFBlockBuilder.h"
#include "kernel/forward/MIFLineReader.h"
#include "kernel/forward/MIFSyntax.h"

namespace {

// Units of escaped MIF string content: "\xNN ", a backslash and its byte,
// or one byte.
std::vector<std::string> UnitsOf(const std::string& escaped) {
  std::vector<std::string> units;
  std::size_t i = 0;
  while (i < escaped.size()) {
    std::size_t len = 1;
    if (escaped[i] == '\\' && i + 1 < escaped.size()) len = (escaped[i + 1] == 'x' && i + 4 < escaped.size()) ? 5 : 2;
    units.push_back(escaped.substr(i, len));
    i += len;
  }
  return units;
}

struct Written {
  std::vector<std::string> units;    // of each String read on its own, and of Char statements
  std::vector<std::size_t> columns;  // units before each TextRectID
  std::size_t strings = 0;
  std::vector<std::size_t> sizes;    // bytes of each String's content
};

// The escape a Char statement stands for.
const char* CharEscape(std::string_view name) { return name == "Tab" ? "\\x08 " : "?"; }

::testing::AssertionResult WellFormed(const CQ_MIFLines& out, Written& w) {
  for (const std::string& line : out) {
    if (MIFSyntax::HasKeyword(line, "TextRectID")) w.columns.push_back(w.units.size());
    if (MIFSyntax::HasKeyword(line, "Char")) w.units.push_back(CharEscape(MIFSyntax::Value(line)));
    if (!MIFSyntax::HasKeyword(line, "String")) continue;
    ++w.strings;
    std::string_view raw;
    if (!MIFSyntax::StringValueView(line, raw)) return ::testing::AssertionFailure() << "unreadable: " << line;
    if (raw.size() > CQ_MIFBlockBuilder::MAX_STRING) return ::testing::AssertionFailure() << "too long: " << line;
    w.sizes.push_back(raw.size());
    for (std::string& u : UnitsOf(std::string(raw))) w.units.push_back(std::move(u));
  }
  return ::testing::AssertionSuccess();
}

class BlockBuilderTest : public ::testing::Test {
 protected:
  BlockBuilderTest() : escaping_(false, 1252) {
    tags_.emplace("<ps \"Body\" 1>", "<Para\n<PgfTag `Body'>\n");
    context_.pcco_Tags = &tags_;
    context_.pcco_Escaping = &escaping_;
  }

  // The paragraph of `text`, its ORG paragraph having `units` units and
  // column statements at `columns`; a nonzero split gives the text as two
  // tokens, cut at that byte, with `tag` (when given) between them.
  CQ_MIFLines Paragraph(const std::string& text, std::size_t units, const std::vector<std::size_t>& columns,
                        std::size_t split = 0, const std::string& tag = {},
                        CQ_MIFBlockBuilder::st_Scratch* scratch = nullptr) {
    st_ORGParagraph org;
    org.lst_Header = {"<Para", "<PgfTag `Body'>"};
    org.n_Units = units;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      org.vec_Columns.emplace_back(columns[c], "<TextRectID " + std::to_string(10 + c) + ">");
    }
    CQ_KWXTokens tokens = {"<ps \"Body\" 1>", text};
    if (split > 0) {
      tokens.back().resize(split);
      if (!tag.empty()) tokens.push_back(tag);
      tokens.push_back(text.substr(split));
    }
    CQ_MIFLines out;
    CQ_MIFBlockBuilder::st_Context context = context_;
    context.pco_Scratch = scratch;
    CQ_MIFBlockBuilder(context).v_Paragraph(KWXBack::sco_Views(tokens), 0, tokens.size(), &org, {}, out);
    return out;
  }

  CQ_TagMap tags_;
  CQ_MIFEscaping escaping_;
  CQ_MIFBlockBuilder::st_Context context_;
};

// The ORG paragraph's header comes back, in its own order and with its
// Unique statement, when the tag's lines are the same lines in any order;
// otherwise the tag's lines are written, the Unique statement kept.
TEST_F(BlockBuilderTest, ORGHeaderKeptWhenTheTagHasItsLinesInAnyOrder) {
  tags_["<ps \"Indented\" 1>"] = "<Para\n<PgfTag `Indented'>\n<PgfFIndent 1.0\">\n<PgfLIndent 2.0\">\n";
  struct Row {
    const char* name;
    std::vector<std::string_view> org;
    std::vector<std::string> expected;
  };
  const std::vector<Row> rows = {
      {"same order", {"<Para", "<Unique 7>", "<PgfTag `Indented'>", "<PgfFIndent 1.0\">", "<PgfLIndent 2.0\">"},
       {"<Para", "<Unique 7>", "<PgfTag `Indented'>", "<PgfFIndent 1.0\">", "<PgfLIndent 2.0\">"}},
      {"other order", {"<Para", "<PgfLIndent 2.0\">", "<Unique 7>", "<PgfFIndent 1.0\">", "<PgfTag `Indented'>"},
       {"<Para", "<PgfLIndent 2.0\">", "<Unique 7>", "<PgfFIndent 1.0\">", "<PgfTag `Indented'>"}},
      {"other line", {"<Para", "<Unique 7>", "<PgfTag `Indented'>", "<PgfFIndent 3.0\">", "<PgfLIndent 2.0\">"},
       {"<Para", "<Unique 7>", "<PgfTag `Indented'>", "<PgfFIndent 1.0\">", "<PgfLIndent 2.0\">"}},
      {"line twice", {"<Para", "<PgfTag `Indented'>", "<PgfFIndent 1.0\">", "<PgfFIndent 1.0\">"},
       {"<Para", "<PgfTag `Indented'>", "<PgfFIndent 1.0\">", "<PgfLIndent 2.0\">"}},
  };
  for (const Row& row : rows) {
    st_ORGParagraph org;
    org.lst_Header = row.org;
    const CQ_KWXTokens tokens = {"<ps \"Indented\" 1>", "text"};
    CQ_MIFLines out;
    CQ_MIFBlockBuilder(context_).v_Paragraph(KWXBack::sco_Views(tokens), 0, tokens.size(), &org, {}, out);
    ASSERT_GE(out.size(), row.expected.size()) << row.name;
    EXPECT_EQ(CQ_MIFLines(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(row.expected.size())), row.expected)
        << row.name;
    EXPECT_EQ(out[row.expected.size()], "<ParaLine") << row.name;
  }
}

// A paragraph written with the headers kept split in the context's cache,
// for the first paragraph of its tag and again for the next ones, is the
// paragraph written without it: with the ORG header taken or not, with the
// Unique statement put back at each place, without a <ps> tag, and with a
// tag whose lines do not begin with "<Para" or hold an empty autonumber.
TEST_F(BlockBuilderTest, HeadersKeptSplitWriteWhatHeadersSplitEachTimeWrite) {
  tags_["<ps \"Indented\" 1>"] = "<Para\n<PgfTag `Indented'>\n<PgfFIndent 1.0\">\n";
  tags_["<ps \"Bare\" 1>"] = "<PgfTag `Bare'>\n<PgfNumString `'>\n";
  tags_["<pn \"1.\" 1>"] = "<PgfNumString `1.'>\n";
  const std::vector<CQ_KWXTokens> paragraphs = {
      {"<ps \"Indented\" 1>", "text"},
      {"<ps \"Indented\" 1>", "<pn \"1.\" 1>", "text"},
      {"<ps \"Bare\" 1>", "more"},
      {"<ps \"Bare\" 1>", "<pn \"1.\" 1>", "more"},
      {"lone text"},
      {"<ps \"Unknown\" 1>", "text"},
  };
  const std::vector<std::vector<std::string_view>> orgHeaders = {
      {},
      {"<Para", "<Unique 7>", "<PgfTag `Indented'>", "<PgfFIndent 1.0\">"},
      {"<Para", "<PgfTag `Indented'>", "<Unique 7>", "<PgfFIndent 1.0\">", "<PgfNumString `1.'>"},
      {"<Unique 8>", "<PgfTag `Bare'>"},
      {"<Para", "<PgfTag `Bare'>", "<PgfNumString `'>", "<Unique 9>"},
      {"<Para", "<PgfTag `Other'>", "<Unique 9>"},
      {"<Para", "<PgfTag `Bare'>", "<PgfTag `Bare'>", "<PgfTag `Bare'>", "<PgfTag `Bare'>", "<Unique 10>"},
  };
  CQ_MIFBlockBuilder::CQ_HeaderCache headers;
  CQ_MIFBlockBuilder::st_Context cached = context_;
  cached.pco_Headers = &headers;
  for (int pass = 0; pass < 2; ++pass) {
    for (const CQ_KWXTokens& tokens : paragraphs) {
      for (std::size_t h = 0; h < orgHeaders.size(); ++h) {
        st_ORGParagraph org;
        org.lst_Header = orgHeaders[h];
        const st_ORGParagraph* orgGiven = h == 0 ? nullptr : &org;
        const CQ_KWXBlock views = KWXBack::sco_Views(tokens);
        CQ_MIFLines plain;
        CQ_MIFBlockBuilder(context_).v_Paragraph(views, 0, views.size(), orgGiven, {}, plain);
        CQ_MIFLines fromCache;
        CQ_MIFBlockBuilder(cached).v_Paragraph(views, 0, views.size(), orgGiven, {}, fromCache);
        ASSERT_EQ(fromCache, plain) << "pass " << pass << ", " << tokens.front() << ", header " << h;
      }
    }
  }
  // One entry for each fragment met, and one for paragraphs without one
  // (no tag, or a tag the map lacks).
  EXPECT_EQ(headers.size(), 3u);
  // Spot checks of what both write: the ORG header kept in its order, the
  // Unique statement put back where it stood in front of the tag's lines.
  st_ORGParagraph org;
  org.lst_Header = orgHeaders[2];
  const CQ_KWXTokens numbered = {"<ps \"Indented\" 1>", "<pn \"1.\" 1>", "text"};
  CQ_MIFLines out;
  CQ_MIFBlockBuilder(cached).v_Paragraph(KWXBack::sco_Views(numbered), 0, numbered.size(), &org, {}, out);
  EXPECT_EQ(CQ_MIFLines(out.begin(), out.begin() + 5),
            (CQ_MIFLines{"<Para", "<PgfTag `Indented'>", "<Unique 7>", "<PgfFIndent 1.0\">", "<PgfNumString `1.'>"}));
  org.lst_Header = orgHeaders[5];
  out.clear();
  CQ_MIFBlockBuilder(cached).v_Paragraph(KWXBack::sco_Views(numbered), 0, numbered.size(), &org, {}, out);
  EXPECT_EQ(CQ_MIFLines(out.begin(), out.begin() + 5),
            (CQ_MIFLines{"<Para", "<PgfTag `Indented'>", "<Unique 9>", "<PgfFIndent 1.0\">", "<PgfNumString `1.'>"}));
}

struct TextRow {
  TextRow(const char* n, std::string t, std::vector<std::size_t> c, std::size_t s = 0, std::string g = {})
      : name(n), text(std::move(t)), columns(std::move(c)), split(s), tag(std::move(g)) {}
  const char* name;
  std::string text;
  std::vector<std::size_t> columns;
  std::size_t split;
  std::string tag;  // a character tag between the two tokens
};

void PrintTo(const TextRow& row, std::ostream* os) { *os << row.name; }

class BlockBuilderTextTest : public BlockBuilderTest, public ::testing::WithParamInterface<TextRow> {};

// Builders sharing lists and strings left full by an earlier paragraph
// write what a builder with its own writes.
TEST_P(BlockBuilderTextTest, SharedScratchLeftFullWritesTheSame) {
  const TextRow& row = GetParam();
  const std::size_t units = UnitsOf(escaping_.ccs_Escape(row.text)).size();
  CQ_MIFBlockBuilder::st_Scratch scratch;
  const std::string earlier(450, 'q');
  Paragraph(earlier + "\xe9", 451, {3, 300}, 201, {}, &scratch);
  scratch.s_String.append("left over");
  scratch.s_Escaped.append("\\x8e ");
  EXPECT_EQ(Paragraph(row.text, units, row.columns, row.split, row.tag, &scratch),
            Paragraph(row.text, units, row.columns, row.split, row.tag));
}

TEST_P(BlockBuilderTextTest, StringsStayWholeAndColumnsKeepTheirUnits) {
  const TextRow& row = GetParam();
  std::string escaped = escaping_.ccs_Escape(row.text);
  if (!row.tag.empty()) {
    std::string tagEscape;
    ASSERT_TRUE(escaping_.b_CharacterTag(row.tag, tagEscape));
    escaped = escaping_.ccs_Escape(row.text.substr(0, row.split)) + tagEscape +
              escaping_.ccs_Escape(row.text.substr(row.split));
  }
  const std::size_t units = UnitsOf(escaped).size();
  const CQ_MIFLines out = Paragraph(row.text, units, row.columns, row.split, row.tag);
  Written w;
  ASSERT_TRUE(WellFormed(out, w));
  // Every unit once, in order, none cut between two strings.
  EXPECT_EQ(w.units, UnitsOf(escaped));
  EXPECT_EQ(w.columns, row.columns);
  // As few strings as the limit, the columns and the Char statements allow,
  // each filled as far as the next unit fits.
  std::vector<std::size_t> sizes;
  std::size_t pieces = 0;
  std::size_t size = 0;
  bool open = false;
  std::size_t unit = 0;
  std::size_t nextColumn = 0;
  for (const std::string& u : UnitsOf(escaped)) {
    if (nextColumn < row.columns.size() && row.columns[nextColumn] == unit) {
      ++nextColumn;
      open = false;
    }
    ++unit;
    if (u == "\\x08 ") {
      open = false;
      continue;
    }
    if (!open || size + u.size() > CQ_MIFBlockBuilder::MAX_STRING) {
      ++pieces;
      sizes.push_back(0);
      size = 0;
      open = true;
    }
    size += u.size();
    sizes.back() += u.size();
  }
  EXPECT_EQ(w.strings, pieces);
  EXPECT_EQ(w.sizes, sizes);
}

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

std::string RepeatText(const std::string& text, std::size_t n) {
  std::string out;
  for (std::size_t k = 0; k < n; ++k) out += text;
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BlockBuilderTextTest,
    ::testing::Values(
        TextRow{"short", "Hello world", {}},
        TextRow{"exactly_the_limit", Repeat('a', 200), {}},
        TextRow{"one_over_the_limit", Repeat('a', 201), {}},
        TextRow{"escape_at_the_limit", Repeat('a', 199) + ">" + Repeat('b', 50), {}},
        TextRow{"hex_escape_at_the_limit", Repeat('a', 197) + "\xe9" + Repeat('b', 300), {}},
        TextRow{"tab_across_the_limit", Repeat('a', 198) + "\t" + Repeat('b', 10), {}},
        TextRow{"columns_inside_a_run", Repeat('a', 450), {0, 150, 260, 449}},
        TextRow{"column_at_the_limit", Repeat('a', 400), {200}},
        TextRow{"column_before_an_escape", "abc>def\xe9ghi", {3, 7}},
        TextRow{"backslash_and_quotes", "a\\b`c'd" + Repeat('x', 220) + "\\", {5}},
        TextRow{"hex_escapes_across_several_limits", RepeatText("\xe9" "a>", 180), {}},
        TextRow{"tabs_between_hex_escapes", RepeatText("\xe9", 45) + "\t" + RepeatText("\xfc" "b", 90) + "\t", {}},
        TextRow{"columns_among_hex_escapes", RepeatText("\xe9" "cd", 120), {1, 40, 41, 359}},
        TextRow{"plain_run_over_several_limits", Repeat('a', 1000) + ">" + Repeat('b', 450), {}},
        TextRow{"escape_right_after_a_full_string", Repeat('a', 200) + ">" + Repeat('b', 200) + "\xe9", {}},
        TextRow{"escapes_between_short_runs", RepeatText("ab>c\xe9", 90) + Repeat('d', 199) + ">", {}}),
    [](const ::testing::TestParamInfo<TextRow>& info) { return std::string(info.param.name); });

TEST(BlockLines, KeepsLinesWholeAcrossChunksAndAfterClearing) {
  CQ_MIFBlockLines lines;
  std::vector<std::string> expected;
  // Lines of many sizes, one longer than a chunk, enough to fill several.
  for (std::size_t k = 0; k < 40000; ++k) {
    std::string line = "<String `" + std::string(k % 97, static_cast<char>('a' + k % 26)) + "'>";
    if (k == 20000) line.assign(std::size_t(3) << 20, 'z');
    expected.push_back(line);
    lines.v_Add(line, static_cast<int>(k % 3) - 1);
  }
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t k = 0; k < expected.size(); ++k) {
    ASSERT_EQ(lines[k], expected[k]) << k;
    ASSERT_EQ(lines.i_Net(k), static_cast<int>(k % 3) - 1) << k;
  }
  EXPECT_EQ(lines.front(), expected.front());
  EXPECT_EQ(lines.back(), expected.back());
  lines.v_Clear();
  EXPECT_TRUE(lines.empty());
  lines.v_Add("", 0);
  lines.v_Add("<Para", 1);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "<Para");
  EXPECT_EQ(lines.i_Net(1), 1);
}

// A walk visits the lines the index gives, in order, across the tables the
// entries are kept in, and stops at the first line its function refuses.
TEST(BlockLines, WalksLinesAcrossTablesAndStopsWhereAsked) {
  CQ_MIFBlockLines lines;
  for (std::size_t k = 0; k < 9000; ++k) lines.v_Add(std::to_string(k), static_cast<int>(k % 5) - 2);
  const std::pair<std::size_t, std::size_t> ranges[] = {{0, 0},       {0, 9000},    {4095, 4097}, {4000, 8200},
                                                        {8191, 8193}, {8999, 9000}, {17, 18},     {5000, 4000}};
  for (const auto& [begin, end] : ranges) {
    std::vector<std::size_t> seen;
    const std::size_t at = lines.n_Walk(begin, end, [&](std::size_t i, std::string_view line, int net) {
      EXPECT_EQ(line, lines[i]);
      EXPECT_EQ(net, lines.i_Net(i));
      seen.push_back(i);
      return true;
    });
    EXPECT_EQ(at, end);
    for (std::size_t j = 0; j < seen.size(); ++j) ASSERT_EQ(seen[j], begin + j);
    EXPECT_EQ(seen.size(), end > begin ? end - begin : 0);
  }
  // Stops at lines 4096 and 8190 (the first of their kind after the start).
  for (const std::size_t stopAt : {std::size_t(4096), std::size_t(8190)}) {
    const std::size_t at = lines.n_Walk(100, 9000, [&](std::size_t, std::string_view line, int) {
      return line != std::to_string(stopAt);
    });
    EXPECT_EQ(at, stopAt);
  }
}

TEST(BlockLines, ViewsStayWhereTheyAreAndMixWithCopies) {
  const std::string text = "<Para\n<PgfTag `Body'>\n> # end of Para\n";
  CQ_MIFBlockLines lines;
  for (int round = 0; round < 2; ++round) {
    lines.v_Clear();
    // Enough lines to need more than one table of entries, in both rounds.
    for (std::size_t k = 0; k < 9000; ++k) {
      // The three lines of text: at 0 (5 bytes), 6 and 22 (15 bytes each).
      const std::string_view view = std::string_view(text).substr(k % 3 == 0 ? 0 : k % 3 == 1 ? 6 : 22,
                                                                   k % 3 == 0 ? 5 : 15);
      if (k % 2 == 0) {
        lines.v_AddView(view, 1 - static_cast<int>(k % 3));
      } else {
        lines.v_Add(view, 1 - static_cast<int>(k % 3));
      }
    }
    ASSERT_EQ(lines.size(), 9000u);
    for (std::size_t k = 0; k < lines.size(); ++k) {
      const char* const expected[] = {"<Para", "<PgfTag `Body'>", "> # end of Para"};
      ASSERT_EQ(lines[k], expected[k % 3]) << k;
      ASSERT_EQ(lines.i_Net(k), 1 - static_cast<int>(k % 3)) << k;
      // A view is the caller's bytes; a copy is not.
      const bool inText = lines[k].data() >= text.data() && lines[k].data() < text.data() + text.size();
      ASSERT_EQ(inText, k % 2 == 0) << k;
    }
  }
}

TEST(LineBuffer, LinesFollowOneAnotherWithALineEndAfterEach) {
  const std::vector<std::string> rows = {"<Para", "", "<String `a b'>", std::string(300, 'x'), "> # end of Para"};
  CQ_MIFLineBuffer buffer;
  std::string joined;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    if (k == 2) {
      buffer.v_Add("<String `", "a b", "'>");
    } else {
      buffer.v_Add(rows[k]);
    }
    joined += rows[k] + "\n";
    ASSERT_EQ(buffer.size(), k + 1);
    ASSERT_EQ(buffer.sv_Text(), joined);
  }
  for (std::size_t k = 0; k < rows.size(); ++k) EXPECT_EQ(buffer[k], rows[k]) << k;
  buffer.v_PopBack();
  EXPECT_EQ(buffer.size(), rows.size() - 1);
  EXPECT_EQ(buffer[buffer.size() - 1], rows[rows.size() - 2]);
  EXPECT_EQ(buffer.sv_Text(), joined.substr(0, joined.size() - rows.back().size() - 1));
  buffer.v_Add("<Unique 5>");
  EXPECT_EQ(buffer[buffer.size() - 1], "<Unique 5>");
  buffer.clear();
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.sv_Text(), "");
}

// Lines of every length around the sizes copied in fixed pieces, alone and
// as the middle piece of a line in three parts, each byte of them distinct,
// so that a piece copied to the wrong place or cut short shows.
TEST(LineBuffer, CopiesLinesOfEveryShortLengthExactly) {
  CQ_MIFLineBuffer buffer;
  std::string joined;
  std::vector<std::string> rows;
  for (std::size_t size = 0; size <= 70; ++size) {
    std::string row;
    for (std::size_t k = 0; k < size; ++k) row += static_cast<char>('!' + (k * 7 + size) % 90);
    buffer.v_Add(row);
    buffer.v_Add("<S `", row, "'>");
    rows.push_back(row);
    rows.push_back("<S `" + row + "'>");
    joined += rows[rows.size() - 2] + "\n" + rows.back() + "\n";
  }
  ASSERT_EQ(buffer.size(), rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) EXPECT_EQ(buffer[k], rows[k]) << k;
  EXPECT_EQ(buffer.sv_Text(), joined);
}

// Lines of every short length added until the buffer's room runs out, at
// every offset of its end: a line that just fits, one that needs room by a
// byte (its line end) and one that needs it by more all come back whole,
// as do the lines before them.
TEST(LineBuffer, LinesAtTheEndOfItsRoomComeBackWhole) {
  for (std::size_t size = 0; size <= 40; ++size) {
    CQ_MIFLineBuffer buffer;
    std::string joined;
    std::vector<std::string> rows;
    // Well past the first two growths of the text's room (4096, 8192 bytes).
    for (std::size_t k = 0; joined.size() < 20000; ++k) {
      std::string row;
      for (std::size_t b = 0; b < size; ++b) row += static_cast<char>('A' + (k + b) % 26);
      // Now and then a line one byte shorter moves where the room ends.
      if (k % 7 == 3 && !row.empty()) row.pop_back();
      buffer.v_Add(row);
      rows.push_back(row);
      joined += row + "\n";
    }
    ASSERT_EQ(buffer.size(), rows.size()) << size;
    for (std::size_t k = 0; k < rows.size(); ++k) ASSERT_EQ(buffer[k], rows[k]) << size << ", line " << k;
    ASSERT_EQ(buffer.sv_Text(), joined) << size;
  }
}

// Many lines through every way of adding and cutting, against a list of
// strings: the buffer grows several times on the way.
TEST(LineBuffer, AgreesWithAListOfLinesThroughGrowthCutsAndStretches) {
  CQ_MIFLineBuffer buffer;
  std::vector<std::string> expected;
  auto check = [&](int step) {
    ASSERT_EQ(buffer.size(), expected.size()) << step;
    std::string joined;
    for (std::size_t k = 0; k < expected.size(); ++k) {
      ASSERT_EQ(buffer[k], expected[k]) << step << " line " << k;
      joined += expected[k] + "\n";
    }
    ASSERT_EQ(buffer.sv_Text(), joined) << step;
  };
  unsigned state = 99;
  std::size_t largest = 0;
  for (int step = 0; step < 3000; ++step) {
    state = state * 1103515245u + 12345u;
    const std::string line = "<L" + std::to_string(step) + std::string((state >> 16) % 90, 'x') + ">";
    switch ((state >> 8) % 7) {
      case 0:
        if (!expected.empty()) {
          buffer.v_PopBack();
          expected.pop_back();
        }
        break;
      case 1: {
        // Mostly a cut near the end, now and then one near the start.
        const std::size_t back = (state >> 4) % ((state >> 12) % 8 == 0 ? expected.size() + 2 : 4);
        const std::size_t keep = expected.size() + 1 > back ? expected.size() + 1 - back : 0;
        buffer.v_Truncate(keep);
        if (keep < expected.size()) expected.resize(keep);
        break;
      }
      case 2:
        buffer.v_AddLines(line + "\n<Second>\n\n");
        expected.push_back(line);
        expected.push_back("<Second>");
        expected.push_back("");
        break;
      case 3:
        buffer.v_Add("<String `", line, "'>");
        expected.push_back("<String `" + line + "'>");
        break;
      default:
        buffer.v_Add(line);
        expected.push_back(line);
        break;
    }
    if (step % 97 == 0) check(step);
    largest = std::max(largest, buffer.sv_Text().size());
  }
  check(-1);
  EXPECT_GT(largest, 8192u);
}

TEST(BlockLines, ORGParagraphReadsItsColumnsFromBlockLines) {
  const std::vector<std::string> text = {
      "<Para", "<PgfTag `Body'>", "<ParaLine", "<TextRectID 7>", "<String `abc\\>d'>", "> # end of ParaLine",
      "<ParaLine", "<String `ef'>", "<TextRectID 8>", "<Char Tab>", "> # end of ParaLine", "> # end of Para"};
  CQ_MIFBlockLines lines;
  for (const std::string& l : text) lines.v_Add(l, MIFSyntax::NetDepth(l));
  st_ORGParagraph p;
  p.v_Read(lines, 0, lines.size(), 1);
  EXPECT_EQ(p.lst_Header, (std::vector<std::string_view>{"<Para", "<PgfTag `Body'>"}));
  ASSERT_EQ(p.vec_Columns.size(), 2u);
  EXPECT_EQ(p.vec_Columns[0], (std::pair<std::size_t, std::string>{0, "<TextRectID 7>"}));
  EXPECT_EQ(p.vec_Columns[1], (std::pair<std::size_t, std::string>{7, "<TextRectID 8>"}));
  EXPECT_EQ(p.n_Units, 8u);  // a b c \> d e f, and the tab
}

}  // namespace

// Text units are only counted for a paragraph with a TextRectID statement
// (they place its columns); everything else is read the same either way.
TEST(BlockLines, ORGParagraphCountsUnitsOnlyWithColumns) {
  const std::vector<std::string> body = {"<ParaLine", "<Font", "<FTag `Emphasis'>", "> # end of Font",
                                         "<String `abc\\>d'>", "<Char Tab>", "> # end of ParaLine"};
  for (const bool withColumn : {false, true}) {
    std::vector<std::string> text = {"<Para", "<Unique 12>", "<PgfTag `Body'>"};
    text.insert(text.end(), body.begin(), body.end());
    if (withColumn) text.insert(text.begin() + 4, "<TextRectID 9>");
    text.emplace_back("> # end of Para");
    CQ_MIFBlockLines lines;
    for (const std::string& l : text) lines.v_Add(l, MIFSyntax::NetDepth(l));
    st_ORGParagraph p;
    p.n_Units = 99;  // left from an earlier paragraph
    p.v_Read(lines, 0, lines.size(), 1);
    SCOPED_TRACE(withColumn ? "with a column" : "without columns");
    EXPECT_EQ(p.lst_Header, (std::vector<std::string_view>{"<Para", "<Unique 12>", "<PgfTag `Body'>"}));
    ASSERT_EQ(p.vec_Fonts.size(), 1u);
    EXPECT_EQ(p.vec_Fonts[0].first, "<Font\n<FTag `Emphasis'>\n> # end of Font\n");
    EXPECT_TRUE(p.vec_Fonts[0].second);
    EXPECT_EQ(p.vec_Columns.size(), withColumn ? 1u : 0u);
    EXPECT_EQ(p.n_Units, withColumn ? 6u : 0u);  // a b c \> d, and the tab

    // Read without its Font statements: everything else is the same, with a
    // column inside the Font block or after it.
    st_ORGParagraph noFonts;
    noFonts.vec_Fonts.emplace_back("left from an earlier paragraph", true);
    noFonts.v_Read(lines, 0, lines.size(), 1, false);
    EXPECT_TRUE(noFonts.vec_Fonts.empty());
    EXPECT_EQ(noFonts.lst_Header, p.lst_Header);
    EXPECT_EQ(noFonts.vec_Columns, p.vec_Columns);
    EXPECT_EQ(noFonts.n_Units, p.n_Units);
  }
}

// Restoring from a list that may be used up gives what restoring from a
// kept list gives, and leaves the kept list as it was.
TEST(InlineObjects, RestoreFromAListUsedUpEqualsRestoreFromAKeptOne) {
  const std::vector<std::string> org = {"<Para",        "<ParaLine", "<XRef",         "<Unique 41>",
                                        "<XRefName `Page'>", "> # end of XRef", "<XRef", "<Unique 42>",
                                        "<XRefName `Page'>", "> # end of XRef", "<Marker", "<Unique 43>",
                                        "<MType 2>",    "> # end of Marker", "> # end of ParaLine", "> # end of Para"};
  CQ_MIFBlockLines block;
  for (const std::string& l : org) block.v_Add(l, MIFSyntax::NetDepth(l));
  const CQ_MIFLines fragment = {"<XRef", "<XRefName `Page'>", "> # end of XRef", "<String `x'>", "<XRef",
                                "<XRefName `Page'>", "> # end of XRef", "<XRef", "<XRefName `Page'>",
                                "> # end of XRef", "<Marker", "<MType 2>", "> # end of Marker"};
  CQ_MIFInlineObjects kept;
  kept.v_Scan(block, 0, block.size());
  CQ_MIFInlineObjects usedUp;
  usedUp.v_Scan(block, 0, block.size());
  CQ_MIFLines fromKept;
  kept.v_Restore(fragment, fromKept);
  CQ_MIFLines lines = fragment;
  CQ_MIFLines fromUsedUp;
  usedUp.v_RestoreMoving(lines, fromUsedUp);
  EXPECT_EQ(fromUsedUp, fromKept);
  // The two ORG cross-references and the marker come back with their
  // Unique statements; the third cross-reference (one more than the ORG
  // copy has) stays as it is.
  EXPECT_EQ(fromKept, (CQ_MIFLines{"<XRef", "<Unique 41>", "<XRefName `Page'>", "> # end of XRef", "<String `x'>",
                                   "<XRef", "<Unique 42>", "<XRefName `Page'>", "> # end of XRef", "<XRef",
                                   "<XRefName `Page'>", "> # end of XRef", "<Marker", "<Unique 43>", "<MType 2>",
                                   "> # end of Marker"}));
}

// Restoring inline objects against a straightforward reference: ORG
// blocks recorded under their whole text without Unique statements, each
// restore taking the first unused block of the same text. ORG paragraphs
// hold objects of a few texts (some without a Unique statement, which are
// not recorded, some with two, some with a nested block), and fragments
// ask for texts in a random order, more often than the ORG copy has them,
// and for texts it never has.
CQ_MIFLines ReferenceRestore(const CQ_MIFLines& org, const CQ_MIFLines& fragment) {
  auto isInline = [](const std::string& l) {
    const std::string_view kw = MIFSyntax::Keyword(l);
    return l.front() == '<' && MIFSyntax::NetDepth(l) > 0 &&
           (kw == "Marker" || kw == "XRef" || kw == "Variable" || kw == "ElementBegin" || kw == "ElementEnd" ||
            kw == "Element" || kw == "TextInset");
  };
  std::map<std::string, std::deque<std::pair<std::size_t, std::size_t>>> unused;
  for (std::size_t i = 0; i < org.size(); ++i) {
    if (!isInline(org[i])) continue;
    const std::size_t e = MIFSyntax::BlockEnd(org, i, org.size());
    std::string key;
    bool unique = false;
    long depth = 0;
    for (std::size_t k = i; k < e; ++k) {
      if (depth == 1 && MIFSyntax::HasKeyword(org[k], "Unique") && MIFSyntax::NetDepth(org[k]) <= 0) {
        unique = true;
      } else {
        key += org[k] + "\n";
      }
      depth += MIFSyntax::NetDepth(org[k]);
    }
    if (unique) unused[key].emplace_back(i, e);
  }
  CQ_MIFLines out;
  for (std::size_t i = 0; i < fragment.size(); ++i) {
    if (isInline(fragment[i])) {
      const std::size_t e = MIFSyntax::BlockEnd(fragment, i, fragment.size());
      std::string key;
      for (std::size_t k = i; k < e; ++k) key += fragment[k] + "\n";
      auto it = unused.find(key);
      if (it != unused.end() && !it->second.empty()) {
        const auto [b, oe] = it->second.front();
        it->second.pop_front();
        out.insert(out.end(), org.begin() + static_cast<std::ptrdiff_t>(b), org.begin() + static_cast<std::ptrdiff_t>(oe));
        i = e - 1;
        continue;
      }
    }
    out.push_back(fragment[i]);
  }
  return out;
}

TEST(InlineObjects, RestoreAgreesWithAReferenceOnRandomDocuments) {
  // Texts of objects without their Unique statements.
  const std::vector<CQ_MIFLines> texts = {
      {"<XRef", "<XRefName `Page'>", "> # end of XRef"},
      {"<XRef", "<XRefName `See'>", "<XRefSrcText `a'>", "> # end of XRef"},
      {"<Marker", "<MType 2>", "<MText `x'>", "> # end of Marker"},
      {"<Marker", "<MType 2>", "<MText `y'>", "> # end of Marker"},
      {"<Variable", "<VariableName `Date'>", "> # end of Variable"},
      {"<ElementBegin", "<ETag `Sec'>", "<Attributes", "<Attribute `id'>", "> # end of Attributes",
       "> # end of ElementBegin"},
      // A Unique statement of a nested block belongs to the text.
      {"<ElementBegin", "<ETag `Fig'>", "<Attributes", "<Unique 77>", "> # end of Attributes",
       "> # end of ElementBegin"},
  };
  unsigned state = 99;
  auto next = [&state](unsigned n) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % n;
  };
  int unique = 1000;
  for (int round = 0; round < 200; ++round) {
    CQ_MIFLines org = {"<TextFlow"};
    const unsigned objects = next(30);
    for (unsigned o = 0; o < objects; ++o) {
      org.insert(org.end(), {"<Para", "<ParaLine", "<String `t'>"});
      const CQ_MIFLines& text = texts[next(texts.size())];
      const unsigned kind = next(6);  // 0: no Unique; 1: two; else one, after the opening line or last
      org.push_back(text.front());
      if (kind != 0 && kind != 5) org.push_back("<Unique " + std::to_string(++unique) + ">");
      if (kind == 1) org.push_back("<Unique " + std::to_string(++unique) + ">");
      org.insert(org.end(), text.begin() + 1, text.end() - 1);
      if (kind == 5) org.push_back("<Unique " + std::to_string(++unique) + ">");
      org.push_back(text.back());
      org.insert(org.end(), {"> # end of ParaLine", "> # end of Para"});
    }
    org.push_back("> # end of TextFlow");
    CQ_MIFLines fragment;
    const unsigned asks = next(40);
    for (unsigned a = 0; a < asks; ++a) {
      if (next(5) == 0) fragment.push_back("<String `s'>");
      if (next(9) == 0) {
        // A text no ORG block has: one line more.
        fragment.insert(fragment.end(), {"<XRef", "<XRefName `Page'>", "<Unique 7>", "> # end of XRef"});
        continue;
      }
      const CQ_MIFLines& text = texts[next(texts.size())];
      fragment.insert(fragment.end(), text.begin(), text.end());
    }
    CQ_MIFBlockLines block;
    for (const std::string& l : org) block.v_Add(l, MIFSyntax::NetDepth(l));
    CQ_MIFInlineObjects inl;
    inl.v_Scan(block, 0, block.size());
    CQ_MIFLines restored;
    inl.v_Restore(fragment, restored);
    const CQ_MIFLines expected = ReferenceRestore(org, fragment);
    ASSERT_EQ(restored, expected) << "round " << round;
    // The same fragment as views whose depths the caller counted, into a
    // line buffer, from a fresh record of the same blocks.
    CQ_MIFInlineObjects counted;
    counted.v_Scan(block, 0, block.size());
    const std::vector<std::string_view> views(fragment.begin(), fragment.end());
    std::vector<int> nets;
    for (const std::string_view l : views) nets.push_back(MIFSyntax::NetDepth(l));
    CQ_MIFLineBuffer buffer;
    counted.v_RestoreViews(views, nets, buffer);
    ASSERT_EQ(buffer.size(), expected.size()) << "round " << round;
    for (std::size_t k = 0; k < expected.size(); ++k) ASSERT_EQ(buffer[k], expected[k]) << "round " << round;
  }
}

// Objects asked for mostly in their ORG order, as paragraphs rebuilt one
// after the other ask for them, some left out, some asked for twice and
// texts of other objects between them: the restore agrees with the
// reference, from lists and from views into a line buffer. ORG objects
// include ones without a Unique statement, with two, with one after the
// block's own lines, and with one whose extra bracket closes the block.
TEST(InlineObjects, RestoreInTheirORGOrderAgreesWithAReference) {
  const std::vector<CQ_MIFLines> texts = {
      {"<XRef", "<XRefName `Page'>", "> # end of XRef"},
      {"<Marker", "<MType 2>", "<MText `x'>", "> # end of Marker"},
      {"<Marker", "<MType 2>", "<MText `y'>", "> # end of Marker"},
      {"<Variable", "<VariableName `Date'>", "> # end of Variable"},
      {"<ElementBegin", "<ETag `Sec'>", "<Attributes", "<Attribute `id'>", "> # end of Attributes",
       "> # end of ElementBegin"},
  };
  unsigned state = 4242;
  auto next = [&state](unsigned n) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % n;
  };
  int unique = 5000;
  for (int round = 0; round < 300; ++round) {
    CQ_MIFLines org = {"<TextFlow"};
    std::vector<std::size_t> kinds;  // the text of each ORG object, in order
    const unsigned objects = next(25);
    for (unsigned o = 0; o < objects; ++o) {
      org.insert(org.end(), {"<Para", "<ParaLine", "<String `t'>"});
      const std::size_t kind = next(texts.size());
      kinds.push_back(kind);
      const CQ_MIFLines& text = texts[kind];
      // 0: no Unique; 1: two; 2: last; 3: one whose extra bracket closes
      // the block at once (a line "<" after it keeps the flow whole); else
      // one after the opening line.
      const unsigned shape = next(12);
      org.push_back(text.front());
      if (shape != 0 && shape != 2 && shape != 3) org.push_back("<Unique " + std::to_string(++unique) + ">");
      if (shape == 1) org.push_back("<Unique " + std::to_string(++unique) + ">");
      if (shape == 3) org.insert(org.end(), {"<Unique " + std::to_string(++unique) + ">>", "<"});
      org.insert(org.end(), text.begin() + 1, text.end() - 1);
      if (shape == 2) org.push_back("<Unique " + std::to_string(++unique) + ">");
      org.push_back(text.back());
      org.insert(org.end(), {"> # end of ParaLine", "> # end of Para"});
    }
    org.push_back("> # end of TextFlow");
    CQ_MIFLines fragment;
    for (const std::size_t kind : kinds) {
      const unsigned what = next(20);
      if (what == 0) continue;  // left out
      if (what == 1) fragment.push_back("<String `s'>");
      if (what == 2) {
        const CQ_MIFLines& other = texts[next(texts.size())];
        fragment.insert(fragment.end(), other.begin(), other.end());
      }
      const int times = what == 3 ? 2 : 1;
      for (int t = 0; t < times; ++t) fragment.insert(fragment.end(), texts[kind].begin(), texts[kind].end());
    }
    CQ_MIFBlockLines block;
    for (const std::string& l : org) block.v_Add(l, MIFSyntax::NetDepth(l));
    const CQ_MIFLines expected = ReferenceRestore(org, fragment);
    CQ_MIFInlineObjects inl;
    inl.v_Scan(block, 0, block.size());
    CQ_MIFLines restored;
    inl.v_Restore(fragment, restored);
    ASSERT_EQ(restored, expected) << "round " << round;
    // In two halves into a line buffer, as views, by a fresh record: the
    // second half goes on from where the first left off.
    CQ_MIFInlineObjects views;
    views.v_Scan(block, 0, block.size());
    std::size_t half = fragment.size() / 2;
    while (half > 0 && half < fragment.size() && fragment[half].front() == '>') ++half;
    const std::vector<std::string_view> first(fragment.begin(), fragment.begin() + static_cast<std::ptrdiff_t>(half));
    const std::vector<std::string_view> second(fragment.begin() + static_cast<std::ptrdiff_t>(half), fragment.end());
    CQ_MIFLineBuffer buffer;
    views.v_RestoreViews(first, buffer);
    views.v_RestoreViews(second, buffer);
    CQ_MIFLines halves;
    for (std::size_t k = 0; k < buffer.size(); ++k) halves.emplace_back(buffer[k]);
    const CQ_MIFLines firstFragment(fragment.begin(), fragment.begin() + static_cast<std::ptrdiff_t>(half));
    const CQ_MIFLines secondFragment(fragment.begin() + static_cast<std::ptrdiff_t>(half), fragment.end());
    // The reference of two halves: the second sees what the first used.
    CQ_MIFInlineObjects listHalves;
    listHalves.v_Scan(block, 0, block.size());
    CQ_MIFLines expectedHalves;
    listHalves.v_Restore(firstFragment, expectedHalves);
    listHalves.v_Restore(secondFragment, expectedHalves);
    ASSERT_EQ(halves, expectedHalves) << "round " << round;
  }
}

// Lines are marked as they are added: those that open a block named
// beginning with M, X, V, E or T, and every statement named beginning with
// T; the first marked line at or after any place is found whatever was
// asked before, also after the block is cleared and filled again.
TEST(BlockLines, MarksTheLinesThatMayOpenInlineObjectsOrNameColumns) {
  const std::vector<std::string> shapes = {
      "<Marker", "<MType 2>", "<XRef", "<XRefName `P'>", "<Variable", "<ElementBegin", "<TextRectID 5>",
      "<TextLine", "<Tbl", "<Para", "<String `M'>", "> # end of Marker", "<", ">", "", "M", "XRef",
      "<Font <FTag `x'>>", "<ElementEnd <ETag `y'>>", "<Es", "<T", "# <Marker", "<Mx <Ty"};
  unsigned state = 7;
  auto next = [&state](unsigned n) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % n;
  };
  CQ_MIFBlockLines lines;
  for (int round = 0; round < 6; ++round) {
    lines.v_Clear();
    std::vector<std::size_t> expected;
    const std::size_t count = round == 0 ? 0 : 1 + next(round * 3000);
    for (std::size_t i = 0; i < count; ++i) {
      const std::string& l = shapes[next(shapes.size())];
      const int net = MIFSyntax::NetDepth(l);
      const bool marked = l.size() >= 2 && l[0] == '<' &&
                          (l[1] == 'T' || (net > 0 && std::string_view("MXVE").find(l[1]) != std::string_view::npos));
      if (marked) expected.push_back(i);
      if (next(2) == 0) {
        lines.v_Add(l, net);
      } else {
        lines.v_AddView(l, net);
      }
    }
    ASSERT_EQ(lines.rco_Marked(), expected) << "round " << round;
    // Places asked for in order (blocks one after the other), then anywhere.
    for (int ask = 0; ask < 400; ++ask) {
      const std::size_t begin = ask < 200 ? ask * (count + 1) / 200 : next(static_cast<unsigned>(count) + 2);
      const std::size_t k = lines.n_FirstMarked(begin);
      ASSERT_EQ(k, static_cast<std::size_t>(std::lower_bound(expected.begin(), expected.end(), begin) -
                                            expected.begin()))
          << "round " << round << ", from " << begin;
      if (next(3) != 0) lines.v_MarkedHint(next(2) == 0 ? k : next(static_cast<unsigned>(expected.size()) + 2));
    }
  }
}

// Escapes ending at every offset around the string limit, in one token and
// in a second token that follows text already in the open string.
std::vector<TextRow> EscapesAroundTheLimit() {
  static std::deque<std::string> names;  // the rows' names point into it
  std::vector<TextRow> rows;
  for (std::size_t at = 194; at <= 202; ++at) {
    for (const auto& [kind, escape] : {std::pair{"hex", "\xe9"}, std::pair{"gt", ">"}, std::pair{"tab", "\t"}}) {
      const std::string text = Repeat('a', at) + escape + Repeat('b', 120) + escape + Repeat('c', 230);
      for (const std::size_t split : {std::size_t{0}, std::size_t{57}, at}) {
        names.push_back(std::string(kind) + "_at_" + std::to_string(at) + "_split_" + std::to_string(split));
        rows.push_back(TextRow{names.back().c_str(), text, {}, split});
      }
    }
    // A character tag whose escape ends at the offset, or just before it.
    for (const auto& [kind, tag] : {std::pair{"quote_tag", "<:lq>"}, std::pair{"tab_tag", "<:t>"}}) {
      const std::string text = Repeat('a', at) + Repeat('b', 300);
      for (const std::size_t split : {at - 5, at - 4, at - 1}) {
        names.push_back(std::string(kind) + "_at_" + std::to_string(split) + "_of_" + std::to_string(at));
        rows.push_back(TextRow{names.back().c_str(), text, {}, split, tag});
      }
    }
  }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Limits, BlockBuilderTextTest, ::testing::ValuesIn(EscapesAroundTheLimit()),
                         [](const ::testing::TestParamInfo<TextRow>& info) { return std::string(info.param.name); });

// The MIF pass reads the ORG text it holds with its own line splitter; it
// must give the lines the pre-scan's reader gave, in the same order, since
// the pre-scan's depth notes are matched to them by number.
std::vector<std::string> ReaderLines(const std::string& text) {
  CQ_MIFLineReader reader(text.data(), text.size());
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.b_ReadLineView(line)) lines.emplace_back(line);
  return lines;
}

// The lengths of the line reader's lines, 255 for 255 bytes or more.
std::vector<std::uint8_t> ReaderLengths(const std::string& text) {
  CQ_MIFLineReader reader(text.data(), text.size());
  std::vector<std::uint8_t> lengths;
  std::string_view line;
  while (reader.b_ReadLineView(line)) lengths.push_back(static_cast<std::uint8_t>(std::min<std::size_t>(line.size(), 255)));
  return lengths;
}

// The held lines when the lengths of the first `count` lines are given.
std::vector<std::string> HeldLines(const std::string& text, const std::vector<std::uint8_t>& lengths,
                                   std::size_t count) {
  CQ_MIFHeldLines held(text, lengths.data(), count);
  std::vector<std::string> lines;
  std::string_view line;
  while (held.b_Next(line)) {
    EXPECT_TRUE(line.data() >= text.data() && line.data() + line.size() <= text.data() + text.size());
    lines.emplace_back(line);
  }
  return lines;
}

std::vector<std::string> HeldLines(const std::string& text) {
  CQ_MIFHeldLines held(text);
  std::vector<std::string> lines;
  std::string_view line;
  while (held.b_Next(line)) {
    // Views of the text itself, never of a copy.
    EXPECT_TRUE(line.data() >= text.data() && line.data() + line.size() <= text.data() + text.size());
    lines.emplace_back(line);
  }
  return lines;
}

TEST(HeldLines, ReadsWhatTheLineReaderReadsOnEveryKindOfLineEnd) {
  const std::string rows[] = {
      "",
      "\n",
      "<A>\n<B 1>\n> # end of A\n",
      "<A>\n<B 1>\n> # end of A",            // no line end after the last line
      "<A>\r\n<B 1>\r\n\r\n> # end of A\r\n",  // CR LF, and an empty line
      "<A>\r<B 1>\r> # end of A\r",          // CR only
      "<A>\n\r\n\r<B>\r\r\n\n<C>",           // runs of mixed line ends
      "  <A>  \n\t<B>\t\n \v\f \n<C>\v",     // blanks around lines, a blank line
      "<A> \n<B>\t\r\n<C>\f",               // blanks after lines only
      "\x01<A>\x01\n\x1f\n",                 // control bytes are not trimmed
      "<S `\xe9t\xe9'>\n\xe9\n\xa0 x \xa0\n",  // bytes above 0x7f at either end
      "x",
      " \t ",
      "\r",
      "<A `a\rb'>\n",  // a CR in the middle of a line ends it
  };
  for (const std::string& text : rows) {
    EXPECT_EQ(HeldLines(text), ReaderLines(text)) << "text: " << ::testing::PrintToString(text);
  }
}

// Texts that take the shortcut and texts that do not: a line that one
// "\n" parts from the next, a line ending in a blank or a control byte
// before that "\n", CR LF and CR-only ends, blank lines between lines,
// a line at the text's end with and without its line end, lines too long
// for their notes.
const std::string kPlacedRows[] = {
    "<A>\n<B 1>\n> # end of A\n",
    "<A>\n<B 1>\n> # end of A",
    "<A>\r\n<B 1>\r\n\r\n> # end of A\r\n",
    "<A>\r<B 1>\r> # end of A\r",
    "<A>\n\r\n\r<B>\r\r\n\n<C>",
    "  <A>  \n\t<B>\t\n \v\f \n<C>\v",
    "<A> \n<B>\t\r\n<C>\f",
    "\x01<A>\x01\n\x1f\n<B>\n",
    "<S `\xe9t\xe9'>\n\xe9\n\xa0 x \xa0\n",
    "<A `a\rb'>\n<B>\n",
    "a\nb\nc\n# End of MIFFile\n<X>\n",
    "x",
    "\n\nx\n\ny",
    "<A>\n" + std::string(254, 'a') + "\n" + std::string(255, 'b') + " \r\n" + std::string(700, 'c') + "\n<B>",
    "<A>\n" + std::string(300, 'd'),
};

TEST(HeldLines, TheLinesMeasuredBeforeGiveWhatTheTextGivesForAnyNumberOfLengths) {
  // However many of the first lines' lengths are given (none, some, all),
  // the lines read are those of the text itself.
  for (const std::string& text : kPlacedRows) {
    const std::vector<std::uint8_t> lengths = ReaderLengths(text);
    const std::vector<std::string> expected = ReaderLines(text);
    for (std::size_t count = 0; count <= lengths.size(); ++count) {
      EXPECT_EQ(HeldLines(text, lengths, count), expected)
          << "text: " << ::testing::PrintToString(text) << ", lengths given: " << count;
    }
  }
}

TEST(HeldLines, LengthsNoLineCanHaveAreSearchedInstead) {
  // Lengths that run past the text, or that are 0, are not taken: those
  // lines are searched for, and noted lines beyond the text's give none.
  const std::string text = "<A>\n<B>\n";
  const std::vector<std::vector<std::uint8_t>> rows = {{3, 200}, {0, 0}, {3, 3, 3, 3}, {200, 200, 200}};
  for (const std::vector<std::uint8_t>& lengths : rows) {
    EXPECT_EQ(HeldLines(text, lengths, lengths.size()), ReaderLines(text)) << ::testing::PrintToString(lengths);
  }
}

TEST(HeldLines, AgreesWithTheLineReaderOnRandomMixes) {
  // Texts of bytes that end, trim or stay: every mix of them, short and
  // long, reads alike.
  const char alphabet[] = {'a', '<', '>', ' ', '\t', '\r', '\n', '\v', '\f', '\x01', '\xe9'};
  unsigned state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return (state >> 16) & 0x7fff;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string text(next() % (round < 2500 ? 24 : 700), ' ');
    for (char& c : text) c = alphabet[next() % sizeof alphabet];
    ASSERT_EQ(HeldLines(text), ReaderLines(text)) << "text: " << ::testing::PrintToString(text);
    // The same with the lengths of all the lines, or of the first half.
    const std::vector<std::uint8_t> lengths = ReaderLengths(text);
    ASSERT_EQ(HeldLines(text, lengths, lengths.size()), ReaderLines(text)) << "text: " << ::testing::PrintToString(text);
    ASSERT_EQ(HeldLines(text, lengths, lengths.size() / 2), ReaderLines(text))
        << "text: " << ::testing::PrintToString(text);
  }
}
