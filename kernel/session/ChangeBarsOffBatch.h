// What preparing a conversion batch with copies with change bars switched
// off did (CQ_ChangeBarsOffCopies in kernel/forward makes the copies; the
// batch driver reaches it through the converter factory).
//
// Forward conversion refuses a document with change bars on. On request a
// batch converts such a document from a copy with change bars switched off,
// written under the document's own name into the folder change-bars-off/ of
// the ORG folder: the KWX and ORG files keep the document's name, and back
// conversion reads the ORG copy made from the copy. The command-line and
// desktop front ends share these copies, the results lines that report them
// and the failure they stop at.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "System/Export.h"
#include "System/Platform/FileException.h"

// One document converted from a copy.
struct OSTRAKON_API st_ChangeBarsOffCopy {
  std::string source;          // the document as listed
  std::string copy;            // the copy converted in its place
  std::size_t statements = 0;  // statements switched off (at least one)

  // The results lines that say what was done:
  //   "Change bars switched off (2 statements) in a copy of SOURCE:"
  //   "  COPY"
  std::vector<std::string> ccs_ResultsLines() const;
};

// What preparing a batch did.
struct OSTRAKON_API st_ChangeBarsOffBatch {
  std::vector<st_ChangeBarsOffCopy> copies;  // in list order
  // Set when a copy could not be written: the copy's path, the reason as a
  // results text, and the file error when it was one. Documents from that
  // one on keep their own paths in the list.
  std::string failedCopy;
  std::string failure;
  std::optional<Platform::CQ_FileException> fileError;

  bool b_Failed() const { return !failedCopy.empty(); }
};
