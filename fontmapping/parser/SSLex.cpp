// Lexer runtime. The table is checked completely when it is loaded, so the
// scanner can index its arrays without further tests. The consumer keeps the
// bytes of the lexeme being matched in its buffer: a refill moves them to
// the front, so a lexeme needs at most the buffer's size; when the buffer is
// full and a shorter match was already found, the scanner takes that match.
#include "fontmapping/parser/SSLex.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>

#include "fontmapping/parser/SSException.h"
#include "fontmapping/parser/SSLexTableFormat.h"

namespace {

using namespace sslex_format;

std::uint32_t Word(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Bytes of a statement keyword: letters, digits and "_".
constexpr auto kNameBytes = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c) t[static_cast<std::size_t>(c)] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  return t;
}();
bool IsNameByte(unsigned char c) { return kNameBytes[c]; }

[[noreturn]] void Invalid(const char* what) { throw SSException(SSErrorLexBase + 104, "SSLex0104e: Invalid table, %s", what); }

bool ValidAction(std::uint32_t action, long target, std::size_t nLists) {
  if (action & ~(kActionMask | kIgnore)) return false;
  const std::uint32_t kind = action & kActionMask;
  if (kind > kActionGoto) return false;
  if ((kind == kActionPush || kind == kActionGoto) && (target < 0 || static_cast<std::size_t>(target) >= nLists)) return false;
  return true;
}

std::vector<unsigned char> ReadFile(const char* fileName) {
  std::FILE* f = std::fopen(fileName, "rb");
  if (!f) throw SSException(SSErrorLexBase + 101, "SSLex0101e: Error opening file, %s, %ld", fileName, static_cast<long>(errno));
  std::vector<unsigned char> data;
  long length = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
  // A lexer table is small; a length beyond 64 MiB is a directory or a
  // device, not a table.
  if (length < 0 || length > (64L << 20) || std::fseek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    throw SSException(SSErrorLexBase + 102, "SSLex0102e: Invalid file length or read error, %s, %ld", fileName, length);
  }
  try {
    data.resize(static_cast<std::size_t>(length));
  } catch (const std::bad_alloc&) {
    std::fclose(f);
    throw SSExceptionOutOfStorage();
  }
  const std::size_t got = data.empty() ? 0 : std::fread(data.data(), 1, data.size(), f);
  std::fclose(f);
  if (got != data.size()) {
    throw SSException(SSErrorLexBase + 102, "SSLex0102e: Invalid file length or read error, %s, %ld", fileName, length);
  }
  return data;
}

}  // namespace

// --- table -----------------------------------------------------------------

SSLexTable::SSLexTable(const SSResourceModule& module, const char* name, const char* type) {
  const st_SSResource* r = module.pcco_Find(name, type);
  if (!r) throw SSException(SSErrorLexBase + 108, "SSLex0108e: Resource not found, %s", name ? name : "");
  v_Load(r->pcco_Data, r->n_Size);
}

SSLexTable::SSLexTable(const char* fileName) {
  const std::vector<unsigned char> data = ReadFile(fileName);
  v_Load(data.data(), data.size());
}

SSLexTable::SSLexTable(const void* data, std::size_t size) { v_Load(static_cast<const unsigned char*>(data), size); }

