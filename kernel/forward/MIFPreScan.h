// The pre-scan of one MIF file: the state a MIF-to-KWX converter starts from.
//
// A CQ_MIFPreScan serves one file. It checks the file, reads it once from
// start to end (writing the ORG copy in forward conversion), keeps the
// catalogs and the anchored frames, tables, footnotes and text columns by
// identifier, and rebuilds the pages into two line lists in reading order
// with every anchored object inserted after its anchor: the body pages and
// the master pages. The converter then turns those two lists into KWX.
//
// Two forms:
// - forward (v_PreScanForward): file checks, the Shift-JIS copy of an
//   EUC-JP file, the code-page copy of a Unicode file (MIFUnicode.h; the
//   ORG copy is made from it and keeps the version line), the ORG copy, messages 3, 60, 61, 240 and the change-bar
//   stops (2030, 2040);
// - second (v_PreScanSecondForm): for the ORG copy in back conversion and
//   verification, and for b_FindMIFObjects; no checks unless asked, no EUC
//   copy, no ORG copy, no messages, no change-bar stops, no FontCatalog.
// Both forms build identical state from the same lines, so the ORG copy of
// a file gives the same restructured lists as the file itself.
//
// Failures are raised as the kernel's int codes (MIFFileCheck.h lists the
// check codes): 2015 a MIF 7.0 (or 8.0 to 2020) statement holds text
// conversion has no form for (MIF7TextCheck.h), 4 a Unicode file holds a
// character the source code page has no place for (messages 104/107), 2030 automatic change bars, 2040 change bars in a format
// (after messages 60/61), 8 the file (or "# End of MIFFile") comes inside
// a block, or the file ends without "# End of MIFFile", 6 a malformed
// structure (a ">" that closes no open statement, an object without its
// ID, an ID stored twice, an anchor whose object is missing or already
// placed, nesting deeper than MAX_DEPTH). File errors raise
// Platform::CQ_FileException. Nothing is written outside the ORG folder.
//
// Storage: the text of every kept line is copied once into a line store
// (MIFLineStore.h), or, in the second form, which reads its file whole
// first, stays where it lies in that text; lists and object tables are
// compact records pointing into it, each with its depth counted once. The string forms below are
// made from them on request. A pre-scan is not copyable.
//
// Line lists hold trimmed MIF lines plus these pseudo-lines:
//   "<PageBody>"            before the PageType line of a body page
//   "<End of TextRectID>"   ends a text column's part of a flow
//   "<End Of AFrame>"       ends an anchored frame inserted after its anchor
// Identifiers (frame ID, TblID, footnote ID, TextRectID) are kept as the
// decimal text MIF writes.
//
// The restructured lists are made of:
// - a page: "<Page", its PageType, PageTag and PageNum statements in file
//   order ("<PageBody>" before PageType on body pages), its equations (Math
//   blocks, whole), its objects in reading order, "> # end of Page";
// - a text column: "<TextRectID n>" as read, the whole paragraphs of its
//   flow part, "<End of TextRectID>". TextRectID statements are taken out of
//   the paragraphs (st_MIFColumnStart records where they stood); a column
//   that received no text is left out;
// - a text line: its TextLine block as read (its Unique line kept);
// - an unanchored frame: "<Frame", its one-line statements with ShapeRect
//   normalised to "<ShapeRect x cm y cm 0 cm 0 cm>", the equations and the
//   objects of the frame and of every frame nested in it (flattened into one
//   reading order, positions offset by the nested frames' origins),
//   "> # end of Frame"; a frame holding none of these is left out;
// - after an anchor "<ATbl n>": the table block ("<Tbl", "<TblID n>", ...,
//   "> # end of Tbl"); after "<FNote n>": the footnote block ("<FNote",
//   "<ID n>", paragraphs, "> # end of FNote"); after "<AFrame n>": the frame
//   as above but without its closer, then "<End Of AFrame>", or
//   "<End Of AFrame>" alone for a frame holding nothing. Anchors inside
//   inserted lines are expanded too. The anchor makes the tag; the object's
//   opening lines that follow belong to its fragment.
// Unique lines are removed from text flows and tables (so from every
// paragraph), Notes blocks are removed (their footnotes follow their
// anchors), and with hyphenation "Turn Off" soft hyphens that end a ParaLine
// are removed from flows and tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "System/Platform/TemporaryFile.h"
#include "System/Platform/WholeFile.h"
#include "kernel/forward/MIFLineStore.h"
#include "kernel/forward/MIFSyntax.h"

