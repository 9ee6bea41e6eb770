// The texts of the verifier's numbered report messages.
//
// Report messages ("Error 101. ...", "Alert 1515. ...") have no string
// ids of their own, and several of their numbers are ids of other kernel
// strings, so they live in this one table, keyed by message number. Every
// text names its severity in its first word; the type of a message is
// read from there. Texts are printf formats (%s, %d, %c).
#pragma once

#include <string>

#include "System/Export.h"

namespace Varnel {

// Types of report entries: the severities of CQ_Morvane_ErrorMessage, and
// 0 for a plain line of text.
enum ET_EntryType : int { TYPE_NONE = 0, TYPE_WARNING = 1, TYPE_ALERT = 2, TYPE_ERROR = 3 };

// The suppression key of messages that may never be suppressed.
inline constexpr const char* DO_NOT_SUPPRESS = "Do not suppress!";

// The line that follows a message about text left over at the end of the
// file.
inline constexpr const char* END_OF_FILE_NOTE = "The previous message refers to the end of the file.";

// The text of a message number, or null when the table has none.
OSTRAKON_API const char* lpsz_MessageText(int number);

// The type of a message number from the first word of its text; TYPE_NONE
// when the table has none.
OSTRAKON_API int i_MessageType(int number);

// The text of a message number formatted printf-style; an empty string when
// the table has none.
OSTRAKON_API std::string ccs_FormatMessage(int number, ...);

}  // namespace Varnel