void SSLexTable::v_Load(const unsigned char* data, std::size_t size) {
  try {
    if (!data || size < 4 * kTableHeaderWords) Invalid("header");
    const std::uint32_t nLists = Word(data);
    const std::uint32_t magic = Word(data + 4);
    if (magic != kMagic && magic != 0) Invalid("magic");
    if (nLists == 0 || nLists > 4096) Invalid("number of expression lists");
    for (std::uint32_t i = 2; i < kTableHeaderWords; ++i) {
      if (Word(data + 4 * i) != 0) Invalid("header");
    }
    std::size_t at = 4 * kTableHeaderWords;
    m_vecLists.resize(nLists);
    for (std::uint32_t l = 0; l < nLists; ++l) {
      if (size - at < kBlockHeaderBytes) Invalid("block header");
      const unsigned char* b = data + at;
      const auto w = [b](std::uint32_t i) { return Word(b + 4 * i); };
      const std::uint32_t blockSize = w(kBlockSize);
      if (w(kBlockMagic) != kMagic || blockSize != w(kBlockSizeAgain) || blockSize < kBlockHeaderBytes ||
          blockSize % 4 != 0 || blockSize > size - at) {
        Invalid("block");
      }
      const std::uint32_t nStates = w(kBlockStates), nClasses = w(kBlockClasses), nExpr = w(kBlockExpressions);
      if (nStates == 0 || nStates >= kNoTransition || nClasses == 0 || nClasses > 256 || nExpr > 65536 ||
          w(kBlockStartState) >= nStates) {
        Invalid("block counts");
      }
      const auto inside = [blockSize](std::uint32_t offset, std::uint64_t length) {
        return offset >= kBlockHeaderBytes && offset <= blockSize && length <= blockSize - offset;
      };
      const std::uint32_t classAt = w(kBlockClassMapOffset), nextAt = w(kBlockTransitionsOffset),
                          acceptAt = w(kBlockAcceptOffset), exprAt = w(kBlockExpressionOffset);
      if (!inside(classAt, 256) || !inside(nextAt, 2ull * nStates * nClasses) || !inside(acceptAt, 4ull * nStates) ||
          acceptAt % 4 != 0 || !inside(exprAt, 4ull * kExpressionWords * nExpr) || exprAt % 4 != 0) {
        Invalid("block offsets");
      }
      st_List& list = m_vecLists[l];
      list.n_Classes = nClasses;
      list.n_Start = w(kBlockStartState);
      for (int c = 0; c < 256; ++c) {
        list.an_Class[c] = b[classAt + static_cast<std::uint32_t>(c)];
        if (list.an_Class[c] >= nClasses) Invalid("character class");
      }
      list.vec_Next.resize(static_cast<std::size_t>(nStates) * nClasses);
      for (std::size_t i = 0; i < list.vec_Next.size(); ++i) {
        const std::uint16_t t = static_cast<std::uint16_t>(b[nextAt + 2 * i] | b[nextAt + 2 * i + 1] << 8);
        if (t != kNoTransition && t >= nStates) Invalid("transition");
        list.vec_Next[i] = t;
      }
      list.vec_Accept.resize(nStates);
      for (std::uint32_t s = 0; s < nStates; ++s) {
        const std::int32_t a = static_cast<std::int32_t>(Word(b + acceptAt + 4 * s));
        if (a < -1 || (a >= 0 && static_cast<std::uint32_t>(a) >= nExpr)) Invalid("accepting state");
        list.vec_Accept[s] = a;
      }
      list.vec_Rows.resize(list.vec_Next.size());
      for (std::size_t i = 0; i < list.vec_Next.size(); ++i) {
        const std::uint16_t t = list.vec_Next[i];
        list.vec_Rows[i] = t == kNoTransition ? kDeadRow : (t * nClasses) | (list.vec_Accept[t] >= 0 ? kAcceptsBit : 0);
      }
      list.vec_Expressions.resize(nExpr);
      for (std::uint32_t e = 0; e < nExpr; ++e) {
        const unsigned char* r = b + exprAt + 4 * kExpressionWords * e;
        st_Expression& x = list.vec_Expressions[e];
        x.i_Token = static_cast<std::int32_t>(Word(r));
        x.n_Action = Word(r + 4);
        x.i_Target = static_cast<std::int32_t>(Word(r + 8));
        x.i_Keywords = static_cast<std::int32_t>(Word(r + 12));
        if (!ValidAction(x.n_Action, x.i_Target, nLists)) Invalid("expression action");
      }
      at += blockSize;
    }
    // Keyword data: none at all, or the lists.
    if (at < size) {
      if (size - at < 4) Invalid("keyword data");
      const std::uint32_t nKeywordLists = Word(data + at);
      at += 4;
      if (nKeywordLists > (size - at) / 4) Invalid("keyword data");
      m_vecKeywords.resize(nKeywordLists);
      for (std::uint32_t k = 0; k < nKeywordLists; ++k) {
        if (size - at < 4) Invalid("keyword list");
        const std::uint32_t n = Word(data + at);
        at += 4;
        if (n > (size - at) / (4 * kKeywordEntryWords)) Invalid("keyword list");
        for (std::uint32_t i = 0; i < n; ++i) {
          if (size - at < 4 * kKeywordEntryWords) Invalid("keyword");
          const unsigned char* r = data + at;
          st_Keyword kw{{}, static_cast<std::int32_t>(Word(r)), Word(r + 4), static_cast<std::int32_t>(Word(r + 8)), Word(r + 12)};
          const std::uint32_t length = Word(r + 16);
          at += 4 * kKeywordEntryWords;
          const std::uint64_t padded = (static_cast<std::uint64_t>(length) + 3) & ~3ull;
          if (length == 0 || padded > size - at) Invalid("keyword text");
          kw.ccs_Text.assign(reinterpret_cast<const char*>(data + at), length);
          at += static_cast<std::size_t>(padded);
          if (!ValidAction(kw.n_Action, kw.i_Target, nLists) || (kw.n_Flags & ~kCut)) Invalid("keyword action");
          m_vecKeywords[k].push_back(std::move(kw));
        }
      }
      if (at != size) Invalid("trailing data");
    }
  } catch (const std::bad_alloc&) {
    throw SSExceptionOutOfStorage();
  }
}

