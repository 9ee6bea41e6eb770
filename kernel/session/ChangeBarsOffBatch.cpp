// The results lines of a document converted from a copy with change bars
// switched off.
#include "kernel/session/ChangeBarsOffBatch.h"

std::vector<std::string> st_ChangeBarsOffCopy::ccs_ResultsLines() const {
  return {"Change bars switched off (" + std::to_string(statements) + " statement" + (statements == 1 ? "" : "s") +
              ") in a copy of " + source + ":",
          "  " + copy};
}
