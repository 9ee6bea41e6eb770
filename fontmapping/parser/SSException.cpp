#include "fontmapping/parser/SSException.h"

#include <cstdarg>
#include <cstdio>

SSException::SSException(long error, const char* format, ...) : m_iError(error) {
  char buffer[kMaxMessage];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof buffer) {
    m_iError = SSErrorMessageTooLong;
    m_ccsMessage = "SSException0002e: sprintf msg too long";
  } else {
    m_ccsMessage.assign(buffer, static_cast<std::size_t>(n));
  }
}

SSException::SSException(st_Preformatted, long error, std::string message) noexcept
    : m_iError(error), m_ccsMessage(std::move(message)) {}

SSExceptionOutOfStorage::SSExceptionOutOfStorage() noexcept
    : SSException(st_Preformatted{}, SSErrorOutOfStorage, "SSException0001e: Out of storage") {}