// --- consumer ----------------------------------------------------------------

SSLexConsumer::SSLexConsumer(const char* fileName, long bufferSize) : m_ccsName(fileName ? fileName : "") {
  m_pFile = std::fopen(m_ccsName.c_str(), "rb");
  if (!m_pFile) {
    throw SSException(SSErrorLexBase + 101, "SSLex0101e: Error opening file, %s, %ld", m_ccsName.c_str(), static_cast<long>(errno));
  }
  long length = -1;
  if (std::fseek(m_pFile, 0, SEEK_END) == 0) length = std::ftell(m_pFile);
  if (length < 0 || std::fseek(m_pFile, 0, SEEK_SET) != 0) {
    std::fclose(m_pFile);
    m_pFile = nullptr;
    throw SSException(SSErrorLexBase + 102, "SSLex0102e: Invalid file length or read error, %s, %ld", m_ccsName.c_str(), length);
  }
  try {
    v_Init(bufferSize, static_cast<std::uint64_t>(length));
  } catch (...) {
    std::fclose(m_pFile);
    m_pFile = nullptr;
    throw;
  }
}

SSLexConsumer::SSLexConsumer(std::string_view text, long bufferSize) : m_ccsName("(memory)"), m_svText(text) {
  v_Init(bufferSize, text.size());
}

SSLexConsumer::~SSLexConsumer() {
  if (m_pFile) std::fclose(m_pFile);
}

void SSLexConsumer::v_Init(long bufferSize, std::uint64_t inputSize) {
  m_nInputSize = inputSize;
  std::uint64_t size = bufferSize < 0 || static_cast<std::uint64_t>(bufferSize) > inputSize ? inputSize : static_cast<std::uint64_t>(bufferSize);
  if (size == 0) size = 1;
  try {
    if (size > m_vecBuffer.max_size()) throw std::bad_alloc();
    m_vecBuffer.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    throw SSExceptionOutOfStorage();
  } catch (const std::length_error&) {
    throw SSExceptionOutOfStorage();
  }
}

