// Back conversion of one translated KWX file into MIF.
//
// A CQ_KWXToMIFConverter serves the session's current file: the translated
// KWX file (translated folder + name + extension) and its ORG copy (ORG
// folder + name + ".org", the extension in any letter case). It runs the
// file-level steps in order:
//   1. refuses the ancillary file itself (6060);
//   2. reads the translated file and validates its header (the reader's
//      codes); the header's character set and source hyphenation stand for
//      the settings forward conversion ran with, and are handed to the
//      steps below as settings (the session's are left as they are);
//   3. takes the document's section of the batch's ancillary file;
//   4. converts the ORG copy again in memory (CQ_MIFToKWXConverter), which
//      gives the regenerated source lists and the tag map;
//   5. adds the fixed tag-map entries;
//   6. checks the translated tags in back-conversion mode: a file with
//      errors gets its report and fails with 10000;
//   7.-10. explodes the file into tokens, checks, explodes and reads the
//      ancillary section (10010 for tag errors there), moves markers to
//      their anchors and collects the blocks;
//   11. writes the MIF file (CQ_MIFRebuilder) as translated folder + ORG
//      base name + ".mif", each letter of "mif" in the case of the ORG
//      extension's letter at the same place ("Chapter1.ORG" gives
//      "Chapter1.MIF").
// The output is written under a temporary name and renamed when complete,
// so a failed conversion leaves no MIF file (and an older one unchanged).
//
// Failures are raised as the kernel's int codes (6060, the reader's codes,
// 10000, 10010, 6 for a malformed tag or marker block, 8 for a list that
// ends inside a block, 1 for a cancel at a progress step) and
// Platform::CQ_FileException for files that cannot be read or written.
// Warnings (1420, 1430, 1440 and those of the ancillary file) go to the
// session's results.
#pragma once

#include <string>

#include "System/Export.h"
#include "kernel/backward/KWXBlockCollector.h"
#include "kernel/session/Communication.h"

class CQ_Morvane_CommunicationFrame;

class OSTRAKON_API CQ_KWXToMIFConverter {
 public:
  // The session must outlive the converter.
  explicit CQ_KWXToMIFConverter(CQ_Morvane_CommunicationFrame& session);
  ~CQ_KWXToMIFConverter();
  CQ_KWXToMIFConverter(const CQ_KWXToMIFConverter&) = delete;
  CQ_KWXToMIFConverter& operator=(const CQ_KWXToMIFConverter&) = delete;

  // Converts the session's current file (see above).
  void v_ConvertFile();

  // The ORG copy of a file: folder + name + ".org", or the file of that
  // name whose extension differs only in letter case when that one exists.
  static std::string scs_FindORGFile(const std::string& orgFolder, const std::string& name);
  // The output name: folder + the ORG file's base name + ".mif", each
  // letter of "mif" upper case where the ORG extension's letter at the same
  // place is.
  static std::string scs_OutputPath(const std::string& translatedFolder, const std::string& orgPath);

  // The fixed entries of the tag map besides those forward conversion
  // registers; sourcePathLine is the translated file's sixth line.
  static void sv_AddFixedEntries(CQ_TagMap& tags, const std::string& sourcePathLine);

 private:
  // One progress step after the stage named (for the observer's
  // measurements).
  void v_Step(const char* stage);

  CQ_Morvane_CommunicationFrame& m_rcoSession;
};
