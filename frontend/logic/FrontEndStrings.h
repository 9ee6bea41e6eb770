// The desktop front end's own string table: every text the front end shows
// that is not the kernel's, by numeric id.
#pragma once

#include <string>

namespace brannock {

// The named ids of the front end's own texts, one per line of
// FrontEndStringTable.inc: Text::ASK_CANCEL is the id of "Are you sure you
// want to cancel?".
namespace Text {
enum : unsigned {
#define FRONTEND_STRING(id, name, text) name = id,
#include "frontend/logic/FrontEndStringTable.inc"
#undef FRONTEND_STRING
};
}  // namespace Text

// The text of a string id, or an empty string when the table has none.
// Ids 19200 to 19244 (the verifier's message types) are the kernel's texts.
const char* LoadString(unsigned id);

// The text of a string id formatted printf-style with the arguments.
std::string FormatString(unsigned id, ...);

// The Qt form of a filter string of the table ("MIF Files (*.mif)|*.mif||"
// gives "MIF Files (*.mif)").
std::string QtFilter(const std::string& filter);

}  // namespace brannock