bool SSLexConsumer::b_Refill() {
  if (m_nRead >= m_nInputSize) return false;
  if (m_nPos > 0) {
    std::memmove(m_vecBuffer.data(), m_vecBuffer.data() + m_nPos, m_nEnd - m_nPos);
    m_nEnd -= m_nPos;
    m_nPos = 0;
  }
  const std::size_t room = m_vecBuffer.size() - m_nEnd;
  if (room == 0) return false;
  const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(room, m_nInputSize - m_nRead));
  std::size_t got = 0;
  if (m_pFile) {
    got = std::fread(m_vecBuffer.data() + m_nEnd, 1, want, m_pFile);
    if (got == 0) {
      throw SSException(SSErrorLexBase + 102, "SSLex0102e: Invalid file length or read error, %s, %ld", m_ccsName.c_str(),
                        static_cast<long>(m_nInputSize));
    }
  } else {
    std::memcpy(m_vecBuffer.data() + m_nEnd, m_svText.data() + m_nRead, want);
    got = want;
  }
  m_nEnd += got;
  m_nRead += got;
  return true;
}

void SSLexConsumer::v_Consume(std::size_t n) {
  if (n == 0) return;
  const char* begin = m_vecBuffer.data() + m_nPos;
  const char* end = begin + n;
  // Line ends are rare beside the other bytes: find them with memchr.
  const char* lastLF = static_cast<const char*>(::memrchr(begin, '\n', n));
  const char* lastCR = static_cast<const char*>(::memrchr(begin, '\r', n));
  if (!lastLF && !lastCR) {
    m_iOffset += static_cast<long>(n);
  } else {
    long line = m_iLine;
    for (const char* p = begin; p && p < end; p = static_cast<const char*>(std::memchr(p + 1, '\n', static_cast<std::size_t>(end - p - 1)))) {
      if (*p != '\n') continue;  // the first probe at `begin`
      const bool afterCR = p == begin ? m_bLastCR : p[-1] == '\r';
      if (!afterCR) ++line;  // the LF of a CR LF ends no further line
    }
    if (lastCR) {
      for (const char* p = begin; p && p < end; p = static_cast<const char*>(std::memchr(p + 1, '\r', static_cast<std::size_t>(end - p - 1)))) {
        if (*p == '\r') ++line;
      }
    }
    const char* last = lastLF > lastCR ? lastLF : lastCR;
    m_iOffset = 1 + static_cast<long>(end - last - 1);
    m_iLine = line;
  }
  m_bLastCR = end[-1] == '\r';
  m_nPos += n;
  m_nConsumed += n;
}

// --- scanner -------------------------------------------------------------------

SSLex::SSLex(SSLexConsumer* consumer, SSLexTable* table) : m_pConsumer(consumer), m_pTable(table) {
  v_Require();
  m_vecLists.push_back(0);
}

void SSLex::v_Require() const {
  if (!m_pConsumer || !m_pTable) throw SSException(SSErrorLexBase + 107, "SSLex0107e: Table or consumer missing, required");
}

void SSLex::v_PushExpressionList(long index) {
  if (!m_pTable || index < 0 || static_cast<std::size_t>(index) >= m_pTable->n_Lists()) {
    throw SSException(SSErrorLexBase + 106, "SSLex0106e: Invalid expression list index, %ld", index);
  }
  m_vecLists.push_back(index);
}

void SSLex::v_GotoExpressionList(long index) {
  if (!m_pTable || index < 0 || static_cast<std::size_t>(index) >= m_pTable->n_Lists()) {
    throw SSException(SSErrorLexBase + 106, "SSLex0106e: Invalid expression list index, %ld", index);
  }
  m_vecLists.back() = index;
}

void SSLex::v_PopExpressionList() {
  if (m_vecLists.size() > 1) m_vecLists.pop_back();
}

void SSLex::v_Apply(std::uint32_t action, long target) {
  switch (action & kActionMask) {
    case kActionPush: v_PushExpressionList(target); break;
    case kActionPop: v_PopExpressionList(); break;
    case kActionGoto: v_GotoExpressionList(target); break;
    default: break;
  }
}

