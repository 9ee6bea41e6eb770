// The Varnel verifier: checks that the tags of a KWX file are intact.
//
// One verifier object serves one run. In verification mode it checks a
// source KWX file (sections 1 to 6) and its translated version (sections
// 7 to 12, then the character checks of the target language), and keeps
// what the comparison of the two needs: both segment lists, both internal
// tag lists and the tag counter map. In back-conversion mode it checks one
// translated line list (sections 7 to 12) against the tag map of the back
// converter. Rule violations become report entries; nothing is printed,
// written or raised here except reading failures and the cancel code
// (v_UpdateUI) and, in the two whole-run entry points, the run's result
// code.
//
// This base class holds the state, the order of the checks, the external
// bracket check, classification, the character checks and the
// suppression key; the rules of the FrameMaker tag vocabulary are the
// virtual operations that CQ_FrameVarnelVerifier implements.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "System/Export.h"
#include "kernel/backward/KWXSegmenter.h"
#include "kernel/backward/RTFReader.h"
#include "kernel/session/Communication.h"
#include "kernel/session/ResultCodes.h"
#include "kernel/verifier/VarnelMessages.h"
#include "kernel/verifier/VarnelReportEntry.h"
#include "kernel/verifier/TagStructureCheck.h"

// What back conversion knows of a translated list beyond its tag map.
struct OSTRAKON_API st_BackConversionContext {
  // The paragraph counts of the source's text boxes
  // (CQ_TagStructureCheck::CQ_ParagraphCounter over the lines forward
  // conversion makes of the same MIF file): a text box with more is error
  // 412. Null: not compared.
  const CQ_TagStructureCheck::CQ_TextBoxParagraphs* pcco_SourceParagraphs = nullptr;
  // The blocks of the list checked before (the document, when this is its
  // ancillary section): each is error 413 here. Null: none.
  const CQ_TagStructureCheck::CQ_BlockTags* pcco_BlocksElsewhere = nullptr;
  // Receives the blocks of this list when not null.
  CQ_TagStructureCheck::CQ_BlockTags* pco_Blocks = nullptr;
  // The characters the reader of the list could not put into the target
  // code page (CQ_KWXReader::sv_ReadKWXLines), each error 1206. Null: none.
  const std::vector<st_UnrepresentableCharacter>* pcco_Unrepresentable = nullptr;
};

// One internal tag of a file, in file order.
struct OSTRAKON_API st_InternalTag {
  // A view into the text of its segment: valid while the file's segments
  // are (the verifier cuts both anew together).
  std::string_view cs_Tag;
  int i_TagId = KWX::TAGID_UNKNOWN_INTERNAL;
  int i_Category = KWX::CATEGORY_UNKNOWN_INTERNAL;
  std::size_t n_Segment = 0;  // 0-based index of the external segment that holds it
  unsigned n_Number = 0;      // for the comparison: its segment's number among matched segments
  bool b_Matched = false;     // for the comparison
};
using CQ_InternalTagList = std::vector<st_InternalTag>;

// One distinct tag text (external or internal) of a source file, or one of
// the tags a translator may use although the source lacks them.
struct OSTRAKON_API st_TagCounter {
  std::string cs_Tag;
  int i_Category = 0;
  bool b_Internal = false;
  unsigned n_SourceCount = 0;  // occurrences in the source
  int i_Difference = 0;        // occurrences in the source minus counted occurrences in the target
  bool b_Done = false;         // for the comparison
};

// Tag counter records in the order their tags were first entered, found by
// their text.
class OSTRAKON_API CQ_TagCounterMap {
 public:
  // The record of tag, made with count zero when there is none yet (the
  // first category and kind stay).
  st_TagCounter& rst_Enter(std::string_view tag, int category, bool internal);
  st_TagCounter* pst_Find(std::string_view tag);
  const st_TagCounter* pcst_Find(std::string_view tag) const;
  std::vector<st_TagCounter>& rco_Records() { return m_vecRecords; }
  const std::vector<st_TagCounter>& rco_Records() const { return m_vecRecords; }
  void v_Clear();

 private:
  // Looked up by views as well as by strings.
  struct st_TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::vector<st_TagCounter> m_vecRecords;
  std::unordered_map<std::string, std::size_t, st_TextHash, std::equal_to<>> m_mapIndex;
};

