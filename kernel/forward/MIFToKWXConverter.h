// Forward conversion of one MIF file into its KWX file and its section of
// the ancillary file.
//
// A CQ_MIFToKWXConverter serves one file. It pre-scans the MIF file
// (MIFPreScan.h), converts the restructured body pages and master pages
// into lists of KWX pieces (each piece one tag or one run of text), post-
// processes both lists (footnote, marker and index-marker blocks moved
// behind their paragraphs with placeholders left at the anchors, condition
// runs balanced, character-format and font-change runs closed at external
// tags, element tags, the Japanese sort-string regrouping), joins them into
// KWX lines, and in forward conversion writes the KWX file(s) and hands the
// ancillary section to the session.
//
// Every tag written stands for a MIF fragment; the tag tables keep both
// directions for the whole file (body, master pages and ancillary
// section: they are not emptied between the two, since tags never repeat
// a number within a file). Numbering is deterministic: the same MIF text and settings give
// the same tags, lines and bytes, which is what lets back conversion and
// the verifier rebuild the tables from the ORG copy:
//
//   CQ_MIFToKWXConverter conv(session, CQ_MIFToKWXConverter::st_InMemoryOptions(sourcePath));
//   conv.v_ConvertInMemory(orgPath);          // second pre-scan form, nothing written
//   conv.rco_GetKWXLines();                   // the lines the source KWX file holds
//   conv.rco_GetAncillarySection();           // <file "..."> ... </file "...">
//   conv.rco_GetTagTables().pcs_FindFragment(tag);  // the MIF text of a tag
//
// Failures are raised as the kernel's int codes: those of the pre-scan
// (MIFPreScan.h), 2030 change bars in a paragraph's or a font's override
// block, 2050 an uncollapsed IXgen marker, 2070 structured markup with
// marker placeholders off, 6 a malformed block, 1 a cancel at a progress
// step; file errors as Platform::CQ_FileException. The first three stops
// and all warnings act only in the first conversion of a file (options).
// Nothing is written before the whole file has converted.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "System/Export.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXPieceList.h"
#include "kernel/forward/KWXTagTables.h"
#include "kernel/forward/MIFPreScan.h"
#include "kernel/forward/MarkerTextConverter.h"
#include "kernel/forward/TextConverter.h"
#include "kernel/session/Communication.h"
#include "kernel/session/ExtStringList.h"

class CQ_Morvane_Communication;

class CQ_KWXFileWriter;

class OSTRAKON_API CQ_MIFToKWXConverter {
 public:
  struct st_Options {
    // The file is converted for the user: warnings are added to the
    // results and the change-bar and IXgen stops act. Clear when the ORG
    // copy is converted again.
    bool b_FirstConversion = true;
    // The ancillary section is built (always in forward conversion; back
    // conversion needs it only when the ancillary file has a section).
    bool b_BuildAncillary = true;
    // One session progress step per stage (8 per file).
    bool b_ReportProgress = true;
    // The source path written into <sourcepath "..."> and <file "...">;
    // empty: the session's source folder, current file name and extension.
    std::string cs_SourcePath;
    // The character set and source hyphenation the file is converted with;
    // empty: the session's, read when the converter is made. The session's
    // settings are never changed by a conversion.
    std::optional<st_ForwardRunSettings> opt_Settings;
  };

  static st_Options st_ForwardOptions();
  // The conversion of an ORG copy in memory: no warnings or stops, no
  // progress steps; sourcePath as the source KWX file's header names it.
  static st_Options st_InMemoryOptions(const std::string& sourcePath, bool buildAncillary = true);

  // The session must outlive the converter; its settings (those the
  // options do not give) are read when the converter is made.
  CQ_MIFToKWXConverter(CQ_Morvane_Communication& session, st_Options options);
  ~CQ_MIFToKWXConverter();

  CQ_MIFToKWXConverter(const CQ_MIFToKWXConverter&) = delete;
  CQ_MIFToKWXConverter& operator=(const CQ_MIFToKWXConverter&) = delete;

  // Forward conversion of the session's current file: writes the ORG copy,
  // the KWX file into the ORG folder (and into the translated folder when
  // that differs, compared without regard to case), and appends the
  // ancillary section to the session's ancillary lines. Sets the session's
  // KWX version to 2.
  void v_ConvertFile();

  // The same conversion of a MIF file (normally the ORG copy) with the
  // second pre-scan form, in memory: no file is written and nothing is
  // added to the session. May be called once per converter.
  void v_ConvertInMemory(const std::string& path);
  // The same over the text of an ORG copy the caller has read and holds
  // until this converter is done with (its lists point into it).
  void v_ConvertHeldText(std::string_view orgText);
  // The same over MIF text (tests, fuzzing, benchmarks).
  void v_ConvertText(std::string_view mifText);

  // --- results, valid after a conversion --------------------------------------