class CQ_Morvane_Communication;
class CQ_MIFLineReader;

// The eight footnote prefix and suffix strings of the Document section.
enum EMIFFootnoteText : int {
  MIF_FN_ANCHOR_PREFIX = 0,   // DFNoteAnchorPrefix
  MIF_FN_ANCHOR_SUFFIX,       // DFNoteAnchorSuffix
  MIF_FN_NUMBER_PREFIX,       // DFNoteNumberPrefix
  MIF_FN_NUMBER_SUFFIX,       // DFNoteNumberSuffix
  MIF_TBLFN_ANCHOR_PREFIX,    // DTblFNoteAnchorPrefix
  MIF_TBLFN_ANCHOR_SUFFIX,    // DTblFNoteAnchorSuffix
  MIF_TBLFN_NUMBER_PREFIX,    // DTblFNoteNumberPrefix
  MIF_TBLFN_NUMBER_SUFFIX,    // DTblFNoteNumberSuffix
  MIF_FOOTNOTE_TEXT_COUNT
};

// A name with its definition, both as raw MIF string content (escapes kept).
struct st_MIFNamedText {
  std::string cs_Name;
  std::string cs_Text;
};

// An element definition's automatic prefix and suffix (raw MIF strings).
struct st_MIFElementDef {
  std::string cs_Tag;
  std::string cs_Prefix;
  std::string cs_Suffix;
  bool b_HasPrefix = false;
  bool b_HasSuffix = false;
};

// Where a text column starts in its flow; back conversion needs this to put
// the TextRectID statement back. Indices are 0-based within the flow.
struct st_MIFColumnStart {
  std::string cs_ID;          // "9"
  std::string cs_Line;        // "<TextRectID 9>", as read
  std::size_t n_Paragraph;    // paragraph whose ParaLine held the statement
  std::size_t n_ParaLine;     // that ParaLine, counted within the paragraph
  std::size_t n_FirstHome;    // first paragraph stored in the column's part
  std::size_t n_HomeCount;    // paragraphs stored in the column's part
};

// One text flow after preparation.
struct st_MIFTextFlow {
  CQ_MIFLines lst_Header;                  // "<TextFlow" and its statements before the first paragraph
  std::size_t n_Paragraphs = 0;            // paragraphs in the flow
  std::vector<st_MIFColumnStart> vec_Columns;  // in flow order; empty for a flow in no column
};

// A kept page, as read (reference and hidden pages are never kept).
struct st_MIFPage {
  bool b_Body = false;   // BodyPage; otherwise a master page
  std::string cs_Type;   // PageType value, e.g. "LeftMasterPage"
  CQ_MIFLines lst_Lines; // the Page block, "<PageBody>" inserted for body pages
};

// Lines of an object that lies in a list shared with other objects.
struct st_MIFLineSpan {
  const st_MIFLine* pc_Begin = nullptr;
  const st_MIFLine* pc_End = nullptr;
  std::size_t size() const { return static_cast<std::size_t>(pc_End - pc_Begin); }
  const st_MIFLine* begin() const { return pc_Begin; }
  const st_MIFLine* end() const { return pc_End; }
};

class CQ_MIFPreScan {
 public:
  struct st_Options {
    // Forward form: messages, change-bar stops, FontCatalog, MIFEncoding
    // and DAutoChBars checks.
    bool b_FirstConversion = true;
    // The file checks (version, encoding, disk space); forward form only
    // unless asked.
    bool b_RunFileCheck = true;
    // The session's source hyphenation: 0 ("Turn Off") removes soft hyphens
    // at which FrameMaker broke a line.
    int i_SourceHyphenation = 0;
    // The character-set setting (0 Normal, 1 Symbol): which characters a
    // Unicode file's strings may hold in the code-page form.
    int i_CharacterSet = 0;
    // The highest MIF version the file check accepts, times ten (55 or 70).
    int i_HighestMIFVersion = 55;
    // Forward form: keep the ORG copy under its temporary name and hand it
    // over (pco_TakeORGCopy) instead of committing it, so that it takes its
    // name after the files made from it.
    bool b_HoldORGCopy = false;
  };

