// The kernel's string table: every user-visible text, by numeric id.
#pragma once

#include <cstdarg>
#include <string>

#include "System/Export.h"

// The text of a string id, or an empty string when the table has none.
OSTRAKON_API const char* lpsz_LoadKernelString(unsigned id);

// True when the table holds the id.
OSTRAKON_API bool b_HasKernelString(unsigned id);

// The text of a string id formatted printf-style with the arguments.
OSTRAKON_API std::string ccs_FormatKernelString(unsigned id, ...);

// The same with a va_list.
OSTRAKON_API std::string ccs_VFormatKernelString(unsigned id, va_list args);
