// Reduce actions of the font mapping parser. The productions are found by
// their text in the generated production list, so that reordering the
// grammar cannot attach an action to the wrong production.
#include "fontmapping/parser/FontMappingParser.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "fontmapping/parser/SSException.h"
#include "fontmapping/parser/TypeshiftResources.h"
#include "fontmapping/parser/grammar/TypeshiftTables.h"

namespace {

enum et_Action {
  et_None,
  et_GroupBegin,    // an empty group body: a new group starts
  et_GroupContent,  // body: body CONTENT
  et_AppendFirst,   // a nested statement's opening
  et_AppendThird,   // a nested statement's end
  et_PgfEnd,
  et_FontEnd,
  et_CFontEnd,
  et_PlaceCFontCatalog,  // origin 1
  et_PlacePgfCatalog,    // origin 2
  et_PlaceDocument,      // origin 2
  et_PlaceFontCatalog,   // origin 3
  et_PlaceFlow,          // origin 4
  et_PlaceTables,        // origin 5, outside a table
  et_PlaceTable,         // origin 5
  et_PlaceTextLine,      // origin 6
  et_FlowId,
  et_TableId,
  et_TextLineId,
  et_FlowEnd,
  et_TableEnd,
  et_TextLineEnd,
  et_Conditional,
  et_Unconditional,
};

struct st_Binding {
  const char* lpsz_Production;
  et_Action et_Do;
};

const st_Binding kBindings[] = {
    {"pgf_body:", et_GroupBegin},
    {"font_body:", et_GroupBegin},
    {"cfont_body:", et_GroupBegin},
    {"pgf_body: pgf_body PGF_CONTENT", et_GroupContent},
    {"pgf_nest_body: pgf_nest_body PGF_CONTENT", et_GroupContent},
    {"font_nest_body: font_nest_body FONT_CONTENT", et_GroupContent},
    {"cfont_nest_body: cfont_nest_body CFONT_CONTENT", et_GroupContent},
    {"pgf_nest_open: NESTED_START", et_AppendFirst},
    {"font_nest_open: NESTED_START", et_AppendFirst},
    {"cfont_nest_open: NESTED_START", et_AppendFirst},
    {"pgf_nested: pgf_nest_open pgf_nest_body PGF_END", et_AppendThird},
    {"font_nested: font_nest_open font_nest_body FONT_END", et_AppendThird},
    {"cfont_nested: cfont_nest_open cfont_nest_body CFONT_END", et_AppendThird},
    {"font_body: font_body FONT_CONTENT", et_GroupContent},
    {"cfont_body: cfont_body CFONT_CONTENT", et_GroupContent},
    {"pgf: PGF_START pgf_body PGF_END", et_PgfEnd},
    {"font: FONT_START font_body FONT_END", et_FontEnd},
    {"cfont: CFONT_START cfont_body CFONT_END", et_CFontEnd},
    {"cfontcat_item: cfont", et_PlaceCFontCatalog},
    {"pgfcat_item: pgf", et_PlacePgfCatalog},
    {"doc_item: pgf", et_PlaceDocument},
    {"doc_item: font", et_PlaceDocument},
    {"fontcat_item: font", et_PlaceFontCatalog},
    {"flow_item: pgf", et_PlaceFlow},
    {"flow_item: font", et_PlaceFlow},
    {"tbls_item: pgf", et_PlaceTables},
    {"tbls_item: font", et_PlaceTables},
    {"tbl_item: pgf", et_PlaceTable},
    {"tbl_item: font", et_PlaceTable},
    {"row_item: pgf", et_PlaceTable},
    {"row_item: font", et_PlaceTable},
    {"tl_item: pgf", et_PlaceTextLine},
    {"tl_item: font", et_PlaceTextLine},
    {"flow_item: TEXTRECT_ID", et_FlowId},
    {"tbl_item: TBL_ID", et_TableId},
    {"tl_item: UNIQUE_ID", et_TextLineId},
    {"textflow: TEXTFLOW_START flow_items TEXTFLOW_END", et_FlowEnd},
    {"tbl: TBL_START tbl_items TBL_END", et_TableEnd},
    {"textline: TEXTLINE_START tl_items TEXTLINE_END", et_TextLineEnd},
    {"common: conditional", et_Conditional},
    {"common: UNCONDITIONAL", et_Unconditional},
};

// Actions by production number; built once from the generated texts.
const std::vector<et_Action>& Actions() {
  static const std::vector<et_Action> actions = [] {
    std::vector<et_Action> a(typeshift_tables::kYaccTableProductionCount, et_None);
    for (const st_Binding& b : kBindings) {
      bool found = false;
      for (std::size_t p = 0; p < a.size(); ++p) {
        if (std::strcmp(typeshift_tables::kYaccTableProductions[p], b.lpsz_Production) == 0) {
          a[p] = b.et_Do;
          found = true;
        }
      }
      if (!found) throw SSException(SSErrorYaccBase + 102, "SSYacc0102e: Parse failed, invalid table");
    }
    return a;
  }();
  return actions;
}

}  // namespace

