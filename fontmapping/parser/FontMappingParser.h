// The font mapping parser: an SSYacc over the "TYPESHIFT" tables whose
// reduce actions collect one CTextPiece per Pgf, Font and CombinedFontDefn
// group of a MIF file, with the group's exact text, position, object
// identifier, kind and origin (see grammar/Typeshift.y for the origins).
//
// Object identifiers: pieces of a table take its "<TblID n>", pieces of a
// text line its "<Unique n>"; in a text flow a Font takes the text
// rectangle ("<TextRectID n>") of its paragraph line, and a Pgf the one of
// the first line of its paragraph, that is the next TextRectID of the flow.
// Catalog pieces have none.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "fontmapping/parser/SSLex.h"
#include "fontmapping/parser/SSYacc.h"
#include "fontmapping/parser/TextPiece.h"

class CQ_FontMappingParser : public SSYacc {
 public:
  // The default read buffer of the lexer consumer.
  static constexpr long kDefaultBufferSize = 256 * 1024;

  // Parses `fileName` with the tables of the program's resources (loaded
  // once per process). On success the pieces are appended to `pieces` in
  // position order; every recovered syntax error adds a line to `log` and 1
  // to `errorCount`. A parse that raises SSException adds nothing to
  // `pieces`.
  CQ_FontMappingParser(const std::string& fileName, std::vector<CTextPiece>& pieces, std::vector<std::string>& log,
                       long& errorCount, long bufferSize = kDefaultBufferSize);
  // The same over a text in memory (tests, fuzzing).
  CQ_FontMappingParser(std::string_view text, std::vector<CTextPiece>& pieces, std::vector<std::string>& log,
                       long& errorCount, long bufferSize = kDefaultBufferSize);
  ~CQ_FontMappingParser() override;

  // Runs the parse; raises SSException when it fails.
  void v_Run();

  // The tables of the program's resources, loaded on first use.
  static SSLexTable& rco_LexTable();
  static SSYaccTable& rco_YaccTable();

 protected:
  SSRef* vpco_Reduce(long production) override;
  void vv_Error(long state, const SSLexLexeme& lookahead) override;

 private:
  enum et_Context { et_Catalog, et_Flow, et_Table, et_TextLine };
  void v_Init();
  void v_FinishGroup(int kind);
  void v_Place(int origin, et_Context context);
  void v_Flush(std::vector<CTextPiece>& pending, const std::string& id);
  static std::string ccs_Identifier(const std::string& statement);

  std::string m_ccsFileName;
  SSLexConsumer m_coConsumer;
  SSLex m_coLex;
  std::vector<CTextPiece>& m_rvecPieces;
  std::vector<std::string>& m_rvecLog;
  long& m_riErrorCount;

  std::vector<CTextPiece> m_vecFound;
  // The group being read, and the one just closed waiting for its context.
  std::string m_ccsGroup;
  CTextPiece m_coClosed;
  bool m_bConditional = false;
  std::string m_ccsFlowId, m_ccsTableId, m_ccsTextLineId;
  std::vector<CTextPiece> m_vecFlowPending, m_vecTablePending, m_vecTextLinePending;
};
