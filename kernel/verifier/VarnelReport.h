// The verification report: counting the entries of a run, laying them out
// as report lines and writing those as a text or RTF file.
//
// Counting: errors, alerts and warnings by type; an alert or warning whose
// suppression key is a key of the session's custom tag map (the prefixes
// the user chose to suppress) counts as suppressed instead and is not
// shown; errors and entries keyed "Do not suppress!" are never suppressed.
// Lines without a type (notes, informational lines) are always shown.
//
// Layout, in both modes: a title block, then each section (1 to 17) that
// has an entry to show, in section order, with its title, a "=" line and
// its entries; entries with a running number start with "[n] " (counted
// from 1 over the shown entries of the whole report); each run of
// consecutive entries about the same segment (or segment pair) is followed
// by that context once. Verification mode adds the list of suppressed
// kinds of tag; a report with errors ends with a block of asterisks.
// Entries stop before the report's text would pass REPORT_SIZE_LIMIT
// bytes; the report then ends with a line that counts the entries left
// out. A report line may hold line breaks ("\n"); the text
// file stores them as line ends, the RTF file as paragraph breaks.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "System/Export.h"
#include "kernel/session/Communication.h"
#include "kernel/verifier/VarnelReportEntry.h"

// The counts of one run after suppression.
struct OSTRAKON_API st_VarnelCounts {
  unsigned n_Errors = 0;
  unsigned n_Alerts = 0;      // not suppressed
  unsigned n_Warnings = 0;    // not suppressed
  unsigned n_Suppressed = 0;  // alerts and warnings suppressed
  // Suppressed entries per suppression key, in the order the keys were
  // first met.
  std::vector<std::pair<std::string, unsigned>> ast_SuppressedKeys;
};

// One line of a report and the font it is set in.
struct OSTRAKON_API st_VarnelReportLine {
  enum ET_Kind : int {
    LINE_PLAIN = 0,        // titles, messages and notes: source font, tags not styled
    LINE_SOURCE_TEXT = 1,  // a segment of the source file: source font, tags styled
    LINE_TARGET_TEXT = 2,  // a segment of the translated file: target font, tags styled
  };
  std::string cs_Text;
  int i_Kind = LINE_PLAIN;
};
using CQ_VarnelReportLines = std::vector<st_VarnelReportLine>;

// What the title block names.
struct OSTRAKON_API st_VarnelReportTitle {
  bool b_BackConversion = false;  // back-conversion mode: its own title block and section titles
  std::string cs_DateTime;        // the run's date and time, long form
  std::string cs_SourceFile;      // full name; in back-conversion mode the translated file's
  std::string cs_TargetFile;      // full name of the translated file (verification mode only)
};

class OSTRAKON_API CQ_VarnelReport {
 public:
  // The most text the entries of a report may take, counted as the text
  // form counts it (each line with a two-byte line end); the title block,
  // the closing blocks and the line about the entries left out come on
  // top. The RTF form of the same lines is somewhat larger.
  static constexpr std::size_t REPORT_SIZE_LIMIT = std::size_t(10) << 20;  // 10 MiB

  // True when the entry is an alert or warning that the custom tag map
  // suppresses.
  static bool sb_IsSuppressed(const st_VarnelReportEntry& entry, const CQ_TagMap& customTagMap);

  // Counts the entries.
  static st_VarnelCounts sst_Count(const std::vector<st_VarnelReportEntry>& entries, const CQ_TagMap& customTagMap);

  // The report lines of the entries (in any order; they are laid out by
  // section, keeping the order within a section). Empty when there are no
  // entries at all. counts must come from sst_Count over the same entries
  // and map.
  static CQ_VarnelReportLines sco_BuildLines(const std::vector<st_VarnelReportEntry>& entries,
                                            const CQ_TagMap& customTagMap, const st_VarnelCounts& counts,
                                            const st_VarnelReportTitle& title);

  // Writes the lines to path, replacing any file of that name: as text
  // when the session's KWX file format is 0, otherwise as an RTF document
  // (paper, code pages of the session; portrait). Raises
  // Platform::CQ_FileException naming path on failure (no file is left
  // behind then).
  static void sv_Write(const std::string& path, const CQ_VarnelReportLines& lines,
                       const CQ_Morvane_Communication& session);

  // The section title (with its leading line break) of a mode, or an
  // empty string for a section the mode does not have.
  static std::string scs_SectionTitle(int section, bool backConversion);

  // The glossary text under which the suppression list shows a key: the
  // report-list entry whose tag prefixes include the key (the "<:r1" and
  // "<:r3" keys fall under the reserved characters), else the first
  // glossary text that contains the key, else the key itself.
  static std::string scs_GlossaryEntry(const std::string& key);
};