  // Deepest block nesting accepted; real files stay below 16.
  static constexpr int MAX_DEPTH = 256;

  // Options of the forward form, with the session's source hyphenation and
  // character set.
  static st_Options st_ForwardOptions(const CQ_Morvane_Communication& session);
  // Options of the second form, with the session's source hyphenation and
  // character set.
  static st_Options st_SecondFormOptions(const CQ_Morvane_Communication& session);

  // The session receives messages (forward form only); it must outlive the
  // pre-scan.
  CQ_MIFPreScan(CQ_Morvane_Communication& session, const st_Options& options);

  // --- the whole pre-scan ----------------------------------------------------

  // Forward conversion: checks the file, reads it (through a Shift-JIS copy
  // in the ORG folder for EUC-JP, removed afterwards on every path) while
  // writing the ORG copy to orgPath, and restructures. The ORG file takes
  // its name only when everything succeeded; otherwise any older ORG file
  // is left as it was.
  void v_PreScanForward(const std::string& sourcePath, const std::string& orgPath);
  // The ORG copy of the last forward pre-scan held by b_HoldORGCopy, not
  // yet committed; null otherwise. The caller commits or drops it.
  std::unique_ptr<Platform::CQ_TemporaryFile> pco_TakeORGCopy() { return std::move(m_pcoORGCopy); }

  // The second form over a file (ORG copy or a MIF file for the font
  // mapping tool): reads and restructures; runs the file checks first
  // when runFileCheck is set (the disk-space check then uses the file's
  // own folder).
  void v_PreScanSecondForm(const std::string& path, bool runFileCheck = false);
  // For an accepted MIF 7.0 file: a statement holding text that conversion
  // has no form for adds message 102 (naming it and its line) and throws
  // 2015 before anything is written.
  // The same for an accepted Unicode file (8.0 to 2020), with message 111
  // naming the file's version.
  void v_RefuseUnconvertedMIF7Text(const std::string& path);
  // The leading bytes of a file (empty when it cannot be read).
  static std::string scs_ReadHead(const std::string& path);
  // For an accepted Unicode file: its copy in the older string form, in the
  // source language's code page (MIFUnicode.h), as a temporary file in the
  // folder of `standIn` that is never committed. A character the code page
  // does not hold adds message 104 (in a paragraph) or 107 (elsewhere) and
  // 108 (a code page of other source languages that holds it) or 109, and
  // throws 4 before anything is written.
  std::unique_ptr<Platform::CQ_TemporaryFile> pco_CodePageCopy(const std::string& sourcePath,
                                                              const std::string& standIn);

  // The second form over the text of a file that the caller has read and
  // holds for as long as this pre-scan's lists are used: the lines kept
  // point into it. No file checks.
  void v_PreScanHeldText(std::string_view text);

  // After the second form over held text (v_PreScanHeldText), for a later
  // pass over the same text: the net depth (MIFSyntax::NetDepth) of each
  // line a CQ_MIFLineReader reads from the text, in order, up to the end
  // marker (for a line outside blocks that does not begin with '<', 0
  // whatever its depth). A depth beyond the range of a byte is
  // NET_NOT_NOTED. Empty otherwise.
  static constexpr std::int8_t NET_NOT_NOTED = -128;
  const std::vector<std::int8_t>& rco_GetLineNets() const { return m_vecLineNets; }
  // The length of each of those lines, as the reader gives it (trimmed),
  // LENGTH_NOT_NOTED for a line of that many bytes or more.
  static constexpr std::uint8_t LENGTH_NOT_NOTED = 255;
  const std::vector<std::uint8_t>& rco_GetLineLengths() const { return m_vecLineLengths; }
  // The notes and the text flows handed over whole, for a caller that
  // releases the pre-scan next; the pre-scan keeps none of them.
  std::vector<std::int8_t> vec_TakeLineNets() { return std::exchange(m_vecLineNets, {}); }
  std::vector<std::uint8_t> vec_TakeLineLengths() { return std::exchange(m_vecLineLengths, {}); }
  std::vector<st_MIFTextFlow> vec_TakeTextFlows() { return std::exchange(m_vecTextFlows, {}); }

