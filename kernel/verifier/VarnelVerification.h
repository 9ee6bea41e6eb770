// Whole verifier runs over the session's files, with their report.
//
// Verification mode (the "Verify" batch): the session's current file is
// verified against its source, sections 1 to 17; the report goes beside
// the translated file. Back-conversion mode (called by back conversion for
// a translated file and again for its ancillary section): only the target
// rules run, and a file with errors gets its report and stops.
//
// File names (N: the session's current file name, E: its extension):
//   source  ORG folder + N + E
//   target  translated folder + N + E
//   report  translated folder + N + ".cmp"
#pragma once

#include <string>
#include <vector>

#include "System/Export.h"
#include "kernel/session/Communication.h"
#include "kernel/verifier/VarnelVerifier.h"

class OSTRAKON_API CQ_VarnelVerification {
 public:
  // Verifies the session's current file (its source and its translation)
  // and returns the run's code: 10030 when the comparison completed (tag
  // faults or not), 10020 when the external brackets of the source or the
  // target are broken. Sets the session's four verification counters (the
  // counts of this file after suppression), hands the warnings, alerts and
  // errors to the session's error list (v_TakeErrorList) and writes the
  // report, in the session's KWX file format, when there is anything to
  // report; otherwise it writes none and removes an earlier report of that
  // name, which would no longer describe the file. A file named
  // "ancillary" is verified as an ancillary file.
  // Raises: the KWX reader's codes (unreadable or invalid files, 10040 for
  // a pair of different versions), 1 when the user cancels (at a progress
  // step), Platform::CQ_FileException for files that cannot be read and for
  // a report that cannot be written, std::bad_alloc.
  static int si_VerifyCurrentFile(CQ_Morvane_Communication& session);

  // Checks a translated KWX line list in back-conversion mode, with tagMap
  // (KWX tag to MIF text, as back conversion built it) as the set of valid
  // tags. Returns normally when the rules found no error (alerts and
  // warnings alone write no report). Otherwise writes the back-conversion
  // report to the translated folder + the session's current file name +
  // ".cmp" (replacing any file of that name), naming translatedFileName as
  // its file, and raises 10000 (document true: the translated file) or
  // 10010 (document false: the document's ancillary section, which the
  // caller passes framed by a first line <kwx "F3.00"> and a last line
  // </kwx>, as the rules expect of a whole file).
  // Also raises 1 when the user cancels, Platform::CQ_FileException when
  // the report cannot be written, std::bad_alloc. The session's counters
  // and error list are left alone.
  // context: what is checked beyond the tag map (st_BackConversionContext);
  // null: nothing.
  static void sv_CheckBackConversionTags(CQ_Morvane_Communication& session, const std::vector<std::string>& lines,
                                         const CQ_TagMap& tagMap, bool document, const std::string& translatedFileName,
                                         const st_BackConversionContext* context = nullptr);
  // The same for lines held as one text.
  static void sv_CheckBackConversionTags(CQ_Morvane_Communication& session, const KWX::CQ_KWXText& lines,
                                         const CQ_TagMap& tagMap, bool document, const std::string& translatedFileName,
                                         const st_BackConversionContext* context = nullptr);

  // translated folder + current file name + ".cmp".
  static std::string scs_ReportPath(const CQ_Morvane_Communication& session);
};
