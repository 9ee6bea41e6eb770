// The language names a user may choose, for front ends that list them.
#pragma once

#include <string>
#include <vector>

#include "System/Export.h"

// The display names offered for the source (with "Japanese (Colloquy)") or
// the target side, sorted by name. "English (AUS)" is accepted by the
// session but offered on neither side.
OSTRAKON_API std::vector<std::string> ccs_OfferedLanguageNames(bool sourceSide);

// The source language names (as offered) whose text is written in the
// Windows code page, sorted by name; empty for a page no language uses.
OSTRAKON_API std::vector<std::string> ccs_SourceLanguagesOfCodePage(int codePage);