SSLexTable& CQ_FontMappingParser::rco_LexTable() {
  static SSLexTable table(TypeshiftResources(), "TYPESHIFT", "LEXTABLE");
  return table;
}

SSYaccTable& CQ_FontMappingParser::rco_YaccTable() {
  static SSYaccTable table(TypeshiftResources(), "TYPESHIFT", "YACCTABLE");
  return table;
}

CQ_FontMappingParser::CQ_FontMappingParser(const std::string& fileName, std::vector<CTextPiece>& pieces,
                                           std::vector<std::string>& log, long& errorCount, long bufferSize)
    : m_ccsFileName(fileName),
      m_coConsumer(fileName.c_str(), bufferSize),
      m_coLex(&m_coConsumer, &rco_LexTable()),
      m_rvecPieces(pieces),
      m_rvecLog(log),
      m_riErrorCount(errorCount) {
  v_Init();
}

CQ_FontMappingParser::CQ_FontMappingParser(std::string_view text, std::vector<CTextPiece>& pieces,
                                           std::vector<std::string>& log, long& errorCount, long bufferSize)
    : m_ccsFileName("(memory)"),
      m_coConsumer(text, bufferSize),
      m_coLex(&m_coConsumer, &rco_LexTable()),
      m_rvecPieces(pieces),
      m_rvecLog(log),
      m_riErrorCount(errorCount) {
  v_Init();
}

CQ_FontMappingParser::~CQ_FontMappingParser() = default;

void CQ_FontMappingParser::v_Init() {
  Actions();
  setTable(&rco_YaccTable());
  setLex(&m_coLex);
}

void CQ_FontMappingParser::v_Run() {
  i_Parse();
  // Groups still waiting for an identifier (a flow, table or text line the
  // input did not close is no parse) keep the one they have.
  v_Flush(m_vecFlowPending, m_ccsFlowId);
  v_Flush(m_vecTablePending, m_ccsTableId);
  v_Flush(m_vecTextLinePending, m_ccsTextLineId);
  // Pieces wait for their identifier in groups, so they may come out of
  // order; most files need no sorting.
  const auto before = [](const CTextPiece& a, const CTextPiece& b) {
    return a.i_StartLine != b.i_StartLine ? a.i_StartLine < b.i_StartLine : a.i_StartColumn < b.i_StartColumn;
  };
  if (!std::is_sorted(m_vecFound.begin(), m_vecFound.end(), before)) std::stable_sort(m_vecFound.begin(), m_vecFound.end(), before);
  m_rvecPieces.insert(m_rvecPieces.end(), std::make_move_iterator(m_vecFound.begin()), std::make_move_iterator(m_vecFound.end()));
  m_vecFound.clear();
}

void CQ_FontMappingParser::vv_Error(long, const SSLexLexeme& lookahead) {
  char line[256];
  std::snprintf(line, sizeof line, "%s: syntax error at line %ld, offset %ld: %s", m_ccsFileName.c_str(), lookahead.i_Line(),
                lookahead.i_Offset(), SSLex::lpsz_TokenName(lookahead.i_Token()));
  m_rvecLog.emplace_back(line);
  ++m_riErrorCount;
}

