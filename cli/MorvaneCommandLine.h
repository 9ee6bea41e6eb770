// The morvane command line over the kernel library.
//
// morvane COMMAND [options] FILE...
// Each command runs one batch in a session created without the GUI flag
// (no settings store, no questions, outputs always overwritten). Results
// lines go to `out` exactly as a results window shows them; usage errors
// and progress go to `err`.
#pragma once

#include <ostream>

// Exit status: 0 when every file was processed without error, 1 when any
// failed, 2 for a usage error.
int i_RunMorvane(int argc, char** argv, std::ostream& out, std::ostream& err);
