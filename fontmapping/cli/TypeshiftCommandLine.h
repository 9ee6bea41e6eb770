// The typeshift-cli command line over the font mapping logic.
//
//   typeshift-cli list FILE.mif...
//       prints one line per mapping row: type, format, current font, size,
//       bold, italic, tab-separated, names shown in UTF-8.
//   typeshift-cli apply --font-map MAP.txt [--fonts FONTFILE.mif...]
//                       --output-dir DIR FILE.mif...
//       loads like the wizard, applies the font map and writes the mapped
//       files (existing outputs are overwritten).
// The loading log and run messages go to `err`.
#pragma once

#include <ostream>

// Exit status: 0 when every file was processed without error, 1 when any
// failed, 2 for a usage error.
int i_RunTypeshift(int argc, char** argv, std::ostream& out, std::ostream& err);