class OSTRAKON_API CQ_VarnelVerifier {
 public:
  // Result codes of a whole run.
  enum : int {
    RESULT_TAG_ERRORS = Result::TAG_ERRORS,            // back conversion: errors in the translated file's tags
    RESULT_ANCILLARY_TAG_ERRORS = Result::ANCILLARY_TAG_ERRORS,  // back conversion: errors in the ancillary section's tags
    RESULT_VERIFICATION_FAILED = Result::VERIFICATION_FAILED,   // the brackets of source or target are broken
    RESULT_VERIFICATION_COMPLETE = Result::VERIFICATION_COMPLETE,
  };
  // The file being checked.
  enum : int { FILE_SOURCE = 1, FILE_TARGET = 2 };
  // Index into a segment's flags: matched or reported by the comparison.
  enum : int { SEGMENT_FLAG_MATCHED = 0 };
  // The longest marker text FrameMaker takes, in characters of its MIF form.
  static constexpr unsigned MARKER_TEXT_LIMIT = 255;

  // session: the owning session, which must outlive the verifier.
  // frameMaker: the verifier of FrameMaker KWX files (the only kind here).
  // document: true for a document, false for an ancillary file or section.
  CQ_VarnelVerifier(CQ_Morvane_Communication& session, bool frameMaker, bool document);
  virtual ~CQ_VarnelVerifier();
  CQ_VarnelVerifier(const CQ_VarnelVerifier&) = delete;
  CQ_VarnelVerifier& operator=(const CQ_VarnelVerifier&) = delete;

  // --- virtual operations, in slot order ------------------------------------
  // Enters the tags a translator may use although the source lacks them.
  virtual void vv_SeedTagCounters() = 0;
  // Section 2: unknown internal tags of the source (205).
  virtual void vv_CheckSourceInternalValidity() = 0;
  // Section 8, verification mode: target tags against the source (801-803).
  virtual void vv_CheckTargetValidity() = 0;
  // Section 8, back-conversion mode: target tags against the tag map
  // (801, 803, 804).
  virtual void vv_CheckTargetValidityBackwards() = 0;
  // Sections 3 and 9 (301-305), 4 and 10 (401-411), 5 and 11 (501-522),
  // 6 and 12 (601-619), over the current file.
  virtual void vv_CheckExternalPositioning() = 0;
  virtual void vv_CheckExternalStructure() = 0;
  virtual void vv_CheckInternalPositioning() = 0;
  virtual void vv_CheckInternalStructure() = 0;
  // The key by which the user suppresses messages about tag: the tag up to
  // and including its first double quote; "<imk" for a tag beginning
  // "<imk"; else the tag up to and including its first blank; else the
  // first four characters of "<:r" followed by a digit; else the whole
  // tag. A tag added with "<#...>" is keyed without its "#".
  virtual std::string vcs_SuppressionKey(std::string_view tag) const;

  // --- verification mode ------------------------------------------------------
  // Reads the session's current source file (folder for ORG files) and
  // target file (folder for translated files), both with the session's
  // current file name and extension, and validates their headers; raises
  // the reader's codes (Platform::CQ_FileException for unreadable files).
  void v_ReadFiles(std::vector<std::string>& source, std::vector<std::string>& target);
  // Sections 1 to 6 over the source lines. False when the external
  // brackets are broken: the notes for an invalid source are then the last
  // entries and the run must end (RESULT_VERIFICATION_FAILED).
  bool b_CheckSource(const std::vector<std::string>& lines);
  // Sections 7 to 12 and the character checks over the target lines; call
  // after b_CheckSource. False when the external brackets are broken.
  bool b_CheckTarget(const std::vector<std::string>& lines);

  // --- back-conversion mode ---------------------------------------------------
  // Sections 7 to 12 over a translated line list, with tagMap (KWX tag to
  // MIF text; not copied, must outlive the call) as the set of valid tags.
  // True when no error was recorded; the entries then hold at most alerts
  // and warnings. context (not copied; null: nothing beyond the tag map)
  // adds the checks against the regenerated source (see
  // st_BackConversionContext).
  bool b_CheckTranslatedList(const std::vector<std::string>& lines, const CQ_TagMap& tagMap,
                             const st_BackConversionContext* context = nullptr);
  // The same for lines held as one text.
  bool b_CheckTranslatedList(const KWX::CQ_KWXText& lines, const CQ_TagMap& tagMap,
                             const st_BackConversionContext* context = nullptr);

