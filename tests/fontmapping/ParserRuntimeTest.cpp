// The lexer and parser runtime: table loading and checking, the stack, the
// set, reference counts, the driver with hand-made tables, and every
// message of the runtime reached by at least one input.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "fontmapping/ParserTestSupport.h"
#include "fontmapping/parser/FontMappingParser.h"
#include "fontmapping/parser/SSException.h"
#include "fontmapping/parser/SSLex.h"
#include "fontmapping/parser/SSLexTableFormat.h"
#include "fontmapping/parser/SSLifo.h"
#include "fontmapping/parser/SSSetArray.h"
#include "fontmapping/parser/SSYacc.h"
#include "fontmapping/parser/TypeshiftResources.h"
#include "fontmapping/parser/grammar/TypeshiftTables.h"
#include "fontmapping/parser/grammar/TypeshiftTokens.h"

namespace {

namespace fs = std::filesystem;
using namespace typeshift_tokens;
using fmtest::st_StateSpec;

constexpr std::uint32_t kReduce = SSYaccTable::kReduce;
constexpr std::uint32_t kAccept = SSYaccTable::kAccept;

::testing::AssertionResult Raises(const std::function<void()>& f, const std::string& message) {
  try {
    f();
  } catch (const SSException& e) {
    if (e.what() == message) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "raised \"" << e.what() << "\", expected \"" << message << "\"";
  }
  return ::testing::AssertionFailure() << "nothing raised, expected \"" << message << "\"";
}

std::vector<unsigned char> LexTableBytes() {
  return {typeshift_tables::kLexTable, typeshift_tables::kLexTable + typeshift_tables::kLexTableSize};
}

std::string TempPath(const std::string& name) { return (fs::temp_directory_path() / ("fmparser_" + name)).string(); }

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Lexes `text` with the program's lexer table, returning "TOKEN:text" items.
std::vector<std::string> Tokens(std::string_view text, long buffer = -1) {
  SSLexConsumer consumer(text, buffer);
  SSLex lex(&consumer, &CQ_FontMappingParser::rco_LexTable());
  std::vector<std::string> out;
  for (;;) {
    SSLexLexeme* l = lex.pco_NextLexeme();
    l->v_AddRef();
    const long token = l->i_Token();
    out.push_back(std::string(SSLex::lpsz_TokenName(token)) + ":" + l->rco_Text());
    l->b_Release();
    if (token == SSLex::kTokenEof) return out;
  }
}

// A parser over a hand-made table and the program's lexer.
struct HandParser {
  HandParser(const std::vector<unsigned char>& table, std::string_view text)
      : yacc(table.data(), table.size()), consumer(text), lex(&consumer, &CQ_FontMappingParser::rco_LexTable()) {
    parser.setTable(&yacc);
    parser.setLex(&lex);
  }
  SSYaccTable yacc;
  SSLexConsumer consumer;
  SSLex lex;
  SSYacc parser;
};

// --- tables ------------------------------------------------------------------------

TEST(LexTable, GeneratedTableHasFifteenListsAndItsHeader) {
  const std::vector<unsigned char> t = LexTableBytes();
  EXPECT_EQ(fmtest::GetWord(t, 0), 15u);
  EXPECT_EQ(t[4], 0x58);
  EXPECT_EQ(t[5], 0x4C);
  EXPECT_EQ(t[6], 0x53);
  EXPECT_EQ(t[7], 0x53);
  // Each block repeats the magic and its size in words 1 and 11.
  std::size_t at = 36;
  for (int list = 0; list < 15; ++list) {
    EXPECT_EQ(fmtest::GetWord(t, at), sslex_format::kMagic) << list;
    const std::uint32_t size = fmtest::GetWord(t, at + 4);
    EXPECT_EQ(fmtest::GetWord(t, at + 44), size) << list;
    EXPECT_GT(fmtest::GetWord(t, at + 40), 0u) << list;  // states
    at += size;
  }
  EXPECT_LT(at, t.size());  // keyword data follows
  const SSLexTable table(t.data(), t.size());
  EXPECT_EQ(table.n_Lists(), 15u);
  EXPECT_EQ(table.n_KeywordLists(), 4u);
}

TEST(LexTable, MagicZeroIsAcceptedAndDamageIsRefused) {
  std::vector<unsigned char> t = LexTableBytes();
  fmtest::SetWord(t, 4, 0);
  EXPECT_NO_THROW(SSLexTable(t.data(), t.size()));

  struct Row {
    const char* what;
    std::size_t offset;
    std::uint32_t value;
    const char* message;
  };
  const std::uint32_t block0 = fmtest::GetWord(LexTableBytes(), 36 + 4);
  const Row rows[] = {
      {"table magic", 4, 0x12345678, "SSLex0104e: Invalid table, magic"},
      {"block magic", 36, 0, "SSLex0104e: Invalid table, block"},
      {"block sizes disagree", 36 + 44, block0 + 4, "SSLex0104e: Invalid table, block"},
      {"block too long", 36 + 4, 0x7FFFFFF0, "SSLex0104e: Invalid table, block"},
      {"no states", 36 + 40, 0, "SSLex0104e: Invalid table, block counts"},
      {"too many classes", 36 + 8, 300, "SSLex0104e: Invalid table, block counts"},
      {"class map outside", 36 + 16, block0, "SSLex0104e: Invalid table, block offsets"},
      {"no lists", 0, 0, "SSLex0104e: Invalid table, number of expression lists"},
      {"header word", 8, 1, "SSLex0104e: Invalid table, header"},
  };
  for (const Row& row : rows) {
    std::vector<unsigned char> bad = LexTableBytes();
    fmtest::SetWord(bad, row.offset, row.value);
    EXPECT_TRUE(Raises([&] { SSLexTable(bad.data(), bad.size()); }, row.message)) << row.what;
  }
  std::vector<unsigned char> cut = LexTableBytes();
  cut.resize(cut.size() - 2);
  EXPECT_TRUE(Raises([&] { SSLexTable(cut.data(), cut.size()); }, "SSLex0104e: Invalid table, keyword text"));
  EXPECT_TRUE(Raises([&] { SSLexTable(t.data(), 20); }, "SSLex0104e: Invalid table, header"));
}

TEST(LexTable, EveryTruncationOfTheTableIsRefusedOrLoads) {
  const std::vector<unsigned char> t = LexTableBytes();
  std::size_t blocksEnd = 36;
  for (int list = 0; list < 15; ++list) blocksEnd += fmtest::GetWord(t, blocksEnd + 4);
  for (std::size_t n = 0; n < t.size(); n += 97) {
    if (n == blocksEnd) continue;  // no keyword data at all is a valid table
    try {
      SSLexTable table(t.data(), n);
      ADD_FAILURE() << "a table cut at " << n << " bytes loaded";
    } catch (const SSException& e) {
      EXPECT_EQ(std::string(e.what()).rfind("SSLex0104e: Invalid table, ", 0), 0u);
    }
  }
}

TEST(LexTable, LoadsFromResourceAndFile) {
  EXPECT_NO_THROW(SSLexTable(TypeshiftResources(), "typeshift", "LexTable"));
  EXPECT_TRUE(Raises([] { SSLexTable(TypeshiftResources(), "OTHER", "LEXTABLE"); }, "SSLex0108e: Resource not found, OTHER"));
  const std::string path = TempPath("lex.tbl");
  WriteBytes(path, LexTableBytes());
  const SSLexTable fromFile(path.c_str());
  EXPECT_EQ(fromFile.n_Lists(), 15u);
  fs::remove(path);
  const std::string missing = TempPath("missing.tbl");
  EXPECT_TRUE(Raises([&] { SSLexTable t(missing.c_str()); }, "SSLex0101e: Error opening file, " + missing + ", 2"));
  const std::string dir = fs::temp_directory_path().string();
  try {
    SSLexTable t(dir.c_str());
    ADD_FAILURE() << "a folder loaded as a table";
  } catch (const SSException& e) {
    EXPECT_EQ(std::string(e.what()).rfind("SSLex0102e: Invalid file length or read error, " + dir, 0), 0u) << e.what();
  }
}

TEST(YaccTable, GeneratedTableHeaderAndRecords) {
  const std::vector<unsigned char> t(typeshift_tables::kYaccTable, typeshift_tables::kYaccTable + typeshift_tables::kYaccTableSize);
  EXPECT_EQ(std::string(t.begin(), t.begin() + 4), "CYSS");
  const std::uint32_t productions = fmtest::GetWord(t, 4), states = fmtest::GetWord(t, 8);
  EXPECT_EQ(productions, typeshift_tables::kYaccTableProductionCount);
  EXPECT_EQ(fmtest::GetWord(t, 16), 20 + 4 * states);  // production data after the state offsets
  EXPECT_EQ(fmtest::GetWord(t, 12), 20 + 4 * states + 8 * productions);
  const SSYaccTable table(t.data(), t.size());
  ASSERT_EQ(table.n_States(), states);
  // Records follow one another: each offset is the previous one plus the
  // previous record's size by the flag rule.
  for (std::uint32_t s = 0; s + 1 < states; ++s) {
    EXPECT_EQ(fmtest::GetWord(t, 20 + 4 * (s + 1)) - fmtest::GetWord(t, 20 + 4 * s), table.n_RecordSize(s)) << s;
  }
  EXPECT_EQ(fmtest::GetWord(t, 20 + 4 * (states - 1)) + table.n_RecordSize(states - 1), t.size());
}

TEST(YaccTable, GrammarTokenNumbersAreTheLexersNames) {
  ASSERT_GT(typeshift_tables::kYaccTableTokenCount, 30u);
  for (std::size_t i = 0; i < typeshift_tables::kYaccTableTokenCount; ++i) {
    const auto& t = typeshift_tables::kYaccTableTokens[i];
    if (t.number == CONTENT || t.number == NESTED_START || std::string(t.name) == "error" || std::string(t.name) == "$undefined" || std::string(t.name) == "YYUNDEF") continue;
    if (t.number <= 0 || t.number > 255) continue;
    EXPECT_STREQ(SSLex::lpsz_TokenName(t.number), t.name) << t.number;
  }
  // The lexer's token numbers (TypeshiftTokens.h) are the grammar's.
  const std::pair<const char*, int> lexer[] = {
      {"CONDITION_CATALOG_START", CONDITION_CATALOG_START},
      {"CFONT_CATALOG_START", CFONT_CATALOG_START},
      {"PGF_CATALOG_START", PGF_CATALOG_START},
      {"FONT_CATALOG_START", FONT_CATALOG_START},
      {"TBLS_START", TBLS_START},
      {"TEXTFLOW_START", TEXTFLOW_START},
      {"TEXTLINE_START", TEXTLINE_START},
      {"CONTENT", CONTENT},
      {"NESTED_START", NESTED_START},
      {"TBL_START", TBL_START},
      {"TBLS_END", TBLS_END},
      {"TBL_ID", TBL_ID},
      {"PGFTAG", PGFTAG},
      {"PGF_START", PGF_START},
      {"FONT_START", FONT_START},
      {"ROW_START", ROW_START},
      {"TBL_END", TBL_END},
      {"CONDITIONAL_START", CONDITIONAL_START},
      {"UNCONDITIONAL", UNCONDITIONAL},
      {"ROW_END", ROW_END},
      {"TEXTRECT_ID", TEXTRECT_ID},
      {"TEXTFLOW_END", TEXTFLOW_END},
      {"CONDITIONAL_CONTENT", CONDITIONAL_CONTENT},
      {"CONDITIONAL_END", CONDITIONAL_END},
      {"CONDITION_START", CONDITION_START},
      {"CONDITION_CATALOG_END", CONDITION_CATALOG_END},
      {"CONDITION_CONTENT", CONDITION_CONTENT},
      {"CONDITION_END", CONDITION_END},
      {"CFONT_START", CFONT_START},
      {"CFONT_CATALOG_END", CFONT_CATALOG_END},
      {"CFONT_CONTENT", CFONT_CONTENT},
      {"CFONT_END", CFONT_END},
      {"FONT_CATALOG_END", FONT_CATALOG_END},
      {"FONT_CONTENT", FONT_CONTENT},
      {"FONT_END", FONT_END},
      {"UNIQUE_ID", UNIQUE_ID},
      {"TEXTLINE_END", TEXTLINE_END},
      {"PGF_CATALOG_END", PGF_CATALOG_END},
      {"PGF_CONTENT", PGF_CONTENT},
      {"PGF_END", PGF_END}};
  for (const auto& [name, number] : lexer) {
    bool found = false;
    for (std::size_t i = 0; i < typeshift_tables::kYaccTableTokenCount; ++i) {
      if (std::string(typeshift_tables::kYaccTableTokens[i].name) == name) {
        EXPECT_EQ(typeshift_tables::kYaccTableTokens[i].number, number) << name;
        found = true;
      }
    }
    EXPECT_TRUE(found) << name;
  }
  EXPECT_STREQ(SSLex::lpsz_TokenName(-1), "eof");
  EXPECT_STREQ(SSLex::lpsz_TokenName(-2), "%error");
  EXPECT_STREQ(SSLex::lpsz_TokenName(59), "SSLexTokenNotFound");
  EXPECT_STREQ(SSLex::lpsz_TokenName(62), "SSLexTokenNotFound");
  EXPECT_STREQ(SSLex::lpsz_TokenName(1000), "SSLexTokenNotFound");
}

TEST(YaccTable, RecordWithFlagBit3OccupiesTwelveBytes) {
  // State 1 has no entries (flag 8) but claims counts; state 2 follows it
  // 12 bytes later.
  std::vector<st_StateSpec> states(3);
  states[0].actions = {{CONTENT, 1}, {-1, kAccept}};
  states[1].flags = 8;
  states[1].actions = {{CONTENT, 2}};  // counted in the header only
  states[2].flags = 2;
  states[2].defaultAction = kAccept;
  const std::vector<unsigned char> t = fmtest::BuildYaccTable({{200, 0}}, states);
  EXPECT_EQ(fmtest::GetWord(t, 28) - fmtest::GetWord(t, 24), 12u);
  const SSYaccTable table(t.data(), t.size());
  EXPECT_EQ(table.n_RecordSize(1), 12u);
  EXPECT_EQ(table.n_RecordSize(2), 20u);
  EXPECT_EQ(table.n_RecordSize(0), 28u);
  EXPECT_EQ(table.n_Action(1, CONTENT), SSYaccTable::kNone);
  // The older format numbers 0 and 1 load the same records.
  for (std::uint32_t magic : {0u, 1u}) {
    const std::vector<unsigned char> old = fmtest::BuildYaccTable({{200, 0}}, states, magic);
    EXPECT_EQ(SSYaccTable(old.data(), old.size()).n_RecordSize(1), 12u);
  }
  // A parse that reaches the empty state fails through error recovery.
  HandParser p(t, "word word");
  EXPECT_TRUE(Raises([&] { p.parser.i_Parse(); }, "SSYacc0105e: Error token failed, no valid token"));
}

TEST(YaccTable, ActionsOfLargeTokenNumbersAndDefaults) {
  std::vector<st_StateSpec> states(2);
  states[0].flags = 2;
  states[0].actions = {{40000, 1}, {CONTENT, kAccept}, {40000, kAccept}};
  states[0].defaultAction = kReduce | 0;
  states[1].flags = 8;
  const std::vector<unsigned char> t = fmtest::BuildYaccTable({{200, 0}}, states);
  const SSYaccTable table(t.data(), t.size());
  EXPECT_EQ(table.n_Action(0, 40000), 1u);  // the first entry for a token counts
  EXPECT_EQ(table.n_Action(0, CONTENT), kAccept);
  EXPECT_EQ(table.n_Action(0, 39999), kReduce | 0);  // the default
  EXPECT_EQ(table.n_Action(0, -2), kReduce | 0);
  EXPECT_EQ(table.n_Action(1, CONTENT), SSYaccTable::kNone);
  EXPECT_TRUE(table.b_NeedsLookahead(0));
  EXPECT_EQ(table.rco_ShiftTokens(0), std::vector<long>{40000});
}

TEST(YaccTable, DamagedTablesAreRefused) {
  std::vector<st_StateSpec> states(2);
  states[0].actions = {{CONTENT, 1}};
  states[1].flags = 2;
  states[1].defaultAction = kAccept;
  const std::vector<unsigned char> good = fmtest::BuildYaccTable({{200, 1}}, states);
  EXPECT_NO_THROW(SSYaccTable(good.data(), good.size()));
  const std::string invalid = "SSYacc0102e: Parse failed, invalid table";
  struct Row {
    const char* what;
    std::size_t offset;
    std::uint32_t value;
  };
  const Row rows[] = {
      {"magic", 0, 0x53535958},
      {"state count beyond the table", 8, 1000},
      {"state offset outside", 20, 4000},
      {"unaligned state offset", 20, 30},
      {"shift to a missing state", 20 + 8 + 8 + 12 + 4, 7},
      {"reduce of a missing production", 20 + 8 + 8 + 12 + 4, kReduce | 9},
      {"production data outside", 16, 4000},
  };
  for (const Row& row : rows) {
    std::vector<unsigned char> bad = good;
    fmtest::SetWord(bad, row.offset, row.value);
    EXPECT_TRUE(Raises([&] { SSYaccTable(bad.data(), bad.size()); }, invalid)) << row.what;
  }
  EXPECT_TRUE(Raises([&] { SSYaccTable(good.data(), good.size() - 4); }, invalid));
  EXPECT_TRUE(Raises([&] { SSYaccTable(good.data(), 6); }, invalid));
}

TEST(YaccTable, FileLoadingMessages) {
  const std::string path = TempPath("yacc.tbl");
  WriteBytes(path, {typeshift_tables::kYaccTable, typeshift_tables::kYaccTable + typeshift_tables::kYaccTableSize});
  EXPECT_EQ(SSYaccTable(path.c_str()).n_States(), SSYaccTable(TypeshiftResources(), "TYPESHIFT", "YACCTABLE").n_States());
  WriteBytes(path, std::vector<unsigned char>(SSYaccTable::kMaxFileTable + 4, 0));
  EXPECT_TRUE(Raises([&] { SSYaccTable t(path.c_str()); }, "SSYacc0112e: Table too big"));
  WriteBytes(path, {0x43, 0x59, 0x53, 0x53, 1, 0});
  EXPECT_TRUE(Raises([&] { SSYaccTable t(path.c_str()); }, "SSYacc0111e: Error reading table, " + path));
  fs::remove(path);
  EXPECT_TRUE(Raises([&] { SSYaccTable t(path.c_str()); }, "SSYacc0101e: Open file failed, " + path));
  const std::string dir = fs::temp_directory_path().string();
  EXPECT_TRUE(Raises([&] { SSYaccTable t(dir.c_str()); }, "SSYacc0111e: Error reading table, " + dir));
  EXPECT_TRUE(Raises([] { SSYaccTable t(TypeshiftResources(), "TYPESHIFT", "LEXTABLE2"); }, "SSYacc0115e: Resource not found, TYPESHIFT"));
}

// --- the stack, the set, the reference count, the exception --------------------

TEST(SSLifo, PushPopPeekAndItsMessages) {
  SSLifo stack(2);
  EXPECT_TRUE(Raises([&] { stack.rco_Top(); }, "SSLifo0002e: No top, stack empty"));
  EXPECT_TRUE(Raises([&] { stack.v_Pop(); }, "SSLifo0004e: Cannot pop empty stack"));
  SSLexLexeme* lexeme = new SSLexLexeme(5, "x", 1, 1, 0);
  lexeme->v_AddRef();
  stack.v_Push(3, lexeme);
  EXPECT_EQ(lexeme->i_RefCount(), 2);
  stack.v_Push(4, nullptr);
  EXPECT_TRUE(Raises([&] { stack.v_Push(5, nullptr); }, "SSLifo0001e: Stack full"));
  EXPECT_EQ(stack.rco_Top().i_State, 4);
  EXPECT_EQ(stack.rco_Peek(1).i_State, 3);
  EXPECT_EQ(stack.rco_Peek(1).pco_Element, lexeme);
  EXPECT_TRUE(Raises([&] { stack.rco_Peek(2); }, "SSLifo0003e: Invalid index"));
  stack.v_Pop();
  stack.v_Pop();
  EXPECT_EQ(lexeme->i_RefCount(), 1);
  EXPECT_TRUE(lexeme->b_Release());
}

TEST(SSSetArray, GrowsUnlessFixed) {
  SSSetArray growing(2);
  for (long n : {5L, 1L, 9L, 5L, 3L}) growing.b_Add(n);
  EXPECT_EQ(growing.n_Size(), 4u);
  EXPECT_GE(growing.n_Capacity(), 4u);
  EXPECT_TRUE(growing.b_Contains(9));
  EXPECT_FALSE(growing.b_Contains(2));
  SSSetArray fixed(2, false);
  fixed.b_Add(1);
  fixed.b_Add(2);
  EXPECT_FALSE(fixed.b_Add(2));  // present: no room needed
  EXPECT_TRUE(Raises([&] { fixed.b_Add(3); }, "SSSetArray0001e: Set full"));
  SSSetArray defaults;
  EXPECT_EQ(defaults.n_Capacity(), 64u);
}

TEST(SSRefAndException, MessagesAndNumbers) {
  SSLexLexeme* lexeme = new SSLexLexeme(1, "", 1, 1, 0);
  EXPECT_TRUE(Raises([&] { lexeme->b_Release(); }, "SSRef0001e: Reference count less than zero"));
  delete lexeme;

  try {
    SSLifo huge(static_cast<std::size_t>(-1) / 2);  // beyond what any allocator gives
    ADD_FAILURE() << "an impossible stack was made";
  } catch (const SSExceptionOutOfStorage& e) {
    EXPECT_STREQ(e.what(), "SSException0001e: Out of storage");
    EXPECT_EQ(e.i_Error(), -1);
  }
  EXPECT_TRUE(Raises([] { SSSetArray s(static_cast<std::size_t>(-1) / 2); }, "SSException0001e: Out of storage"));

  // A file name too long for the message buffer.
  const std::string longName = "/nonexistent/" + std::string(600, 'n');
  try {
    SSLexConsumer c(longName.c_str());
    ADD_FAILURE();
  } catch (const SSException& e) {
    EXPECT_STREQ(e.what(), "SSException0002e: sprintf msg too long");
    EXPECT_EQ(e.i_Error(), 2);
  }
  const SSException e(SSErrorYaccBase + 107, "SSYacc0107e: Invalid goto on %ld", 42L);
  EXPECT_EQ(e.i_Error(), 5107);
  EXPECT_STREQ(e.lpsz_Message(), "SSYacc0107e: Invalid goto on 42");
}

// --- the lexer -------------------------------------------------------------------

TEST(SSLexScanner, TokensOfStatementsGroupsAndContexts) {
  struct Row {
    const char* input;
    std::vector<std::string> tokens;
  };
  // White space and comments join the token before them, except after the
  // ">" that ends a group.
  const Row rows[] = {
      {"<Unique 12>\n<Para <PgfTag `Body'> > # end\n",
       {"UNIQUE_ID:<Unique 12>\n", "SSLexTokenNotFound:<Para ", "PGFTAG:<PgfTag `Body'> ", "SSLexTokenNotFound:> # end\n", "eof:"}},
      {"<Pgf <PgfTag `a\\>b'>\n <PgfFont <FTag `'>> # end of PgfFont\n > # end of Pgf",
       {"PGF_START:<Pgf ", "PGF_CONTENT:<PgfTag `a\\>b'>\n ", "PGF_CONTENT:<PgfFont <FTag `'>> # end of PgfFont\n ", "PGF_END:>",
        "eof:"}},
      {"<PgfCatalog <Pgf >>",
       {"PGF_CATALOG_START:<PgfCatalog ", "PGF_START:<Pgf", "PGF_CONTENT: ", "PGF_END:>", "PGF_CATALOG_END:>", "eof:"}},
      {"<FontCatalog\n<Font <FTag `Emph'>>>",
       {"FONT_CATALOG_START:<FontCatalog\n", "FONT_START:<Font ", "FONT_CONTENT:<FTag `Emph'>", "FONT_END:>", "FONT_CATALOG_END:>", "eof:"}},
      {"<Tbls <Tbl <TblID 3> <TblH <Row <Cell >>>>>",
       {"TBLS_START:<Tbls ", "TBL_START:<Tbl ", "TBL_ID:<TblID 3> ", "SSLexTokenNotFound:<TblH ", "ROW_START:<Row ",
        "SSLexTokenNotFound:<Cell >", "ROW_END:>", "SSLexTokenNotFound:>", "TBL_END:>", "TBLS_END:>", "eof:"}},
      {"<TextFlow <Para <ParaLine <TextRectID 7> <Conditional <InCondition `C'>> <Unconditional >>>>",
       {"TEXTFLOW_START:<TextFlow ", "SSLexTokenNotFound:<Para ", "SSLexTokenNotFound:<ParaLine ", "TEXTRECT_ID:<TextRectID 7> ",
        "CONDITIONAL_START:<Conditional ", "CONDITIONAL_CONTENT:<InCondition `C'>", "CONDITIONAL_END:>",
        "UNCONDITIONAL:<Unconditional >", "SSLexTokenNotFound:>", "SSLexTokenNotFound:>", "TEXTFLOW_END:>", "eof:"}},
      {"<CombinedFontCatalog <CombinedFontDefn <CombinedFontName `X'>>>",
       {"CFONT_CATALOG_START:<CombinedFontCatalog ", "CFONT_START:<CombinedFontDefn ", "CFONT_CONTENT:<CombinedFontName `X'>",
        "CFONT_END:>", "CFONT_CATALOG_END:>", "eof:"}},
      {"<ConditionCatalog <Condition <CTag `C'>>>",
       {"CONDITION_CATALOG_START:<ConditionCatalog ", "CONDITION_START:<Condition ", "CONDITION_CONTENT:<CTag `C'>",
        "CONDITION_END:>", "CONDITION_CATALOG_END:>", "eof:"}},
      // Keywords that share a prefix with a group are not the group.
      {"<PgfCatalogX 1> <Fonts 2> <TextLineX 3>",
       {"SSLexTokenNotFound:<PgfCatalogX 1> ", "SSLexTokenNotFound:<Fonts 2> ", "SSLexTokenNotFound:<TextLineX 3>", "eof:"}},
      // A comment holding ">" stays a comment.
      {"<TextRectID 7> # see <Para >\n<A 1>",
       {"TEXTRECT_ID:<TextRectID 7> # see <Para >\n", "SSLexTokenNotFound:<A 1>", "eof:"}},
      {"", {"eof:"}},
  };
  for (const Row& row : rows) EXPECT_EQ(Tokens(row.input), row.tokens) << row.input;
}

TEST(SSLexScanner, LinesAndOffsetsForEveryLineEnd) {
  for (const char* eol : {"\n", "\r", "\r\n"}) {
    const std::string text = std::string("<A 1>") + eol + "  <B 2>" + eol + eol + "<C 3>";
    SSLexConsumer consumer(text, 10);  // refills inside the lexemes
    SSLex lex(&consumer, &CQ_FontMappingParser::rco_LexTable());
    std::vector<std::pair<long, long>> positions;
    for (;;) {
      SSLexLexeme* l = lex.pco_NextLexeme();
      positions.emplace_back(l->i_Line(), l->i_Offset());
      const bool eof = l->i_Token() == SSLex::kTokenEof;
      delete l;
      if (eof) break;
    }
    const std::vector<std::pair<long, long>> expected = {{1, 1}, {2, 3}, {4, 1}, {4, 6}};  // the last: eof
    EXPECT_EQ(positions, expected) << "line end " << (eol[0] == '\n' ? "LF" : eol[1] ? "CR LF" : "CR");
  }
}

TEST(SSLexScanner, MessagesOfTheScanner) {
  EXPECT_TRUE(Raises([] { Tokens("<A 1>\n  < B>"); }, "SSLex0105e: Invalid token, Line 2, Offset 3, < B>"));
  EXPECT_TRUE(Raises([] { Tokens("`" + std::string(100, 'q') + "'", 16); }, "SSLex0103e: Lexeme too long, 16"));
  // A lexeme that fits a buffer exactly is no error.
  EXPECT_EQ(Tokens("`" + std::string(14, 'q') + "'", 16).size(), 2u);

  SSLexConsumer consumer(std::string_view("x"));
  SSLex lex(&consumer, &CQ_FontMappingParser::rco_LexTable());
  EXPECT_TRUE(Raises([&] { lex.v_PushExpressionList(15); }, "SSLex0106e: Invalid expression list index, 15"));
  EXPECT_TRUE(Raises([&] { lex.v_GotoExpressionList(-1); }, "SSLex0106e: Invalid expression list index, -1"));
  lex.v_PushExpressionList(LIST_PGF);
  EXPECT_EQ(lex.i_ExpressionList(), LIST_PGF);
  lex.v_PopExpressionList();
  lex.v_PopExpressionList();  // the bottom list stays
  EXPECT_EQ(lex.i_ExpressionList(), LIST_MAIN);

  EXPECT_TRUE(Raises([&] { SSLex l(nullptr, &CQ_FontMappingParser::rco_LexTable()); }, "SSLex0107e: Table or consumer missing, required"));
  EXPECT_TRUE(Raises([&] { SSLex l(&consumer, nullptr); }, "SSLex0107e: Table or consumer missing, required"));

  // An expression that names a keyword list the table does not have.
  std::vector<unsigned char> t = LexTableBytes();
  const std::size_t exprAt = 36 + fmtest::GetWord(t, 36 + 4 * 7);
  fmtest::SetWord(t, exprAt + 12, 99);
  SSLexTable damaged(t.data(), t.size());
  SSLexConsumer c2(std::string_view("<Unique 1>"));
  SSLex l2(&c2, &damaged);
  EXPECT_TRUE(Raises([&] { delete l2.pco_NextLexeme(); }, "SSLex0110e: Invalid keyword index, 99"));

  const std::string missing = TempPath("no-such-input.mif");
  EXPECT_TRUE(Raises([&] { SSLexConsumer c(missing.c_str()); }, "SSLex0101e: Error opening file, " + missing + ", 2"));
  const std::string dir = fs::temp_directory_path().string();
  SSLexConsumer folder(dir.c_str(), 4096);
  SSLex l3(&folder, &CQ_FontMappingParser::rco_LexTable());
  try {
    delete l3.pco_NextLexeme();
    ADD_FAILURE() << "a folder was read";
  } catch (const SSException& e) {
    EXPECT_EQ(std::string(e.what()).rfind("SSLex0102e: Invalid file length or read error, " + dir, 0), 0u) << e.what();
  }
}

TEST(SSLexScanner, LongDocumentWithSmallBuffer) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "<Para <Unique " + std::to_string(i) + ">\n <ParaLine <String `line of text'>>\n> # end of Para\n";
  const std::vector<std::string> tokens = Tokens(text, 64);
  EXPECT_EQ(tokens.size(), 20000u * 6 + 1);
}

