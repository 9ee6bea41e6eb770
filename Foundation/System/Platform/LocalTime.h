// Local date and time for time stamps in the results log.
#pragma once

#include <string>

#include "System/Export.h"

namespace Platform {

// The current date and time in the locale's long form (strftime "%c").
// When SOURCE_DATE_EPOCH is set to a number of seconds, that moment is
// used instead, in UTC, so that logs can be compared in tests.
OSTRAKON_API std::string LongDateTime();

}  // namespace Platform
