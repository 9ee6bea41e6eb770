// A small checker of KWX lines as forward conversion writes them: the rules
// a source KWX file must pass before any translator touches it.
//
// Checked: brackets per segment (a segment is an external tag with
// everything up to the next external tag: equal counts of "<" and ">",
// depth never below 0 or above 2, no tag left open at a line end), every
// tag of the known vocabulary, no raw bracket in text, character-format
// and font-change pairs balanced within each segment, condition runs
// alternating over the whole file, blocks closed by their own closing tags
// in the contexts the format allows, structural tags followed directly by
// the next external tag, and the internal tags each kind of segment may
// hold (building blocks only in markers and formats, no running-text tags
// in text lines, markers and formats, no character formats in numbering
// formats).
#pragma once

#include <string>
#include <vector>

#include "kernel/session/ExtStringList.h"

namespace convert_test {

// The problems found, one readable line each ("line 12: ..."); empty when
// the lines are clean. ancillary: the lines are an ancillary section
// (<file "..."> to </file "...">) rather than a whole KWX file.
std::vector<std::string> CheckKWXLines(const CQ_StringList& lines, bool ancillary = false);

}  // namespace convert_test
