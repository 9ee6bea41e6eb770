// The KWX vocabulary: header lines, tag builders, the tokenizer and the
// line rule (table rows and one golden document).
#include <gtest/gtest.h>

#include <cstdint>

#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXPieceList.h"

namespace {

std::string Join(const CQ_StringList& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

TEST(KWXFormatTest, HeaderLinesFollowTheSettings) {
  struct Row {
    int charset, hyphenation, quotes, generation;
    std::vector<std::string> expect;
  };
  const Row rows[] = {
      {0, 0, 0, 2,
       {"<kwx \"F3.00\">", "<sourcecharset \"Normal\">", "<sourcelanguage \"German\">",
        "<sourcehyphenation \"Turn Off\">", "<sourcequotes \"As Text\">", "<sourcepath \"C:\\src\\a.mif\">"}},
      {1, 1, 1, 2,
       {"<kwx \"F3.00\">", "<sourcecharset \"Symbol\">", "<sourcelanguage \"German\">",
        "<sourcehyphenation \"Leave As Is\">", "<sourcequotes \"As Tags\">", "<sourcepath \"C:\\src\\a.mif\">"}},
      {0, 0, 1, 0,
       {"<kwx \"F3.xx\">", "<sourcecharset \"Normal\">", "<sourcelanguage \"German\">",
        "<sourcehyphenation \"Turn Off\">", "<sourcequotes \"As Tags\">", "<sourcepath \"C:\\src\\a.mif\">"}},
  };
  const std::vector<std::string> mif = {"# File Converted by The Morvane for FrameMaker\n", "",
                                        "# Source Language\n", "# Source Hyphenation\n",
                                        "# Source Smart Quotes\n", "# Source Path\n"};
  for (const Row& row : rows) {
    KWX::st_HeaderSettings settings;
    settings.i_CharacterSet = row.charset;
    settings.cs_SourceLanguage = "German";
    settings.i_SourceHyphenation = row.hyphenation;
    settings.i_SmartQuotes = row.quotes;
    settings.cs_SourcePath = "C:\\src\\a.mif";
    settings.i_FormatGeneration = row.generation;
    const auto header = KWX::sast_MakeHeader(settings);
    for (std::size_t i = 0; i < header.size(); ++i) {
      EXPECT_EQ(row.expect[i], header[i].cs_Tag) << "line " << i << ", charset " << row.charset;
      if (i != 1) {
        EXPECT_EQ(mif[i], header[i].cs_MIF) << "line " << i;
      }
    }
    EXPECT_EQ(row.charset ? "# Symbol Character Set\n" : "# Normal Character Set\n", header[1].cs_MIF);
  }
  EXPECT_EQ("</kwx>", KWX::st_MakeTrailer().cs_Tag);
  EXPECT_EQ("# end of file Converted by The Morvane\n", KWX::st_MakeTrailer().cs_MIF);
}

TEST(KWXFormatTest, NumberedTagTexts) {
  struct Row {
    KWX::ET_KWXNumberedTag kind;
    const char* name;
    unsigned number;
    const char* expect;
  };
  const Row rows[] = {
      {KWX::NUMBERED_PS, "Body", 3, "<ps \"Body\" 3>"},
      {KWX::NUMBERED_PS, "", 0, "<ps \"\" 0>"},
      {KWX::NUMBERED_PN, "1.<:t>", 12, "<pn \"1.<:t>\" 12>"},
      {KWX::NUMBERED_CS, "Emphasis", 1, "<:cs \"Emphasis\" 1>"},
      {KWX::NUMBERED_FC, "ignored", 2, "<:fc 2>"},
      {KWX::NUMBERED_CNS, "Draft", 4, "<:cns \"Draft\" 4>"},
      {KWX::NUMBERED_E, "Chapter", 5, "<e \"Chapter\" 5>"},
      {KWX::NUMBERED_EL, "Title", 6, "<:el \"Title\" 6>"},
      {KWX::NUMBERED_ELF, "Title", 1, "<:elf \"Title\" 1>"},
      {KWX::NUMBERED_XR, "Page", 7, "<:xr \"Page\" 7>"},
      {KWX::NUMBERED_V, "Chapter", 8, "<:v \"Chapter\" 8>"},
      {KWX::NUMBERED_ROW, "", 9, "<row 9>"},
      {KWX::NUMBERED_HROW, "", 10, "<hrow 10>"},
      {KWX::NUMBERED_CT, "", 11, "<ct 11>"},
      {KWX::NUMBERED_TBT, "", 1, "<tbt 1>"},
      {KWX::NUMBERED_TI, "", 2, "<:ti 2>"},
      {KWX::NUMBERED_TS, "", 3, "<ts 3>"},
      {KWX::NUMBERED_MK, "Comment", 7, "<mk \"Comment\" 7>"},
      {KWX::NUMBERED_IMK, "", 4, "<imk 4>"},
      {KWX::NUMBERED_FMK1, "", 1, "<:fmk1 1>"},
      {KWX::NUMBERED_FMK2, "", 2, "<:fmk2 2>"},
      {KWX::NUMBERED_HMK, "", 3, "<:hmk 3>"},
      {KWX::NUMBERED_CRMK, "", 4, "<:crmk 4>"},
      {KWX::NUMBERED_CNMK, "", 5, "<:cnmk 5>"},
  };
  std::set<int> kinds;
  for (const Row& row : rows) {
    EXPECT_EQ(row.expect, KWX::ccs_MakeNumberedTag(row.kind, row.name, row.number)) << "kind " << row.kind;
    kinds.insert(row.kind);
    // Every numbered tag is recognised by its opening text.
    const std::string tag = KWX::ccs_MakeNumberedTag(row.kind, row.name, row.number);
    EXPECT_EQ(KWX::rst_NumberedTagInfo(row.kind).cs_Opening, tag.substr(0, tag.find(' '))) << tag;
  }
  EXPECT_EQ(static_cast<std::size_t>(KWX::NUMBERED_KIND_COUNT), kinds.size());
}

TEST(KWXFormatTest, OtherTagBuilders) {
  EXPECT_EQ("<tr 12>", KWX::ccs_MakeIdTag(KWX::PREFIX_TR, "12"));
  EXPECT_EQ("<:fn 3>", KWX::ccs_MakeIdTag(KWX::PREFIX_IFN, "3"));
  EXPECT_EQ("<:iaf 88>", KWX::ccs_MakeIdTag(KWX::PREFIX_IAF, "88"));
  EXPECT_EQ("<page \"LeftMasterPage\">", KWX::ccs_MakeQuotedTag(KWX::PREFIX_PAGE, "LeftMasterPage"));
  EXPECT_EQ("</el \"Title\">", KWX::ccs_MakeQuotedTag(KWX::PREFIX_EL_CLOSE, "Title"));
  EXPECT_EQ("<bb \"Master Pages\">", KWX::ccs_MakeBuildingBlockTag(KWX::BB_MASTER_PAGES));
  EXPECT_EQ("# Table Footnote Number Suffix\n", KWX::ccs_BuildingBlockMIF(KWX::BB_TABLE_FOOTNOTE_NUMBER_SUFFIX));

  const std::pair<const char*, const char*> external[] = {
      {"<:el \"X\" 3>", "<el \"X\" 3>"},   {"<:/el \"X\">", "</el \"X\">"},
      {"<:elf \"X\" 1>", "<elf \"X\" 1>"}, {"<:/elf \"X\">", "</elf \"X\">"},
      {"<:cs \"X\" 1>", "<:cs \"X\" 1>"},  {"<el \"X\" 3>", "<el \"X\" 3>"},
  };
  for (const auto& [in, out] : external) EXPECT_EQ(out, KWX::ccs_ExternalElementForm(in)) << in;

  const std::pair<const char*, const char*> placeholders[] = {
      {"<mk \"Comment\" 7>", "<:mk \"Comment\" 7>"}, {"<imk 4>", "<:imk 4>"}, {"<fn 4>", "<fn 4>"},
      {"<imk>", "<imk>"},
  };
  for (const auto& [in, out] : placeholders) EXPECT_EQ(out, KWX::ccs_PlaceholderForm(in)) << in;

  EXPECT_EQ(21u, KWX::sacs_BuildingBlockNames().size());
  EXPECT_EQ(KWX::BB_MASTER_PAGES, KWX::sacs_BuildingBlockNames().back());
}

TEST(KWXFormatTest, FixedPairsAreDistinctClosedTags) {
  std::set<std::string> tags;
  for (const KWX::st_TagPair& pair : KWX::sast_FixedTagPairs()) {
    EXPECT_TRUE(tags.insert(pair.cs_Tag).second) << pair.cs_Tag;
    EXPECT_TRUE(KWX::b_IsExternalTag(pair.cs_Tag) || KWX::b_IsInternalTag(pair.cs_Tag)) << pair.cs_Tag;
    ASSERT_FALSE(pair.cs_MIF.empty());
    EXPECT_EQ('\n', pair.cs_MIF.back()) << pair.cs_Tag;
  }
  EXPECT_EQ(20u, tags.size());
  EXPECT_EQ(1u, tags.count("</ct>"));
  EXPECT_EQ(1u, tags.count("<:/cs>"));
}

TEST(KWXFormatTest, TagKinds) {
  struct Row {
    const char* text;
    bool external, internal;
  };
  const Row rows[] = {
      {"<ps \"x\" 1>", true, false}, {"</tr>", true, false}, {"<:t>", false, true}, {"<:/cs>", false, true},
      {"<#imk>", true, false},        {"<", false, false},    {"<1", false, false},  {"text", false, false},
      {"", false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.external, KWX::b_IsExternalTag(row.text)) << row.text;
    EXPECT_EQ(row.internal, KWX::b_IsInternalTag(row.text)) << row.text;
  }
}

TEST(KWXFormatTest, Tokenizer) {
  struct Row {
    const char* text;
    std::vector<std::pair<KWX::ET_TokenKind, std::string>> expect;
  };
  const Row rows[] = {
      {"abc", {{KWX::TOKEN_TEXT, "abc"}}},
      {"a<:t>b", {{KWX::TOKEN_TEXT, "a"}, {KWX::TOKEN_TAG, "<:t>"}, {KWX::TOKEN_TEXT, "b"}}},
      {"<ps \"a<:lt>b\" 1>x", {{KWX::TOKEN_TAG, "<ps \"a<:lt>b\" 1>"}, {KWX::TOKEN_TEXT, "x"}}},
      {"x>y", {{KWX::TOKEN_TEXT, "x>y"}}},
      {"a<ps \"b", {{KWX::TOKEN_TEXT, "a"}, {KWX::TOKEN_UNCLOSED_TAG, "<ps \"b"}}},
      {"<:b><:/b>", {{KWX::TOKEN_TAG, "<:b>"}, {KWX::TOKEN_TAG, "<:/b>"}}},
      {"", {}},
  };
  for (const Row& row : rows) {
    std::vector<std::pair<KWX::ET_TokenKind, std::string>> got;
    for (const KWX::st_Token& t : KWX::sast_Tokenize(row.text)) got.emplace_back(t.et_Kind, std::string(t.cs_Text));
    EXPECT_EQ(row.expect, got) << row.text;
  }
}

// The bracket search and the tokenizer built on it agree with plain
// byte-by-byte readings on texts of every length up to a few words, made
// of brackets, colons, letters, blanks and bytes from 0x80 (among them
// 0xBC and 0xBE, which differ from "<" and ">" only in the top bit, and
// "=", "?" and 0xBF, which differ from them only in bit 0).
TEST(KWXFormatTest, BracketSearchAndTokenizerAgreeWithByteByByteReadings) {
  const char alphabet[] = {'<', '>', ':', 'a', ' ', '\xBC', '\xBE', '\x3D', '\x3F', '\xBF', '\x80'};
  auto tokenizeByBytes = [](std::string_view text) {
    std::vector<std::pair<KWX::ET_TokenKind, std::string>> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
      if (text[pos] != '<') {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '<') ++end;
        out.emplace_back(KWX::TOKEN_TEXT, std::string(text.substr(pos, end - pos)));
        pos = end;
        continue;
      }
      int depth = 0;
      std::size_t end = pos;
      for (; end < text.size(); ++end) {
        if (text[end] == '<') ++depth;
        if (text[end] == '>' && --depth == 0) break;
      }
      if (end == text.size()) {
        out.emplace_back(KWX::TOKEN_UNCLOSED_TAG, std::string(text.substr(pos)));
        break;
      }
      out.emplace_back(KWX::TOKEN_TAG, std::string(text.substr(pos, end + 1 - pos)));
      pos = end + 1;
    }
    return out;
  };
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 16;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string text(next() % 40, ' ');
    // Mostly letters, so that whole words without a bracket occur.
    for (char& c : text) c = next() % 4 == 0 ? alphabet[next() % sizeof alphabet] : 'a';
    for (std::size_t pos = 0; pos <= text.size() + 1; ++pos) {
      const std::size_t found = text.find_first_of("<>", pos);
      EXPECT_EQ(KWX::sn_FindBracket(text, pos), found == std::string::npos ? text.size() : found) << text << " " << pos;
    }
    std::vector<std::pair<KWX::ET_TokenKind, std::string>> got;
    for (const KWX::st_Token& t : KWX::sast_Tokenize(text)) got.emplace_back(t.et_Kind, std::string(t.cs_Text));
    EXPECT_EQ(got, tokenizeByBytes(text)) << text;
  }
}