  // The characters the reader of the target lines could not put into the
  // target code page (line numbers counted in those lines); each is
  // reported by the character checks (1206). v_ReadFiles sets them for the
  // target it reads; b_CheckTranslatedList takes them from its context.
  void v_SetUnrepresentableCharacters(std::vector<st_UnrepresentableCharacter> characters) {
    m_vecUnrepresentable = std::move(characters);
  }
  // The code a back conversion raises for errors: RESULT_TAG_ERRORS for a
  // document, RESULT_ANCILLARY_TAG_ERRORS for an ancillary section.
  int i_TagErrorCode() const { return m_bDocument ? RESULT_TAG_ERRORS : RESULT_ANCILLARY_TAG_ERRORS; }

  // --- results ------------------------------------------------------------------
  const KWX::CQ_TagSegmentList& rco_SourceSegments() const { return m_lstSourceSegments; }
  const KWX::CQ_TagSegmentList& rco_TargetSegments() const { return m_lstTargetSegments; }
  KWX::CQ_TagSegmentList& rco_SourceSegments() { return m_lstSourceSegments; }
  KWX::CQ_TagSegmentList& rco_TargetSegments() { return m_lstTargetSegments; }
  CQ_InternalTagList& rco_SourceInternalTags() { return m_lstSourceInternal; }
  CQ_InternalTagList& rco_TargetInternalTags() { return m_lstTargetInternal; }
  const CQ_InternalTagList& rco_SourceInternalTags() const { return m_lstSourceInternal; }
  const CQ_InternalTagList& rco_TargetInternalTags() const { return m_lstTargetInternal; }
  CQ_TagCounterMap& rco_TagCounters() { return m_coTagCounters; }
  const CQ_TagCounterMap& rco_TagCounters() const { return m_coTagCounters; }
  // Report entries in the order they were found.
  std::vector<st_VarnelReportEntry>& rco_Entries() { return m_vecEntries; }
  const std::vector<st_VarnelReportEntry>& rco_Entries() const { return m_vecEntries; }
  // Entries by type as recorded (before any suppression).
  unsigned n_GetErrors() const { return m_nErrors; }
  unsigned n_GetAlerts() const { return m_nAlerts; }
  unsigned n_GetWarnings() const { return m_nWarnings; }
  // Target segments added with the "<#...>" syntax.
  unsigned n_GetAddedTags() const { return m_nAddedTags; }
  bool b_BackConversionMode() const { return m_bBackConversion; }
  CQ_Morvane_Communication& rco_Session() { return m_rcoSession; }
  bool b_Document() const { return m_bDocument; }
  bool b_FrameMaker() const { return m_bFrameMaker; }

  // Appends an entry of the current section (the comparison files its own
  // sections with i_Section). Keeps the counts by type.
  void v_AddEntry(st_VarnelReportEntry entry);
  // Appends a numbered entry of the section about a segment of the source
  // (FILE_SOURCE) or target file: the segment as context and line
  // reference, the suppression key and the formatted text.
  void v_AddSegmentEntry(int section, int file, int number, std::size_t segment, std::string key, std::string text);
  // The text of a segment of the source (FILE_SOURCE) or target file as
  // entries hold it: every entry about one segment shares one copy.
  CQ_SharedText co_SegmentText(int file, std::size_t segment);
  // Moves a copy of the record of every entry that has a type (warnings,
  // alerts and errors, in entry order) to the session's error list.
  void v_HandOverRecords();

  // The tag without the "#" of the "<#...>" form; other tags unchanged.
  static std::string scs_WithoutAddMark(std::string_view tag);
  // True for the external tags a translator may add with "<#...>":
  // paragraph styles and numbers and the index marker tags. tag is given
  // without its "#".
  static bool sb_IsAddableTag(std::string_view tag);

