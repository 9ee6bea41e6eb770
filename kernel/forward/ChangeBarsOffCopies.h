// Copies with change bars switched off, made for a conversion batch.
#pragma once

#include <string>

#include "System/Export.h"
#include "kernel/session/ChangeBarsOffBatch.h"
#include "kernel/session/ExtStringList.h"

class OSTRAKON_API CQ_ChangeBarsOffCopies {
 public:
  // The folder of the ORG folder that holds the copies.
  static const char scs_Folder[];

  // Replaces in `paths` each MIF file with change bars on by its copy
  // (CQ_ChangeBarClearing) in `orgFolder` (ending with '/') + scs_Folder,
  // which is created when missing. Files without change bars, and files
  // that are not MIF files, stay as they are for the batch to convert or
  // refuse. Stops at the first copy that cannot be written; nothing is
  // thrown.
  static st_ChangeBarsOffBatch sc_UseCopies(CQ_StringList& paths, const std::string& orgFolder);
};