  // The same over MIF text in memory (tests, fuzzing), which may go once
  // read: the lines kept are copied. No file checks.
  void v_PreScanText(const char* data, std::size_t size);

  // --- the steps, for callers that drive them -------------------------------

  // Reads all sections from the reader: catalogs, objects, pages and text
  // flows, the flows prepared and cut into text columns.
  void v_ReadSections(CQ_MIFLineReader& reader);
  // Rebuilds the pages into reading order and inserts anchored objects,
  // filling the body and master lists. The objects it places (each is
  // placed once) move out of the object tables into the lists; objects no
  // page refers to stay. Call once.
  void v_Restructure();
  // Empties the object tables once the converter no longer needs them.
  void v_ReleaseObjectTables();

  // --- results ----------------------------------------------------------------

  // The restructured body pages and master pages, in reading order, as
  // strings. Made from the compact lists when first asked for after a
  // change (a copy of the text: the converter reads the compact lists, so
  // changing these strings changes no conversion).
  const CQ_MIFLines& rco_GetBodyLines() const;
  CQ_MIFLines& rco_GetBodyLines();
  const CQ_MIFLines& rco_GetMasterLines() const;
  CQ_MIFLines& rco_GetMasterLines();

  // The same lists in their compact form; the records point into the
  // pre-scan's line store and stay valid until v_ReleaseLines or the
  // pre-scan's end. The converter consumes these.
  CQ_MIFLineList& rco_GetBodyList() { return m_lstBody; }
  CQ_MIFLineList& rco_GetMasterList() { return m_lstMaster; }
  // Empties both lists and frees the text of every line read (object tables
  // included); catalogs, formats and text flows stay.
  void v_ReleaseLines();

  bool b_IsConditionHidden(const std::string& tag) const;

  // The PgfNumFormat of a catalog format, or null.
  const std::string* pcco_FindPgfNumFormat(const std::string& pgfTag) const;
  const std::vector<st_MIFNamedText>& rco_GetVariableFormats() const { return m_vecVariableFormats; }
  const std::vector<st_MIFNamedText>& rco_GetXRefFormats() const { return m_vecXRefFormats; }
  const std::vector<st_MIFElementDef>& rco_GetElementDefs() const { return m_vecElementDefs; }
  // A footnote prefix/suffix string (raw MIF), empty when absent.
  const std::string& rco_GetFootnoteText(EMIFFootnoteText which) const { return m_asFootnoteTexts[which]; }

  // Object tables by identifier. Anchored frames and tables hold their
  // blocks as read (tables prepared like text flows); footnotes their FNote
  // blocks; text columns their parts: "<TextRectID n>", whole paragraphs,
  // "<End of TextRectID>". Made as strings from the compact tables when
  // asked for, like the lists above.
  const std::unordered_map<std::string, CQ_MIFLines>& rco_GetAnchoredFrames() const;
  const std::unordered_map<std::string, CQ_MIFLines>& rco_GetTables() const;
  const std::unordered_map<std::string, CQ_MIFLines>& rco_GetFootnotes() const;
  const std::unordered_map<std::string, CQ_MIFLines>& rco_GetTextColumns() const;
  const std::vector<st_MIFTextFlow>& rco_GetTextFlows() const { return m_vecTextFlows; }
  const std::vector<st_MIFPage>& rco_GetPages() const;
  // Names of the master pages body pages use as background, first use first.
  const std::vector<std::string>& rco_GetPageBackgrounds() const { return m_vecPageBackgrounds; }

  bool b_GetEUC() const { return m_bEUC; }

  // The identifiers of the objects the restructured lists show: "<TblID n>"
  // for each table anchor, the "<TextRectID n>" line of each text column,
  // the Unique line of each text line; body first, in list order.
  std::vector<std::string> acs_VisibleObjects() const;

  // A readable dump of the whole state: catalogs, flows, and both lists
  // indented by nesting. Used by golden tests.
  std::string ccs_Dump() const;

  // The ORG file's path: ORG folder + file name + ".org", each letter of
  // "org" taking the case of the source extension's letter at the same place.
  static std::string scs_ORGPath(const std::string& orgFolder, const std::string& fileName,
                                 const std::string& sourceExtension);