SSLexLexeme* SSLex::pco_NextLexeme() {
  v_Require();
  SSLexConsumer& in = *m_pConsumer;
  try {
    for (;;) {
      if (in.m_nPos == in.m_nEnd && !in.b_Refill()) {
        return SSLexLexeme::pco_Make(kTokenEof, {}, in.m_iLine, in.m_iOffset, in.m_nConsumed);
      }
      const SSLexTable::st_List& list = m_pTable->rco_List(static_cast<std::size_t>(m_vecLists.back()));
      const std::uint32_t* rows = list.vec_Rows.data();
      const std::uint8_t* classOf = list.an_Class;
      const std::size_t nClasses = list.n_Classes;
      std::uint32_t row = list.n_Start * static_cast<std::uint32_t>(nClasses);
      std::uint32_t acceptedRow = SSLexTable::kDeadRow;
      std::size_t acceptedLength = 0;
      std::size_t matched = 0;  // bytes the automaton has read
      for (;;) {
        const unsigned char* start = reinterpret_cast<const unsigned char*>(in.m_vecBuffer.data()) + in.m_nPos;
        const unsigned char* p = start + matched;
        const unsigned char* end = reinterpret_cast<const unsigned char*>(in.m_vecBuffer.data()) + in.m_nEnd;
        bool dead = false;
        while (p < end) {
          const std::uint32_t t = rows[row + classOf[*p]];
          if (t == SSLexTable::kDeadRow) {
            dead = true;
            break;
          }
          ++p;
          row = t & ~SSLexTable::kAcceptsBit;
          if (t & SSLexTable::kAcceptsBit) {
            acceptedRow = row;
            acceptedLength = static_cast<std::size_t>(p - start);
          }
        }
        matched = static_cast<std::size_t>(p - start);
        if (dead) break;
        // The buffer ends inside the match: refill, unless the buffer holds
        // nothing but this lexeme already.
        const bool full = in.m_nPos == 0 && in.m_nEnd == in.m_vecBuffer.size();
        if (full && in.m_nRead < in.m_nInputSize) {
          if (acceptedRow != SSLexTable::kDeadRow) break;
          throw SSException(SSErrorLexBase + 103, "SSLex0103e: Lexeme too long, %ld", static_cast<long>(matched));
        }
        if (!in.b_Refill()) break;
      }
      const long accepted = acceptedRow == SSLexTable::kDeadRow ? -1 : list.vec_Accept[acceptedRow / nClasses];
      if (accepted < 0) {
        // Show the offending text up to the end of its line, briefly.
        const char* p = in.m_vecBuffer.data() + in.m_nPos;
        std::size_t n = 0;
        while (n < 32 && in.m_nPos + n < in.m_nEnd && p[n] != '\r' && p[n] != '\n') ++n;
        const std::string shown(p, n);
        throw SSException(SSErrorLexBase + 105, "SSLex0105e: Invalid token, Line %ld, Offset %ld, %s", in.m_iLine, in.m_iOffset,
                          shown.c_str());
      }
      const SSLexTable::st_Expression& x = list.vec_Expressions[static_cast<std::size_t>(accepted)];
      long token = x.i_Token;
      std::uint32_t action = x.n_Action;
      long target = x.i_Target;
      if (x.i_Keywords >= 0) {
        if (static_cast<std::size_t>(x.i_Keywords) >= m_pTable->n_KeywordLists()) {
          throw SSException(SSErrorLexBase + 110, "SSLex0110e: Invalid keyword index, %ld", x.i_Keywords);
        }
        // The statement keyword: "<" and the letters and digits after it.
        const char* p = in.m_vecBuffer.data() + in.m_nPos;
        std::size_t k = (acceptedLength > 0 && p[0] == '<') ? 1 : 0;
        while (k < acceptedLength && IsNameByte(static_cast<unsigned char>(p[k]))) ++k;
        const std::string_view key(p, k);
        for (const SSLexTable::st_Keyword& kw : m_pTable->rco_Keywords(static_cast<std::size_t>(x.i_Keywords))) {
          if (key == kw.ccs_Text) {
            token = kw.i_Token;
            action = kw.n_Action;
            target = kw.i_Target;
            if (kw.n_Flags & kCut) acceptedLength = k;
            break;
          }
        }
      }
      if (action & kIgnore) {
        in.v_Consume(acceptedLength);
        v_Apply(action, target);
        continue;
      }
      SSLexLexeme* lexeme = SSLexLexeme::pco_Make(token, std::string_view(in.m_vecBuffer.data() + in.m_nPos, acceptedLength),
                                                  in.m_iLine, in.m_iOffset, in.m_nConsumed);
      in.v_Consume(acceptedLength);
      v_Apply(action, target);
      return lexeme;
    }
  } catch (const std::bad_alloc&) {
    throw SSExceptionOutOfStorage();
  }
}