TEST(KWXFormatTest, LineRule) {
  struct Row {
    const char* what;
    std::vector<std::string> pieces;
    std::vector<std::string> expect;
  };
  const Row rows[] = {
      {"paragraphs", {"<ps \"A\" 1>", "one", "<ps \"A\" 1>", "two"}, {"<ps \"A\" 1>one", "<ps \"A\" 1>two"}},
      {"autonumber stays on the paragraph line",
       {"<ps \"H\" 1>", "<pn \"1.\" 1>", "Title"},
       {"<ps \"H\" 1><pn \"1.\" 1>Title"}},
      {"autonumber after text begins a line", {"<ps \"H\" 1>", "x", "<pn \"1.\" 1>"}, {"<ps \"H\" 1>x", "<pn \"1.\" 1>"}},
      {"autonumber after another tag begins a line",
       {"<ps \"H\" 1>", "<:fc 1>", "<pn \"1.\" 1>"},
       {"<ps \"H\" 1><:fc 1>", "<pn \"1.\" 1>"}},
      {"hard return begins a line", {"<ps \"A\" 1>a", "<:hr>", "b"}, {"<ps \"A\" 1>a", "<:hr>b"}},
      {"hard return inside a piece", {"<ps \"A\" 1>a<:hr>b<:hr>"}, {"<ps \"A\" 1>a", "<:hr>b", "<:hr>"}},
      {"hard return in an argument does not split", {"<pn \"a<:hr>b\" 2>x"}, {"<pn \"a<:hr>b\" 2>x"}},
      {"external tags inside one piece", {"text<fn 3><ps \"F\" 2>note</fn>"}, {"text", "<fn 3>", "<ps \"F\" 2>note", "</fn>"}},
      {"internal tags are appended", {"<ps \"A\" 1>", "<:cs \"E\" 1>", "x", "<:/cs>", "<:fn 2>"},
       {"<ps \"A\" 1><:cs \"E\" 1>x<:/cs><:fn 2>"}},
      {"stray greater-than is text", {"<ps \"A\" 1>", "a > b"}, {"<ps \"A\" 1>a > b"}},
      {"empty pieces make no lines", {"", "<tr 1>", "", "</tr>", ""}, {"<tr 1>", "</tr>"}},
      {"text before the first tag", {"lead", "<page \"1\">"}, {"lead", "<page \"1\">"}},
      {"pn directly after ps across pieces in one", {"<ps \"H\" 1><pn \"A\" 1>x"}, {"<ps \"H\" 1><pn \"A\" 1>x"}},
  };
  for (const Row& row : rows) {
    CQ_StringList pieces(row.pieces.begin(), row.pieces.end());
    const CQ_StringList got = KWX::lst_JoinLines(pieces);
    EXPECT_EQ(std::vector<std::string>(row.expect), std::vector<std::string>(got.begin(), got.end())) << row.what;
    // The vector overload and the incremental joiner agree.
    const CQ_StringList fromVector = KWX::lst_JoinLines(row.pieces);
    EXPECT_EQ(got, fromVector) << row.what;
    // So does the compact form the converter writes files from.
    const KWX::CQ_KWXLines compact = KWX::co_JoinLines(CQ_KWXPieceList::sco_FromStrings(row.pieces));
    ASSERT_EQ(compact.size(), got.size()) << row.what;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(compact[i], got[i]) << row.what << " line " << i;
    EXPECT_EQ(compact.lst_Strings(), got) << row.what;
  }
}

