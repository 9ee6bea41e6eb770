// LALR(1) driver. The table is checked and decoded once when it is loaded:
// each state offset becomes a pointer to its record, and the actions are
// spread into a dense array indexed by state and token so that the parse
// loop does one lookup per step. A state whose only entry is its default
// reduction reduces without reading the lookahead.
#include "fontmapping/parser/SSYacc.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "fontmapping/parser/SSException.h"
#include "fontmapping/parser/SSSetArray.h"

namespace {

constexpr std::uint32_t kMagicCYSS = 0x53535943u;  // bytes 43 59 53 53
constexpr long kMaxToken = 65535;

[[noreturn]] void InvalidTable() { throw SSException(SSErrorYaccBase + 102, "SSYacc0102e: Parse failed, invalid table"); }

std::vector<std::uint32_t> Words(const unsigned char* data, std::size_t size) {
  if (!data || size % 4 != 0) InvalidTable();
  std::vector<std::uint32_t> words(size / 4);
  for (std::size_t i = 0; i < words.size(); ++i) {
    const unsigned char* p = data + 4 * i;
    words[i] = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  }
  return words;
}

}  // namespace

// --- table -------------------------------------------------------------------

SSYaccTable::SSYaccTable(const SSResourceModule& module, const char* name, const char* type) {
  const st_SSResource* r = module.pcco_Find(name, type);
  if (!r) throw SSException(SSErrorYaccBase + 115, "SSYacc0115e: Resource not found, %s", name ? name : "");
  m_vecData = Words(r->pcco_Data, r->n_Size);
  v_Load();
}

SSYaccTable::SSYaccTable(const char* fileName) {
  std::FILE* f = fileName ? std::fopen(fileName, "rb") : nullptr;
  if (!f) throw SSException(SSErrorYaccBase + 101, "SSYacc0101e: Open file failed, %s", fileName ? fileName : "");
  // The file is read into a buffer of fixed size; one byte more than fits
  // tells a table that is too big.
  std::vector<unsigned char> buffer(kMaxFileTable + 1);
  const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), f);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) throw SSException(SSErrorYaccBase + 111, "SSYacc0111e: Error reading table, %s", fileName);
  if (got > kMaxFileTable) throw SSException(SSErrorYaccBase + 112, "SSYacc0112e: Table too big");
  if (got < 20 || got % 4 != 0) throw SSException(SSErrorYaccBase + 111, "SSYacc0111e: Error reading table, %s", fileName);
  m_vecData = Words(buffer.data(), got);
  v_Load();
}

SSYaccTable::SSYaccTable(const void* data, std::size_t size) {
  m_vecData = Words(static_cast<const unsigned char*>(data), size);
  v_Load();
}

void SSYaccTable::v_Load() {
  try {
    const std::vector<std::uint32_t>& w = m_vecData;
    if (w.size() < 5) InvalidTable();
    if (w[0] != kMagicCYSS && w[0] != 0 && w[0] != 1) InvalidTable();
    const std::uint32_t nProductions = w[1], nStates = w[2], productionOffset = w[4];
    const std::size_t nWords = w.size();
    if (nStates == 0 || nStates > nWords || nProductions > nWords) InvalidTable();
    if (5 + static_cast<std::size_t>(nStates) > nWords) InvalidTable();
    if (w[3] % 4 != 0 || w[3] / 4 > nWords) InvalidTable();
    if (productionOffset % 4 != 0 || productionOffset / 4 + 2ull * nProductions > nWords) InvalidTable();
    m_vecProductions.resize(nProductions);
    for (std::uint32_t p = 0; p < nProductions; ++p) {
      const std::uint32_t lhs = w[productionOffset / 4 + 2 * p], length = w[productionOffset / 4 + 2 * p + 1];
      if (length > 4096) InvalidTable();
      m_vecProductions[p] = {static_cast<std::int32_t>(lhs), length};
    }
    const auto validAction = [&](std::uint32_t a) {
      switch (a & kKindMask) {
        case kShift: return a < nStates;
        case kReduce: return (a & ~kKindMask) < nProductions;
        case kAccept: return a == kAccept;
        default: return false;
      }
    };
    m_vecStates.resize(nStates);
    for (std::uint32_t s = 0; s < nStates; ++s) {
      const std::uint32_t offset = w[5 + s];
      if (offset % 4 != 0 || offset / 4 + 3 > nWords) InvalidTable();
      const std::uint32_t* record = w.data() + offset / 4;
      st_State& state = m_vecStates[s];
      state.pcco_Record = record;
      const std::uint32_t flags = record[0];
      if (flags & kFlagNoEntries) {
        state.n_RecordSize = 12;
        continue;
      }
      const std::uint64_t pairs = static_cast<std::uint64_t>(record[1]) + record[2] + ((flags & kFlagDefault) ? 1 : 0);
      if (offset / 4 + 3 + 2 * pairs > nWords) InvalidTable();
      state.n_RecordSize = static_cast<std::uint32_t>(12 + 8 * pairs);
      const std::uint32_t* entry = record + 3;
      for (std::uint32_t i = 0; i < record[1]; ++i, entry += 2) {
        const long token = static_cast<std::int32_t>(entry[0]);
        if (token < -2 || token > kMaxToken || !validAction(entry[1])) InvalidTable();
        state.vec_Actions.emplace_back(token, entry[1]);
        if ((entry[1] & kKindMask) == kShift) state.vec_Shifts.push_back(token);
        if (token > m_iMaxToken) m_iMaxToken = token;
      }
      for (std::uint32_t i = 0; i < record[2]; ++i, entry += 2) {
        if (entry[1] >= nStates) InvalidTable();
        state.vec_Gotos.emplace_back(static_cast<std::int32_t>(entry[0]), static_cast<long>(entry[1]));
      }
      if (flags & kFlagDefault) {
        if (!validAction(entry[1])) InvalidTable();
        state.n_Default = entry[1];
      }
      state.b_NeedsLookahead = !(state.vec_Actions.empty() && state.n_Default != kNone);
    }
    // Tokens up to kDenseTokens are looked up directly, any above through
    // the state's own list (a damaged table may name huge token numbers).
    m_iDenseMax = std::min<long>(m_iMaxToken, kDenseTokens);
    const std::size_t width = static_cast<std::size_t>(m_iDenseMax) + 3;
    m_vecDense.assign(width * nStates, kNone);
    for (std::uint32_t s = 0; s < nStates; ++s) {
      std::uint32_t* row = m_vecDense.data() + width * s;
      for (std::size_t t = 0; t < width; ++t) row[t] = m_vecStates[s].n_Default;
      // The first entry for a token counts, as a linear search would find it.
      for (auto it = m_vecStates[s].vec_Actions.rbegin(); it != m_vecStates[s].vec_Actions.rend(); ++it) {
        if (it->first <= m_iDenseMax) row[static_cast<std::size_t>(it->first + 2)] = it->second;
      }
    }
  } catch (const std::bad_alloc&) {
    throw SSExceptionOutOfStorage();
  }
}