  // The lines of the KWX file: the six header lines, the pages, </kwx>.
  // (Kept in compact form; the string list is made on the first call.)
  const CQ_StringList& rco_GetKWXLines() const;
  // The same lines in compact form, without copying them into strings.
  const KWX::CQ_KWXLines& rco_GetCompactKWXLines() const { return m_coKWX; }
  // The ancillary section, <file "PATH"> to </file "PATH">; empty when not
  // built.
  const CQ_StringList& rco_GetAncillarySection() const { return m_lstAncillary; }
  // Both tag tables of the file: every tag written, with its MIF fragment.
  const CQ_KWXTagTables& rco_GetTagTables() const { return m_coTags; }
  // Empties the tag tables once a caller has taken what it needs from
  // them; the KWX lines, the ancillary section and the pre-scan stay.
  void v_ReleaseTagTables() { m_coTags.v_EmptyTables(); }
  // Takes the tag-to-fragment table over, without a copy; the tag tables
  // are empty afterwards, as after v_ReleaseTagTables.
  std::shared_ptr<CQ_TagMap> sp_TakeTagMap() { return m_coTags.sp_TakeTagToFragment(); }
  // The source path the header names.
  const std::string& rcs_GetSourcePath() const { return m_strSourcePath; }
  // Structured markup (an Element statement) was seen.
  bool b_StructuredMarkup() const { return m_bStructured; }

  // --- the steps, for tests -------------------------------------------------------

  // Converts one restructured line list into KWX pieces, from the six
  // header lines to </kwx>, without post-processing. The list is consumed
  // (left empty).
  std::vector<std::string> ast_ConvertList(CQ_MIFLines& lines);
  // The same over a compact list (the pre-scan's form); its lines must stay
  // valid during the call.
  std::vector<std::string> ast_ConvertList(CQ_MIFLineList& lines);
  // Post-processes a converted list in place.
  void v_PostProcess(std::vector<std::string>& pieces);
  void v_PostProcess(CQ_KWXPieceList& pieces);
  // The pre-scan of the file, or null before a conversion. Its catalogs,
  // formats, footnote texts and text flows (with their column starts)
  // stay; its object tables and its two line lists are used up by the
  // conversion.
  const CQ_MIFPreScan* pcco_GetPreScan() const { return m_pcoPreScan.get(); }
  CQ_MIFPreScan* pco_GetPreScan() { return m_pcoPreScan.get(); }

 private:
  class CListWalker;
  friend class CListWalker;

  void v_Run(const std::function<void(CQ_MIFPreScan&)>& preScan, bool writeFiles);
  void v_Step();
  // The list converter's work in its compact form.
  CQ_KWXPieceList lst_ConvertList(CQ_MIFLineList& lines);
  void v_BuildAncillarySection(const CQ_KWXPieceList& masterPieces);
  // Writes the KWX file completely under its temporary name; the caller
  // commits it.
  std::unique_ptr<CQ_KWXFileWriter> pco_WriteKWXFile(const std::string& path) const;
  void v_EnterPieces(const std::vector<CQ_MarkerTextConverter::st_Piece>& pieces,
                     std::vector<std::string>& into);

  // Formats used by the document, recorded at first use for the ancillary
  // section (indices into the pre-scan's lists, raw format texts).
  void v_UseXRefFormat(const std::string& rawName);
  void v_UseVariable(const std::string& rawName);
  void v_UsePgfNumFormat(const std::string& rawFormat);

  CQ_Morvane_Communication& m_rcoSession;
  st_Options m_stOptions;
  st_ForwardRunSettings m_stSettings;  // the options' settings, or the session's
  CQ_TextConverter m_coText;
  CQ_MarkerTextConverter m_coMarkerText;    // markers: text converted like strings
  CQ_MarkerTextConverter m_coFormatText;    // format definitions: with the after-pass
  CQ_KWXTagTables m_coTags;
  std::unique_ptr<CQ_MIFPreScan> m_pcoPreScan;

  std::string m_strSourcePath;
  int m_iMarkerPlaceholders = 0;
  long m_lMarkerLength = 0;  // warning 250 above this many characters; 0: none
  bool m_bStructured = false;

  std::vector<std::size_t> m_vecXRefUses;
  std::unordered_set<std::string> m_setXRefUses;
  std::vector<std::size_t> m_vecVariableUses;
  std::unordered_set<std::string> m_setVariableUses;
  std::vector<std::string> m_vecPgfNumFormatUses;
  std::unordered_set<std::string> m_setPgfNumFormatUses;

  KWX::CQ_KWXLines m_coKWX;
  mutable CQ_StringList m_lstKWX;  // m_coKWX as strings, once asked for
  mutable bool m_bKWXStrings = false;
  CQ_StringList m_lstAncillary;
  bool m_bConverted = false;
};