const char* SSLex::lpsz_TokenName(long token) {
  switch (token) {
    case kTokenEof: return "eof";
    case kTokenError: return "%error";
    case 52: return "CONDITION_CATALOG_START";
    case 53: return "CFONT_CATALOG_START";
    case 54: return "PGF_CATALOG_START";
    case 55: return "FONT_CATALOG_START";
    case 56: return "TBLS_START";
    case 57: return "TEXTFLOW_START";
    case 58: return "TEXTLINE_START";
    case 60: return "TBL_START";
    case 61: return "TBLS_END";
    case 63: return "TBL_ID";
    case 64: return "PGFTAG";
    case 65: return "PGF_START";
    case 66: return "FONT_START";
    case 67: return "ROW_START";
    case 68: return "TBL_END";
    case 70: return "CONDITIONAL_START";
    case 71: return "UNCONDITIONAL";
    case 72: return "ROW_END";
    case 74: return "TEXTRECT_ID";
    case 75: return "TEXTFLOW_END";
    case 76: return "CONDITIONAL_CONTENT";
    case 77: return "CONDITIONAL_END";
    case 79: return "CONDITION_START";
    case 80: return "CONDITION_CATALOG_END";
    case 81: return "CONDITION_CONTENT";
    case 82: return "CONDITION_END";
    case 84: return "CFONT_START";
    case 85: return "CFONT_CATALOG_END";
    case 86: return "CFONT_CONTENT";
    case 87: return "CFONT_END";
    case 89: return "FONT_CATALOG_END";
    case 90: return "FONT_CONTENT";
    case 91: return "FONT_END";
    case 93: return "UNIQUE_ID";
    case 94: return "TEXTLINE_END";
    case 96: return "PGF_CATALOG_END";
    case 97: return "PGF_CONTENT";
    case 98: return "PGF_END";
    default: return "SSLexTokenNotFound";
  }
}

// --- lexemes -------------------------------------------------------------------

namespace {

// Released lexemes of this thread, kept with their text's storage so that a
// new lexeme usually needs no allocation.
struct LexemePool {
  std::vector<SSLexLexeme*> free;
  ~LexemePool() {
    for (SSLexLexeme* l : free) SSLexLexeme::v_Destroy(l);
  }
};
thread_local LexemePool t_pool;
constexpr std::size_t kPoolLimit = 4096;
constexpr std::size_t kPooledTextLimit = 4096;

}  // namespace

SSLexLexeme* SSLexLexeme::pco_Make(long token, std::string_view text, long line, long offset, std::uint64_t position) {
  if (t_pool.free.empty()) return new SSLexLexeme(token, text, line, offset, position);
  SSLexLexeme* l = t_pool.free.back();
  t_pool.free.pop_back();
  l->m_iToken = token;
  if (text.size() <= l->m_ccsText.capacity()) {
    // Within the kept storage: no allocation, no fill.
    l->m_ccsText.resize(text.size());
    if (!text.empty()) std::memcpy(l->m_ccsText.data(), text.data(), text.size());
  } else {
    l->m_ccsText.assign(text);
  }
  l->m_iLine = line;
  l->m_iOffset = offset;
  l->m_nPosition = position;
  return l;
}

void SSLexLexeme::vv_Free() {
  if (t_pool.free.size() < kPoolLimit && m_ccsText.capacity() <= kPooledTextLimit) {
    try {
      t_pool.free.push_back(this);
      return;
    } catch (const std::bad_alloc&) {
    }
  }
  delete this;
}

void SSLexLexeme::v_Destroy(SSLexLexeme* lexeme) { delete lexeme; }