TEST(KWXFormatTest, LineRuleGoldenDocument) {
  const std::string folder = std::string(MORVANE_TEST_DATA_DIR) + "/kwx/line_rule/";
  std::ifstream piecesFile(folder + "pieces.txt", std::ios::binary);
  ASSERT_TRUE(piecesFile) << folder;
  std::ifstream expectedFile(folder + "expected.txt", std::ios::binary);
  ASSERT_TRUE(expectedFile) << folder;
  std::stringstream expected;
  expected << expectedFile.rdbuf();

  KWX::CQ_KWXLineJoiner joiner;
  std::string piece;
  while (std::getline(piecesFile, piece)) joiner.v_Add(piece);
  const std::string got = Join(joiner.lst_Finish());
  EXPECT_EQ(expected.str(), got);
  // The joiner is empty after finishing.
  EXPECT_TRUE(joiner.lst_Finish().empty());
  // Joining the joined lines again changes nothing.
  std::istringstream again(got);
  std::vector<std::string> lines;
  while (std::getline(again, piece)) lines.push_back(piece);
  EXPECT_EQ(got, Join(KWX::lst_JoinLines(lines)));
  // A compact joiner gives the same lines in either form.
  std::ifstream piecesAgain(folder + "pieces.txt", std::ios::binary);
  KWX::CQ_KWXLineJoiner compactJoiner{KWX::CQ_KWXLines()};
  while (std::getline(piecesAgain, piece)) compactJoiner.v_Add(piece);
  EXPECT_EQ(got, Join(compactJoiner.lst_Finish()));
  EXPECT_TRUE(compactJoiner.co_FinishCompact().empty());
}