std::uint32_t SSYaccTable::n_Action(std::uint32_t state, long token) const {
  if (token >= -2 && token <= m_iDenseMax) {
    return m_vecDense[(static_cast<std::size_t>(m_iDenseMax) + 3) * state + static_cast<std::size_t>(token + 2)];
  }
  for (const auto& [t, action] : m_vecStates[state].vec_Actions) {
    if (t == token) return action;
  }
  return m_vecStates[state].n_Default;
}

long SSYaccTable::i_Goto(std::uint32_t state, long symbol) const {
  for (const auto& [s, target] : m_vecStates[state].vec_Gotos) {
    if (s == symbol) return target;
  }
  return -1;
}

// --- driver ----------------------------------------------------------------------

SSYacc::SSYacc(std::size_t stackCapacity) : m_coStack(stackCapacity) {}

SSYacc::~SSYacc() { v_ReleaseLookahead(); }

SSRef* SSYacc::vpco_Reduce(long) { return nullptr; }

void SSYacc::vv_Error(long, const SSLexLexeme&) {}

void SSYacc::v_ReleaseLookahead() {
  if (m_pLookahead) {
    m_pLookahead->b_Release();
    m_pLookahead = nullptr;
  }
}

SSLexLexeme* SSYacc::pco_Read() {
  if (m_bEofShifted) throw SSException(SSErrorYaccBase + 103, "SSYacc0103e: Attempted read past eof");
  SSLexLexeme* lexeme = m_pLex->pco_NextLexeme();
  lexeme->v_AddRef();
  return lexeme;
}

SSRef* SSYacc::elementFromProduction(long index) const {
  if (m_iReduceLength < 0 || index < 0 || index >= m_iReduceLength) {
    throw SSException(SSErrorYaccBase + 108, "SSYacc0108e: Invalid index on elementFromProduction, %ld", index);
  }
  return m_coStack.rco_Peek(static_cast<std::size_t>(m_iReduceLength - 1 - index)).pco_Element;
}

SSLexLexeme* SSYacc::pco_LexemeFromProduction(long index) const {
  SSRef* element = elementFromProduction(index);
  return element ? element->pco_AsLexeme() : nullptr;
}