 private:
  using ObjectTable = std::unordered_map<std::string, CQ_MIFLineList>;
  // Text columns and tables are cut out of one large block each: their
  // lines go into one list per block (m_vecSharedLists), which large
  // documents keep in huge pages, rather than a heap block per object.
  using SpanTable = std::unordered_map<std::string, st_MIFLineSpan>;

  // A kept page in compact form (st_MIFPage is its string form).
  struct st_PageLines {
    bool b_Body = false;
    std::string cs_Type;
    CQ_MIFLineList lst_Lines;
  };

  // A string form made on demand, and the state it was made from.
  template <class T>
  struct st_StringView {
    T value;
    std::size_t n_Generation = 0;  // 0: never made
  };

  // The second form over held text; noteLines: the lines' depths and
  // lengths are noted for a later pass (rco_GetLineNets).
  void v_ReadHeldText(std::string_view text, bool noteLines);
  // Returns true when the block's lines were kept (their text must stay in
  // the store).
  bool b_Dispatch(CQ_MIFLineList& block);
  void v_ScanConditionCatalog(const CQ_MIFLineList& block);
  void v_ScanPgfCatalog(const CQ_MIFLineList& block);
  void v_ScanFontCatalog(const CQ_MIFLineList& block);
  void v_ScanElementDefCatalog(const CQ_MIFLineList& block);
  void v_ScanNamedFormats(const CQ_MIFLineList& block, const char* item, const char* nameKey, const char* defKey,
                          std::vector<st_MIFNamedText>& into);
  void v_ScanDocument(const CQ_MIFLineList& block);
  void v_ScanAFrames(const CQ_MIFLineList& block);
  void v_ScanTbls(CQ_MIFLineList& block);
  bool b_ScanPage(CQ_MIFLineList& block);
  void v_ScanTextFlow(CQ_MIFLineList& block);

  // Unique lines out, soft hyphens at line ends out (hyphenation "Turn
  // Off"), footnotes of Notes blocks into the footnote table; Notes blocks
  // directly under the block's opening (flows) or at any depth (tables).
  // Works in place on the block [begin, end) that opens at lines[begin];
  // returns the end of the prepared lines (lines from there to `end` are
  // left over). For a flow, columnLines receives the positions of the
  // TextRectID statements among the prepared lines and anchorLines those
  // of the lines sb_MayBeAnchor accepts, both ascending; null for tables.
  std::size_t n_PrepareText(CQ_MIFLineList& lines, std::size_t begin, std::size_t end, bool notesAtAnyDepth,
                            std::vector<std::size_t>* columnLines, std::vector<std::size_t>* anchorLines);
  // Cuts a prepared flow into its text columns' parts; columnLines and
  // anchorLines as n_PrepareText gave them.
  void v_CutTextFlow(const CQ_MIFLineList& flow, const std::vector<std::size_t>& columnLines,
                     const std::vector<std::size_t>& anchorLines);

  // True for a line that may be an anchor: a one-line statement whose name
  // begins with "AT", "AF" or "FN" (ATbl, AFrame, FNote); the restructuring
  // then compares the whole name.
  static bool sb_MayBeAnchor(const st_MIFLine& line) {
    if (line.i_Net != 0 || line.n_Size < 6) return false;
    const char* t = line.pc_Text;
    return t[0] == '<' && ((t[1] == 'A' && (t[2] == 'T' || t[2] == 'F')) || (t[1] == 'F' && t[2] == 'N'));
  }

  void v_AddMessage(unsigned id, const std::string& formatName);
  std::string ccs_MessageName(const std::string& mifName) const;

  // Restructuring (MIFPreScanPages.cpp).
  // Lines [pc_Begin, pc_End) to walk; p_Release, when set, is the list they
  // lie in, emptied once they are walked; pc_Anchors, when set, lists
  // (ascending, from pc_Begin) every line of the run sb_MayBeAnchor
  // accepts, so the run need not be searched.
  struct st_LineRun {
    const st_MIFLine* pc_Begin;
    const st_MIFLine* pc_End;
    CQ_MIFLineList* p_Release;
    const std::vector<std::size_t>* pc_Anchors;
  };
  // Rebuilds the page into reading order and appends it to `out` with its
  // anchored objects; the text columns and objects placed are used up.
  void v_AppendPage(const st_PageLines& page, CQ_MIFLineList& out);
  CQ_MIFLineList lst_RebuildAnchoredFrame(const CQ_MIFLineList& frame);
  // Appends the runs' lines to `out` in order, each anchored object's lines
  // after its anchor; the runs' lists and the objects placed are used up.
  void v_AppendWithAnchoredObjects(const std::vector<st_LineRun>& runs, CQ_MIFLineList& out);

