// LALR(1) parser runtime: SSYaccTable (the "CYSS" table) and SSYacc (the
// driver). A derived parser overrides the reduce action and the error
// handler; during a reduce, elementFromProduction gives the lexemes and
// elements of the production's right-hand side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fontmapping/parser/SSLex.h"
#include "fontmapping/parser/SSLifo.h"
#include "fontmapping/parser/SSResource.h"

class SSYaccTable {
 public:
  // Action words of the state records.
  static constexpr std::uint32_t kKindMask = 0xC0000000u;
  static constexpr std::uint32_t kShift = 0;
  static constexpr std::uint32_t kReduce = 0x40000000u;
  static constexpr std::uint32_t kAccept = 0x80000000u;
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  // Record flags.
  static constexpr std::uint32_t kFlagDefault = 2;   // one extra pair: the default entry
  static constexpr std::uint32_t kFlagNoEntries = 8;  // a 12-byte record
  // A table read from a file must fit in this many bytes.
  static constexpr std::size_t kMaxFileTable = 1 << 20;

  // "SSYacc0115e: Resource not found, %s"; the resource is copied by its size.
  SSYaccTable(const SSResourceModule& module, const char* name, const char* type);
  // "SSYacc0101e: Open file failed, %s", "SSYacc0111e: Error reading table, %s",
  // "SSYacc0112e: Table too big".
  explicit SSYaccTable(const char* fileName);
  SSYaccTable(const void* data, std::size_t size);

  // Every constructor checks the whole table: "SSYacc0102e: Parse failed,
  // invalid table" for a bad magic or an inconsistent record.

  std::uint32_t n_States() const noexcept { return static_cast<std::uint32_t>(m_vecStates.size()); }
  std::uint32_t n_Productions() const noexcept { return static_cast<std::uint32_t>(m_vecProductions.size()); }
  long i_ProductionSymbol(std::uint32_t p) const { return m_vecProductions[p].first; }
  std::uint32_t n_ProductionLength(std::uint32_t p) const { return m_vecProductions[p].second; }
  // The state record's byte size in the table (12 with flag bit 3).
  std::uint32_t n_RecordSize(std::uint32_t state) const { return m_vecStates[state].n_RecordSize; }

  // kNone when the state has no entry for the token (and no default).
  std::uint32_t n_Action(std::uint32_t state, long token) const;
  bool b_NeedsLookahead(std::uint32_t state) const { return m_vecStates[state].b_NeedsLookahead; }
  // -1 when the state has no goto on the symbol.
  long i_Goto(std::uint32_t state, long symbol) const;
  // Tokens the state shifts (for error recovery).
  const std::vector<long>& rco_ShiftTokens(std::uint32_t state) const { return m_vecStates[state].vec_Shifts; }

 private:
  struct st_State {
    const std::uint32_t* pcco_Record = nullptr;  // the record in m_vecData
    std::uint32_t n_RecordSize = 0;
    std::vector<std::pair<long, std::uint32_t>> vec_Actions;
    std::vector<std::pair<long, long>> vec_Gotos;
    std::vector<long> vec_Shifts;
    std::uint32_t n_Default = kNone;
    bool b_NeedsLookahead = true;
  };
  void v_Load();

  std::vector<std::uint32_t> m_vecData;  // the table, as words
  std::vector<std::pair<long, std::uint32_t>> m_vecProductions;
  std::vector<st_State> m_vecStates;
  // Dense actions for tokens -2 .. m_iDenseMax, state-major.
  static constexpr long kDenseTokens = 255;
  std::vector<std::uint32_t> m_vecDense;
  long m_iMaxToken = 0;
  long m_iDenseMax = 0;
};

class SSYacc {
 public:
  explicit SSYacc(std::size_t stackCapacity = 256);
  virtual ~SSYacc();
  SSYacc(const SSYacc&) = delete;
  SSYacc& operator=(const SSYacc&) = delete;

  void setTable(SSYaccTable* table) { m_pTable = table; }
  void setLex(SSLex* lex) { m_pLex = lex; }

  // Parses to acceptance. Raises SSException when the parse fails
  // ("SSYacc0109e: setTable missing, required", "SSYacc0110e: setLex missing,
  // required", "SSYacc0105e"/"SSYacc0106e" when error recovery fails,
  // "SSYacc0107e: Invalid goto on %ld", "SSYacc0103e: Attempted read past
  // eof", and whatever the lexer raises). Returns the number of errors
  // recovered from (0 for a clean parse), as reported to vv_Error.
  long i_Parse();

  // The element at `index` (from 0) of the right-hand side being reduced;
  // "SSYacc0108e: Invalid index on elementFromProduction, %ld".
  SSRef* elementFromProduction(long index) const;
  // The same, as a lexeme when it is one (nullptr otherwise).
  SSLexLexeme* pco_LexemeFromProduction(long index) const;

 protected:
  // Called for every reduction; returns the element for the left-hand side
  // (new, count 0) or nullptr.
  virtual SSRef* vpco_Reduce(long production);
  // Called when the lookahead is not valid in the state, before recovery;
  // not again for tokens that fail before the recovery has shifted one.
  virtual void vv_Error(long state, const SSLexLexeme& lookahead);

 private:
  SSLexLexeme* pco_Read();
  // Error recovery; true when it discarded input tokens.
  bool b_Recover();
  void v_ReleaseLookahead();

  SSLifo m_coStack;
  SSYaccTable* m_pTable = nullptr;
  SSLex* m_pLex = nullptr;
  SSLexLexeme* m_pLookahead = nullptr;
  bool m_bEofShifted = false;
  bool m_bShiftedSinceRecovery = true;
  long m_iReduceLength = -1;  // right-hand side length during a reduce
  long m_iErrors = 0;
};