// --- the driver --------------------------------------------------------------------------

TEST(SSYaccDriver, MessagesOfTheDriver) {
  SSYacc bare;
  EXPECT_TRUE(Raises([&] { bare.i_Parse(); }, "SSYacc0109e: setTable missing, required"));
  SSYaccTable real(TypeshiftResources(), "TYPESHIFT", "YACCTABLE");
  bare.setTable(&real);
  EXPECT_TRUE(Raises([&] { bare.i_Parse(); }, "SSYacc0110e: setLex missing, required"));
  EXPECT_TRUE(Raises([&] { bare.elementFromProduction(0); }, "SSYacc0108e: Invalid index on elementFromProduction, 0"));

  // S -> CONTENT, with no error entries anywhere.
  std::vector<st_StateSpec> states(2);
  states[0].actions = {{CONTENT, 1}};
  states[1].actions = {{-1, kAccept}};
  const std::vector<unsigned char> noError = fmtest::BuildYaccTable({{200, 1}}, states);
  {
    HandParser p(noError, "word");
    EXPECT_EQ(p.parser.i_Parse(), 0);
  }
  {
    HandParser p(noError, "<Unique 1> word");  // "word" can be shifted, but no state takes %error
    EXPECT_TRUE(Raises([&] { p.parser.i_Parse(); }, "SSYacc0105e: Error token failed, no valid token"));
  }
  {
    HandParser p(noError, "<Unique 1> <Unique 2>");  // nothing valid before eof
    EXPECT_TRUE(Raises([&] { p.parser.i_Parse(); }, "SSYacc0106e: Error token failed, eof"));
  }
  // A reduction whose left-hand side has no goto.
  std::vector<st_StateSpec> noGoto(2);
  noGoto[0].actions = {{CONTENT, 1}};
  noGoto[1].flags = 2;
  noGoto[1].defaultAction = kReduce | 0;
  {
    HandParser p(fmtest::BuildYaccTable({{201, 1}}, noGoto), "word");
    EXPECT_TRUE(Raises([&] { p.parser.i_Parse(); }, "SSYacc0107e: Invalid goto on 201"));
  }
  // A damaged table whose reductions cycle without reading input.
  std::vector<st_StateSpec> cycle(2);
  cycle[0].actions = {{CONTENT, 1}};
  cycle[0].gotos = {{200, 1}};
  cycle[1].flags = 2;
  cycle[1].defaultAction = kReduce | 0;
  {
    HandParser p(fmtest::BuildYaccTable({{200, 1}}, cycle), "word");
    EXPECT_TRUE(Raises([&] { p.parser.i_Parse(); }, "SSYacc0102e: Parse failed, invalid table"));
  }
  // A table that shifts eof and then asks for more.
  std::vector<st_StateSpec> pastEof(3);
  pastEof[0].actions = {{-1, 1}};
  pastEof[1].actions = {{CONTENT, 2}};
  pastEof[2].flags = 2;
  pastEof[2].defaultAction = kAccept;
  {
    HandParser p(fmtest::BuildYaccTable({{200, 1}}, pastEof), "");
    EXPECT_TRUE(Raises([&] { p.parser.i_Parse(); }, "SSYacc0103e: Attempted read past eof"));
  }
}