std::string CQ_FontMappingParser::ccs_Identifier(const std::string& statement) {
  // "<Keyword value>" with the value's padding removed, as the pre-scan
  // records identifiers.
  std::size_t k = 1;
  while (k < statement.size() && std::isalnum(static_cast<unsigned char>(statement[k]))) ++k;
  const std::size_t close = statement.find('>', k);
  std::size_t b = k, e = close == std::string::npos ? statement.size() : close;
  while (b < e && std::isspace(static_cast<unsigned char>(statement[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(statement[e - 1]))) --e;
  return statement.substr(0, k) + " " + statement.substr(b, e - b) + ">";
}

void CQ_FontMappingParser::v_FinishGroup(int kind) {
  const SSLexLexeme* start = pco_LexemeFromProduction(0);
  const SSLexLexeme* end = pco_LexemeFromProduction(2);
  if (!start || !end) throw SSException(SSErrorYaccBase + 102, "SSYacc0102e: Parse failed, invalid table");
  CTextPiece piece;
  piece.ccs_Text.reserve(start->n_Length() + m_ccsGroup.size() + end->n_Length());
  piece.ccs_Text.append(start->rco_Text()).append(m_ccsGroup).append(end->rco_Text());
  piece.i_StartLine = start->i_Line();
  piece.i_StartColumn = start->i_Offset();
  // The rule applied to the whole text gives the position after its last
  // lexeme, so it is applied to that lexeme alone.
  CTextPiece::v_EndPosition(end->i_Line(), end->i_Offset(), end->rco_Text(), piece.i_EndLine, piece.i_EndColumn);
  piece.i_Kind = kind;
  piece.n_Flag = m_bConditional ? 1 : 0;
  piece.n_Value = static_cast<std::uint32_t>(start->n_Position());
  m_coClosed = std::move(piece);
  m_ccsGroup.clear();
}

void CQ_FontMappingParser::v_Flush(std::vector<CTextPiece>& pending, const std::string& id) {
  for (CTextPiece& p : pending) {
    p.ccs_ObjectId = id;
    m_vecFound.push_back(std::move(p));
  }
  pending.clear();
}

void CQ_FontMappingParser::v_Place(int origin, et_Context context) {
  CTextPiece piece = std::move(m_coClosed);
  piece.i_Origin = origin;
  switch (context) {
    case et_Catalog: m_vecFound.push_back(std::move(piece)); break;
    case et_Flow:
      // A Font stands in a paragraph line after its TextRectID; a Pgf opens
      // its paragraph before the first line's TextRectID.
      // A Font before that TextRectID (pieces already waiting) is in the
      // same paragraph line and waits with them.
      if (piece.i_Kind == CTextPiece::KindCharacter && !m_ccsFlowId.empty() && m_vecFlowPending.empty()) {
        piece.ccs_ObjectId = m_ccsFlowId;
        m_vecFound.push_back(std::move(piece));
      } else {
        m_vecFlowPending.push_back(std::move(piece));
      }
      break;
    case et_Table: m_vecTablePending.push_back(std::move(piece)); break;
    case et_TextLine: m_vecTextLinePending.push_back(std::move(piece)); break;
  }
}

SSRef* CQ_FontMappingParser::vpco_Reduce(long production) {
  static const std::vector<et_Action>& actions = Actions();
  if (production < 0 || static_cast<std::size_t>(production) >= actions.size()) return nullptr;
  switch (actions[static_cast<std::size_t>(production)]) {
    case et_None: break;
    case et_GroupBegin: m_ccsGroup.clear(); break;
    case et_GroupContent: {
      const SSLexLexeme* content = pco_LexemeFromProduction(1);
      if (content) m_ccsGroup.append(content->rco_Text());
      break;
    }
    case et_AppendFirst:
      if (const SSLexLexeme* open = pco_LexemeFromProduction(0)) m_ccsGroup.append(open->rco_Text());
      break;
    case et_AppendThird:
      if (const SSLexLexeme* close = pco_LexemeFromProduction(2)) m_ccsGroup.append(close->rco_Text());
      break;
    case et_PgfEnd: v_FinishGroup(CTextPiece::KindParagraph); break;
    case et_FontEnd: v_FinishGroup(CTextPiece::KindCharacter); break;
    case et_CFontEnd: v_FinishGroup(CTextPiece::KindCombinedFont); break;
    case et_PlaceCFontCatalog: v_Place(1, et_Catalog); break;
    case et_PlacePgfCatalog:
    case et_PlaceDocument: v_Place(2, et_Catalog); break;
    case et_PlaceFontCatalog: v_Place(3, et_Catalog); break;
    case et_PlaceFlow: v_Place(4, et_Flow); break;
    case et_PlaceTables: v_Place(5, et_Catalog); break;
    case et_PlaceTable: v_Place(5, et_Table); break;
    case et_PlaceTextLine: v_Place(6, et_TextLine); break;
    case et_FlowId:
      if (const SSLexLexeme* id = pco_LexemeFromProduction(0)) m_ccsFlowId = ccs_Identifier(id->rco_Text());
      v_Flush(m_vecFlowPending, m_ccsFlowId);
      break;
    case et_TableId:
      if (const SSLexLexeme* id = pco_LexemeFromProduction(0)) m_ccsTableId = ccs_Identifier(id->rco_Text());
      break;
    case et_TextLineId:
      if (const SSLexLexeme* id = pco_LexemeFromProduction(0)) m_ccsTextLineId = ccs_Identifier(id->rco_Text());
      break;
    case et_FlowEnd:
      v_Flush(m_vecFlowPending, m_ccsFlowId);
      m_ccsFlowId.clear();
      m_bConditional = false;
      break;
    case et_TableEnd:
      v_Flush(m_vecTablePending, m_ccsTableId);
      m_ccsTableId.clear();
      break;
    case et_TextLineEnd:
      v_Flush(m_vecTextLinePending, m_ccsTextLineId);
      m_ccsTextLineId.clear();
      break;
    case et_Conditional: m_bConditional = true; break;
    case et_Unconditional: m_bConditional = false; break;
  }
  return nullptr;
}
