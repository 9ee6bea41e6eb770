// Table-driven lexer: SSLexTable (the "XLSS" table of expression lists),
// SSLexConsumer (the input with its refillable buffer and position
// counters), SSLexLexeme (one token instance) and SSLex (the scanner).
//
// The scanner runs the DFA of the current expression list from the current
// position and takes the longest match (of equal matches the first
// expression). A matched expression may consult a keyword list with the
// statement keyword at the lexeme's start ("<" and letters), may be dropped
// (white space), and may push, pop or replace the current expression list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fontmapping/parser/SSRef.h"
#include "fontmapping/parser/SSResource.h"

class SSLexTable {
 public:
  static constexpr std::uint32_t kDeadRow = 0xFFFFFFFFu;
  static constexpr std::uint32_t kAcceptsBit = 0x80000000u;
  struct st_Expression {
    long i_Token;
    std::uint32_t n_Action;  // sslex_format action word
    long i_Target;
    long i_Keywords;  // keyword list, -1 none
  };
  struct st_List {
    std::uint8_t an_Class[256];
    std::vector<std::uint16_t> vec_Next;  // state * classes + class
    // The same transitions for the scanner: the target's row (target *
    // classes), bit 31 set when the target accepts; kDeadRow for none.
    std::vector<std::uint32_t> vec_Rows;
    std::vector<std::int32_t> vec_Accept;
    std::vector<st_Expression> vec_Expressions;
    std::uint32_t n_Classes = 0;
    std::uint32_t n_Start = 0;
  };
  struct st_Keyword {
    std::string ccs_Text;
    long i_Token;
    std::uint32_t n_Action;
    long i_Target;
    std::uint32_t n_Flags;
  };

  // The resource `name` of type `type` in `module`;
  // "SSLex0108e: Resource not found, %s" when it is missing.
  SSLexTable(const SSResourceModule& module, const char* name, const char* type);
  // A table file; "SSLex0101e: Error opening file, %s, %ld",
  // "SSLex0102e: Invalid file length or read error, %s, %ld".
  explicit SSLexTable(const char* fileName);
  // A table in memory (copied).
  SSLexTable(const void* data, std::size_t size);

  std::size_t n_Lists() const noexcept { return m_vecLists.size(); }
  const st_List& rco_List(std::size_t i) const { return m_vecLists[i]; }
  std::size_t n_KeywordLists() const noexcept { return m_vecKeywords.size(); }
  const std::vector<st_Keyword>& rco_Keywords(std::size_t i) const { return m_vecKeywords[i]; }

 private:
  // Checks every block and decodes it; "SSLex0104e: Invalid table, %s".
  void v_Load(const unsigned char* data, std::size_t size);

  std::vector<st_List> m_vecLists;
  std::vector<std::vector<st_Keyword>> m_vecKeywords;
};

// The input of one parse. Reads the file through a buffer of `bufferSize`
// bytes (the whole file when -1 or larger than the file) that is refilled as
// the lexer advances, and counts lines and offsets (both from 1; CR LF, a
// lone CR and a lone LF each end one line).
class SSLexConsumer {
 public:
  // "SSLex0101e: Error opening file, %s, %ld" (name, errno).
  SSLexConsumer(const char* fileName, long bufferSize = -1);
  // Input held in memory, which must outlive the consumer (copied into the
  // buffer as it is read).
  SSLexConsumer(std::string_view text, long bufferSize = -1);
  ~SSLexConsumer();
  SSLexConsumer(const SSLexConsumer&) = delete;
  SSLexConsumer& operator=(const SSLexConsumer&) = delete;

  long i_Line() const noexcept { return m_iLine; }
  long i_Offset() const noexcept { return m_iOffset; }
  std::uint64_t n_Position() const noexcept { return m_nConsumed; }
  std::size_t n_BufferSize() const noexcept { return m_vecBuffer.size(); }

 private:
  friend class SSLex;
  void v_Init(long bufferSize, std::uint64_t inputSize);
  // Moves the unread bytes to the buffer's front and reads more; false at
  // the end of the input. "SSLex0102e: ..." when reading fails.
  bool b_Refill();
  // Counts the lines and offsets of `n` bytes leaving the buffer at m_nPos.
  void v_Consume(std::size_t n);

  std::string m_ccsName;
  std::FILE* m_pFile = nullptr;
  std::string_view m_svText;  // memory input
  std::uint64_t m_nRead = 0;  // bytes taken from the input so far
  std::uint64_t m_nInputSize = 0;
  std::vector<char> m_vecBuffer;
  std::size_t m_nPos = 0;  // next unread byte in the buffer
  std::size_t m_nEnd = 0;  // end of valid bytes
  long m_iLine = 1;
  long m_iOffset = 1;
  bool m_bLastCR = false;
  std::uint64_t m_nConsumed = 0;
};

// One token instance: token number, text, line and offset of its first byte,
// and its byte position in the input.
class SSLexLexeme : public SSRef {
 public:
  SSLexLexeme(long token, std::string_view text, long line, long offset, std::uint64_t position)
      : m_iToken(token), m_ccsText(text), m_iLine(line), m_iOffset(offset), m_nPosition(position) {}
  // A lexeme from this thread's pool of released ones, or a new one.
  static SSLexLexeme* pco_Make(long token, std::string_view text, long line, long offset, std::uint64_t position);
  static void v_Destroy(SSLexLexeme* lexeme);
  SSLexLexeme* pco_AsLexeme() noexcept override { return this; }

  long i_Token() const noexcept { return m_iToken; }
  const std::string& rco_Text() const noexcept { return m_ccsText; }
  std::size_t n_Length() const noexcept { return m_ccsText.size(); }
  long i_Line() const noexcept { return m_iLine; }
  long i_Offset() const noexcept { return m_iOffset; }
  std::uint64_t n_Position() const noexcept { return m_nPosition; }

 protected:
  // A released lexeme goes back to the pool.
  void vv_Free() override;

 private:
  long m_iToken;
  std::string m_ccsText;
  long m_iLine;
  long m_iOffset;
  std::uint64_t m_nPosition;
};

class SSLex {
 public:
  static constexpr long kTokenEof = -1;
  static constexpr long kTokenError = -2;

  // Neither is owned. "SSLex0107e: Table or consumer missing, required"
  // when either is missing (here and at every read).
  SSLex(SSLexConsumer* consumer, SSLexTable* table);

  // The next lexeme, new with reference count 0; at the end of the input a
  // lexeme of token -1 ("eof"), again at every call.
  // "SSLex0105e: Invalid token, Line %ld, Offset %ld, %s" when no expression
  // matches; "SSLex0103e: Lexeme too long, %ld" when a lexeme does not fit
  // in the consumer's buffer; "SSLex0110e: Invalid keyword index, %ld".
  SSLexLexeme* pco_NextLexeme();

  // Expression-list switches; "SSLex0106e: Invalid expression list index, %ld".
  void v_PushExpressionList(long index);
  void v_GotoExpressionList(long index);
  // Returns to the list below; at the bottom list nothing changes.
  void v_PopExpressionList();
  long i_ExpressionList() const noexcept { return m_vecLists.back(); }
  std::size_t n_ListDepth() const noexcept { return m_vecLists.size(); }

  // "eof", "%error", the names of the font mapping grammar's tokens, and
  // "SSLexTokenNotFound" for any other number.
  static const char* lpsz_TokenName(long token);

 private:
  void v_Require() const;
  void v_Apply(std::uint32_t action, long target);

  SSLexConsumer* m_pConsumer;
  SSLexTable* m_pTable;
  std::vector<long> m_vecLists;
};