// A derived parser sees the right-hand side during its reduce action.
class RecordingParser : public SSYacc {
 public:
  std::vector<std::string> seen;

 protected:
  SSRef* vpco_Reduce(long production) override {
    std::string s = std::to_string(production) + ":";
    for (long i = 0;; ++i) {
      try {
        SSLexLexeme* l = pco_LexemeFromProduction(i);
        s += !l ? "(element)|" : l->i_Token() == SSLex::kTokenError ? std::string("%error|") : l->rco_Text() + "|";
      } catch (const SSException& e) {
        EXPECT_EQ(std::string(e.what()), "SSYacc0108e: Invalid index on elementFromProduction, " + std::to_string(i));
        break;
      }
    }
    seen.push_back(s);
    return production == 1 ? new SSLexLexeme(7, "made", 0, 0, 0) : nullptr;
  }
};

TEST(SSYaccDriver, ReduceActionsSeeTheRightHandSide) {
  // list -> list CONTENT (0) | CONTENT (1); accept on eof after a list.
  std::vector<st_StateSpec> states(4);
  states[0].actions = {{CONTENT, 1}};
  states[0].gotos = {{300, 2}};
  states[1].flags = 2;
  states[1].defaultAction = kReduce | 1;
  states[2].actions = {{CONTENT, 3}, {-1, kAccept}};
  states[3].flags = 2;
  states[3].defaultAction = kReduce | 0;
  const std::vector<unsigned char> t = fmtest::BuildYaccTable({{300, 2}, {300, 1}}, states);
  SSYaccTable table(t.data(), t.size());
  SSLexConsumer consumer(std::string_view("a b c"));
  SSLex lex(&consumer, &CQ_FontMappingParser::rco_LexTable());
  RecordingParser parser;
  parser.setTable(&table);
  parser.setLex(&lex);
  EXPECT_EQ(parser.i_Parse(), 0);
  const std::vector<std::string> expected = {"1:a|", "0:made|b|", "0:(element)|c|"};
  EXPECT_EQ(parser.seen, expected);
}

}  // namespace