long SSYacc::i_Parse() {
  if (!m_pTable) throw SSException(SSErrorYaccBase + 109, "SSYacc0109e: setTable missing, required");
  if (!m_pLex) throw SSException(SSErrorYaccBase + 110, "SSYacc0110e: setLex missing, required");
  const SSYaccTable& table = *m_pTable;
  while (m_coStack.n_Size() > 0) m_coStack.v_Pop();
  v_ReleaseLookahead();
  m_bEofShifted = false;
  m_bShiftedSinceRecovery = true;
  m_iErrors = 0;
  m_coStack.v_Push(0, nullptr);
  // A sound table reduces only finitely often before the next shift; a
  // damaged one could cycle through reductions for ever.
  const std::uint64_t maxSteps = (static_cast<std::uint64_t>(table.n_States()) + 1) * (m_coStack.n_Capacity() + 1) + 1024;
  std::uint64_t steps = 0;
  for (;;) {
    if (++steps > maxSteps) throw SSException(SSErrorYaccBase + 102, "SSYacc0102e: Parse failed, invalid table");
    const std::uint32_t state = static_cast<std::uint32_t>(m_coStack.rco_Top().i_State);
    std::uint32_t action;
    if (!table.b_NeedsLookahead(state)) {
      action = table.n_Action(state, SSLex::kTokenEof);
    } else {
      if (!m_pLookahead) m_pLookahead = pco_Read();
      action = table.n_Action(state, m_pLookahead->i_Token());
    }
    if (action == SSYaccTable::kNone) {
      // One report per error: a token that fails again before any token was
      // shifted after the recovery belongs to the same error.
      if (m_bShiftedSinceRecovery) {
        vv_Error(state, *m_pLookahead);
        ++m_iErrors;
      }
      if (b_Recover()) steps = 0;  // input was consumed
      continue;
    }
    switch (action & SSYaccTable::kKindMask) {
      case SSYaccTable::kShift: {
        if (!m_pLookahead) m_pLookahead = pco_Read();
        m_coStack.v_Push(static_cast<long>(action), m_pLookahead);
        if (m_pLookahead->i_Token() == SSLex::kTokenEof) m_bEofShifted = true;
        if (m_pLookahead->i_Token() != SSLex::kTokenError) m_bShiftedSinceRecovery = true;
        steps = 0;
        v_ReleaseLookahead();
        break;
      }
      case SSYaccTable::kReduce: {
        const std::uint32_t production = action & ~SSYaccTable::kKindMask;
        const long length = static_cast<long>(table.n_ProductionLength(production));
        if (static_cast<std::size_t>(length) >= m_coStack.n_Size()) {
          throw SSException(SSErrorYaccBase + 102, "SSYacc0102e: Parse failed, invalid table");
        }
        m_iReduceLength = length;
        SSRef* element = nullptr;
        try {
          element = vpco_Reduce(static_cast<long>(production));
        } catch (...) {
          m_iReduceLength = -1;
          throw;
        }
        m_iReduceLength = -1;
        if (element) element->v_AddRef();  // kept while the right-hand side is popped
        for (long i = 0; i < length; ++i) m_coStack.v_Pop();
        const long symbol = table.i_ProductionSymbol(production);
        const long target = table.i_Goto(static_cast<std::uint32_t>(m_coStack.rco_Top().i_State), symbol);
        if (target < 0) {
          if (element) element->b_Release();
          throw SSException(SSErrorYaccBase + 107, "SSYacc0107e: Invalid goto on %ld", symbol);
        }
        try {
          m_coStack.v_Push(target, element);
        } catch (...) {
          if (element) element->b_Release();
          throw;
        }
        if (element) element->b_Release();
        break;
      }
      default:  // accept
        v_ReleaseLookahead();
        return m_iErrors;
    }
  }
}

bool SSYacc::b_Recover() {
  const SSYaccTable& table = *m_pTable;
  // The tokens any state on the stack can shift.
  SSSetArray valid(64);
  for (std::size_t i = 0; i < m_coStack.n_Size(); ++i) {
    for (long token : table.rco_ShiftTokens(static_cast<std::uint32_t>(m_coStack.rco_Peek(i).i_State))) valid.b_Add(token);
  }
  // The offending token is kept when some state can shift it, unless the
  // last recovery already stopped at it (which would loop).
  bool discard = !valid.b_Contains(m_pLookahead->i_Token()) || !m_bShiftedSinceRecovery;
  const bool discarded = discard;
  while (discard) {
    if (m_pLookahead->i_Token() == SSLex::kTokenEof) {
      throw SSException(SSErrorYaccBase + 106, "SSYacc0106e: Error token failed, eof");
    }
    v_ReleaseLookahead();
    m_pLookahead = pco_Read();
    discard = !valid.b_Contains(m_pLookahead->i_Token());
  }
  // Pop to the nearest state that shifts the error token.
  // A default entry is no error entry: the state must shift the error token.
  std::size_t depth = 0;
  while (depth < m_coStack.n_Size()) {
    const std::uint32_t s = static_cast<std::uint32_t>(m_coStack.rco_Peek(depth).i_State);
    const std::vector<long>& shifts = table.rco_ShiftTokens(s);
    if (std::find(shifts.begin(), shifts.end(), SSLex::kTokenError) != shifts.end()) break;
    ++depth;
  }
  if (depth == m_coStack.n_Size()) throw SSException(SSErrorYaccBase + 105, "SSYacc0105e: Error token failed, no valid token");
  for (std::size_t i = 0; i < depth; ++i) m_coStack.v_Pop();
  const std::uint32_t state = static_cast<std::uint32_t>(m_coStack.rco_Top().i_State);
  const std::uint32_t shift = table.n_Action(state, SSLex::kTokenError);
  SSLexLexeme* error = new SSLexLexeme(SSLex::kTokenError, {}, m_pLookahead->i_Line(), m_pLookahead->i_Offset(), m_pLookahead->n_Position());
  try {
    m_coStack.v_Push(static_cast<long>(shift), error);
  } catch (...) {
    delete error;
    throw;
  }
  m_bShiftedSinceRecovery = false;
  return discarded;
}
