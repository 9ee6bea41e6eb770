// printf-style formatting into 8-bit and 16-bit text (internal).
//
// 8-bit formats go to vsnprintf unchanged. 16-bit formats follow the
// wide-printf conventions of the system's original platform: "%s", "%ls"
// and "%ws" take 16-bit text (const char16_t*), "%hs" and "%S" take 8-bit
// text (widened with the ANSI code page), "%c" takes a 16-bit unit and
// "%hc"/"%C" an 8-bit one; numbers are formatted by snprintf. "%n" is not
// supported and is written out literally. A null text argument gives
// "(null)".
#pragma once

#include <cstdarg>
#include <string>

namespace formatting {

std::string FormatNarrow(const char* format, va_list args);
std::u16string FormatWide(const char16_t* format, va_list args);

}  // namespace formatting