// The compact joiner places pieces that are one token by their kind bits;
// on random lists of tags, text, nested and unclosed brackets, hard
// returns and autonumbers, in pieces alone or run together, it gives the
// lines of the joiner that tokenises every piece.
TEST(KWXFormatTest, CompactJoinerPlacesOneTokenPiecesLikeTheTokeniser) {
  const std::vector<std::string> parts = {
      "<ps \"Body\" 1>", "<ps \"A<:lt>B\" 2>", "<pn \"1.\" 1>", "<pn \"a<:hr>b\" 2>", "<:hr>", "<:hr >",
      "<page \"1\">", "</page>", "<tr 3>", "</tr>", "<:cs \"E\" 1>", "<:/cs>", "<fn 2>", "</fn>", "<#tag>",
      "<:t>", "text", "more text ", "a > b", ">", "<", "<:", "<ps", "x<y", "<a<b>", "<a<b>c>", "</", "<>",
      "<:fn 2>", "<mk \"C\" 1>", "</mk>", "<ps \"\" 0>"};
  std::mt19937 random(20261209);
  std::uniform_int_distribution<std::size_t> pick(0, parts.size() - 1);
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<int> joined(0, 3);
  std::size_t oneToken = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> pieces;
    const int n = length(random);
    for (int i = 0; i < n; ++i) {
      std::string piece = parts[pick(random)];
      // Some pieces hold several parts, as converted text does.
      for (int more = joined(random) == 0 ? joined(random) : 0; more > 0; --more) piece += parts[pick(random)];
      if (joined(random) == 0 && i % 7 == 0) piece.clear();
      pieces.push_back(piece);
    }
    const CQ_StringList expect = KWX::lst_JoinLines(pieces);
    const CQ_KWXPieceList list = CQ_KWXPieceList::sco_FromStrings(pieces);
    for (std::size_t i = 0; i < list.size(); ++i) {
      std::size_t tokens = 0;
      KWX::sv_ForEachToken(pieces[i], [&](const KWX::st_Token& t) { tokens += t.et_Kind == KWX::TOKEN_UNCLOSED_TAG ? 2 : 1; });
      ASSERT_EQ(list[i].b_Is(KWX_PIECE_ONE_TOKEN), tokens == 1) << '"' << pieces[i] << '"';
      if (tokens == 1) ++oneToken;
    }
    const KWX::CQ_KWXLines compact = KWX::co_JoinLines(list);
    ASSERT_EQ(compact.lst_Strings(), expect) << "round " << round;
    // Added as a whole list to a joiner after other pieces, in either form:
    // a compact one whose lines start without room (they grow on the way)
    // and one that builds strings.
    const std::vector<std::string> lead = {"<ps \"Lead\" 9>", "lead text"};
    std::vector<std::string> all = lead;
    all.insert(all.end(), pieces.begin(), pieces.end());
    const CQ_StringList expectAll = KWX::lst_JoinLines(all);
    const st_KWXPiece* first = list.rco_Pieces().data();
    KWX::CQ_KWXLineJoiner grown{KWX::CQ_KWXLines()};
    KWX::CQ_KWXLineJoiner strings;
    for (const std::string& piece : lead) {
      grown.v_Add(piece);
      strings.v_Add(piece);
    }
    grown.v_AddReserved(first, first + list.size());
    strings.v_AddReserved(first, first + list.size());
    ASSERT_EQ(grown.co_FinishCompact().lst_Strings(), expectAll) << "round " << round;
    ASSERT_EQ(strings.lst_Finish(), expectAll) << "round " << round;
  }
  // Both ways through the compact joiner were taken.
  EXPECT_GT(oneToken, 1000u);
}

}  // namespace
