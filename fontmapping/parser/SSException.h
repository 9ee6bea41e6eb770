// The one exception of the parser runtime: an error number and a formatted
// message. SSExceptionOutOfStorage is raised when memory runs out.
#pragma once

#include <exception>
#include <string>

// Error numbers: the message's own number plus the base of its component.
enum : long {
  SSErrorOutOfStorage = -1,
  SSErrorMessageTooLong = 2,
  SSErrorLexBase = 1000,     // SSLex0101e is 1101
  SSErrorLifoBase = 2000,    // SSLifo0001e is 2001
  SSErrorRefBase = 3000,
  SSErrorSetArrayBase = 4000,
  SSErrorYaccBase = 5000,    // SSYacc0101e is 5101
};

class SSException : public std::exception {
 public:
  // The message is formatted printf-style from `format`; when it would not
  // fit in kMaxMessage characters the exception becomes error 2,
  // "SSException0002e: sprintf msg too long".
  static constexpr std::size_t kMaxMessage = 512;
  SSException(long error, const char* format, ...) __attribute__((format(printf, 3, 4)));

  long i_Error() const noexcept { return m_iError; }
  const char* lpsz_Message() const noexcept { return m_ccsMessage.c_str(); }
  const char* what() const noexcept override { return m_ccsMessage.c_str(); }

 protected:
  struct st_Preformatted {};
  SSException(st_Preformatted, long error, std::string message) noexcept;

 private:
  long m_iError;
  std::string m_ccsMessage;
};

class SSExceptionOutOfStorage : public SSException {
 public:
  SSExceptionOutOfStorage() noexcept;
};
