// Text rules of the error manager (internal, shared with its tests).
#pragma once

#include <string>

namespace error_text {

// A system message as the manager stores it: line ends at its end are
// removed; a line end inside it (CR LF, LF or CR) becomes one blank, or
// disappears when a blank precedes it.
std::u16string CleanSystemMessage(std::u16string text);

// The part of a recorded file name after its last "\" or "/", or
// "(unknown file)" when it has neither (or is null).
std::u16string FileNameOf(const char* file);

}  // namespace error_text
