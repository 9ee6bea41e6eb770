#include "System/Platform/LocalTime.h"

#include <cstdlib>
#include <ctime>

namespace Platform {

std::string LongDateTime() {
  std::time_t now = std::time(nullptr);
  struct tm parts {};
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  char* end = nullptr;
  long long fixed = epoch && *epoch ? std::strtoll(epoch, &end, 10) : 0;
  if (epoch && *epoch && end && *end == '\0') {
    now = static_cast<std::time_t>(fixed);
    gmtime_r(&now, &parts);
  } else {
    localtime_r(&now, &parts);
  }
  char buffer[256];
  std::size_t n = std::strftime(buffer, sizeof buffer, "%c", &parts);
  return std::string(buffer, n);
}

}  // namespace Platform
