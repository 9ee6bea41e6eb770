// The kernel's string table: every user-visible text, by numeric id.
#pragma once

#include <cstdarg>
#include <string>

#include "System/Export.h"

// The named string ids, one per line of KernelStringTable.inc: Msg::DONE is
// the id of "Done.". Code names the message it means; the number stays the
// table's key (and the REPORTING value names of the glossary texts).
namespace Msg {
enum : unsigned {
#define KERNEL_STRING(id, name, text) name = id,
#include "kernel/session/KernelStringTable.inc"
#undef KERNEL_STRING
};
// The 45 verifier message types, in report-dialog order.
inline constexpr unsigned GLOSSARY_FIRST = GLOSSARY_BOLD;
inline constexpr unsigned GLOSSARY_LAST = GLOSSARY_SORT_STRING;
inline constexpr unsigned GLOSSARY_COUNT = GLOSSARY_LAST - GLOSSARY_FIRST + 1;
// The titles of the report's back-conversion sections 7 to 12.
inline constexpr unsigned SECTION_FIRST = SECTION_EXTERNAL_TAGS;
}  // namespace Msg

// The text of a string id, or an empty string when the table has none.
OSTRAKON_API const char* lpsz_LoadKernelString(unsigned id);

// True when the table holds the id.
OSTRAKON_API bool b_HasKernelString(unsigned id);

// The text of a string id formatted printf-style with the arguments.
OSTRAKON_API std::string ccs_FormatKernelString(unsigned id, ...);

// The same with a va_list.
OSTRAKON_API std::string ccs_VFormatKernelString(unsigned id, va_list args);

// A printf format filled in with the arguments: the one home of the
// vsnprintf calls of the kernel's and the front end's message texts. An
// empty string for a null format or a formatting error.
OSTRAKON_API std::string ccs_Format(const char* format, ...);
OSTRAKON_API std::string ccs_VFormat(const char* format, va_list args);
