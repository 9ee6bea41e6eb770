// Documents with change bars converted from copies with change bars
// switched off.
//
// Forward conversion refuses a document with change bars on. On request a
// batch converts such a document from a copy with change bars switched off
// (CQ_ChangeBarClearing), written under the document's own name into the
// folder change-bars-off/ of the ORG folder: the KWX and ORG files keep the
// document's name, and back conversion reads the ORG copy made from the
// copy. The command-line and desktop front ends share these copies, the
// results lines that report them and the failure they stop at.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "System/Export.h"
#include "System/Platform/FileException.h"
#include "kernel/session/ExtStringList.h"

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

class OSTRAKON_API CQ_ChangeBarsOffCopies {
 public:
  // The folder of the ORG folder that holds the copies.
  static const char scs_Folder[];

  // Replaces in `paths` each MIF file with change bars on by its copy in
  // `orgFolder` (ending with '/') + scs_Folder, which is created when
  // missing. Files without change bars, and files that are not MIF files,
  // stay as they are for the batch to convert or refuse. Stops at the first
  // copy that cannot be written; nothing is thrown.
  static st_ChangeBarsOffBatch sc_UseCopies(CQ_StringList& paths, const std::string& orgFolder);
};
