// Expression lists of the font mapping lexer.
//
// Every byte of a group the grammar names (Pgf, Font, CombinedFontDefn,
// Condition, Conditional) belongs to exactly one token, so the group's text
// is the concatenation of its tokens; only the ">" that ends a group is a
// token of its own. White space and comments join the token before them, or
// elsewhere are dropped. A statement without nested statements ("leaf") is one token; an
// opening "<Keyword" pushes a list and the matching ">" pops it, so that the
// stack of lists follows the nesting of statements and the ">" of a named
// context gets the context's own end token. Inside a group, nested
// statements up to three levels deep are single content tokens; a deeper
// one opens with NESTED_START and pushes the group's list again.
//
// Regular expression syntax of the generator: literals, [classes] with
// ranges and ^, escapes \n \r \t \xHH, ( ) | * + ? and {MACRO} from below.
#include "fontmapping/parser/grammar/TypeshiftLexSpec.h"

#include "fontmapping/parser/SSLexTableFormat.h"
#include "fontmapping/parser/grammar/TypeshiftTokens.h"

namespace typeshift_lex {

namespace {

using namespace typeshift_tokens;
using namespace sslex_format;

const std::string kWS = "[ \\t\\r\\n]";
const std::string kName = "[A-Za-z][A-Za-z0-9_]*";
// A MIF string: the grave accent opens it, the apostrophe closes it; an
// apostrophe inside is written \q and ">" as \>, so neither ends it early.
const std::string kString = "`[^']*'";
const std::string kComment = "#[^\\r\\n]*";
// A value word: anything up to a blank, a bracket, a string or a comment.
const std::string kWord = "[^<>`# \\t\\r\\n]+";
// Inset data lines ("&..." and "=FrameImage") may hold brackets and quotes.
const std::string kFacet = "[&=][^\\r\\n]*";
const std::string kAtom = "(" + kWord + "|" + kString + "|" + kComment + "|" + kWS + "+)";
const std::string kLeaf = "<" + kName + kAtom + "*>";
const std::string kNested2 = "<" + kName + "(" + kAtom + "|" + kLeaf + ")*>";
const std::string kNested3 = "<" + kName + "(" + kAtom + "|" + kLeaf + "|" + kNested2 + ")*>";
// White space and comments after a token join it, which saves tokens.
const std::string kTrail = "(" + kWS + "|" + kComment + ")*";

enum { kKwMainOpen = 0, kKwMainLeaf, kKwCatalogOpen, kKwCatalogLeaf };

// The lists of the document and of the contexts without groups of their
// own: the same expressions, and the ">" that ends the list's statement.
std::vector<st_Expression> MainList(int closeToken) {
  return {
      {kLeaf + kTrail, CONTENT, kActionNone, 0, kKwMainLeaf},
      {"<" + kName + kTrail, CONTENT, kActionPush, LIST_MAIN, kKwMainOpen},
      {">" + kTrail, closeToken, kActionPop, 0, -1},
      {kWS + "+", 0, kIgnore, 0, -1},
      {kComment, 0, kIgnore, 0, -1},
      {kFacet, CONTENT, kActionNone, 0, -1},
      {kWord, CONTENT, kActionNone, 0, -1},
      {kString, CONTENT, kActionNone, 0, -1},
  };
}

std::vector<st_Expression> CatalogList(int closeToken) {
  return {
      {kLeaf + kTrail, CONTENT, kActionNone, 0, kKwCatalogLeaf},
      {"<" + kName + kTrail, CONTENT, kActionPush, LIST_MAIN, kKwCatalogOpen},
      {">" + kTrail, closeToken, kActionPop, 0, -1},
      {kWS + "+", 0, kIgnore, 0, -1},
      {kComment, 0, kIgnore, 0, -1},
      {kWord, CONTENT, kActionNone, 0, -1},
      {kString, CONTENT, kActionNone, 0, -1},
  };
}

// A group: everything up to its own ">" is content, white space included.
std::vector<st_Expression> GroupList(int list, int contentToken, int endToken) {
  return {
      {kNested3 + kTrail, contentToken, kActionNone, 0, -1},
      // Deeper nesting: the statement's opening, paired by the grammar with
      // the group's end token.
      {"<" + kName + kTrail, NESTED_START, kActionPush, list, -1},
      {">", endToken, kActionPop, 0, -1},
      {kWS + "+", contentToken, kActionNone, 0, -1},
      {kComment, contentToken, kActionNone, 0, -1},
      {kFacet, contentToken, kActionNone, 0, -1},
      {kWord, contentToken, kActionNone, 0, -1},
      {kString, contentToken, kActionNone, 0, -1},
  };
}

std::vector<st_Keyword> MainOpenKeywords(std::uint32_t flags) {
  return {
      {"<PgfCatalog", PGF_CATALOG_START, kActionPush, LIST_PGF_CATALOG, flags},
      {"<FontCatalog", FONT_CATALOG_START, kActionPush, LIST_FONT_CATALOG, flags},
      {"<CombinedFontCatalog", CFONT_CATALOG_START, kActionPush, LIST_CFONT_CATALOG, flags},
      {"<ConditionCatalog", CONDITION_CATALOG_START, kActionPush, LIST_CONDITION_CATALOG, flags},
      {"<Tbls", TBLS_START, kActionPush, LIST_TBLS, flags},
      {"<Tbl", TBL_START, kActionPush, LIST_TBL, flags},
      {"<Row", ROW_START, kActionPush, LIST_ROW, flags},
      {"<TextFlow", TEXTFLOW_START, kActionPush, LIST_FLOW, flags},
      {"<TextLine", TEXTLINE_START, kActionPush, LIST_TEXTLINE, flags},
      {"<Pgf", PGF_START, kActionPush, LIST_PGF, flags},
      {"<Font", FONT_START, kActionPush, LIST_FONT, flags},
      {"<Conditional", CONDITIONAL_START, kActionPush, LIST_CONDITIONAL, flags},
  };
}

std::vector<st_Keyword> CatalogOpenKeywords(std::uint32_t flags) {
  return {
      {"<Pgf", PGF_START, kActionPush, LIST_PGF, flags},
      {"<Font", FONT_START, kActionPush, LIST_FONT, flags},
      {"<CombinedFontDefn", CFONT_START, kActionPush, LIST_CFONT, flags},
      {"<Condition", CONDITION_START, kActionPush, LIST_CONDITION, flags},
  };
}

}  // namespace

st_LexSpec TypeshiftLexSpec() {
  st_LexSpec spec;
  spec.lists.resize(LIST_COUNT);
  spec.lists[LIST_MAIN] = MainList(CONTENT);
  spec.lists[LIST_FLOW] = MainList(TEXTFLOW_END);
  spec.lists[LIST_TBLS] = MainList(TBLS_END);
  spec.lists[LIST_TBL] = MainList(TBL_END);
  spec.lists[LIST_ROW] = MainList(ROW_END);
  spec.lists[LIST_TEXTLINE] = MainList(TEXTLINE_END);
  spec.lists[LIST_PGF_CATALOG] = CatalogList(PGF_CATALOG_END);
  spec.lists[LIST_FONT_CATALOG] = CatalogList(FONT_CATALOG_END);
  spec.lists[LIST_CFONT_CATALOG] = CatalogList(CFONT_CATALOG_END);
  spec.lists[LIST_CONDITION_CATALOG] = CatalogList(CONDITION_CATALOG_END);
  spec.lists[LIST_PGF] = GroupList(LIST_PGF, PGF_CONTENT, PGF_END);
  spec.lists[LIST_FONT] = GroupList(LIST_FONT, FONT_CONTENT, FONT_END);
  spec.lists[LIST_CFONT] = GroupList(LIST_CFONT, CFONT_CONTENT, CFONT_END);
  spec.lists[LIST_CONDITION] = GroupList(LIST_CONDITION, CONDITION_CONTENT, CONDITION_END);
  spec.lists[LIST_CONDITIONAL] = GroupList(LIST_CONDITIONAL, CONDITIONAL_CONTENT, CONDITIONAL_END);

  spec.keywordLists.resize(4);
  spec.keywordLists[kKwMainOpen] = MainOpenKeywords(0);
  // A group written without nested statements ("<Pgf >") is matched as a
  // leaf: it is cut back to its keyword and its rest read in the group's list.
  spec.keywordLists[kKwMainLeaf] = MainOpenKeywords(kCut);
  spec.keywordLists[kKwMainLeaf].insert(spec.keywordLists[kKwMainLeaf].begin(),
                                        {{"<TextRectID", TEXTRECT_ID, kActionNone, 0, 0},
                                         {"<TblID", TBL_ID, kActionNone, 0, 0},
                                         {"<Unique", UNIQUE_ID, kActionNone, 0, 0},
                                         {"<PgfTag", PGFTAG, kActionNone, 0, 0},
                                         {"<Unconditional", UNCONDITIONAL, kActionNone, 0, 0}});
  spec.keywordLists[kKwCatalogOpen] = CatalogOpenKeywords(0);
  spec.keywordLists[kKwCatalogLeaf] = CatalogOpenKeywords(kCut);
  return spec;
}

}  // namespace typeshift_lex