 protected:
  int i_GetCurrentFile() const { return m_iCurrentFile; }
  // Changes whenever a file's segments are cut anew, so that what a rule
  // worked out from them can be kept until then.
  std::size_t n_SegmentsGeneration() const { return m_nSegmentsGeneration; }
  const CQ_TagMap* pcco_GetBackConversionTagMap() const { return m_pcoTagMap; }
  // The paragraph counts of the source's text boxes: what the structure
  // check of the source found (verification mode) or what back conversion
  // gave; null when there are none to compare with.
  const CQ_TagStructureCheck::CQ_TextBoxParagraphs* pcco_GetSourceParagraphs() const { return m_pcoSourceParagraphs; }
  // Back-conversion mode: the context of the list being checked, or null.
  const st_BackConversionContext* pcco_GetBackConversionContext() const { return m_pcoContext; }
  void v_KeepSourceParagraphs(CQ_TagStructureCheck::CQ_TextBoxParagraphs counts) {
    m_mapSourceParagraphs = std::move(counts);
    m_pcoSourceParagraphs = &m_mapSourceParagraphs;
  }
  KWX::CQ_TagSegmentList& rco_CurrentSegments() {
    return m_iCurrentFile == FILE_SOURCE ? m_lstSourceSegments : m_lstTargetSegments;
  }
  CQ_InternalTagList& rco_CurrentInternalTags() {
    return m_iCurrentFile == FILE_SOURCE ? m_lstSourceInternal : m_lstTargetInternal;
  }
  // The lexicon id a segment's tag has for the rules: for a tag added with
  // "<#...>", the id of the tag without its "#" when a translator may add
  // it, the unknown-tag id otherwise.
  static int si_RuleTagId(const KWX::st_TagSegment& segment);

  // Adds a numbered message of the current section about a segment of the
  // current file: its number's text formatted with args (const char* and
  // int only), the segment as context and line reference, and keyTag's
  // suppression key.
  template <typename... Args>
  void v_Report(int number, std::size_t segment, std::string_view keyTag, Args... args) {
    v_AddSegmentMessage(number, segment, vcs_SuppressionKey(keyTag), Varnel::ccs_FormatMessage(number, args...));
  }
  void v_AddSegmentMessage(int number, std::size_t segment, std::string key, std::string text);
  // Adds a plain line of text (no type, no number, no context).
  void v_AddPlainLine(std::string text);

 private:
  void v_BeginSection(int section);
  // Sections 1 and 7 over the current file; false when a message was added.
  bool b_CheckBrackets(const KWX::CQ_KWXText& lines);
  // Fills the current file's internal tag list from its segments.
  void v_CollectInternalTags();
  // Counts the source's tags into the tag counter map.
  void v_CountSourceTags();
  // The checks of the target language's characters (filed in section 12):
  // characters the code page cannot hold (1206), bytes that are no
  // character of it (1207), characters FrameMaker lacks (1202 to 1205).
  void v_CheckTargetCharacters();
  // reportedByLanguage: the target language's test for the double-byte
  // characters FrameMaker lacks (1202 to 1205 report those), or null.
  void v_CheckRepresentable(int codePage, bool (*reportedByLanguage)(unsigned char lead, unsigned char trail));
  // The code page the target text is in: the target's, else the source's,
  // else 1252.
  int i_TargetCodePage() const;
  // 1-based file line on which segment i of the target begins.
  std::size_t n_TargetSegmentStartLine(std::size_t i) const;
  bool b_RunTargetSections(const KWX::CQ_KWXText& lines);

  CQ_Morvane_Communication& m_rcoSession;
  bool m_bFrameMaker;
  bool m_bDocument;
  bool m_bBackConversion = false;
  const CQ_TagMap* m_pcoTagMap = nullptr;
  CQ_TagStructureCheck::CQ_TextBoxParagraphs m_mapSourceParagraphs;
  const CQ_TagStructureCheck::CQ_TextBoxParagraphs* m_pcoSourceParagraphs = nullptr;
  const st_BackConversionContext* m_pcoContext = nullptr;
  int m_iSection = 0;
  int m_iCurrentFile = FILE_SOURCE;
  KWX::CQ_TagSegmentList m_lstSourceSegments;
  KWX::CQ_TagSegmentList m_lstTargetSegments;
  CQ_InternalTagList m_lstSourceInternal;
  CQ_InternalTagList m_lstTargetInternal;
  CQ_TagCounterMap m_coTagCounters;
  std::vector<st_VarnelReportEntry> m_vecEntries;
  std::unordered_map<std::size_t, CQ_SharedText> m_amapSegmentTexts[2];  // source, target
  unsigned m_nErrors = 0;
  unsigned m_nAlerts = 0;
  unsigned m_nWarnings = 0;
  unsigned m_nAddedTags = 0;
  std::size_t m_nSegmentsGeneration = 1;
  std::vector<st_UnrepresentableCharacter> m_vecUnrepresentable;
};