namespace {

TEST(SSYaccDriver, RecoveryShiftsASyntheticErrorAndGoesOn) {
  // list -> list CONTENT (0) | CONTENT (1) | %error (2)
  std::vector<st_StateSpec> states(5);
  states[0].actions = {{CONTENT, 1}, {SSLex::kTokenError, 4}};
  states[0].gotos = {{300, 2}};
  states[1].flags = 2;
  states[1].defaultAction = kReduce | 1;
  states[2].actions = {{CONTENT, 3}, {-1, kAccept}};
  states[3].flags = 2;
  states[3].defaultAction = kReduce | 0;
  states[4].flags = 2;
  states[4].defaultAction = kReduce | 2;
  const std::vector<unsigned char> t = fmtest::BuildYaccTable({{300, 2}, {300, 1}, {300, 1}}, states);
  SSYaccTable table(t.data(), t.size());
  // The id statements are not valid anywhere: skipped up to "a".
  SSLexConsumer consumer(std::string_view("<Unique 1> <TblID 2> a b"));
  SSLex lex(&consumer, &CQ_FontMappingParser::rco_LexTable());
  RecordingParser parser;
  parser.setTable(&table);
  parser.setLex(&lex);
  EXPECT_EQ(parser.i_Parse(), 1);
  const std::vector<std::string> expected = {"2:%error|", "0:(element)|a|", "0:(element)|b|"};
  EXPECT_EQ(parser.seen, expected);
}

}  // namespace