  // The state changed: string forms made earlier are out of date.
  void v_Changed() { ++m_nGeneration; }
  const CQ_MIFLines& rco_StringList(st_StringView<CQ_MIFLines>& view, const CQ_MIFLineList& lines) const;
  template <class Table>
  const std::unordered_map<std::string, CQ_MIFLines>& rco_StringTable(
      st_StringView<std::unordered_map<std::string, CQ_MIFLines>>& view, const Table& table) const;

  CQ_Morvane_Communication& m_rcoSession;
  st_Options m_stOptions;

  std::unordered_map<std::string, std::string> m_mapConditions;
  std::vector<st_MIFNamedText> m_vecPgfNumFormats;
  std::unordered_map<std::string, std::size_t> m_mapPgfNumFormatIndex;
  std::vector<st_MIFNamedText> m_vecVariableFormats;
  std::vector<st_MIFNamedText> m_vecXRefFormats;
  std::vector<st_MIFElementDef> m_vecElementDefs;
  std::array<std::string, MIF_FOOTNOTE_TEXT_COUNT> m_asFootnoteTexts;

  // The text of every line kept; the lists and tables below point into it.
  // The second form reads its file whole into m_coFile first (or is handed
  // a file's text), and the lines kept that lie in m_svHeldText point there
  // instead (the store then holds only lines the restructuring makes).
  CQ_MIFLineStore m_coStore;
  Platform::CQ_WholeFile m_coFile;
  std::string_view m_svHeldText;
  std::vector<std::int8_t> m_vecLineNets;
  std::vector<std::uint8_t> m_vecLineLengths;
  bool m_bNoteLines = false;  // the text read is held for a later pass (rco_GetLineNets)

  ObjectTable m_mapAFrames;
  SpanTable m_mapTables;
  ObjectTable m_mapFootnotes;
  SpanTable m_mapTextColumns;
  std::vector<CQ_MIFLineList> m_vecSharedLists;  // the lists the spans lie in
  // For each text column's part, where its possible anchors stand
  // (sb_MayBeAnchor), ascending.
  std::unordered_map<std::string, std::vector<std::size_t>> m_mapColumnAnchors;
  std::vector<st_MIFTextFlow> m_vecTextFlows;
  std::vector<st_PageLines> m_vecPages;
  std::vector<std::string> m_vecPageBackgrounds;
  std::unordered_set<std::string> m_setPageBackgrounds;

  // Objects already placed by the restructuring; each may be placed once.
  std::unordered_set<std::string> m_setPlacedColumns;
  std::unordered_set<std::string> m_setPlacedFrames;
  std::unordered_set<std::string> m_setPlacedTables;
  std::unordered_set<std::string> m_setPlacedFootnotes;

  CQ_MIFLineList m_lstRead;  // the blocks as read; its room serves the body list
  CQ_MIFLineList m_lstBody;
  CQ_MIFLineList m_lstMaster;

  // String forms for callers that read strings.
  std::size_t m_nGeneration = 1;
  mutable st_StringView<CQ_MIFLines> m_viewBody;
  mutable st_StringView<CQ_MIFLines> m_viewMaster;
  mutable st_StringView<std::unordered_map<std::string, CQ_MIFLines>> m_viewAFrames;
  mutable st_StringView<std::unordered_map<std::string, CQ_MIFLines>> m_viewTables;
  mutable st_StringView<std::unordered_map<std::string, CQ_MIFLines>> m_viewFootnotes;
  mutable st_StringView<std::unordered_map<std::string, CQ_MIFLines>> m_viewTextColumns;
  mutable st_StringView<std::vector<st_MIFPage>> m_viewPages;

  bool m_bChangeBars = false;
  bool m_bEUC = false;
  std::unique_ptr<Platform::CQ_TemporaryFile> m_pcoORGCopy;
};
